// Rows inserted, replaced and deleted in question banks (Jet 4, and Jet 3 in code page 936),
// read back by mdbtools, mdb-reader and ourselves; transactions that roll back leave the exact
// bytes.
#include <algorithm>
#include <map>

#include "write_util.h"

using namespace jet_write_test;
using jet::Value;

namespace {

// A question row whose texts exercise the encodings: compressible and not, outside the BMP
// (Jet 4) or GBK's punctuation (Jet 3), empty against null, long texts inline (in Jet 3 past
// 256 bytes of row), on one long-value page and chained over several.
std::vector<Value> question(int i, jet::Format format = jet::Format::Jet4) {
    std::vector<Value> r(12);
    r[0] = std::string("七年级");
    r[1] = i % 3                         ? std::string("English")
           : format == jet::Format::Jet4 ? std::string("数学 𠀀𝄞")
                                         : std::string("数学 全角，标点。");
    r[2] = std::string("第") + std::to_string(i % 4) + "课";
    const Value texts[] = {std::string(),
                           Value{},  // null
                           "短题 " + std::to_string(i) + "\r\n第二行",
                           chinese(200),
                           chinese(900),
                           chinese(3000),
                           std::string(9000, 'q') + std::to_string(i),
                           "plain ascii " + std::to_string(i)};
    r[3] = texts[i % 8];
    r[4] = std::string("A 选项");
    r[5] = std::string();
    r[8] = std::string(i % 2 ? "A" : "");
    r[9] = chinese(static_cast<std::size_t>(i % 50)) + std::to_string(i);  // rows differ
    static const std::int64_t kInts[] = {-32768, 32767, 0, 1, -1};
    r[10] = kInts[i % 5];
    r[11] = std::string(i % 2 ? "选择题" : "填空题");
    return r;
}

// Pages that row 0 of page 1, the file's map of free pages, marks (read from the raw bytes).
std::size_t freeMapStart(const std::string& b) {
    return jet::le16(reinterpret_cast<const std::uint8_t*>(b.data()) + 4096 + 14) & 0x1FFF;
}

std::vector<std::uint32_t> markedFree(const fs::path& file) {
    const std::string b = fileBytes(file);
    const auto* u = reinterpret_cast<const std::uint8_t*>(b.data());
    const std::size_t start = 4096 + freeMapStart(b);
    std::vector<std::uint32_t> pages;
    for (std::size_t i = start + 5; i < 8192; ++i)
        for (int bit = 0; bit < 8; ++bit)
            if (u[i] >> bit & 1)
                pages.push_back(jet::le32(u + start + 1) +
                                static_cast<std::uint32_t>((i - start - 5) * 8 + bit));
    return pages;
}

// What Access writes for a file of `pageCount` pages: free from its end to the window's end.
std::vector<std::uint32_t> pastTheEnd(std::uint32_t pageCount) {
    std::vector<std::uint32_t> pages;
    for (std::uint32_t p = pageCount; p < 512; ++p) pages.push_back(p);
    return pages;
}

std::uint32_t pageCountOf(const fs::path& file) {
    return static_cast<std::uint32_t>(fs::file_size(file) / 4096);
}

}  // namespace

TEST(JetWrite, FreePageMapNamesNoPageInUse) {
    const auto bank = bankFile("freemap.mdb");
    EXPECT_EQ(markedFree(bank), pastTheEnd(pageCountOf(bank)));

    // Each page the writer adds leaves the map (rows are read back in the changed bank's test).
    {
        auto db = jet::Database::open(bank, RW);
        for (int i = 0; i < 40; ++i) db->insertRow("tiku", question(i));
    }
    EXPECT_GT(pageCountOf(bank), 20u);
    EXPECT_EQ(markedFree(bank), pastTheEnd(pageCountOf(bank)));

    // A bank from the earlier creator marked every page free; the check says so, and the
    // first change puts the whole map right, even one that adds no page.
    const std::size_t map = 4096 + freeMapStart(fileBytes(bank)) + 5;
    patchFile(bank, fileBytes(bank).substr(map, 64), std::string(64, '\xFF'), map);
    const auto problems = jet::checkDatabase(bank);
    ASSERT_GE(problems.size(), pageCountOf(bank) / 2);
    EXPECT_NE(problems[0].find("free pages marks page 0,"), std::string::npos) << problems[0];
    const auto pages = pageCountOf(bank);
    {
        auto db = jet::Database::open(bank, RW);
        auto s = db->scan("tiku");
        ASSERT_TRUE(s.next());
        auto row = s.values();
        row[10] = std::int64_t{std::get<std::int64_t>(row[10]) == 1 ? 0 : 1};  // in place
        db->updateRow("tiku", s.rowId(), row);
    }
    EXPECT_EQ(pageCountOf(bank), pages);
    EXPECT_EQ(markedFree(bank), pastTheEnd(pages));
    for (const auto& p : jet::checkDatabase(bank)) ADD_FAILURE() << p;
}

class JetWriteBank : public ::testing::TestWithParam<jet::Format> {};
INSTANTIATE_TEST_SUITE_P(Formats, JetWriteBank, kBothFormats, formatName);

TEST_P(JetWriteBank, ChangedBankReadsAlikeEverywhere) {
    const auto format = GetParam();
    const auto file = bankFile("bank.mdb", format);
    auto question = [&](int i) { return ::question(i, format); };
    std::map<jet::RowId, std::vector<Value>> tiku;
    std::vector<std::vector<Value>> chengji;
    {
        auto db = jet::Database::open(file, RW);
        db->beginTransaction();
        for (int i = 0; i < 60; ++i) tiku[db->insertRow("tiku", question(i))] = question(i);
        db->commitTransaction();
        for (int i = 60; i < 70; ++i) tiku[db->insertRow("tiku", question(i))] = question(i);

        // Grow rows until they move off their pages, shrink some, grow a moved one again.
        std::vector<jet::RowId> ids;
        for (auto& [id, v] : tiku) ids.push_back(id);
        auto update = [&](std::size_t k, const std::vector<Value>& v) {
            db->updateRow("tiku", ids[k], v);
            tiku[ids[k]] = v;
        };
        for (std::size_t k = 0; k < ids.size(); k += 5) {
            auto v = tiku[ids[k]];
            for (int c = 4; c <= 7; ++c) v[c] = chinese(480 + k);
            update(k, v);
        }
        for (std::size_t k = 0; k < ids.size(); k += 10) {
            auto v = tiku[ids[k]];
            v[3] = chinese(5000);
            v[9] = std::string("改");
            update(k, v);
        }
        for (std::size_t k = 2; k < ids.size(); k += 9) update(k, question(int(k) * 7 + 1002));
        // Through the id a scan gives for a moved row, too.
        auto s = db->scan("tiku");
        int n = 0;
        while (s.next() && n < 3) {
            auto v = s.values();
            v[10] = std::int64_t{-7};
            db->updateRow("tiku", s.rowId(), v);
            int matches = 0;
            for (auto& [id, w] : tiku)
                if (w == s.values()) {
                    w = v;
                    ++matches;
                }
            EXPECT_EQ(matches, 1);
            ++n;
        }
        for (std::size_t k = 1; k < ids.size(); k += 4) {
            db->deleteRow("tiku", ids[k]);
            tiku.erase(ids[k]);
        }
        EXPECT_THROW(db->deleteRow("tiku", ids[1]), jet::Error);
        EXPECT_THROW(db->updateRow("tiku", ids[1], question(1)), jet::Error);
        EXPECT_EQ(db->readRow(*db->table("tiku"), ids[0]), tiku[ids[0]]);

        const double kDates[] = {45000.5, 2.75, 36526.999988, 60000.0};
        for (int i = 0; i < 4; ++i) {
            std::vector<Value> r{std::string("八年级"),
                                 std::string("语文"),
                                 std::string("古文"),
                                 jet::DateTime{kDates[i]},
                                 std::string(std::to_string(i * 3)),
                                 std::string("0"),
                                 i == 3 ? Value{} : Value{0.1 * i}};
            db->insertRow("chengji", r);
            chengji.push_back(r);
        }
        auto back = db->insertRow("back", {std::string("/home/学生/图片/背景.jpg")});
        db->updateRow("back", back, {std::string(2000, 'p')});
        db->beginTransaction();
        for (int i = 0; i < 3; ++i) db->insertRow("tiku", question(i));
        db->rollbackTransaction();
    }
    std::vector<std::vector<Value>> rows;
    for (auto& [id, v] : tiku) rows.push_back(v);
    expectReadersAgree(file, "tiku", &rows);
    expectReadersAgree(file, "chengji", &chengji);
    std::vector<std::vector<Value>> back{{std::string(2000, 'p')}};
    expectReadersAgree(file, "back", &back);
    if (format != jet::Format::Jet3) return;

    // Refused before anything is written: characters GBK lacks, text longer than its column
    // (counted in bytes of the code page), in inserts and updates alike.
    auto row = question(1);
    row[2] = std::string("表情 😀");
    expectRefused(file, jet::ErrorKind::Unencodable, {"😀", "U+1F600", "tiku", "kecheng", "936"},
                  [&](jet::Database& db) { db.insertRow("tiku", row); });
    row = question(5);
    row[3] = chinese(2000) + "한";
    expectRefused(file, jet::ErrorKind::Unencodable, {"한", "yuanti"},
                  [&](jet::Database& db) { db.insertRow("tiku", row); });
    expectRefused(file, jet::ErrorKind::Unencodable, {"😀", "nianji"}, [&](jet::Database& db) {
        auto s = db.scan("tiku");
        s.next();
        auto v = s.values();
        v[0] = std::string("😀");
        db.updateRow("tiku", s.rowId(), v);
    });
    row = question(2);
    row[0] = chinese(128);  // 256 bytes
    expectRefused(file, jet::ErrorKind::ValueDoesNotFit, {"nianji", "256 bytes"},
                  [&](jet::Database& db) { db.insertRow("tiku", row); });
}

// Beyond 512 pages an inline usage map cannot hold a table; freed long-value pages are used
// again rather than the file growing.
TEST(JetWrite, ManyPagesAndSpaceUsedAgain) {
    const auto file = bankFile("big.mdb");
    std::vector<jet::RowId> ids;
    std::uint32_t pagesAfterFill = 0;
    {
        auto db = jet::Database::open(file, RW);
        db->beginTransaction();
        for (int i = 0; i < 700; ++i) {
            auto q = question(i);
            q[3] = std::string(1900, static_cast<char>('a' + i % 26));  // one long-value page
            ids.push_back(db->insertRow("tiku", q));
        }
        db->commitTransaction();
        pagesAfterFill = db->pages().pageCount();
        EXPECT_GT(pagesAfterFill, 600u);
        db->beginTransaction();
        for (std::size_t k = 0; k < ids.size(); k += 2) db->deleteRow("tiku", ids[k]);
        for (int i = 0; i < 350; ++i) {
            auto q = question(i);
            q[3] = std::string(1900, 'z');
            db->insertRow("tiku", q);
        }
        db->commitTransaction();
        // The freed long-value pages serve again; the new rows come after the old ones, on a
        // few new data pages of their own.
        EXPECT_LE(db->pages().pageCount(), pagesAfterFill + 20);
        std::vector<char> order;
        auto s = db->scan("tiku");
        while (s.next()) order.push_back(std::get<std::string>(s.values()[3])[0]);
        ASSERT_EQ(order.size(), 700u);
        EXPECT_EQ(std::count(order.begin() + 350, order.end(), 'z'), 350);
    }
    // Past the map's 512 pages every page is in use, so none is marked free.
    EXPECT_EQ(markedFree(file), std::vector<std::uint32_t>{});
    expectReadersAgree(file, "tiku");
}

TEST(JetWrite, RollbackRestoresTheExactBytes) {
    const auto file = bankFile("rollback.mdb");
    {
        auto db = jet::Database::open(file, RW);
        for (int i = 0; i < 5; ++i) db->insertRow("tiku", question(i));
    }
    const std::string before = fileBytes(file);
    {
        auto db = jet::Database::open(file, RW);
        auto first = db->scan("tiku");
        ASSERT_TRUE(first.next());
        const auto firstId = first.rowId();
        db->beginTransaction();
        EXPECT_TRUE(db->inTransaction());
        EXPECT_THROW(db->beginTransaction(), jet::Error);
        for (int i = 0; i < 300; ++i) db->insertRow("tiku", question(i));
        db->updateRow("tiku", firstId, question(4));
        // A failing statement changes nothing, and the transaction goes on.
        auto tooLong = question(1);
        tooLong[0] = std::string(256, 'x');
        const auto count = db->table("tiku")->rowCount;
        EXPECT_THROW(db->insertRow("tiku", tooLong), jet::Error);
        EXPECT_THROW(db->insertRow("tiku", {std::int64_t{1}}), jet::Error);
        EXPECT_EQ(db->table("tiku")->rowCount, count);
        db->deleteRow("tiku", firstId);
        EXPECT_EQ(scanAll(*db, "tiku").size(), 304u);
        db->rollbackTransaction();
        EXPECT_FALSE(db->inTransaction());
        EXPECT_EQ(scanAll(*db, "tiku").size(), 5u);
        EXPECT_EQ(fileBytes(file), before);
        EXPECT_FALSE(fs::exists(jet::PageFile::journalPath(file)));
        // Writers are fresh after a rollback.
        db->insertRow("tiku", question(9));
        EXPECT_EQ(scanAll(*db, "tiku").size(), 6u);
    }
    for (const auto& p : jet::checkDatabase(file)) ADD_FAILURE() << p;
}

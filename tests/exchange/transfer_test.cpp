#include "transfer.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <csignal>

#include "exchange_files.h"
#include "exchange_test_util.h"
#include "sql_texts.h"

namespace {

using namespace exchange_test;
using exchange::Outcome;

struct Recorded {
    long maximum = -1;
    std::vector<long> values;
    exchange::Progress progress() {
        return {[this](long m) { maximum = m; }, [this](long v) { values.push_back(v); }};
    }
    bool countsUpTo(long n) const {
        if (long(values.size()) != n) return false;
        for (long i = 0; i < n; ++i)
            if (values[std::size_t(i)] != i + 1) return false;
        return true;
    }
};

struct Opened {
    dao::Workspace ws;
    dao::Database db;
    dao::Recordset rs;
    Opened(const fs::path& path, const std::string& sqlText)
        : db(ws.OpenDatabase(path)), rs(db.OpenRecordset(sqlText)) {}
};

// One import or export from the `selection` of `from` into tiku of `to`, both closed after.
Outcome transfer(bool import, const fs::path& from, const std::string& selection,
                 const fs::path& to, const exchange::Progress& progress = {}) {
    Opened s(from, selection);
    Opened t(to, bank::sql::allQuestions());
    return import ? exchange::importQuestions(t.ws, s.rs, t.rs, progress)
                  : exchange::exportQuestions(t.ws, s.rs, t.rs, progress);
}
const bool kImport = true, kExport = false;

// Varied lengths, so that rows of different sizes share and leave pages.
std::vector<Row> variedRows(std::size_t count, const std::string& prefix, std::uint32_t seed) {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::string filler((seed >> 8) % 600, 'x');
        rows.push_back(question("初一", "数学", "第" + std::to_string(i % 7) + "课",
                                prefix + std::to_string(i) + filler, std::int64_t(i % 2)));
    }
    return rows;
}

TEST(Import, ReplacesEqualTextsExactlyAndAppendsEverySourceRowInOrder) {
    auto dir = scratchDir("import_exact");
    const std::vector<Row> target = {
        question("初一", "语文", "第一课", "甲题", 0, "t0"),
        question("初一", "语文", "第一课", "重复题", 0, "旧1"),
        question("初一", "英语", "Unit 1", "Case题", 1, "t2"),
        question("初二", "数学", "第二课", "重复题", 1, "旧2"),
        question("初二", "数学", "第二课", "重复题 ", 0, "尾空格"),
        Row{"初二", "数学", "第二课", {}, "", "", "", "", "", "", std::int64_t(0), "填空题"},
    };
    const std::vector<Row> source = {
        question("初一", "语文", "第一课", "重复题", 1, "新"),
        question("初三", "物理", "力", "新题\n第二行", 0, "一"),
        question("初三", "物理", "力", "新题\n第二行", 1, "二"),
        question("初一", "英语", "Unit 1", "case题", 0, "小写"),
        Row{"初三", "物理", "力", {}, "", "", "", "", "", "", std::int64_t(1), "填空题"},
    };
    makeBank(dir / "shujuku.mdb", target);
    makeBank(dir / "source.mdb", source, true);
    const std::string sourceBytes = fileBytes(dir / "source.mdb");

    Recorded seen;
    const Outcome o = transfer(kImport, dir / "source.mdb", bank::sql::allQuestions(),
                               dir / "shujuku.mdb", seen.progress());
    EXPECT_EQ(o.status, Outcome::Status::Done) << o.error;
    EXPECT_EQ(o.removed, 2);
    EXPECT_EQ(o.added, 5);
    EXPECT_EQ(seen.maximum, 10);
    EXPECT_TRUE(seen.countsUpTo(10));

    // Only the exact text "重复题" gives way: other case, a trailing blank and null stay.
    std::vector<Row> expected = {target[0], target[2], target[4], target[5]};
    expected.insert(expected.end(), source.begin(), source.end());
    EXPECT_EQ(ourRows(dir / "shujuku.mdb"), expected);
    expectOraclesSee(dir / "shujuku.mdb", expected);
    EXPECT_EQ(fileBytes(dir / "source.mdb"), sourceBytes);
}

TEST(Transfer, ManyRowsOfVariedSizeKeepTheirOrder) {
    auto dir = scratchDir("import_order");
    auto target = variedRows(1500, "旧", 7);
    auto source = variedRows(400, "新", 11);
    // Every third source row carries the text of a target row, so that room opens up all over
    // the target before the copy pass appends.
    for (std::size_t i = 0; i < source.size(); i += 3) source[i][3] = target[i * 3][3];
    makeBank(dir / "bank.mdb", target);
    makeBank(dir / "source.mdb", source, true);

    exchange::ReplacedTexts texts;
    for (const auto& r : source) texts.add(r[3]);
    std::vector<Row> expected;
    for (const auto& r : target)
        if (!texts.replaces(r[3])) expected.push_back(r);
    expected.insert(expected.end(), source.begin(), source.end());

    auto o = transfer(kImport, dir / "source.mdb", bank::sql::allQuestions(), dir / "bank.mdb");
    ASSERT_EQ(o.status, Outcome::Status::Done) << o.error;
    EXPECT_EQ(o.removed, 134);
    EXPECT_EQ(ourRows(dir / "bank.mdb"), expected);
    EXPECT_EQ(readerRows(dir / "bank.mdb"), readerExpected(expected));

    // And exported whole, in that order, into a fresh template.
    bank::createTemplate(dir / "out.mdb");
    o = transfer(kExport, dir / "bank.mdb", bank::sql::exportGrade("初一"), dir / "out.mdb");
    ASSERT_EQ(o.status, Outcome::Status::Done) << o.error;
    EXPECT_EQ(ourRows(dir / "out.mdb"), expected);
    EXPECT_EQ(readerRows(dir / "out.mdb"), readerExpected(expected));
}

TEST(Transfer, EmptySourceWritesNothing) {
    auto dir = scratchDir("empty");
    makeBank(dir / "bank.mdb", {question("初一", "语文", "第一课", "一")});
    makeBank(dir / "empty.mdb", {}, true);
    const std::string before = fileBytes(dir / "bank.mdb");
    {
        Opened s(dir / "empty.mdb", bank::sql::allQuestions());
        Opened t(dir / "bank.mdb", bank::sql::allQuestions());
        EXPECT_EQ(exchange::importQuestions(t.ws, s.rs, t.rs).status, Outcome::Status::Empty);
        Opened sel(dir / "bank.mdb", bank::sql::exportGrade("初九"));
        Opened out(dir / "empty.mdb", bank::sql::allQuestions());
        EXPECT_EQ(exchange::exportQuestions(out.ws, sel.rs, out.rs).status, Outcome::Status::Empty);
        // A closed record set is refused, not walked.
        s.rs.Close();
        EXPECT_EQ(exchange::importQuestions(t.ws, s.rs, t.rs).status, Outcome::Status::Failed);
    }
    EXPECT_EQ(fileBytes(dir / "bank.mdb"), before);
    EXPECT_TRUE(ourRows(dir / "empty.mdb").empty());
}

TEST(Import, UnreadableSourceRowIsCountedAndChangesNothing) {
    auto dir = scratchDir("import_unreadable");
    const std::vector<Row> target = {question("初一", "语文", "第一课", "旧题")};
    makeBank(dir / "bank.mdb", target);
    std::string longText;
    for (int i = 0; i < 1500; ++i) longText += "龘";
    makeBank(
        dir / "source.mdb",
        {question("初一", "语文", "第一课", "旧题", 1),
         question("初一", "语文", "第一课", longText), question("初一", "语文", "第一课", "三")},
        true);
    // Damage the page that holds the long question text (U+9F98 in UTF-16: 98 9F).
    std::string bytes = fileBytes(dir / "source.mdb");
    const auto at = bytes.find(std::string("\x98\x9F\x98\x9F\x98\x9F\x98\x9F", 8));
    ASSERT_NE(at, std::string::npos);
    const std::size_t page = at / 4096 * 4096;
    std::fill(bytes.begin() + long(page), bytes.begin() + long(page + 4096), '\xEE');
    std::ofstream(dir / "source.mdb", std::ios::binary) << bytes;

    bank::createTemplate(dir / "out.mdb");
    for (bool import : {kImport, kExport}) {
        const fs::path to = dir / (import ? "bank.mdb" : "out.mdb");
        auto o = transfer(import, dir / "source.mdb", bank::sql::allQuestions(), to);
        EXPECT_EQ(o.status, Outcome::Status::Unreadable) << o.error;
        EXPECT_EQ(o.unreadable, 1);
        EXPECT_EQ(o.added, 0);
    }
    EXPECT_EQ(ourRows(dir / "bank.mdb"), target);
    EXPECT_TRUE(ourRows(dir / "out.mdb").empty());
}

TEST(Import, KilledHalfWayLeavesTheTargetAsItWas) {
    auto dir = scratchDir("import_killed");
    const auto target = variedRows(1500, "旧", 3);
    auto source = variedRows(600, "新", 9);
    for (std::size_t i = 0; i < source.size(); i += 2) source[i][3] = target[i][3];
    makeBank(dir / "bank.mdb", target);
    makeBank(dir / "source.mdb", source, true);

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // Killed in the middle of the copy pass, after the removal pass has deleted rows.
        transfer(kImport, dir / "source.mdb", bank::sql::allQuestions(), dir / "bank.mdb",
                 {{}, [](long v) {
                      if (v == 900) ::kill(::getpid(), SIGKILL);
                  }});
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    // The next open puts right whatever the killed import had written.
    dao::Database::open(dir / "bank.mdb").Close();
    EXPECT_EQ(ourRows(dir / "bank.mdb"), target);
    EXPECT_EQ(readerRows(dir / "bank.mdb"), readerExpected(target));
}

}  // namespace

// Access 97 (Jet 3) files changed in place: rows of every size (jump tables, long values
// inline, on one page and chained), Chinese text in code page 936, refusals that leave the
// file as it was, and every V1997 table of the corpus, read back alike by mdbtools, mdb-reader
// and ourselves.
#include "write_util.h"

using namespace jet_write_test;
using jet::Value;

namespace {

// Nine columns: data1, data3 .. data10 (data2 was deleted in Access), data5 a memo.
std::vector<Value> jet3Row(int i) {
    std::vector<Value> r(9);
    r[0] = chinese(static_cast<std::size_t>(i % 22)) + std::to_string(i);
    r[1] = i % 2 ? Value{} : Value{std::string()};
    r[2] = std::string(i % 3 ? "ascii " : "全角，标点。") + std::to_string(i);
    const Value memos[] = {std::string(),
                           Value{},
                           "短文 " + std::to_string(i) + "\r\n第二行",
                           chinese(400),   // 800 bytes: inline
                           chinese(900),   // one long-value page
                           chinese(3000),  // chained
                           std::string(9000, 'q') + std::to_string(i)};
    r[3] = memos[i % 7];
    // Full rows pass 256 bytes more than once: the jump table.
    for (int c = 4; c < 9; ++c) r[c] = i % 4 == 0 ? std::string(50, 'a' + c) : Value{};
    return r;
}

}  // namespace

TEST(JetWriteJet3, RowsGrowMoveShrinkAndGo) {
    const auto file = jet3Copy("jet3.mdb");
    std::vector<std::vector<Value>> expected;
    {
        auto db = jet::Database::open(file, RW);
        std::vector<jet::RowId> ids;
        for (int i = 0; i < 70; ++i) {
            expected.push_back(jet3Row(i));
            ids.push_back(db->insertRow(kJet3Table, expected.back()));
        }
        // Each row takes the memo of another: rows grow past their page, move and shrink.
        for (int i = 0; i < 70; i += 3) {
            expected[i][3] = jet3Row(i + 3)[3];
            expected[i][0] = std::string("改") + std::to_string(i);
            db->updateRow(kJet3Table, ids[i], expected[i]);
        }
        for (int i = 69; i >= 0; i -= 5) {
            db->deleteRow(kJet3Table, ids[i]);
            expected.erase(expected.begin() + i);
        }
        db->beginTransaction();
        for (int i = 0; i < 3; ++i) db->insertRow(kJet3Table, jet3Row(100 + i));
        db->rollbackTransaction();
    }
    expectReadersAgree(file, kJet3Table, &expected);

    // Refused before anything is written: characters GBK lacks, text longer than its column
    // (counted in bytes of the code page), in inserts and updates alike.
    auto row = jet3Row(1);
    row[2] = std::string("表情 😀");
    expectRefused(file, jet::ErrorKind::Unencodable, {"😀", "U+1F600", "Table1", "data4", "936"},
                  [&](jet::Database& db) { db.insertRow(kJet3Table, row); });
    row = jet3Row(5);
    row[3] = chinese(2000) + "한";
    expectRefused(file, jet::ErrorKind::Unencodable, {"한", "data5"},
                  [&](jet::Database& db) { db.insertRow(kJet3Table, row); });
    expectRefused(file, jet::ErrorKind::Unencodable, {"😀", "data1"}, [&](jet::Database& db) {
        auto s = db.scan(kJet3Table);
        s.next();
        auto v = s.values();
        v[0] = std::string("😀");
        db.updateRow(kJet3Table, s.rowId(), v);
    });
    row = jet3Row(2);
    row[0] = chinese(26);  // 52 bytes
    expectRefused(file, jet::ErrorKind::ValueDoesNotFit, {"data1", "52 bytes"},
                  [&](jet::Database& db) { db.insertRow(kJet3Table, row); });
}

// Text of the letters a to p, a different one for each i.
std::string letters(int i) {
    std::string s = "n";
    do {
        s += static_cast<char>('a' + i % 16);
        i /= 16;
    } while (i > 0);
    return s;
}

TEST(JetWriteJet3, CorpusTables) {
    // Every table: Access's first row changed, its second deleted, new rows after them; the
    // indexes (text under Access 97's General order, numbers ascending and descending) and
    // autonumbers kept, as check and both readers see. Two Jet 4 tables without indexes come
    // first, one with a deleted column (data2) between kept ones.
    struct Case {
        const char* file;
        const char* table;
        std::function<std::vector<Value>(int)> row;
    };
    const std::vector<Case> cases{
        {"delTestV2000.mdb", "Table",
         [](int i) {
             return std::vector<Value>{"新 " + chinese(static_cast<std::size_t>(i % 45)),
                                       i % 3 ? Value{} : Value{std::string()}};
         }},
        {"overflowTestV2000.mdb", "Table1",
         [](int i) {
             std::vector<Value> r(9);
             for (int c = i % 3; c < 9; c += 2) r[c] = std::to_string(i) + "·" + chinese(c);
             return r;
         }},
        {"delTestV1997.mdb", "Table",
         [](int i) {
             return std::vector<Value>{"neu é " + std::to_string(i), Value{}};
         }},
        {"overflowTestV1997.mdb", "Table1",
         [](int i) {
             std::vector<Value> r(9);
             for (int c = i % 2; c < 9; c += 2) r[c] = std::string(40 + c, 'x');
             return r;
         }},
        {"testV1997.mdb", "Table1",  // every kind of column
         [](int i) {
             return std::vector<Value>{letters(i),
                                       i % 3 ? Value{letters(i * 7 % 50)} : Value{},
                                       std::int64_t{i % 256},
                                       std::int64_t{i * 97 % 65536 - 32768},
                                       std::int64_t{i * 1000003 - 30000000},
                                       0.5 - 1.5 * i,
                                       jet::DateTime{36526.25 + i},
                                       jet::Currency{i * 12345 - 99999},
                                       i % 2 == 0};
         }},
        {"testV1997.mdb", "Table2",
         [](int i) {
             std::vector<Value> r(89);
             for (int c = 0; c < 89; c += 1 + i % 5) r[c] = letters(i * 89 + c);
             r[0] = letters(i);
             return r;
         }},
        {"testV1997.mdb", "Table3",  // numbered automatically
         [](int i) {
             return std::vector<Value>{Value{}, letters(i)};
         }},
        {"compIndexTestV1997.mdb", "Table1",  // descending
         [](int i) {
             return std::vector<Value>{std::int64_t{(i * 7919) % 1000 - 500}, std::string("abc"),
                                       Value{}};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.table);
        const auto file = copyOfCorpus(c.file, std::string(c.table) + c.file);
        std::vector<std::vector<Value>> expected;
        {
            auto db = jet::Database::open(file, RW);
            std::vector<jet::RowId> ids;
            for (auto s = db->scan(c.table); s.next();) {
                ids.push_back(s.rowId());
                expected.push_back(s.values());
            }
            if (!ids.empty()) {
                auto changed = c.row(1000);
                if (jet::isNull(changed[0])) changed[0] = expected[0][0];  // the autonumber
                db->updateRow(c.table, ids[0], changed);
                expected[0] = changed;
            }
            if (ids.size() > 1) {
                db->deleteRow(c.table, ids[1]);
                expected.erase(expected.begin() + 1);
            }
            const std::int64_t next =
                static_cast<std::int64_t>(db->table(c.table)->nextAutonumber) + 1;
            // Enough rows to split index pages (one transaction: the test is not of fsync).
            db->beginTransaction();
            for (int i = 0; i < 500; ++i) {
                auto r = c.row(i);
                db->insertRow(c.table, r);
                if (jet::isNull(r[0]) && std::string(c.table) == "Table3") r[0] = next + i;
                expected.push_back(r);
            }
            db->commitTransaction();
        }
        expectReadersAgree(file, c.table, &expected);
    }

    auto ro = jet::Database::open(fs::path(JET_CORPUS_DIR) / "delTestV2000.mdb",
                                  jet::PageFile::Mode::ReadOnly);
    EXPECT_THROW(ro->insertRow("Table", {}), jet::Error);
    EXPECT_THROW(ro->beginTransaction(), jet::Error);

    // Refused, the file untouched: a text key Access 97's order is not known for (blank), a key
    // that is there already, relationships, automatic replication ids.
    const auto file = copyOfCorpus("testV1997.mdb");
    expectRefused(file, jet::ErrorKind::IndexUnsupported, {"Table1", "\"A\"", "digit or sign"},
                  [&](jet::Database& db) { db.insertRow("Table1", {std::string("  ")}); });
    expectRefused(file, jet::ErrorKind::General, {"Table1", "PrimaryKey", "already"},
                  [&](jet::Database& db) { db.insertRow("Table1", {std::string("abcdefg")}); });
    expectRefused(file, jet::ErrorKind::General, {"Table4", "data"},
                  [&](jet::Database& db) { db.insertRow("Table4", {std::string("x")}); });
    const auto related = copyOfCorpus("indexTestV1997.mdb");
    for (const char* table : {"Table1", "Table2", "Table3"})
        expectRefused(related, jet::ErrorKind::IndexUnsupported, {table, "relationship"},
                      [&](jet::Database& db) { db.insertRow(table, {std::int64_t{99}}); });
}

#include <gtest/gtest.h>

#include <unistd.h>

#include "bank_tables.h"
#include "dao/dao.h"
#include "sql/jet_source.h"

namespace {

namespace fs = std::filesystem;
using jet::Value;

std::vector<Value> question(std::string g, std::string s, std::string c, std::string text,
                            Value mark = std::int64_t{0}) {
    return {g, s, c, text, "", "", "", "", "", "答", mark, "填空题"};
}

struct Bank {
    fs::path path;
    explicit Bank(std::vector<std::vector<Value>> rows) {
        path = fs::temp_directory_path() / ("dao_test_" + std::to_string(::getpid()) + "_" +
                                            std::to_string(counter++) + ".mdb");
        auto tiku = bank::tikuSpec();
        tiku.rows = std::move(rows);
        jet::createDatabase(path, {tiku, bank::chengjiSpec(), bank::backSpec()});
    }
    ~Bank() { fs::remove(path); }
    static inline int counter = 0;
};

std::vector<std::vector<Value>> sample() {
    return {question("八年级", "数学", "第一课", "1+1", std::int64_t{1}),
            question("七年级", "语文", "O'Brien 的课", "床前明月光"),
            question("七年级", "Math", "L1", "x"),
            question("七年级", "ＭＡＴＨ", "L1", "y", std::int64_t{1}),
            question("八年级", "数学", "第二课", std::string(3000, 'q')),
            {Value{}, "无", "无", "null grade", "", "", "", "", "", "", std::int64_t{0}, ""}};
}

// The same table without the in-memory columns or row lookup, to hold the fast paths to
// the plain scan's answers.
struct PlainSource : sql::Source {
    sql::JetSource inner;
    explicit PlainSource(std::shared_ptr<jet::Database> db) : inner(std::move(db)) {}
    std::vector<sql::ColumnInfo> columns(std::string_view t) override { return inner.columns(t); }
    void scan(std::string_view t, const std::vector<bool>& w,
              const std::function<void(std::uint64_t, const std::vector<Value>&)>& row) override {
        inner.scan(t, w, row);
    }
};

TEST(JetSource, FastPathsAnswerAsThePlainScan) {
    Bank bank(sample());
    auto db = jet::Database::open(bank.path, jet::PageFile::Mode::ReadWrite);
    sql::JetSource fast(db);
    PlainSource plain(db);
    const std::vector<std::string> texts = {
        "Select tiku.nianji From tiku Group By tiku.nianji",
        "Select tiku.kemu From tiku Where (tiku.nianji = '七年级' ) Group By tiku.kemu",
        "Select tiku.* From tiku Where (tiku.kemu = 'ｍａｔｈ' ) And (tiku.nianji = '七年级' )",
        "Select tiku.* From tiku Where (tiku.kemu = '数学' ) Or (tiku.nianji = '七年级' )",
        "Select tiku.* From tiku Where (tiku.yuanti Like '**')",
        "Select tiku.* From tiku Where (tiku.yuanti Like '*明月*')",
        "Select tiku.* From tiku Where (tiku.nianji = '九年级' )",
        "Select tiku.nianji, tiku.kemu, tiku.kecheng From tiku Group By tiku.nianji, "
        "tiku.kemu, tiku.kecheng",
        "Select tiku.* From tiku Where (tiku.nianji = '八年级' ) And (tiku.kemu = '数学' )",
        "Select tiku.* From tiku Where (tiku.kecheng = 'O''Brien 的课' )",
        "Select tiku.* From tiku Where tiku.zhuangtai = 1",
        "Select tiku.* From tiku "};
    // Held columns and lookups are made afresh once the table changes.
    for (int round = 0; round < 2; ++round) {
        for (const auto& text : texts) {
            SCOPED_TRACE(text);
            auto a = sql::execute(fast, text), b = sql::execute(plain, text);
            EXPECT_EQ(a.rows, b.rows);
            EXPECT_EQ(a.rowIds, b.rowIds);
            auto lazy = sql::execute(fast, text, sql::Options{false});
            EXPECT_TRUE(lazy.grouped || lazy.rowIds == b.rowIds);
        }
        db->beginTransaction();
        db->insertRow("tiku", question("九年级", "MATH", "L9", "明月几时有"));
        db->insertRow("tiku", question("七年级", "math", "L1", "z"));
        db->commitTransaction();
    }
    EXPECT_EQ(sql::execute(fast, texts[6]).rows.size(), 2u);
    auto grades = sql::execute(fast, "Select tiku.nianji From tiku Group By tiku.nianji");
    ASSERT_EQ(grades.rows.size(), 4u);  // null first, then the folded order of the texts
    EXPECT_EQ(grades.rows[0][0], Value{});
    auto subjects = sql::execute(
        fast, "Select tiku.kemu From tiku Where (tiku.nianji = '七年级' ) Group By tiku.kemu");
    ASSERT_EQ(subjects.rows.size(), 2u);  // Math and ＭＡＴＨ are one group, the first row's
    EXPECT_EQ(subjects.rows[0][0], Value{std::string("Math")});
}

TEST(DaoText, ShowsValuesAsTheWindowsDo) {
    EXPECT_EQ(dao::toText(Value{}), "");
    EXPECT_EQ(dao::toText(Value{66.0}), "66");
    EXPECT_EQ(dao::toText(Value{0.1}), "0.1");
    EXPECT_EQ(dao::toText(Value{std::int64_t{-32768}}), "-32768");
    EXPECT_EQ(dao::toText(Value{jet::DateTime{45000}}), "2023-03-15");
    EXPECT_EQ(dao::toText(Value{jet::DateTime{45000.5}}), "2023-03-15 12:00:00");
}

TEST(Recordset, WalksAndSeesWritesOfEveryRecordSetAndQuery) {
    Bank bank(sample());
    dao::Workspace ws("", "admin", "");
    auto db = ws.OpenDatabase(bank.path);
    auto lesson =
        "Select tiku.* From tiku Where (tiku.nianji = '七年级' ) And (tiku.kemu = 'math' )";
    auto rs = db.OpenRecordset(lesson);
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.fieldCount(), 12u);
    EXPECT_EQ(rs.columns()[3].name, "yuanti");
    rs.MoveLast();
    EXPECT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    EXPECT_EQ(rs.Fields(3).text(), "y");
    rs.MovePrevious();
    EXPECT_EQ(rs.Fields(3).text(), "x");
    EXPECT_EQ(rs.Fields(10).text(), "0");
    rs.MovePrevious();
    EXPECT_TRUE(rs.Bof());
    EXPECT_THROW(rs.Fields(3).value(), dao::Error);
    rs.MoveFirst();
    std::vector<std::string> seen;
    for (; !rs.Eof(); rs.MoveNext()) seen.push_back(rs.Fields(3).text());
    EXPECT_EQ(seen, (std::vector<std::string>{"x", "y"}));
    rs.MoveNext();  // past the end stays at the end
    EXPECT_TRUE(rs.Eof());

    auto none = db.OpenRecordset("Select tiku.* From tiku Where (tiku.nianji = '九年级' )");
    EXPECT_TRUE(none.Eof());
    EXPECT_EQ(none.RecordCount(), 0);
    none.MoveFirst();
    EXPECT_TRUE(none.Eof());
    EXPECT_EQ(none.AbsolutePosition(), -1);

    auto memo = db.OpenRecordset("Select tiku.yuanti From tiku Where (tiku.kecheng = '第二课' )");
    EXPECT_EQ(memo.Fields(0).text(), std::string(3000, 'q'));
    EXPECT_THROW(db.OpenRecordset("Select tiku.nope From tiku"), jet::Error);
    EXPECT_THROW(db.OpenRecordset("Select From tiku"), sql::ParseError);

    auto a = db.OpenRecordset(lesson);
    auto b = db.OpenRecordset(lesson);
    a.MoveLast();
    a.Edit();
    a.Fields(3) = Value{std::string(5000, 'z')};  // grows past the page's room for it
    a.Fields(10) = Value{std::int64_t{0}};
    a.Update();
    b.MoveLast();
    EXPECT_EQ(b.Fields(3).text(), std::string(5000, 'z'));
    EXPECT_EQ(b.Fields(10).text(), "0");

    a.AddNew();
    a.Fields(0) = Value{std::string("九年级")};
    a.Fields(3) = Value{std::string("新题")};
    a.Update();
    EXPECT_EQ(a.RecordCount(), 3);  // the new row joins the result
    auto grades = db.OpenRecordset("Select tiku.nianji From tiku Group By tiku.nianji");
    grades.MoveLast();
    EXPECT_EQ(grades.RecordCount(), 4);  // the held columns were dropped with the change
    grades.setAbsolutePosition(2);       // null, 七, 九, 八: by code point
    EXPECT_EQ(grades.Fields(0).text(), "九年级");
    auto added = db.OpenRecordset("Select tiku.* From tiku Where (tiku.nianji = '九年级' )");
    EXPECT_EQ(added.Fields(1).value(), Value{});  // columns not set stay null

    // Delete and MoveNext from the first row to the end empty a result.
    auto all = db.OpenRecordset("Select tiku.* From tiku ");
    for (all.MoveFirst(); !all.Eof(); all.MoveNext()) all.Delete();
    EXPECT_EQ(all.RecordCount(), 0);
    EXPECT_TRUE(db.OpenRecordset("Select tiku.* From tiku ").Eof());
    EXPECT_THROW(b.Fields(3).value(), jet::Error);  // its row is gone
    EXPECT_THROW(grades.Edit(), dao::Error);        // a grouped result cannot be changed
}

TEST(Workspace, RollbackUndoesBulkWorkAndCommitKeepsIt) {
    Bank bank(sample());
    {
        dao::Workspace ws;
        auto db = ws.OpenDatabase(bank.path);
        ws.BeginTrans();
        auto all = db.OpenRecordset("Select tiku.* From tiku ");
        for (; !all.Eof(); all.MoveNext()) all.Delete();
        EXPECT_TRUE(db.OpenRecordset("Select tiku.* From tiku ").Eof());
        ws.Rollback();
        EXPECT_EQ(db.OpenRecordset("Select tiku.* From tiku ").RecordCount(), 6);

        ws.BeginTrans();
        auto rs = db.OpenRecordset("select*from chengji");
        rs.AddNew();
        rs.Fields(0) = Value{std::string("七年级")};
        rs.Fields(6) = Value{66.0};
        rs.Update();
        ws.CommitTrans();
        ws.BeginTrans();  // left running: dropping the workspace rolls it back
        auto again = db.OpenRecordset("select*from chengji");
        again.AddNew();
        again.Update();
    }
    dao::Workspace ws;
    auto rs = ws.OpenDatabase(bank.path).OpenRecordset("select*from chengji");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields(6).value(), Value{66.0});
}

}  // namespace

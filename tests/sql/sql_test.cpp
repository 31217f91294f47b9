#include <gtest/gtest.h>

#include "../store/memory_tiku.h"
#include "sql/sql.h"

namespace {

std::string text(const jet::Value& v) { return std::get<std::string>(v); }

class Tiku : public ::testing::Test {
  protected:
    void SetUp() override {
        db.add("初二", "数学", "第2课", 1, "中国的首都", "选择题");  // 1
        db.add("初一", "数学", "第2课", 1, "一加一", "选择题");      // 2
        db.add("初一", "数学", "第1课", 1, "中国在亚洲", "选择题");  // 3
        db.add("初一", "数学", "第1课", 0, "三角形", "填空题");      // 4
        db.add("初一", "语文", "第1课", 1, "It's ok", "选择题");     // 5
        db.add("初一", "数学", "第3课", 0, "中国", "选择题");        // 6
    }
    std::vector<std::uint64_t> ids(const std::string& q) { return sql::execute(db, q).rowIds; }
    store_test::MemoryTiku db;
};

// Grouped queries: their rows in the order of the Group By columns, one per group, no ids.
TEST_F(Tiku, GroupedRowsSortedAndDistinct) {
    struct Case {
        const char* query;
        std::size_t column;
        std::vector<std::string> texts;
    };
    for (const Case& c : std::vector<Case>{
             // U+521D U+4E00 < U+521D U+4E8C
             {"Select tiku.nianji From tiku Group By tiku.nianji", 0, {"初一", "初二"}},
             // The Group By order, not the Select order, sorts.
             {"Select tiku.nianji,tiku.kemu,tiku.kecheng From tiku Where (tiku.nianji = '初一' ) "
              "And (tiku.kemu = '数学' )  Group By tiku.kecheng,tiku.nianji,tiku.kemu",
              2,
              {"第1课", "第2课", "第3课"}},
             {"Select tiku.kecheng From tiku Where (tiku.nianji = '初一' And tiku.kemu = '数学' "
              "And tiku.zhuangtai =1)  Group By tiku.kecheng",
              0,
              {"第1课", "第2课"}}}) {
        auto r = sql::execute(db, c.query);
        std::vector<std::string> got;
        for (const auto& row : r.rows) got.push_back(text(row[c.column]));
        EXPECT_EQ(got, c.texts) << c.query;
        EXPECT_TRUE(r.rowIds.empty()) << c.query;
    }
}

// Conditions pick the rows in scan order.
TEST_F(Tiku, ConditionsPickRows) {
    using Ids = std::vector<std::uint64_t>;
    const std::pair<const char*, Ids> cases[] = {
        {"Select tiku.* From tiku Where (tiku.nianji = '初一' ) And (tiku.kemu = '数学' ) And "
         "(tiku.kecheng = '第1课' )  And (tiku.tixing = '选择题' )",
         {3}},
        {"Select tiku.* From tiku Where (tiku.yuanti Like '*中国*')", {1, 3, 6}},
        {"Select * From tiku Where tiku.zhuangtai<>1", {4, 6}},
        {"Select * From tiku Where tiku.yuanti = 'It''s ok'", {5}},
        {"Select * From tiku Where tiku.yuanti = 'Its ok'", {}},
        {"SELECT * FROM TIKU WHERE YUANTI = 'ＩＴ''Ｓ　ＯＫ'", {5}},  // case and full width fold
        {"Select tiku.* From tiku ", {1, 2, 3, 4, 5, 6}},
    };
    for (const auto& [query, expected] : cases) EXPECT_EQ(ids(query), expected) << query;
    // A null text is neither equal nor unequal: Not leaves row 1 out.
    db.rows[0][3] = std::monostate{};
    EXPECT_EQ(
        ids("Select * From tiku Where Not (yuanti = '一加一') And kemu = '数学' Or kemu='语文'"),
        (Ids{3, 4, 5, 6}));
}

// Names a query does not know are errors that say so.
TEST_F(Tiku, NamesUnknownColumns) {
    try {
        sql::execute(db, "Select tiku.foo From tiku");
        FAIL();
    } catch (const jet::Error& e) {
        EXPECT_NE(std::string(e.what()).find("foo"), std::string::npos);
    }
    EXPECT_THROW(sql::execute(db, "Select x.kemu From tiku"), jet::Error);
}

TEST_F(Tiku, GroupFoldsCaseKeepsFirstRowAndSortsSecondColumn) {
    db.add("x", "b", "", 1, "", "");
    db.add("x", "a", "", 1, "", "");
    db.add("X", "B", "", 1, "", "");
    auto r = sql::execute(db,
                          "Select kemu, nianji From tiku Where zhuangtai=1 And nianji Like "
                          "'[x]' Group By nianji, kemu");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(text(r.rows[0][0]), "a");
    EXPECT_EQ(text(r.rows[1][0]), "b");  // the first of "b" and "B" in scan order
    EXPECT_EQ(text(r.rows[1][1]), "x");
}

TEST(Like, WildcardsAndNoHang) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"abc", "a?c", true},      {"abbc", "a?c", false},   {"a1c", "a#c", true},
        {"abc", "a#c", false},     {"abc", "a[a-c]c", true}, {"adc", "a[a-c]c", false},
        {"adc", "a[!a-c]c", true}, {"中国", "?国", true},  // one code point, not one byte
        {"xabc", "abc", false},    {"ABC", "a*", true},      {"", "*", true},
        {"]", "[]]", true},        {"-", "[a-]", true},      {"b", "[!]]", true},
        {"ab", "*b*", true},       {"ab", "a*?*?", false},   {"a中b", "*[中]?", true}};
    for (const auto& [value, pattern, match] : cases)
        EXPECT_EQ(sql::like(value, pattern), match) << value << " Like " << pattern;
    // Many '*' against a long text that never matches: answered, not hung.
    const std::string text(400, 'a');
    EXPECT_FALSE(sql::like(text, "*a*a*a*a*a*a*a*a*a*a*a*a*b*"));
    EXPECT_TRUE(sql::like(text + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*b*"));
}

TEST_F(Tiku, KeywordSearchFoldsOnlyWhereTheEngineDoes) {
    db.add("初一", "英语", "第1课", 0, "中国ＡＢ\r\n第二行", "选择题");  // 7
    db.add("初一", "英语", "第1课", 0, "中 国ab", "选择题");             // 8
    auto search = [&](const std::string& k) {
        return ids("Select tiku.* From tiku Where (tiku.yuanti Like '*" + k + "*')");
    };
    EXPECT_EQ(search("国"), (std::vector<std::uint64_t>{1, 3, 6, 7, 8}));
    EXPECT_EQ(search("中国"), (std::vector<std::uint64_t>{1, 3, 6, 7}));
    EXPECT_EQ(search("国ab"), (std::vector<std::uint64_t>{7, 8}));
    EXPECT_EQ(search("ＡＢ\r\n第二"), std::vector<std::uint64_t>{7});
    EXPECT_EQ(search("中　国"), std::vector<std::uint64_t>{8});  // ideographic space folds
    EXPECT_EQ(search("中*国"), (std::vector<std::uint64_t>{1, 3, 6, 7, 8}));
    // Full-width "？" and "＊", as a Chinese keyboard types them, are characters, not wildcards.
    db.add("初一", "英语", "第2课", 0, "为什么？", "填空题");  // 9
    db.add("初一", "英语", "第2课", 0, "why? 2*3", "填空题");  // 10
    EXPECT_EQ(search("？"), (std::vector<std::uint64_t>{9, 10}));
    EXPECT_EQ(search("＊"), std::vector<std::uint64_t>{10});
    EXPECT_EQ(search("?").size(), 10u);  // the wildcard: every text of one character or more
    EXPECT_TRUE(sql::like("2*3", "2[*]3"));
    EXPECT_FALSE(sql::like("2x3", "2＊3"));
}

TEST(Parse, ErrorsGivePosition) {
    try {
        sql::parse("Select a From t Where a = ");
        FAIL();
    } catch (const sql::ParseError& e) {
        EXPECT_EQ(e.position, 26u);
        EXPECT_NE(std::string(e.what()).find("26"), std::string::npos);
    }
    try {
        sql::parse("Select a Frm t");
        FAIL();
    } catch (const sql::ParseError& e) {
        EXPECT_EQ(e.position, 9u);
    }
    EXPECT_THROW(sql::parse("Select a From t Where (a=1"), sql::ParseError);
    EXPECT_THROW(sql::parse("Select a From t Where a=99999999999999999999"), sql::ParseError);
    EXPECT_THROW(sql::parse("Select a From t Where a='x"), sql::ParseError);
    EXPECT_NO_THROW(sql::parse("Select a From t Where (t.a=1)"));
}

}  // namespace

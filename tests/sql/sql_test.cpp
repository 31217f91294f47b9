#include <gtest/gtest.h>

#include <cctype>

#include "sql/sql.h"

namespace {

const char* kNames[] = {"nianji",     "kemu",        "kecheng",    "yuanti",
                        "xuanxianga", "xuanxiangb",  "xuanxiangc", "xuanxiangd",
                        "daan",       "daanneirong", "zhuangtai",  "tixing"};

struct Memory : sql::Source {
    std::vector<std::vector<jet::Value>> rows;
    std::vector<bool> lastWanted;
    // Table names are matched without regard to letter case, as the engine does.
    static std::string lower(std::string_view s) {
        std::string r(s);
        for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return r;
    }
    std::vector<sql::ColumnInfo> columns(std::string_view name) override {
        auto table = lower(name);
        std::vector<sql::ColumnInfo> c;
        if (table == "chengji") return {{"xingming", jet::ColumnType::Text}};
        if (table != "tiku") throw jet::Error("no table");
        for (int i = 0; i < 12; ++i)
            c.push_back({kNames[i], i == 10 ? jet::ColumnType::Int16 : jet::ColumnType::Text});
        return c;
    }
    void scan(
        std::string_view table, const std::vector<bool>& wanted,
        const std::function<void(std::uint64_t, const std::vector<jet::Value>&)>& f) override {
        lastWanted = wanted;
        if (table == "chengji") {
            f(7, {std::string("张三")});
            return;
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            auto r = rows[i];
            for (std::size_t k = 0; k < r.size(); ++k)
                if (!wanted[k]) r[k] = std::monostate{};
            f(i + 1, r);
        }
    }
    void add(std::string nj, std::string km, std::string kc, std::string yt, std::int64_t zt,
             std::string tx) {
        std::vector<jet::Value> r(12, std::string());
        r[0] = nj;
        r[1] = km;
        r[2] = kc;
        r[3] = yt;
        r[10] = zt;
        r[11] = tx;
        rows.push_back(r);
    }
};

std::string text(const jet::Value& v) { return std::get<std::string>(v); }

class Tiku : public ::testing::Test {
  protected:
    void SetUp() override {
        db.add("初二", "数学", "第2课", "中国的首都", 1, "选择题");  // 1
        db.add("初一", "数学", "第2课", "一加一", 1, "选择题");      // 2
        db.add("初一", "数学", "第1课", "中国在亚洲", 1, "选择题");  // 3
        db.add("初一", "数学", "第1课", "三角形", 0, "填空题");      // 4
        db.add("初一", "语文", "第1课", "It's ok", 1, "选择题");     // 5
        db.add("初一", "数学", "第3课", "中国", 0, "选择题");        // 6
    }
    std::vector<std::uint64_t> ids(const std::string& q) { return sql::execute(db, q).rowIds; }
    Memory db;
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
    EXPECT_EQ(sql::execute(db, "Select tiku.* From tiku ").columns.size(), 12u);
    auto c = sql::execute(db, "select*from chengji");
    ASSERT_EQ(c.rows.size(), 1u);
    EXPECT_EQ(c.rowIds[0], 7u);
    // A null text is neither equal nor unequal: Not leaves row 1 out.
    db.rows[0][3] = std::monostate{};
    EXPECT_EQ(
        ids("Select * From tiku Where Not (yuanti = '一加一') And kemu = '数学' Or kemu='语文'"),
        (Ids{3, 4, 5, 6}));
}

TEST_F(Tiku, DecodesOnlyNeededColumns) {
    sql::execute(db, "Select kemu From tiku Where zhuangtai = 1 Group By tiku.kemu");
    std::vector<bool> want(12, false);
    want[1] = want[10] = true;
    EXPECT_EQ(db.lastWanted, want);
}

TEST_F(Tiku, UnknownNamesAreErrors) {
    try {
        sql::execute(db, "Select tiku.foo From tiku");
        FAIL();
    } catch (const jet::Error& e) {
        EXPECT_NE(std::string(e.what()).find("foo"), std::string::npos);
    }
    EXPECT_THROW(sql::execute(db, "Select x.kemu From tiku"), jet::Error);
}

TEST_F(Tiku, GroupFoldsCaseKeepsFirstRowAndSortsSecondColumn) {
    db.add("x", "b", "", "", 1, "");
    db.add("x", "a", "", "", 1, "");
    db.add("X", "B", "", "", 1, "");
    auto r = sql::execute(db,
                          "Select kemu, nianji From tiku Where zhuangtai=1 And nianji Like "
                          "'[x]' Group By nianji, kemu");
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(text(r.rows[0][0]), "a");
    EXPECT_EQ(text(r.rows[1][0]), "b");  // the first of "b" and "B" in scan order
    EXPECT_EQ(text(r.rows[1][1]), "x");
}

TEST(Like, Wildcards) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"abc", "a?c", true},      {"abbc", "a?c", false},   {"a1c", "a#c", true},
        {"abc", "a#c", false},     {"abc", "a[a-c]c", true}, {"adc", "a[a-c]c", false},
        {"adc", "a[!a-c]c", true}, {"中国", "?国", true},  // one code point, not one byte
        {"xabc", "abc", false},    {"ABC", "a*", true},      {"", "*", true}};
    for (const auto& [value, pattern, match] : cases)
        EXPECT_EQ(sql::like(value, pattern), match) << value << " Like " << pattern;
}

// The plain definition of Like, backtracking at every '*': the reference for short texts.
bool likeByDefinition(const std::u32string& v, std::size_t i, const std::u32string& p,
                      std::size_t j) {
    if (j >= p.size()) return i == v.size();
    if (p[j] == U'*') {
        for (std::size_t k = i; k <= v.size(); ++k)
            if (likeByDefinition(v, k, p, j + 1)) return true;
        return false;
    }
    if (i == v.size()) return false;
    std::size_t next = j + 1;
    bool ok = p[j] == U'?' || (p[j] == U'#' ? v[i] >= U'0' && v[i] <= U'9' : p[j] == v[i]);
    if (p[j] == U'[') {
        std::size_t k = j + 1;
        const bool neg = k < p.size() && p[k] == U'!';
        if (neg) ++k;
        bool hit = false;
        for (const std::size_t start = k; k < p.size() && (p[k] != U']' || k == start);)
            if (k + 2 < p.size() && p[k + 1] == U'-' && p[k + 2] != U']') {
                hit = hit || (v[i] >= p[k] && v[i] <= p[k + 2]);
                k += 3;
            } else {
                hit = hit || v[i] == p[k];
                ++k;
            }
        ok = hit != neg;
        next = k + 1;
    }
    return ok && likeByDefinition(v, i + 1, p, next);
}

TEST(Like, AgreesWithItsDefinitionAndNeverHangs) {
    const char* kPieces[] = {"a", "A", "ｂ", "b", "中", "1", "?", "*", "#", "[", "]", "!", "-"};
    std::uint32_t seed = 12345;
    auto pick = [&](std::size_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string value, pattern;
        for (std::size_t n = pick(7); n > 0; --n) value += kPieces[pick(6)];
        for (std::size_t n = pick(6); n > 0; --n) pattern += kPieces[pick(13)];
        const bool expected = likeByDefinition(sql::fold(value), 0, sql::fold(pattern), 0);
        ASSERT_EQ(sql::like(value, pattern), expected) << value << " Like " << pattern;
    }
    // A keyword of many '*' against a long text that never matches: answered, not hung.
    const std::string text(400, 'a');
    EXPECT_FALSE(sql::like(text, "*a*a*a*a*a*a*a*a*a*a*a*a*b*"));
    EXPECT_TRUE(sql::like(text + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*b*"));
}

TEST_F(Tiku, KeywordSearchFoldsOnlyWhereTheEngineDoes) {
    db.add("初一", "英语", "第1课", "中国ＡＢ\r\n第二行", 0, "选择题");  // 7
    db.add("初一", "英语", "第1课", "中 国ab", 0, "选择题");             // 8
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
    db.add("初一", "英语", "第2课", "为什么？", 0, "填空题");  // 9
    db.add("初一", "英语", "第2课", "why? 2*3", 0, "填空题");  // 10
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

// New files as two readers we did not write see them (mdbtools and mdb-reader) and as we read
// them back.
#include "write_util.h"

using namespace jet_write_test;
using namespace jet;

namespace {

std::string big(std::size_t bytesUtf8, const std::string& unit) {
    std::string s;
    while (s.size() + unit.size() <= bytesUtf8) s += unit;
    return s;
}

std::vector<Value> question(std::string yuanti, std::string answer, std::int64_t state) {
    using S = std::string;
    return {S("七年级"), S("语文"), S("第一课 春"), yuanti, S("A. 甲"), S("B. 乙"),
            S(""),       Value{},   S("A"),         answer, state,      S("选择题")};
}

std::vector<TableSpec> sampleBank() {
    auto tiku = bank::tikuSpec();
    tiku.rows.push_back(question("下列加点字的读音\n完全正确的一项是（　）", "A. 甲", 0));
    tiku.rows.push_back(question("plain ascii question", "ascii answer", 1));
    tiku.rows.push_back(question("𠀀 outside the basic plane 𠀀", "𠀀", -32768));
    tiku.rows.push_back(question(big(5 * 1024, "题"), big(5 * 1024, "a"), 32767));
    tiku.rows.push_back(question(big(100 * 1024, "长文本"), big(100 * 1024, "x1"), -1));
    tiku.rows.push_back(question("一二三 (low byte zero)", "", 0));
    auto chengji = bank::chengjiSpec();
    chengji.rows.push_back({std::string("七年级"), std::string("语文"), std::string("第一课 春"),
                            DateTime{45000}, std::string("8"), std::string("2"), 80.0});
    chengji.rows.push_back({std::string("八年级"), std::string("数学"), std::string("方程"),
                            DateTime{1.0}, std::string("0"), std::string("10"), 0.0});
    chengji.rows.push_back({std::string("八年级"), std::string("数学"), std::string("方程"),
                            DateTime{-700.0}, std::string("10"), std::string("0"), 100.0});
    auto back = bank::backSpec();
    back.rows.push_back({std::string("/home/学生/图片/" + big(600, "很长的路径/") + "背景.jpg")});
    return {tiku, chengji, back};
}

CreateOptions fixedTime() { return {DateTime{45000.5}}; }

// Every table's columns and rows as both readers and ours see them, in the order written.
void expectReadBack(const fs::path& file, const std::vector<TableSpec>& tables) {
    auto db = Database::open(file, PageFile::Mode::ReadOnly);
    std::string names;
    for (const auto& t : tables) names += t.name + "\n";
    EXPECT_EQ(run("mdb-tables -1 " + shellQuote(file.string())).out, names);
    for (const auto& t : tables) {
        const auto def = db->table(t.name);
        expectKindsAgree(file, *def);
        ASSERT_EQ(def->columns.size(), t.columns.size());
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            EXPECT_EQ(def->columns[i].type, t.columns[i].type) << t.name << " " << i;
        EXPECT_EQ(scanAll(*db, t.name), t.rows) << t.name;
        expectReadersAgree(file, t.name, &t.rows);
    }
}

}  // namespace

// (The empty bank and the template are read back by the tool's and the first start's tests.)
TEST(CreateBank, EveryValueReadBack) {
    const auto file = scratch("values.mdb");
    const auto tables = sampleBank();
    createDatabase(file, tables, fixedTime());
    EXPECT_EQ(run("mdb-ver " + shellQuote(file.string())).out, "JET4\n");
    expectReadBack(file, tables);
}

// A Jet 3 bank in code page 936 is laid out as Access 97 lays out its files: the same system
// tables with the same columns, the header's version, sort order and code page; its Chinese
// text, memos over many pages included, reads back alike through all three readers.
TEST(CreateBank, Jet3BankLikeAccess97) {
    auto tables = sampleBank();
    auto& rows = tables[0].rows;
    // 𠀀 lies outside GBK: it is refused, naming the row, and no file is made.
    const auto refused = scratch("refused.mdb");
    try {
        createDatabase(refused, tables, {DateTime{45000.5}, Format::Jet3, 936});
        ADD_FAILURE() << "a character outside GBK was written";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Unencodable);
        EXPECT_NE(std::string(e.what()).find("table 'tiku', row 3, column 'yuanti'"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(fs::exists(refused));
    rows.erase(rows.begin() + 2);
    const auto file = scratch("jet3.mdb");
    createDatabase(file, tables, {DateTime{45000.5}, Format::Jet3, 936});
    EXPECT_EQ(run("mdb-ver " + shellQuote(file.string())).out, "JET3\n");
    EXPECT_EQ(fs::file_size(file) % 2048, 0u);

    auto db = Database::open(file, PageFile::Mode::ReadOnly);
    auto access = Database::open(JET_CORPUS_DIR "/delTestV1997.mdb", PageFile::Mode::ReadOnly);
    EXPECT_EQ(db->format(), Format::Jet3);
    EXPECT_EQ(db->codePage(), 936);
    for (const char* system : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
        const auto ours = db->table(system);
        const auto theirs = access->table(system);
        ASSERT_EQ(ours->columns.size(), theirs->columns.size()) << system;
        for (std::size_t i = 0; i < ours->columns.size(); ++i) {
            const Column& a = ours->columns[i];
            const Column& b = theirs->columns[i];
            // A variable column's fixed offset means nothing; Access leaves odd values there.
            const auto offset = [](const Column& c) { return c.fixed() ? c.fixedOffset : 0; };
            EXPECT_EQ(std::tuple(a.name, a.type, a.number, a.varIndex, offset(a), a.length, a.flags,
                                 a.sortOrder),
                      std::tuple(b.name, b.type, b.number, b.varIndex, offset(b), b.length, b.flags,
                                 b.sortOrder))
                << system << " column " << b.name;
        }
    }
    const std::string catalog =
        run("mdb-export -b hex " + shellQuote(file.string()) + " MSysObjects").out;
    for (const char* line :
         {"251658241,251658240,\"Tables\",3,", "268435456,251658242,\"MSysDb\",2,",
          "6,251658241,\"tiku\",1,", "8,251658241,\"back\",1,"})
        EXPECT_NE(catalog.find(line), std::string::npos) << line << "\n" << catalog;
    db.reset();
    expectReadBack(file, tables);
}

TEST(CreateBank, AllKindsAndTheWholeInt16Range) {
    TableSpec t = everyKindTable();
    for (std::int64_t v = -32768; v <= 32767; v += 1) {
        if (v % 97 != 0 && v != -32768 && v != 32767 && std::abs(v) > 2) continue;
        t.rows.push_back({v % 2 == 0, v & 0xFF, v, v * 65536, Currency{v * 100}, v * 0.5, v * 0.25,
                          DateTime{static_cast<double>(v)}, Bytes{std::uint8_t(v & 0xFF), 0, 255},
                          std::string("n") + std::to_string(v % 1000), Value{}, Value{}});
    }
    const Value null;
    t.rows.push_back({false, null, null, null, null, null, null, null, Bytes{}, std::string(""),
                      Bytes(9000, 0x5A), std::string("")});
    const auto file = scratch("kinds.mdb");
    createDatabase(file, {t}, fixedTime());
    expectReadBack(file, {t});
}

TEST(Encode, BadSpecsAndValuesAreErrorsAndLeaveTheOldFile) {
    const auto file = scratch("keep.mdb");
    bank::createBank(file, fixedTime());
    const std::string old = fileBytes(file);
    auto tiku = bank::tikuSpec();
    auto row = question("q", "a", 0);
    row[10] = std::int64_t{32768};
    tiku.rows.push_back(row);
    EXPECT_THROW(createDatabase(file, {tiku}), Error);
    tiku.rows.back()[10] = std::int64_t{0};
    tiku.rows.back()[0] = std::string(256, 'x');  // longer than Text(255)
    EXPECT_THROW(createDatabase(file, {tiku}), Error);
    tiku.rows.back()[0] = 5.0;  // wrong kind
    EXPECT_THROW(createDatabase(file, {tiku}), Error);
    EXPECT_THROW(createDatabase(file, {bank::tikuSpec(), bank::tikuSpec()}), Error);
    TableSpec dup{"d", {{"a", ColumnType::Int32}, {"A", ColumnType::Int32}}, {}};
    EXPECT_THROW(createDatabase(file, {dup}), Error);
    tiku.rows.back()[0] = std::string("\xC3");  // not UTF-8
    EXPECT_THROW(createDatabase(file, {tiku}), Error);
    tiku.rows.back()[0] = std::string("\xED\xA0\x80");  // a lone surrogate
    EXPECT_THROW(createDatabase(file, {tiku}), Error);
    EXPECT_EQ(fileBytes(file), old);
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        EXPECT_EQ(e.path().filename().string().find(".new-"), std::string::npos);
}

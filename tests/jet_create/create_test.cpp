// New files as two readers we did not write see them: mdbtools and mdb-reader.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bank_tables.h"
#include "database.h"
#include "encode.h"
#include "error.h"
#include "json.h"
#include "oracle_util.h"
#include "text.h"
#include "write_util.h"

namespace fs = std::filesystem;
using namespace jet;

namespace {

// The command's standard output.
std::string run(const std::string& cmd) { return jet_test::run(cmd).out; }

fs::path scratch(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("jet_create_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir / name;
}

std::string readerDump(const fs::path& file) {
    return run(std::string("node ") + MOZHOU_DUMP_SCRIPT + " '" + file.string() + "' '" +
               MOZHOU_ORACLE_DIR + "'");
}

std::string jsonString(const std::string& s) {
    std::string o;
    appendJsonString(o, s);
    return o;
}

std::string hex(const std::uint8_t* p, std::size_t n) {
    std::string o;
    char b[3];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        o += b;
    }
    return o;
}

std::string expectedValue(const ColumnSpec& c, const Value& v) {
    if (c.type == ColumnType::Boolean) return std::get<bool>(v) ? "true" : "false";
    if (isNull(v)) return "null";
    if (auto* s = std::get_if<std::string>(&v)) return jsonString(*s);
    if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) {
        double x = *d;
        if (c.type == ColumnType::Single) x = static_cast<float>(x);
        return "real " + hex(reinterpret_cast<const std::uint8_t*>(&x), 8);
    }
    if (auto* t = std::get_if<DateTime>(&v))
        return "date " + std::to_string(std::llround((t->days - 25569) * 86400 * 1000));
    if (auto* b = std::get_if<Bytes>(&v)) return "bytes " + hex(b->data(), b->size());
    return "?";
}

// What mdb-reader must print for these tables; for a Jet 3 file, `gbk` encodes its text.
std::string expectedDump(const std::vector<TableSpec>& tables, const TextEncoder* gbk = nullptr) {
    std::ostringstream o;
    o << "TABLES [";
    for (std::size_t i = 0; i < tables.size(); ++i)
        o << (i ? "," : "") << jsonString(tables[i].name);
    o << "]\n";
    for (const auto& t : tables) {
        o << "T " << t.name << " " << t.rows.size() << "\n";
        for (const auto& c : t.columns) {
            int size = 0;
            if (c.type == ColumnType::Text)
                size = gbk ? c.size : c.size * 2;
            else if (c.type == ColumnType::Binary)
                size = c.size;
            else if (c.type != ColumnType::Boolean)
                size = encode::fixedLength(c.type);
            o << "C " << c.name << " " << jet_test::mdbReaderKind(c.type) << " " << size << "\n";
        }
        for (const auto& r : t.rows) {
            o << "R\n";
            for (std::size_t i = 0; i < r.size(); ++i) {
                const auto* text = std::get_if<std::string>(&r[i]);
                if (gbk && text)
                    o << "V "
                      << jsonString(jet_test::asMdbReaderSeesJet3(gbk->encode(*text, false, "")))
                      << "\n";
                else
                    o << "V " << expectedValue(t.columns[i], r[i]) << "\n";
            }
        }
    }
    return o.str();
}

std::string big(std::size_t bytesUtf8, const std::string& unit) {
    std::string s;
    while (s.size() + unit.size() <= bytesUtf8) s += unit;
    return s;
}

std::vector<Value> question(std::string yuanti, std::string answer, std::int64_t state) {
    return {std::string("七年级"),
            std::string("语文"),
            std::string("第一课 春"),
            std::move(yuanti),
            std::string("A. 甲"),
            std::string("B. 乙"),
            std::string(""),
            std::monostate{},
            std::string("A"),
            std::move(answer),
            state,
            std::string("选择题")};
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

// Our own reader gives back every row of every table, in the order written.
void expectScannedAsWritten(Database& db, const std::vector<TableSpec>& tables) {
    for (const auto& t : tables) {
        std::vector<std::vector<Value>> rows;
        for (auto scan = db.scan(t.name); scan.next();) rows.push_back(scan.values());
        EXPECT_EQ(rows, t.rows) << t.name;
    }
}

}  // namespace

TEST(CreateBank, EmptyBankAndTemplateHaveTheShape) {
    const auto bankFile = scratch("bank.mdb");
    bank::createBank(bankFile, fixedTime());
    EXPECT_EQ(run("mdb-ver '" + bankFile.string() + "'"), "JET4\n");
    EXPECT_EQ(run("mdb-tables -1 '" + bankFile.string() + "'"), "tiku\nchengji\nback\n");
    EXPECT_EQ(readerDump(bankFile),
              expectedDump({bank::tikuSpec(), bank::chengjiSpec(), bank::backSpec()}));
    const auto tmpl = scratch("daochu.mdb");
    bank::createTemplate(tmpl, fixedTime());
    EXPECT_EQ(run("mdb-tables -1 '" + tmpl.string() + "'"), "tiku\n");
    EXPECT_EQ(readerDump(tmpl), expectedDump({bank::tikuSpec()}));
}

// Every value that goes in comes out, in order, as mdb-reader, mdbtools and our reader see it.
TEST(CreateBank, EveryValueReadBackByAllThreeReaders) {
    const auto file = scratch("values.mdb");
    const auto tables = sampleBank();
    createDatabase(file, tables, fixedTime());
    EXPECT_EQ(readerDump(file), expectedDump(tables));

    auto db = Database::open(file, PageFile::Mode::ReadOnly);
    EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"tiku", "chengji", "back"}));
    expectScannedAsWritten(*db, tables);

    // Also mdb-export cell by cell, and our own check (dates before 1899 aside, below).
    for (const char* table : {"tiku", "back"}) jet_write_test::expectReadersAgree(file, table);
    const std::string scores =
        run("mdb-export -H -Q -d '|' -T '%Y-%m-%d %H:%M:%S' '" + file.string() + "' chengji");
    // mdbtools shows no date before 1899-12-30 (negative day counts).
    EXPECT_EQ(scores.substr(0, scores.find('\n', scores.find('\n') + 1) + 1),
              "七年级|语文|第一课 春|2023-03-15 00:00:00|8|2|80\n"
              "八年级|数学|方程|1899-12-31 00:00:00|0|10|0\n");
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
    EXPECT_EQ(run("mdb-ver '" + file.string() + "'"), "JET3\n");
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
    const std::string catalog = run("mdb-export -b hex '" + file.string() + "' MSysObjects");
    for (const char* line :
         {"251658241,251658240,\"Tables\",3,", "268435456,251658242,\"MSysDb\",2,",
          "6,251658241,\"tiku\",1,", "8,251658241,\"back\",1,"})
        EXPECT_NE(catalog.find(line), std::string::npos) << line << "\n" << catalog;

    expectScannedAsWritten(*db, tables);
    const TextEncoder gbk(Format::Jet3, 936);
    EXPECT_EQ(readerDump(file), expectedDump(tables, &gbk));
    jet_write_test::expectReadersAgree(file, "tiku");
}

TEST(CreateBank, AllKindsAndTheWholeInt16Range) {
    TableSpec t{"kinds",
                {{"t", ColumnType::Text, 10},
                 {"m", ColumnType::Memo},
                 {"d", ColumnType::DateTime},
                 {"x", ColumnType::Double},
                 {"b", ColumnType::Boolean},
                 {"s", ColumnType::Single},
                 {"y", ColumnType::Byte},
                 {"i", ColumnType::Int16},
                 {"l", ColumnType::Int32},
                 {"bin", ColumnType::Binary, 20},
                 {"o", ColumnType::OLE}},
                {}};
    for (std::int64_t v = -32768; v <= 32767; v += 1) {
        if (v % 97 != 0 && v != -32768 && v != 32767 && std::abs(v) > 2) continue;
        t.rows.push_back({std::string("n") + std::to_string(v % 1000), std::monostate{},
                          DateTime{static_cast<double>(v)}, v * 0.25, v % 2 == 0, v * 0.5, v & 0xFF,
                          v, v * 65536, Bytes{std::uint8_t(v & 0xFF), 0, 255}, std::monostate{}});
    }
    t.rows.push_back({std::string(""), std::string(""), std::monostate{}, std::monostate{}, false,
                      std::monostate{}, std::monostate{}, std::monostate{}, std::monostate{},
                      Bytes{}, Bytes(9000, 0x5A)});
    const auto file = scratch("kinds.mdb");
    createDatabase(file, {t}, fixedTime());
    EXPECT_EQ(readerDump(file), expectedDump({t}));
    // The Int16 column through mdbtools: every value, in order.
    const std::string col = run("mdb-export -H -b hex '" + file.string() + "' kinds | cut -d, -f8");
    std::string expect;
    for (const auto& r : t.rows)
        expect += isNull(r[7]) ? "\n" : std::to_string(std::get<std::int64_t>(r[7])) + "\n";
    EXPECT_EQ(col, expect);
}

TEST(Encode, BadSpecsAndValuesAreErrorsAndLeaveTheOldFile) {
    const auto file = scratch("keep.mdb");
    bank::createBank(file, fixedTime());
    const std::string old = jet_test::fileBytes(file);
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
    EXPECT_EQ(jet_test::fileBytes(file), old);
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        EXPECT_EQ(e.path().filename().string().find(".new-"), std::string::npos);
}

// mozhou-db as a user runs it: its output against mdbtools and mdb-reader, its exit codes and
// messages, and the files it makes and changes read back by both.
#include <gtest/gtest.h>

#include "jet/create.h"
#include "jet/database.h"
#include "jet/json.h"
#include "oracle_util.h"
#include "tool_util.h"

namespace fs = std::filesystem;
using namespace tool_test;
using jet_test::splitLines;

namespace {

using Shape = std::vector<jet::ColumnType>;

Shape shapeOf(const fs::path& file, const std::string& table) {
    return jet_test::typesOf(
        *jet::Database::open(file, jet::PageFile::Mode::ReadOnly)->table(table));
}

// Export lines read back into values.
std::vector<std::vector<jet::Value>> rowsOf(const std::vector<std::string>& lines,
                                            const Shape& shape) {
    std::vector<std::vector<jet::Value>> rows;
    for (const auto& l : lines) rows.push_back(jet::fromJson(l, shape));
    return rows;
}

}  // namespace

TEST(MozhouDb, ExportAndTablesMatchMdbtoolsOnTheCorpus) {
    if (!haveOracles()) GTEST_SKIP() << "mdbtools or mdb-reader is not installed";
    std::size_t rowsSeen = 0;
    for (const auto& file : jet_test::corpusFiles(JET_CORPUS_DIR)) {
        SCOPED_TRACE(file.filename().string());
        auto tables = mozhouDb({"tables", file.string()});
        ASSERT_EQ(tables.status, 0) << tables.err;
        EXPECT_EQ(splitLines(tables.out),
                  splitLines(jet_test::run("mdb-tables -1 " + jet_test::shellQuote(file)).out));
        for (const auto& table : splitLines(tables.out)) {
            SCOPED_TRACE(table);
            auto exported = mozhouDb({"export", file.string(), table});
            ASSERT_EQ(exported.status, 0) << exported.err;
            EXPECT_TRUE(exported.err.empty());
            const Shape shape = shapeOf(file, table);
            const auto ours = rowsOf(splitLines(exported.out), shape);
            EXPECT_TRUE(jet_test::sameAsMdbExport(file, table, ours, shape));
            rowsSeen += ours.size();
        }
    }
    EXPECT_GT(rowsSeen, 1000u);
}

TEST(MozhouDb, SchemaListsColumnsInOrderWithKindsAndSizes) {
    auto r = mozhouDb({"schema", std::string(JET_CORPUS_DIR) + "/testV2000.mdb", "table1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Table1 (2 rows)\n"
              "   0  A  text (50 characters)\n"
              "   1  B  text (100 characters)\n"
              "   2  C  byte (1 byte)\n"
              "   3  D  16-bit integer (2 bytes)\n"
              "   4  E  32-bit integer (4 bytes)\n"
              "   5  F  double (8 bytes)\n"
              "   6  G  date/time (8 bytes)\n"
              "   7  H  currency (8 bytes)\n"
              "   8  I  boolean\n");
    auto all = mozhouDb({"schema", std::string(JET_CORPUS_DIR) + "/testV1997.mdb"});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_NE(all.out.find("\nTable4 ("), std::string::npos);
    EXPECT_NE(all.out.find("text (50 bytes)"), std::string::npos);  // Jet 3 counts bytes
}

TEST(MozhouDb, ExitCodesAndMessages) {
    const std::string good = std::string(JET_CORPUS_DIR) + "/testV2000.mdb";
    // Failures: exit 2, nothing on standard output, the culprit named on standard error.
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{"export", "/nonexistent/x.mdb", "T"}, "/nonexistent/x.mdb"},
        {{"tables", MOZHOU_SAMPLE_BANK}, "sample_bank.jsonl"},
        {{"export", good, "Nope"}, "Nope"},
        {{"query", good, "Select * Form Table1"}, "at character 9"},
        {{"query", good, "Select Table1.Z From Table1"}, "Z"}};
    for (const auto& [args, culprit] : failures) {
        auto r = mozhouDb(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_TRUE(r.out.empty()) << args.back();
        EXPECT_NE(r.err.find(culprit), std::string::npos) << r.err;
    }
    for (const std::vector<std::string>& usage : {std::vector<std::string>{},
                                                  {"export", good},
                                                  {"tables", good, "extra"},
                                                  {"create-bank", "x.mdb", "--sampel"}}) {
        auto r = mozhouDb(usage);
        EXPECT_EQ(r.status, 1) << (usage.empty() ? "" : usage[0]);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("mozhou-db"), std::string::npos);
    }
    auto help = mozhouDb({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("create-template FILE"), std::string::npos);
}

// Banks made from the sample in both formats and converted both ways: every row in order
// through both formats, mdbtools and mdb-reader; a character GBK cannot hold stops the
// conversion at its row; an existing file is left alone unless replacing it is asked for.
TEST(MozhouDb, CreateBankAndConvertBothWays) {
    if (!haveOracles()) GTEST_SKIP() << "mdbtools or mdb-reader is not installed";
    const fs::path dir = scratchDir("bank");
    const fs::path file = dir / "shujuku.mdb", jet3 = dir / "jet3.mdb", jet4 = dir / "jet4.mdb",
                   back = dir / "back.mdb";
    auto r = mozhouDb({"create-bank", file.string(), "--sample-file", MOZHOU_SAMPLE_BANK});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(splitLines(jet_test::run("mdb-tables -1 " + jet_test::shellQuote(file)).out),
              (std::vector<std::string>{"tiku", "chengji", "back"}));
    const Shape shape = shapeOf(file, "tiku");
    const auto sample = respelled(splitLines(jet_test::fileBytes(MOZHOU_SAMPLE_BANK)), shape);
    ASSERT_EQ(sample.size(), 60u);
    EXPECT_TRUE(sameLines(respelled(jet_test::readerLines(file, "tiku"), shape, true),
                          respelled(sample, shape, true)));
    EXPECT_TRUE(jet_test::sameAsMdbExport(file, "tiku", rowsOf(sample, shape), shape));
    auto all = mozhouDb({"query", file.string(), "Select tiku.* From tiku "});
    EXPECT_TRUE(sameLines(splitLines(all.out), sample));

    r = mozhouDb(
        {"create-bank", jet3.string(), "--format", "jet3", "--sample-file", MOZHOU_SAMPLE_BANK});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(jet_test::run("mdb-ver " + jet_test::shellQuote(jet3)).out, "JET3\n");
    ASSERT_EQ(mozhouDb({"convert", jet3.string(), jet4.string()}).status, 0);
    EXPECT_EQ(jet_test::run("mdb-ver " + jet_test::shellQuote(jet4)).out, "JET4\n");
    ASSERT_EQ(mozhouDb({"convert", jet4.string(), back.string(), "--format", "jet3"}).status, 0);
    for (const auto& f : {file, jet3, jet4, back}) {
        EXPECT_TRUE(sameLines(splitLines(mozhouDb({"export", f.string(), "tiku"}).out), sample));
        EXPECT_EQ(mozhouDb({"schema", f.string(), "chengji"}).out.substr(0, 20),
                  "chengji (0 rows)\n   ");
    }
    const std::string viaMdbtools =
        "MDB_JET3_CHARSET=CP936 mdb-export " + jet_test::shellQuote(back) + " tiku | md5sum";
    EXPECT_EQ(jet_test::run(viaMdbtools).out,
              jet_test::run("mdb-export " + jet_test::shellQuote(jet4) + " tiku | md5sum").out);

    const std::string before = jet_test::fileBytes(file);
    auto again = mozhouDb({"create-bank", file.string()});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("exists"), std::string::npos);
    EXPECT_EQ(jet_test::fileBytes(file), before);
    EXPECT_EQ(mozhouDb({"create-bank", file.string(), "--force"}).status, 0);
    EXPECT_TRUE(splitLines(mozhouDb({"export", file.string(), "tiku"}).out).empty());
    auto exists = mozhouDb({"convert", jet4.string(), back.string()});
    EXPECT_EQ(exists.status, 2);
    EXPECT_NE(exists.err.find("exists already"), std::string::npos);
    auto emoji = mozhouDb({"append", jet4.string(), "tiku"},
                          "[\"a\",\"b\",\"c\",\"q\",\"\",\"\",\"\",\"\",\"A\",\"😀\",0,\"t\"]\n");
    ASSERT_EQ(emoji.status, 0) << emoji.err;
    const fs::path refused = dir / "refused.mdb";
    auto no = mozhouDb({"convert", jet4.string(), refused.string(), "--format", "jet3"});
    EXPECT_EQ(no.status, 2);
    EXPECT_NE(
        no.err.find(refused.string() + ": table 'tiku', row " + std::to_string(sample.size() + 1) +
                    ", column 'daanneirong': the character \"😀\""),
        std::string::npos)
        << no.err;
    EXPECT_FALSE(fs::exists(refused));
    EXPECT_EQ(mozhouDb({"create-bank", refused.string(), "--code-page", "936"}).status, 1);
    EXPECT_EQ(mozhouDb({"convert", jet4.string(), refused.string(), "--format", "jet5"}).status, 1);
    fs::remove_all(dir);
}

TEST(MozhouDb, AppendRoundTripsEveryKindInOneTransaction) {
    if (!haveOracles()) GTEST_SKIP() << "mdbtools or mdb-reader is not installed";
    const fs::path dir = scratchDir("append");
    const fs::path file = dir / "all.mdb";
    jet::createDatabase(file, {jet_test::everyKindTable()});
    const std::string longText(5000, 'x');
    // (A null boolean reads back as false: Jet keeps booleans in the null mask.)
    std::vector<std::string> lines = {
        R"([true,255,-32768,2147483647,"-922337203685477.5808",0.1,-1.5e+300,)"
        R"("2024-02-29 23:59:59","7fff10","引号\"与\\","0102","多行\r\n第二行\t"])",
        R"([false,0,0,-2147483648,"0.0000",-3.4028235e+38,5e-324,"1901-01-01 06:30:15","","","",""])",
        "[false,null,null,null,null,null,null,null,null,null,null,\"" + longText + "\"]",
        R"([true,1,2,3,"12.3400",1,2,"0100-01-01 00:00:00","ab","😀 ok","",null])"};
    std::string input;
    for (const auto& l : lines) input += l + "\n";
    auto r = mozhouDb({"append", file.string(), "kinds"}, input + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const Shape shape = shapeOf(file, "kinds");
    const auto expected = respelled(lines, shape);
    EXPECT_TRUE(sameLines(splitLines(mozhouDb({"export", file.string(), "kinds"}).out), expected));
    EXPECT_TRUE(sameLines(respelled(jet_test::readerLines(file, "kinds"), shape, true),
                          respelled(expected, shape, true)));
    EXPECT_TRUE(jet_test::sameAsMdbExport(file, "kinds", rowsOf(expected, shape), shape));
    EXPECT_EQ(mozhouDb({"check", file.string()}).status, 0);

    // A bad third line, or a value the table refuses on the second: nothing is appended.
    const std::string before = jet_test::fileBytes(file);
    auto bad = mozhouDb({"append", file.string(), "kinds"},
                        lines[0] + "\n" + lines[1] + "\n" + "[true,1,2,3]\n");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("line 3"), std::string::npos) << bad.err;
    EXPECT_EQ(jet_test::fileBytes(file), before);
    auto refused =
        mozhouDb({"append", file.string(), "kinds"},
                 lines[0] + "\n" + R"([true,1,2,3,"1.0000",1,2,null,"","eleven chars",null,null])");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("line 2"), std::string::npos) << refused.err;
    EXPECT_TRUE(sameLines(splitLines(mozhouDb({"export", file.string(), "kinds"}).out), expected));
    EXPECT_EQ(mozhouDb({"check", file.string()}).status, 0);
    fs::remove_all(dir);
}

TEST(MozhouDb, CheckPassesASoundFileAndFailsADamagedCopy) {
    const fs::path dir = scratchDir("check");
    const fs::path file = std::string(JET_CORPUS_DIR) + "/testV2000.mdb";
    auto sound = mozhouDb({"check", file.string()});
    EXPECT_EQ(sound.status, 0) << sound.out << sound.err;

    // A copy whose last data page loses its page type.
    std::string bytes = jet_test::fileBytes(file);
    std::size_t page = 0;
    for (std::size_t p = 4096; p + 4096 <= bytes.size(); p += 4096)
        if (bytes[p] == 0x01) page = p;
    ASSERT_NE(page, 0u);
    bytes[page] = 0x33;
    const fs::path damaged = dir / "damaged.mdb";
    writeBytes(damaged, bytes);
    auto r = mozhouDb({"check", damaged.string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(r.out.empty());
    EXPECT_NE(r.err.find("damaged.mdb"), std::string::npos) << r.err;
    fs::remove_all(dir);
}

#ifdef MOZHOU_PROGRAM_FOLDER
TEST(ProgramFolder, TemplateIsAnEmptyTikuAndTheSampleIsFound) {
    const fs::path folder = MOZHOU_PROGRAM_FOLDER;
    auto db = jet::Database::open(folder / "daochu.mdb", jet::PageFile::Mode::ReadOnly);
    EXPECT_EQ(db->tableNames(), std::vector<std::string>{"tiku"});
    EXPECT_EQ(db->table("tiku")->columns.size(), 12u);
    EXPECT_FALSE(db->scan("tiku").next());

    const fs::path dir = scratchDir("program_folder");
    auto r = mozhouDb({"create-bank", (dir / "b.mdb").string(), "--sample"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(splitLines(mozhouDb({"export", (dir / "b.mdb").string(), "tiku"}).out).size(), 60u);
    fs::remove_all(dir);
}
#endif

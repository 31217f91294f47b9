// Every file of the corpus of Access-made files, read by our engine and by two readers we did
// not write: the table list, the column kinds and every row must agree. Rows are compared in
// order with mdbtools (whose order is the engine's: page by page, row by row) and as a set with
// mdb-reader (which returns Jet 3 rows in another order).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "jet/database.h"
#include "jet/json.h"
#include "oracle_util.h"

namespace fs = std::filesystem;
using namespace jet_test;

namespace {

std::vector<fs::path> corpusFiles() { return jet_test::corpusFiles(JET_CORPUS_DIR); }

// "Text (50)" etc. as mdb-schema writes a column, from our definition.
std::string expectedSchemaKind(const jet::Column& c, jet::Format f) {
    std::string k = mdbtoolsKind(c.type);
    if (c.type == jet::ColumnType::Text)
        k += " (" + std::to_string(f == jet::Format::Jet4 ? c.length / 2 : c.length) + ")";
    if (c.type == jet::ColumnType::Numeric)
        k += " (" + std::to_string(c.precision) + ", " + std::to_string(c.scale) + ")";
    return k;
}

// Column name -> kind text from `mdb-schema -T table file access`.
std::map<std::string, std::string> schemaKinds(const fs::path& file, const std::string& table) {
    std::map<std::string, std::string> kinds;
    auto r =
        run("mdb-schema -T " + shellQuote(table) + " " + shellQuote(file.string()) + " access");
    for (const auto& line : splitLines(r.out)) {
        auto open = line.find('[');
        auto close = line.find(']');
        if (open == std::string::npos || close == std::string::npos || line.rfind("\t[", 0) != 0)
            continue;
        std::string rest = line.substr(close + 1);
        rest.erase(0, rest.find_first_not_of('\t'));
        while (!rest.empty() && (rest.back() == ',' || rest.back() == ' ')) rest.pop_back();
        const std::string notNull = " NOT NULL";
        if (rest.size() > notNull.size() &&
            rest.compare(rest.size() - notNull.size(), notNull.size(), notNull) == 0)
            rest.erase(rest.size() - notNull.size());
        kinds[line.substr(open + 1, close - open - 1)] = rest;
    }
    return kinds;
}

struct TableRows {
    std::vector<jet::ColumnType> types;
    std::vector<std::vector<jet::Value>> rows;
};

TableRows readOurs(jet::Database& db, const std::string& name) {
    TableRows t;
    auto def = db.table(name);
    for (const auto& c : def->columns) t.types.push_back(c.type);
    auto scan = db.scan(def);
    while (scan.next()) t.rows.push_back(scan.values());
    return t;
}

}  // namespace

TEST(Corpus, EveryFileOpensAndEveryRowReads) {
    auto files = corpusFiles();
    ASSERT_GE(files.size(), 17u) << "the corpus folder " << JET_CORPUS_DIR << " is incomplete";
    for (const auto& f : files) {
        SCOPED_TRACE(f.filename().string());
        auto db = jet::Database::open(f, jet::PageFile::Mode::ReadOnly);
        std::size_t rows = 0;
        std::string summary;
        for (const auto& name : db->tableNames()) {
            auto t = readOurs(*db, name);
            rows += t.rows.size();
            summary += " " + name + "(" + std::to_string(t.rows.size()) + ")";
            // The row count the definition keeps agrees with the rows found.
            EXPECT_EQ(db->table(name)->rowCount, t.rows.size()) << name;
        }
        std::cout << "[ corpus ] " << f.filename().string()
                  << (db->format() == jet::Format::Jet3 ? " Jet3" : " Jet4") << summary << "\n";
    }
}

TEST(Corpus, AgreesWithMdbtoolsInOrder) {
    if (!haveProgram("mdb-export") || !haveProgram("mdb-tables") || !haveProgram("mdb-schema"))
        GTEST_SKIP() << "mdbtools is not installed";
    for (const auto& f : corpusFiles()) {
        SCOPED_TRACE(f.filename().string());
        auto db = jet::Database::open(f, jet::PageFile::Mode::ReadOnly);
        auto names = db->tableNames();
        EXPECT_EQ(splitLines(run("mdb-tables -1 " + shellQuote(f.string())).out), names);
        auto ver = run("mdb-ver " + shellQuote(f.string())).out;
        EXPECT_EQ(ver, db->format() == jet::Format::Jet3 ? "JET3\n" : "JET4\n");
        for (const auto& name : names) {
            SCOPED_TRACE(name);
            auto def = db->table(name);
            auto kinds = schemaKinds(f, name);
            ASSERT_EQ(kinds.size(), def->columns.size());
            for (const auto& c : def->columns) {
                // mdb-schema gives every memo a nominal "(255)".
                std::string kind = kinds[c.name];
                if (c.type == jet::ColumnType::Memo && kind == "Memo/Hyperlink (255)")
                    kind = "Memo/Hyperlink";
                EXPECT_EQ(kind, expectedSchemaKind(c, db->format())) << c.name;
            }

            auto ours = readOurs(*db, name);
            const auto lines = mdbExportRows(f, name);
            ASSERT_EQ(lines.size(), ours.rows.size());
            for (std::size_t r = 0; r < lines.size(); ++r) {
                const auto& cells = lines[r];
                ASSERT_EQ(cells.size(), ours.types.size()) << "row " << r;
                for (std::size_t c = 0; c < cells.size(); ++c) {
                    const auto& v = ours.rows[r][c];
                    std::string mine = mdbtoolsText(v, ours.types[c]);
                    std::string theirs = cells[c];
                    if (ours.types[c] == jet::ColumnType::Binary ||
                        ours.types[c] == jet::ColumnType::OLE)
                        for (auto& ch : theirs)
                            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                    // mdbtools turns dates before 1899-12-31 into wrong calendar dates (its day
                    // arithmetic assumes a non-negative count); Jet counts days from
                    // 1899-12-30 both ways, which is what we print and what mdb-reader agrees with.
                    if (auto* t = std::get_if<jet::DateTime>(&v);
                        t && t->days < 1 && mine != theirs)
                        continue;
                    EXPECT_EQ(mine, theirs) << "row " << r << " column " << def->columns[c].name;
                }
            }
        }
    }
}

TEST(Corpus, AgreesWithMdbReaderAsSets) {
    if (!haveMdbReader())
        GTEST_SKIP() << "node or mdb-reader (npm ci in tests/oracle) is not installed";
    for (const auto& f : corpusFiles()) {
        SCOPED_TRACE(f.filename().string());
        auto db = jet::Database::open(f, jet::PageFile::Mode::ReadOnly);
        auto names = db->tableNames();
        EXPECT_EQ(splitLines(mdbReader("tables " + shellQuote(f.string())).out), names);
        for (const auto& name : names) {
            SCOPED_TRACE(name);
            auto def = db->table(name);
            auto columns = splitLines(
                mdbReader("columns " + shellQuote(f.string()) + " " + shellQuote(name)).out);
            ASSERT_EQ(columns.size(), def->columns.size());
            for (std::size_t i = 0; i < columns.size(); ++i)
                EXPECT_EQ(columns[i],
                          def->columns[i].name + "\t" + mdbReaderKind(def->columns[i].type));

            auto ours = readOurs(*db, name);
            auto out = mdbReader("rows " + shellQuote(f.string()) + " " + shellQuote(name));
            ASSERT_EQ(out.status, 0);
            std::vector<std::vector<std::string>> theirs, mine;
            for (const auto& line : splitLines(out.out))
                theirs.push_back(canonicalJsonRow(line, ours.types));
            for (const auto& row : ours.rows) mine.push_back(canonicalOurRow(row, ours.types));
            std::sort(theirs.begin(), theirs.end());
            std::sort(mine.begin(), mine.end());
            EXPECT_EQ(mine, theirs);
        }
    }
}

// Where the readers disagree: dates before 1899-12-30. A copy of a corpus file gets two such
// dates. Jet stores days since 1899-12-30 with the time of day as the fraction's absolute value
// (-1.25 is 1899-12-29 06:00, as Access and OLE automation dates read it). mdb-reader adds the
// fraction linearly (1899-12-28 18:00), right only for whole days; mdbtools prints any date
// before 1900 as "1900-01-00". Our engine follows the format.
TEST(Corpus, DatesBeforeTheEpochFollowTheFormat) {
    const fs::path copy =
        fs::temp_directory_path() / ("mozhou-jet-predate-" + std::to_string(::getpid()) + ".mdb");
    {
        std::ifstream in(fs::path(JET_CORPUS_DIR) / "testV2000.mdb", std::ios::binary);
        std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
        auto patch = [&](double from, double to) {
            std::string f(reinterpret_cast<const char*>(&from), 8),
                t(reinterpret_cast<const char*>(&to), 8);
            auto at = std::search(bytes.begin(), bytes.end(), f.begin(), f.end());
            ASSERT_NE(at, bytes.end());
            std::copy(t.begin(), t.end(), at);
        };
        patch(27293.0, -1.25);   // 1974-09-21
        patch(29932.0, -36522);  // 1981-12-12
        std::ofstream(copy, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    auto rows = [&] {
        auto db = jet::Database::open(copy, jet::PageFile::Mode::ReadOnly);
        return readOurs(*db, "Table1");
    }();
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(jet::toJson(rows.rows[0][6], jet::ColumnType::DateTime), "\"1899-12-29 06:00:00\"");
    EXPECT_EQ(jet::toJson(rows.rows[1][6], jet::ColumnType::DateTime), "\"1800-01-01 00:00:00\"");
    if (haveMdbReader()) {
        auto lines = splitLines(mdbReader("rows " + shellQuote(copy.string()) + " Table1").out);
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_NE(lines[0].find("\"1899-12-28 18:00:00\""), std::string::npos)
            << lines[0];  // linear: wrong
        EXPECT_NE(lines[1].find("\"1800-01-01 00:00:00\""), std::string::npos)
            << lines[1];  // whole days: agrees
    }
    if (haveProgram("mdb-export")) {
        auto out =
            run("mdb-export -H -T '%Y-%m-%d %H:%M:%S' " + shellQuote(copy.string()) + " Table1")
                .out;
        EXPECT_NE(out.find("1900-01-00 00:00:00"), std::string::npos) << out;
    }
    fs::remove(copy);
}

// Every file of the corpus of Access-made files, read by our engine and by two readers we did
// not write: the table list, the column kinds and every row must agree. Rows are compared as a
// set with mdb-reader (which returns Jet 3 rows in another order).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

// Rows in order against mdb-export: MozhouDb.ExportAndTablesMatchMdbtoolsOnTheCorpus, through
// the same scan.
TEST(Corpus, TablesVersionAndColumnKindsAgreeWithMdbtools) {
    if (!haveProgram("mdb-tables") || !haveProgram("mdb-schema"))
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
        }
    }
}

TEST(Corpus, AgreesWithMdbReaderAsSets) {
    if (!haveMdbReader())
        GTEST_SKIP() << "node or mdb-reader (npm ci in tests/oracle) is not installed";
    ASSERT_GE(corpusFiles().size(), 17u)
        << "the corpus folder " << JET_CORPUS_DIR << " is incomplete";
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
            // The row count the definition keeps agrees with the rows found.
            EXPECT_EQ(def->rowCount, ours.rows.size());
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

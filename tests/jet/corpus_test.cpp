// Every file of the corpus of Access-made files, read by our engine and by two readers we did
// not write: the table list, the column kinds and every row must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "jet/database.h"
#include "oracle_util.h"

namespace fs = std::filesystem;
using namespace jet_test;

// Rows in order against mdb-export and the table list against mdb-tables:
// MozhouDb.ExportAndTablesMatchMdbtoolsOnTheCorpus, through the same scan.
TEST(Corpus, TablesColumnKindsAndRowsAgreeWithMdbtoolsAndMdbReader) {
    if (!haveProgram("mdb-schema") || !haveMdbReader())
        GTEST_SKIP() << "mdbtools or mdb-reader (npm ci in tests/oracle) is not installed";
    const auto files = corpusFiles(JET_CORPUS_DIR);
    ASSERT_GE(files.size(), 17u) << "the corpus folder " << JET_CORPUS_DIR << " is incomplete";
    for (const auto& f : files) {
        SCOPED_TRACE(f.filename().string());
        const auto file = shellQuote(f.string());
        auto db = jet::Database::open(f, jet::PageFile::Mode::ReadOnly);
        auto names = db->tableNames();
        EXPECT_EQ(splitLines(mdbReader("tables " + file).out), names);
        EXPECT_EQ(run("mdb-ver " + file).out,
                  db->format() == jet::Format::Jet3 ? "JET3\n" : "JET4\n");
        for (const auto& name : names) {
            SCOPED_TRACE(name);
            auto def = db->table(name);
            expectKindsAgree(f, *def);
            const auto types = typesOf(*def);
            // As sets: mdb-reader returns Jet 3 rows in another order.
            std::vector<std::vector<std::string>> theirs, mine;
            for (const auto& line : readerLines(f, name))
                theirs.push_back(canonicalJsonRow(line, types));
            for (auto scan = db->scan(def); scan.next();)
                mine.push_back(canonicalOurRow(scan.values(), types));
            // The row count the definition keeps agrees with the rows found.
            EXPECT_EQ(def->rowCount, mine.size());
            std::sort(theirs.begin(), theirs.end());
            std::sort(mine.begin(), mine.end());
            EXPECT_EQ(mine, theirs);
        }
    }
}

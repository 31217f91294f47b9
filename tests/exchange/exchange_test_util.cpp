#include "exchange_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "dao/dao.h"
#include "jet/text.h"
#include "oracle_util.h"

namespace exchange_test {

namespace {

std::vector<jet::ColumnType> tikuTypes() {
    std::vector<jet::ColumnType> types;
    for (const auto& c : bank::tikuSpec().columns) types.push_back(c.type);
    return types;
}

bool jet3() {
    const char* f = std::getenv("MOZHOU_TEST_BANK_FORMAT");
    return f && std::strcmp(f, "jet3") == 0;
}

constexpr std::uint16_t kChinese = 936;

}  // namespace

jet::CreateOptions bankOptions() {
    jet::CreateOptions o;
    if (jet3()) {
        o.format = jet::Format::Jet3;
        o.codePage = kChinese;
    }
    return o;
}

std::vector<Row> ourRows(const fs::path& path, const std::string& table) {
    auto db = jet::Database::open(path, jet::PageFile::Mode::ReadOnly);
    std::vector<Row> rows;
    for (auto s = db->scan(table); s.next();) rows.push_back(s.values());
    return rows;
}

void appendRow(const fs::path& bank, const std::string& sqlText, const Row& row) {
    dao::Workspace ws;
    auto rs = ws.OpenDatabase(bank).OpenRecordset(sqlText);
    rs.AddNew();
    for (std::size_t i = 0; i < row.size(); ++i) rs.Fields(i) = row[i];
    rs.Update();
}

// mdbtools reads Jet 3 text as code page 1252 unless told otherwise.
struct Jet3Charset {
    Jet3Charset() {
        if (jet3()) ::setenv("MDB_JET3_CHARSET", "CP936", 1);
    }
    ~Jet3Charset() { ::unsetenv("MDB_JET3_CHARSET"); }
};

std::vector<std::string> mdbtoolsLines(const fs::path& path, const std::string& table) {
    Jet3Charset charset;
    auto r = jet_test::run("mdb-export -H -Q -d '|' -T '%Y-%m-%d %H:%M:%S' " +
                           jet_test::shellQuote(path.string()) + " " + table);
    EXPECT_EQ(r.status, 0) << "mdbtools could not read " << path;
    return jet_test::splitLines(r.out);
}

void expectOraclesSee(const fs::path& path, const std::vector<Row>& rows) {
    static const jet::TextEncoder gbk(jet::Format::Jet3, kChinese);
    const auto types = tikuTypes();
    std::vector<std::vector<std::string>> byReader, byMdbtools, read;
    for (Row r : rows) {
        auto& cells = byMdbtools.emplace_back();
        for (std::size_t i = 0; i < r.size(); ++i) {
            // mdbtools prints an empty text as null; mdb-reader tells the two apart, and decodes
            // Jet 3 text as code page 1252.
            auto* s = std::get_if<std::string>(&r[i]);
            cells.push_back(s && s->empty() ? jet_test::kMdbNull
                                            : jet_test::mdbtoolsText(r[i], types[i]));
            if (s && jet3()) *s = jet_test::asMdbReaderSeesJet3(gbk.encode(*s, false, "expected"));
        }
        byReader.push_back(jet_test::canonicalOurRow(r, types));
    }
    for (const auto& line : readerLines(path, "tiku"))
        read.push_back(jet_test::canonicalJsonRow(line, types));
    EXPECT_EQ(read, byReader) << "mdb-reader on " << path;
    Jet3Charset charset;
    EXPECT_EQ(jet_test::mdbExportRows(path, "tiku"), byMdbtools) << "mdbtools on " << path;
}

}  // namespace exchange_test

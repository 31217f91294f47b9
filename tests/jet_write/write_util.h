// Shared by the writing tests: scratch files, rows of the question bank, and the check that
// both independent readers and our own reader see a table alike.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/check.h"
#include "jet/database.h"
#include "jet/header.h"
#include "jet/text.h"
#include "oracle_util.h"
#include "write_child.h"

namespace jet_write_test {

// Every writing test opens its copies for writing.
inline constexpr auto RW = jet::PageFile::Mode::ReadWrite;

namespace fs = std::filesystem;
using namespace jet_test;

inline fs::path scratch(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("jet_write_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::remove(dir / name);
    fs::remove(dir / (name + "-journal"));
    return dir / name;
}

// A scratch copy of an Access-made file, under `as` or its own name.
inline fs::path copyOfCorpus(const std::string& name, const std::string& as = {}) {
    const auto to = scratch(as.empty() ? name : as);
    fs::copy_file(fs::path(JET_CORPUS_DIR) / name, to);
    return to;
}

inline std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// An Access 97 (Jet 3) file for the writing tests: overflowTestV1997's table (text columns
// and a deleted one, no index) emptied, its column data5 made a memo and the code page set
// to 936, as a Chinese Access 97 keeps it.
inline constexpr const char* kJet3Table = "Table1";
inline fs::path jet3Copy(const std::string& name) {
    const auto file = copyOfCorpus("overflowTestV1997.mdb", name);
    std::uint32_t tdef = 0;
    std::size_t columns = 0;
    {
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);
        std::vector<jet::RowId> ids;
        for (auto s = db->scan(kJet3Table); s.next();) ids.push_back(s.rowId());
        for (const auto& id : ids) db->deleteRow(kJet3Table, id);
        tdef = db->table(kJet3Table)->tdefPage;
        columns = db->table(kJet3Table)->columns.size();
    }
    std::string b = bytesOf(file);
    auto* u = reinterpret_cast<std::uint8_t*>(b.data());
    const auto& L = jet::kJet3Layout;
    auto plain = jet::unmaskHeader({u, L.pageSize}, jet::Format::Jet3);
    plain[jet::header::kCodePageOffset] = 936 & 0xFF;
    plain[jet::header::kCodePageOffset + 1] = 936 >> 8;
    const auto masked = jet::unmaskHeader(plain, jet::Format::Jet3);
    std::copy(masked.begin(), masked.end(), u);
    for (std::size_t k = 0; k < columns; ++k) {
        std::uint8_t* entry = u + tdef * L.pageSize + L.tdefBlockEnd + k * L.columnEntrySize;
        if (entry[L.columnNumberOffset] == 3) entry[0] = 0x0C;  // data5: memo
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << b;
    return file;
}

inline std::vector<jet::ColumnType> typesOf(const jet::TableDef& t) {
    std::vector<jet::ColumnType> types;
    for (const auto& c : t.columns) types.push_back(c.type);
    return types;
}

inline std::vector<std::vector<std::string>> canonical(
    const std::vector<std::vector<jet::Value>>& rows, const std::vector<jet::ColumnType>& types) {
    std::vector<std::vector<std::string>> out;
    for (const auto& r : rows) out.push_back(canonicalOurRow(r, types));
    std::sort(out.begin(), out.end());
    return out;
}

inline std::vector<std::vector<jet::Value>> scanAll(jet::Database& db, const std::string& table) {
    std::vector<std::vector<jet::Value>> rows;
    auto s = db.scan(table);
    while (s.next()) rows.push_back(s.values());
    return rows;
}

// Our rows in order against mdb-export, as a set against mdb-reader, and a clean check.
// `expected` (when given) is the set of rows the table must hold.
inline void expectReadersAgree(const fs::path& file, const std::string& table,
                               const std::vector<std::vector<jet::Value>>* expected = nullptr) {
    SCOPED_TRACE(file.filename().string() + " " + table);
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
    const auto types = typesOf(*db->table(table));
    const auto ours = scanAll(*db, table);
    if (expected) {
        EXPECT_TRUE(sameRows(canonical(ours, types), canonical(*expected, types)))
            << "ours vs expected";
    }
    EXPECT_EQ(db->table(table)->rowCount, ours.size());
    for (const auto& p : jet::checkDatabase(file)) ADD_FAILURE() << p;
    const bool jet3 = db->format() == jet::Format::Jet3;
    // Each data page's free space is the gap between its row table and its lowest row.
    const auto& L = db->layout();
    const std::string bytes = bytesOf(file);
    for (std::size_t at = L.pageSize; at + L.pageSize <= bytes.size(); at += L.pageSize) {
        const auto* page = reinterpret_cast<const std::uint8_t*>(bytes.data()) + at;
        if (page[0] != 0x01) continue;
        const std::size_t n = jet::le16(page + L.dataRowCountOffset);
        const std::size_t lowest =
            n ? jet::le16(page + L.dataRowTableOffset + 2 * (n - 1)) & 0x1FFF : L.pageSize;
        EXPECT_EQ(jet::le16(page + L.dataFreeSpaceOffset), lowest - L.dataRowTableOffset - 2 * n)
            << "free space of page " << at / L.pageSize;
    }

    if (jet3) ::setenv("MDB_JET3_CHARSET", ("CP" + std::to_string(db->codePage())).c_str(), 1);
    const auto lines = mdbExportRows(file, table);
    if (jet3) ::unsetenv("MDB_JET3_CHARSET");
    ASSERT_EQ(lines.size(), ours.size());
    for (std::size_t r = 0; r < lines.size(); ++r) {
        const auto& cells = lines[r];
        ASSERT_EQ(cells.size(), types.size()) << "row " << r;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            std::string theirs = cells[c];
            if (types[c] == jet::ColumnType::Binary || types[c] == jet::ColumnType::OLE)
                for (auto& ch : theirs) ch = static_cast<char>(std::toupper(ch));
            std::string mine = mdbtoolsText(ours[r][c], types[c]);
            // mdbtools prints an empty text as null, and each half of a character outside
            // the BMP as '?'; mdb-reader below sees both exactly.
            if (mine.empty()) mine = kMdbNull;
            for (std::size_t i;
                 (i = mine.find_first_of("\xF0\xF1\xF2\xF3\xF4")) != std::string::npos;)
                mine.replace(i, 4, "??");
            if (mine != theirs)
                ADD_FAILURE() << "mdb-export row " << r << " col " << c << ": ours "
                              << mine.substr(0, 80) << ", theirs " << theirs.substr(0, 80);
        }
    }

    auto js = mdbReader("rows " + shellQuote(file.string()) + " " + shellQuote(table));
    ASSERT_EQ(js.status, 0);
    std::vector<std::vector<std::string>> theirs;
    for (const auto& line : splitLines(js.out)) theirs.push_back(canonicalJsonRow(line, types));
    std::sort(theirs.begin(), theirs.end());
    auto seen = ours;
    if (jet3) {
        const jet::TextEncoder text(jet::Format::Jet3, db->codePage());
        for (auto& row : seen)
            for (auto& v : row)
                if (auto* str = std::get_if<std::string>(&v))
                    *str = asMdbReaderSeesJet3(text.encode(*str, false, "test"));
    }
    EXPECT_TRUE(sameRows(theirs, canonical(seen, types))) << "mdb-reader vs ours";
}

// A change the engine must refuse: the error's kind (when given) and words, and the file byte
// for byte as it was.
inline void expectRefused(const fs::path& file, std::optional<jet::ErrorKind> kind,
                          std::vector<std::string> words,
                          const std::function<void(jet::Database&)>& change) {
    const std::string before = bytesOf(file);
    try {
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);
        change(*db);
        ADD_FAILURE() << "not refused";
    } catch (const jet::Error& e) {
        EXPECT_TRUE(!kind || e.kind() == *kind) << e.what();
        for (const auto& w : words)
            EXPECT_NE(std::string(e.what()).find(w), std::string::npos) << e.what();
    }
    EXPECT_EQ(bytesOf(file), before) << "a refused change altered " << file;
}

}  // namespace jet_write_test

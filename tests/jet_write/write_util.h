// Shared by the writing tests: scratch files, rows of the question bank, and the check that
// both independent readers and our own reader see a table alike.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bank_tables.h"
#include "jet/bytes.h"
#include "jet/check.h"
#include "jet/database.h"
#include "jet/text.h"
#include "oracle_util.h"
#include "write_child.h"

namespace jet_write_test {

// Every writing test opens its copies for writing.
inline constexpr auto RW = jet::PageFile::Mode::ReadWrite;

namespace fs = std::filesystem;
using namespace jet_test;

inline fs::path scratch(const std::string& name) {
    const fs::path dir = processScratch("jet_write");
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

// A new question bank, Jet 4 or (code page 936, as a Chinese Access 97 keeps it) Jet 3.
inline fs::path bankFile(const std::string& name, jet::Format format = jet::Format::Jet4) {
    const auto file = scratch(name);
    const std::uint16_t codePage = format == jet::Format::Jet3 ? 936 : 0;
    bank::createBank(file, {{}, format, codePage});
    return file;
}

// The same with the writing child's base rows in tiku.
inline fs::path seededBank(const std::string& name, jet::Format format = jet::Format::Jet4) {
    const auto file = bankFile(name, format);
    auto db = jet::Database::open(file, RW);
    for (int r = 0; r < kBaseRows; ++r) db->insertRow("tiku", baseRow(r));
    return file;
}

// For tests run on both formats: INSTANTIATE_TEST_SUITE_P(Formats, T, kBothFormats, formatName).
inline const auto kBothFormats = ::testing::Values(jet::Format::Jet4, jet::Format::Jet3);
inline std::string formatName(const ::testing::TestParamInfo<jet::Format>& info) {
    return info.param == jet::Format::Jet3 ? "Jet3" : "Jet4";
}

inline std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return e.what();
    }
    return "";
}

// Where a column's entry starts in the file: for tests that change a definition as a newer
// Access or another locale would have written it.
inline std::size_t columnEntryAt(const fs::path& file, const std::string& table,
                                 const std::string& column) {
    auto db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
    const auto t = db->table(table);
    const auto& L = db->layout();
    return t->tdefPage * L.pageSize + L.tdefBlockEnd +
           t->realIndexes.size() * L.realIndexCountEntrySize +
           t->column(column)->entryIndex * L.columnEntrySize;
}

// Bytes of a file put in place of others (`at` npos: the first occurrence of `from`).
inline void patchFile(const fs::path& file, const std::string& from, const std::string& to,
                      std::size_t at = std::string::npos) {
    std::string b = fileBytes(file);
    if (at == std::string::npos) at = b.find(from);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(b.substr(at, from.size()), from);
    writeBytes(file, b.replace(at, from.size(), to));
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
    // Each data page's free space is the gap between its row table and its lowest row, exactly
    // (the check only refuses a claim of more).
    const auto& L = db->layout();
    const std::string bytes = fileBytes(file);
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
    EXPECT_TRUE(sameAsMdbExport(file, table, ours, types));
    if (jet3) ::unsetenv("MDB_JET3_CHARSET");

    std::vector<std::vector<std::string>> theirs;
    for (const auto& line : readerLines(file, table))
        theirs.push_back(canonicalJsonRow(line, types));
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
    const std::string before = fileBytes(file);
    try {
        auto db = jet::Database::open(file, jet::PageFile::Mode::ReadWrite);
        change(*db);
        ADD_FAILURE() << "not refused";
    } catch (const jet::Error& e) {
        EXPECT_TRUE(!kind || e.kind() == *kind) << e.what();
        for (const auto& w : words)
            EXPECT_NE(std::string(e.what()).find(w), std::string::npos) << e.what();
    }
    EXPECT_EQ(fileBytes(file), before) << "a refused change altered " << file;
}

}  // namespace jet_write_test

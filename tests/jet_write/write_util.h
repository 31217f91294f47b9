// Shared by the writing tests: scratch files, rows of the question bank, and the check that
// both independent readers and our own reader see a table alike.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "jet/check.h"
#include "jet/database.h"
#include "oracle_util.h"

namespace jet_write_test {

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

// `n` characters cycling through a few Chinese ones (two bytes each in UTF-16).
inline std::string chinese(std::size_t n) {
    static const char* kChars[] = {"题", "苑", "墨", "舟", "学", "习", "测", "试"};
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += kChars[i % 8];
    return s;
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

inline std::string shortened(std::string s) {
    return s.size() > 80 ? s.substr(0, 60) + "...(" + std::to_string(s.size()) + " bytes)" : s;
}

// Two sorted row sets: equal, or a short account of the first difference.
inline void expectSameRows(const std::vector<std::vector<std::string>>& a,
                           const std::vector<std::vector<std::string>>& b, const char* what) {
    if (a == b) return;
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    std::string diff = std::string(what) + ": " + std::to_string(a.size()) + " rows against " +
                       std::to_string(b.size()) + "; first difference at sorted row " +
                       std::to_string(i);
    for (const auto* side : {&a, &b}) {
        diff += "\n  ";
        if (i < side->size())
            for (const auto& cell : (*side)[i]) diff += shortened(cell) + " | ";
    }
    ADD_FAILURE() << diff;
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
        expectSameRows(canonical(ours, types), canonical(*expected, types), "ours vs expected");
    }
    EXPECT_EQ(db->table(table)->rowCount, ours.size());
    for (const auto& p : jet::checkDatabase(file)) ADD_FAILURE() << p;

    auto out =
        run("mdb-export -H -Q -d '<<COL>>' -R '<<ROW>>\\n' -0 '<<NULL>>' -T "
            "'%Y-%m-%d %H:%M:%S' -b hex " +
            shellQuote(file.string()) + " " + shellQuote(table));
    ASSERT_EQ(out.status, 0);
    auto lines = split(out.out, "<<ROW>>\n");
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    ASSERT_EQ(lines.size(), ours.size());
    for (std::size_t r = 0; r < lines.size(); ++r) {
        auto cells = split(lines[r], "<<COL>>");
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
                              << shortened(mine) << ", theirs " << shortened(theirs);
        }
    }

    auto js = run("node " + shellQuote((fs::path(JET_ORACLE_DIR) / "export.mjs").string()) +
                  " rows " + shellQuote(file.string()) + " " + shellQuote(table));
    ASSERT_EQ(js.status, 0);
    std::vector<std::vector<std::string>> theirs;
    for (const auto& line : splitLines(js.out)) theirs.push_back(canonicalJsonRow(line, types));
    std::sort(theirs.begin(), theirs.end());
    expectSameRows(theirs, canonical(ours, types), "mdb-reader vs ours");
}

}  // namespace jet_write_test

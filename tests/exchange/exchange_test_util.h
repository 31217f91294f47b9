// Shared by the exchange tests: question rows, scratch files, and tiku as three readers see it
// (ours, mdb-reader and mdbtools), each in the file's row order.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bank_backup.h"
#include "bank_tables.h"
#include "jet/database.h"
#include "jet/value.h"
#include "oracle_util.h"

namespace exchange_test {

namespace fs = std::filesystem;
using Row = std::vector<jet::Value>;

// A question with every column set, so that a column lost or shifted on the way shows.
inline Row question(const std::string& grade, const std::string& subject, const std::string& lesson,
                    const std::string& text, std::int64_t mark = 0, const std::string& tag = "") {
    const bool choice = mark % 2 == 0;
    return {grade,        subject,    lesson,
            text,         "甲" + tag, "乙" + tag,
            "丙" + tag,   "丁" + tag, choice ? std::string("B") : std::string(),
            "答案" + tag, mark,       choice ? std::string("选择题") : std::string("填空题")};
}

// A fresh folder for one test.
inline fs::path scratchDir(const std::string& name) {
    fs::path dir = jet_test::processScratch("mozhou_exchange") / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

using jet_test::fileBytes;
using jet_test::readerLines;

// The format the tests' files are made in: Jet 4, or Jet 3 in code page 936 when the
// environment says MOZHOU_TEST_BANK_FORMAT=jet3 (the window tests that write run once in each).
jet::CreateOptions bankOptions();

// A question bank (tiku, chengji, back) or an export-like file (tiku only) holding `rows`.
inline void makeBank(const fs::path& path, const std::vector<Row>& rows, bool onlyTiku = false) {
    auto tiku = bank::tikuSpec();
    tiku.rows = rows;
    if (onlyTiku)
        jet::createDatabase(path, {tiku}, bankOptions());
    else
        jet::createDatabase(path, {tiku, bank::chengjiSpec(), bank::backSpec()}, bankOptions());
}

// The bank's dated copies, oldest first: by name without ".mdb", so that a second copy within a
// second, "…-2", follows the first.
inline std::vector<fs::path> backupsOf(const fs::path& bank) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(bank::backupFolder(bank), ec))
        out.push_back(e.path());
    std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a.stem() < b.stem(); });
    return out;
}

// A table in the file's order, through our own engine.
std::vector<Row> ourRows(const fs::path& path, const std::string& table = "tiku");
// `row` added to the result of `sqlText` in `bank`, as a window saves one: fields by position.
void appendRow(const fs::path& bank, const std::string& sqlText, const Row& row);
// Any table as mdb-export prints it: cells split by '|', dates "%Y-%m-%d %H:%M:%S".
std::vector<std::string> mdbtoolsLines(const fs::path& path, const std::string& table);

// Both independent readers see exactly `rows`, in this order, all twelve columns.
void expectOraclesSee(const fs::path& path, const std::vector<Row>& rows);

}  // namespace exchange_test

#include "first_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "jet/create_bank.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/json.h"

namespace fs = std::filesystem;

namespace bank {

namespace {

std::vector<jet::ColumnType> tikuTypes() {
    std::vector<jet::ColumnType> types;
    for (const auto& c : jet::bank::tikuSpec().columns) types.push_back(c.type);
    return types;
}

bool present(const fs::path& file) {
    std::error_code ec;
    return fs::symlink_status(file, ec).type() != fs::file_type::not_found;
}

// Moves `from` to `to` unless `to` exists; false (and `from` left) when it does. Hard links are
// the way on file systems that cannot rename without replacing.
bool moveIfAbsent(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return true;
        }
        err = errno;
    }
    if (err == EEXIST) return false;
    throw jet::Error(to.string() + ": cannot create: " + std::strerror(err));
}

// False when a file appeared at `file` while ours was being written.
bool tryCreateNew(const fs::path& file, const std::vector<jet::TableSpec>& tables) {
    const fs::path temp = file.parent_path() /
                          ("." + file.filename().string() + ".new-" + std::to_string(::getpid()));
    try {
        jet::createDatabase(temp, tables);
        if (moveIfAbsent(temp, file)) return true;
    } catch (...) {
        std::error_code ec;
        fs::remove(temp, ec);
        throw;
    }
    std::error_code ec;
    fs::remove(temp, ec);
    return false;
}

void checkExisting(const fs::path& file) {
    std::shared_ptr<jet::Database> db;
    try {
        db = jet::Database::open(file, jet::PageFile::Mode::ReadOnly);
    } catch (const jet::Error& e) {
        throw jet::Error("the question bank " + file.string() +
                         " cannot be read as a Jet database (" + e.what() +
                         "); it has been left as it is");
    }
    if (!db->hasTable(jet::bank::tiku::kTable))
        throw jet::Error("the question bank " + file.string() +
                         " has no table tiku; it has been left as it is");
    const auto tiku = db->table(jet::bank::tiku::kTable);
    // Every reader takes a question's columns by position, up to the twelfth.
    if (tiku->columns.size() < static_cast<std::size_t>(jet::bank::tiku::kColumnCount))
        throw jet::Error("the question bank " + file.string() + ": its table tiku has " +
                         std::to_string(tiku->columns.size()) +
                         " columns instead of twelve; it has been left as it is");
}

}  // namespace

std::vector<Row> loadSample(const fs::path& jsonl) {
    std::ifstream in(jsonl, std::ios::binary);
    if (!in) throw jet::Error(jsonl.string() + ": cannot read the sample questions");
    const auto types = tikuTypes();
    std::vector<std::string> names;
    for (const auto& c : jet::bank::tikuSpec().columns) names.push_back(c.name);
    std::vector<Row> rows;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        try {
            rows.push_back(jet::fromJson(line, types, names));
        } catch (const jet::Error& e) {
            throw jet::Error(jsonl.string() + ": line " + std::to_string(number) + ": " + e.what());
        }
    }
    if (in.bad()) throw jet::Error(jsonl.string() + ": cannot read the sample questions");
    return rows;
}

std::vector<jet::TableSpec> bankTables(std::vector<Row> questions) {
    auto tiku = jet::bank::tikuSpec();
    tiku.rows = std::move(questions);
    return {std::move(tiku), jet::bank::chengjiSpec(), jet::bank::backSpec()};
}

void createNew(const fs::path& file, const std::vector<jet::TableSpec>& tables) {
    if (present(file) || !tryCreateNew(file, tables))
        throw jet::Error(file.string() + ": the file exists already; it has been left as it is");
}

bool ensureBank(const fs::path& bankFile, const fs::path& sampleJsonl) {
    if (!present(bankFile)) {
        // An installed program's bank folder is made at its first start; when that fails, the
        // creation below reports why.
        std::error_code ec;
        if (bankFile.has_parent_path()) fs::create_directories(bankFile.parent_path(), ec);
        std::vector<Row> rows;
        if (present(sampleJsonl)) rows = loadSample(sampleJsonl);
        if (tryCreateNew(bankFile, bankTables(std::move(rows)))) return true;
    }
    checkExisting(bankFile);
    return false;
}

}  // namespace bank

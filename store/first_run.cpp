#include "first_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "bank_tables.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/json.h"

namespace fs = std::filesystem;

namespace bank {

namespace {

std::vector<jet::ColumnType> tikuTypes() {
    std::vector<jet::ColumnType> types;
    for (const auto& c : bank::tikuSpec().columns) types.push_back(c.type);
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
    throw jet::Error(to.string() + ": cannot create: " + std::strerror(err), jet::errnoKind(err));
}

// False when a file appeared at `file` while ours was being written.
bool tryCreateNew(const fs::path& file, const std::function<void(const fs::path&)>& write) {
    const fs::path temp = file.parent_path() /
                          ("." + file.filename().string() + ".new-" + std::to_string(::getpid()));
    try {
        write(temp);
        if (moveIfAbsent(temp, file)) return true;
    } catch (const jet::Error& e) {
        std::error_code ec;
        fs::remove(temp, ec);
        // The user asked for `file`; the temporary name would only puzzle them.
        std::string message = e.what();
        if (message.rfind(temp.string(), 0) == 0) message.replace(0, temp.string().size(), file);
        throw jet::Error(message, e.kind());
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
                             "); it has been left as it is",
                         e.kind());
    }
    if (!db->hasTable(bank::tiku::kTable))
        throw jet::Error(
            "the question bank " + file.string() + " has no table tiku; it has been left as it is",
            jet::ErrorKind::NotDatabase);
    const auto tiku = db->table(bank::tiku::kTable);
    // Every reader takes a question's columns by position, up to the twelfth.
    if (tiku->columns.size() < static_cast<std::size_t>(bank::tiku::kColumnCount))
        throw jet::Error("the question bank " + file.string() + ": its table tiku has " +
                             std::to_string(tiku->columns.size()) +
                             " columns instead of twelve; it has been left as it is",
                         jet::ErrorKind::NotDatabase);
}

}  // namespace

std::vector<Row> loadSample(const fs::path& jsonl) {
    std::ifstream in(jsonl, std::ios::binary);
    if (!in) throw jet::Error(jsonl.string() + ": cannot read the sample questions");
    const auto types = tikuTypes();
    std::vector<std::string> names;
    for (const auto& c : bank::tikuSpec().columns) names.push_back(c.name);
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
    auto tiku = bank::tikuSpec();
    tiku.rows = std::move(questions);
    return {std::move(tiku), bank::chengjiSpec(), bank::backSpec()};
}

void createNew(const fs::path& file, const std::vector<jet::TableSpec>& tables,
               const jet::CreateOptions& options) {
    writeNew(file, [&](const fs::path& temp) { jet::createDatabase(temp, tables, options); });
}

void writeNew(const fs::path& file, const std::function<void(const fs::path&)>& write) {
    if (present(file) || !tryCreateNew(file, write))
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
        const auto tables = bankTables(std::move(rows));
        if (tryCreateNew(bankFile,
                         [&](const fs::path& temp) { jet::createDatabase(temp, tables); }))
            return true;
    }
    checkExisting(bankFile);
    return false;
}

}  // namespace bank

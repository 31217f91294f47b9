#include "bank_backup.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "jet/database.h"
#include "jet/page_file.h"

namespace bank {

namespace fs = std::filesystem;

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

// Flushes a file or a folder to disk.
std::error_code sync(const fs::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return lastError();
    std::error_code ec;
    if (::fsync(fd) != 0) ec = lastError();
    ::close(fd);
    return ec;
}

}  // namespace

std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}

fs::path backupFolder(const fs::path& bank) {
    return bank.parent_path() / (bank.stem().string() + "-备份");
}

bool isBackupOf(const fs::path& bank, const fs::path& file) {
    std::error_code ec;
    const bool inFolder = fs::equivalent(file.parent_path(), backupFolder(bank), ec);
    return !ec && inFolder;
}

void copyReplacing(const fs::path& from, const fs::path& to) {
    // Unique to this process, so two programs never write one temporary file.
    fs::path partial = to;
    partial += ".part" + std::to_string(::getpid());
    auto fail = [&](const std::error_code& why) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        throw BackupError(why);
    };

    std::error_code ec;
    fs::copy_file(from, partial, fs::copy_options::overwrite_existing, ec);
    if (ec) fail(ec);
    // The copy must be on disk before its name replaces the previous file.
    if ((ec = sync(partial, O_RDONLY))) fail(ec);
    // A journal left beside the file being replaced belongs to the old file: it is dealt with
    // before the copy takes the name.
    jet::PageFile::settle(to);
    fs::rename(partial, to, ec);
    if (ec) fail(ec);
    const fs::path folder = to.has_parent_path() ? to.parent_path() : fs::path(".");
    if ((ec = sync(folder, O_RDONLY | O_DIRECTORY))) throw BackupError(ec);
}

namespace {

// One of the bank's copies: the time in its name and the number that tells copies of one
// second apart (1 for the first, which has none).
struct Copy {
    std::string stamp;
    long number = 1;
    fs::path path;
    auto operator<=>(const Copy&) const = default;
};

constexpr std::size_t kStampSize = 15;  // YYYYMMDD-HHMMSS

// The bank's copies, oldest first.
std::vector<Copy> copiesOf(const fs::path& bank) {
    std::vector<Copy> found;
    std::error_code ec;
    const std::string prefix = bank.stem().string() + "-";
    for (const auto& e : fs::directory_iterator(backupFolder(bank), ec)) {
        const std::string stem = e.path().stem().string();
        if (!e.is_regular_file(ec) || e.path().extension() != ".mdb" || !stem.starts_with(prefix) ||
            stem.size() < prefix.size() + kStampSize)
            continue;
        const std::string rest = stem.substr(prefix.size() + kStampSize);
        found.push_back({stem.substr(prefix.size(), kStampSize),
                         rest.size() > 1 ? std::atol(rest.c_str() + 1) : 1, e.path()});
    }
    std::sort(found.begin(), found.end());
    return found;
}

// True when `copy` holds the bank's bytes. A bank written after the copy was made is taken as
// changed without reading either file (at worst one copy too many is made): every write moves
// the bank's modification time past the last.
bool sameBytes(const fs::path& bank, const fs::path& copy) {
    std::error_code ec, ec2;
    if (fs::file_size(bank, ec) != fs::file_size(copy, ec2) || ec || ec2) return false;
    if (fs::last_write_time(bank, ec) > fs::last_write_time(copy, ec2) || ec || ec2) return false;
    std::ifstream x(bank, std::ios::binary), y(copy, std::ios::binary);
    std::array<char, 65536> p{}, q{};
    while (x && y) {
        x.read(p.data(), p.size());
        y.read(q.data(), q.size());
        if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin()))
            return false;
    }
    return x.eof() && y.eof();
}

// A name for a copy made now, after every copy there is.
fs::path freshName(const fs::path& bank, const std::vector<Copy>& copies) {
    const std::string stamp = timeStamp();
    std::string name = bank.stem().string() + "-" + stamp;
    long number = 1;
    for (const auto& c : copies)
        if (c.stamp == stamp) number = std::max(number, c.number + 1);
    if (number > 1) name += "-" + std::to_string(number);
    return backupFolder(bank) / (name + ".mdb");
}

}  // namespace

fs::path newestBackup(const fs::path& bank) {
    const auto copies = copiesOf(bank);
    return copies.empty() ? fs::path() : copies.back().path;
}

Backup::Backup(const fs::path& bank) : bank_(bank) {
    // A bank that does not open is not worth a copy: it would push out a good one. The copy is
    // taken under one read of the file, so that it is a committed state, never a change that
    // another program is half way through writing.
    std::shared_ptr<jet::Database> db;
    try {
        db = jet::Database::open(bank, jet::PageFile::Mode::ReadOnly);
    } catch (const jet::Error& e) {
        throw BackupError(std::string("the bank is not copied: ") + e.what(), e.kind());
    }
    jet::PageFile::Reading reading(db->pages());
    std::error_code ec;
    const auto copies = copiesOf(bank);
    if (!copies.empty() && sameBytes(bank, copies.back().path)) {
        path_ = copies.back().path;
        return;
    }
    fs::create_directories(backupFolder(bank), ec);
    if (ec) throw BackupError(ec);
    path_ = freshName(bank, copies);
    copyReplacing(bank, path_);
    made_ = true;
}

void Backup::keep() {
    auto copies = copiesOf(bank_);
    std::error_code ec;
    for (std::size_t i = 0; i + kBackupsKept < copies.size(); ++i) fs::remove(copies[i].path, ec);
}

void Backup::discard() {
    std::error_code ec;
    if (made_) fs::remove(path_, ec);
    made_ = false;
}

}  // namespace bank

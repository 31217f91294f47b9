#include "bank_backup.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <system_error>

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

fs::path backupPath(const fs::path& bank) {
    fs::path p = bank;
    p += ".bak";
    return p;
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
        throw BackupError(why.message());
    };

    std::error_code ec;
    fs::copy_file(from, partial, fs::copy_options::overwrite_existing, ec);
    if (ec) fail(ec);
    // The copy must be on disk before its name replaces the previous file.
    if ((ec = sync(partial, O_RDONLY))) fail(ec);
    // A journal left beside the file being replaced would be played back onto the copy when
    // it is opened, so it goes first.
    fs::remove(jet::PageFile::journalPath(to), ec);
    if (ec) fail(ec);
    fs::rename(partial, to, ec);
    if (ec) fail(ec);
    const fs::path folder = to.has_parent_path() ? to.parent_path() : fs::path(".");
    if ((ec = sync(folder, O_RDONLY | O_DIRECTORY))) throw BackupError(ec.message());
}

void keepBackup(const fs::path& bank) {
    std::error_code ec;
    if (fs::exists(jet::PageFile::journalPath(bank), ec))
        throw BackupError("题库有一次没有做完的修改，可能另一个程序正在修改它");
    // Emptying the questions and then the scores would otherwise leave no copy of the
    // questions: the copy before this one is kept as "<bank>.bak.1".
    const fs::path backup = backupPath(bank);
    if (fs::is_regular_file(backup, ec)) {
        fs::path older = backup;
        older += ".1";
        fs::remove(jet::PageFile::journalPath(older), ec);
        fs::rename(backup, older, ec);
        if (ec) throw BackupError(ec.message());
    }
    copyReplacing(bank, backup);
}

}  // namespace bank

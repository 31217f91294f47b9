// Emptying a whole table of the question bank is guarded by one code and preceded by a copy of
// the bank, so that an emptied table can be brought back by hand.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "jet/error.h"

namespace bank {

// The code the user types before a table is emptied.
inline constexpr const char* kAccessCode = "583904";

// Its kind tells the windows why (a full disk, a read-only folder, a change under way).
class BackupError : public jet::Error {
  public:
    explicit BackupError(const std::error_code& why)
        : jet::Error(why.message(), jet::errnoKind(why.value())) {}
    using jet::Error::Error;
};

// Makes `to` a durable copy of `from`, replacing a file of that name. The copy is written under
// a temporary name and renamed over `to`, so `to` is always either the old file or the whole
// copy; a rollback journal beside the old `to` belongs to the file being replaced and goes
// with it. Throws BackupError with the reason.
void copyReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Now, as the files kept beside the bank are dated: "YYYYMMDD-HHMMSS", local time.
std::string timeStamp();

// The folder beside the bank that holds its dated copies.
std::filesystem::path backupFolder(const std::filesystem::path& bank);
// True when `file` is one of the bank's copies (it lies in backupFolder(bank)).
bool isBackupOf(const std::filesystem::path& bank, const std::filesystem::path& file);

// The newest of the bank's dated copies; empty when there is none.
std::filesystem::path newestBackup(const std::filesystem::path& bank);

// How many dated copies backupFolder(bank) keeps.
inline constexpr std::size_t kBackupsKept = 10;

// A copy of the bank kept before work that empties or replaces much of it: a dated file
// "<stem>-YYYYMMDD-HHMMSS.mdb" in backupFolder(bank), made only when the newest copy there
// differs from the bank (otherwise that copy serves). Refuses (BackupError with the reason) a
// bank that does not open as a database, so a failed attempt on a damaged bank pushes out no
// good copy. Make it while no transaction
// is running on the bank, then keep() it when the work is done or discard() it when it failed.
class Backup {
  public:
    explicit Backup(const std::filesystem::path& bank);
    // The copy that holds the bank as it was.
    const std::filesystem::path& path() const { return path_; }
    // The work is done: copies beyond the newest kBackupsKept go.
    void keep();
    // The work failed and changed nothing: a copy made for it goes again.
    void discard();

  private:
    std::filesystem::path bank_;
    std::filesystem::path path_;
    bool made_ = false;
};

}  // namespace bank

// Emptying a whole table of the question bank is guarded by one code and preceded by a copy of
// the bank, so that an emptied table can be brought back by hand.
#pragma once

#include <filesystem>
#include <stdexcept>

namespace bank {

// The code the user types before a table is emptied.
inline constexpr const char* kAccessCode = "583904";

class BackupError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Makes `to` a durable copy of `from`, replacing a file of that name. The copy is written under
// a temporary name and renamed over `to`, so `to` is always either the old file or the whole
// copy; a rollback journal beside the old `to` belongs to the file being replaced and goes
// with it. Throws BackupError with the reason.
void copyReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// "<bank>.bak" beside the bank.
std::filesystem::path backupPath(const std::filesystem::path& bank);

// The folder beside the bank that holds its dated copies.
std::filesystem::path backupFolder(const std::filesystem::path& bank);
// True when `file` is one of the bank's copies (it lies in backupFolder(bank)).
bool isBackupOf(const std::filesystem::path& bank, const std::filesystem::path& file);

// Makes backupPath(bank) a copy of the bank as it is on disk now (copyReplacing); an earlier
// copy there becomes "<bank>.bak.1", replacing the one before it. Refuses
// (BackupError with the reason) a bank with an unfinished change in its rollback journal, since its
// pages would be copied half changed. Call it while no transaction is running on the bank.
void keepBackup(const std::filesystem::path& bank);

}  // namespace bank

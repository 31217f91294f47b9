// The database file seen as an array of fixed-size pages: 2048 bytes in Jet 3 files, 4096 in
// Jet 4, told apart by the version byte of page 0. Every handle on one file in a process shares
// one PageFile (and so one page cache). Changes go through transactions: before a page is first
// overwritten in a transaction its old image is written to a rollback journal beside the file
// ("<file>-journal") and flushed; commit makes the file durable and removes the journal. Opening
// a file whose journal was left behind by a crash rolls the file back first. A read-write open
// takes an advisory lock, so a second process cannot write at the same time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

namespace jet {

class PageFile {
  public:
    enum class Mode { ReadOnly, ReadWrite };

    // Opens the file; throws jet::Error (naming the file) when it is missing, unreadable,
    // too short for a header, or (ReadWrite) locked by another process.
    PageFile(const std::filesystem::path& path, Mode mode);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    const std::filesystem::path& path() const;
    Mode mode() const;
    std::size_t pageSize() const;
    std::uint32_t pageCount() const;

    // Page n, as it is now (changes of a running transaction included). The view stays valid
    // until the PageFile is destroyed. Throws jet::Error when n is not a page of the file.
    std::span<const std::uint8_t> page(std::uint32_t n) const;

    // Writing: only inside a transaction, only in ReadWrite mode. Transactions do not nest.
    // Changed pages are kept in memory and reach the file at commit (or earlier, journaled
    // first, when a transaction has changed very many pages).
    void begin();
    void write(std::uint32_t n, std::span<const std::uint8_t> content);  // content: one page
    std::uint32_t append(std::span<const std::uint8_t> content);         // returns its number
    void commit();
    void rollback();
    bool inTransaction() const;

    // One step inside a transaction that must happen entirely or not at all: after
    // beginStatement, undoStatement puts every page back as it was at beginStatement.
    void beginStatement();
    void undoStatement();

    // Grows on every change of the pages (write, append, commit, rollback), so caches of
    // decoded pages can tell that they are stale.
    std::uint64_t generation() const;

    // The rollback journal of a database file.
    static std::filesystem::path journalPath(const std::filesystem::path& file);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace jet

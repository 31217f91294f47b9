// The database file seen as an array of fixed-size pages: 2048 bytes in Jet 3 files, 4096 in
// Jet 4, told apart by the version byte of page 0. Every handle on one file in a process shares
// one PageFile (and so one page cache).
//
// Sharing the file between programs. Any number of programs hold the file open and read it;
// one at a time changes it. Holding the file open locks nothing: the locks cover a read and a
// change. They are byte-range locks of the open file description (so they belong to this
// PageFile, not to the process), on three bytes far beyond the end of any Jet file:
//   SHARED    read-locked by every reader for the length of one read (a query, a scan, the
//             loading of a page); write-locked by a writer while it writes pages over the file.
//   RESERVED  write-locked by the one writer from the start of its transaction to its end.
//   PENDING   write-locked by a writer that wants to write pages over the file, so that no new
//             reader starts meanwhile; readers read-lock it just while they take SHARED.
// A transaction keeps every changed page in memory; nothing of it reaches the file before
// commit. Commit takes PENDING, then SHARED for writing (waiting for the readers under way to
// finish), writes the old images of the pages it changes to the rollback journal and flushes
// it, writes the pages, flushes the file, advances the file's modification time and removes
// the journal: that removal is the moment the change becomes final. So a reader never sees a
// page of an unfinished change, and a copy of the file taken under a read lock is a committed
// state. A journal seen by a reader holding SHARED belongs to a writer that died: the reader
// rolls the file back (or, without write access, reads the pages as they were through the
// journal). A journal is bound to the file it was made for and never applied to another one
// (see journal.h).
//
// A writer that finds another writing waits a few seconds, then gives up with a Busy error;
// so does a reader that finds a commit taking too long. A writer that holds a read lock does
// not wait at all, since the other writer may be waiting for that very read lock.
//
// Every read and every transaction starts by checking that the name still leads to the file
// open here and that nobody changed it since it was last read (device, inode, size, change
// and modification times; each commit sets a modification time later than the one before).
// A changed file drops the cached pages; a file replaced under the name is opened anew; one
// moved away or deleted is an error, never written into.
//
// When Access has the file open (its lock file "<name>.ldb" beside it, with byte-range locks
// held), changes are refused with a Busy error; reading goes on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace jet {

class PageFile {
  public:
    enum class Mode { ReadOnly, ReadWrite };

    // Opens the file; throws jet::Error (naming the file) when it is missing, unreadable or
    // too short for a header. A journal left by a program that stopped midway is dealt with
    // first.
    PageFile(const std::filesystem::path& path, Mode mode);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    const std::filesystem::path& path() const;
    Mode mode() const;
    std::size_t pageSize() const;
    std::uint32_t pageCount() const;

    // Page n, as it is now (changes of a running transaction included). The view stays valid
    // until the PageFile is destroyed; after a change by another program its bytes are those
    // of the new state once the page is asked for again. Throws jet::Error when n is not a
    // page of the file.
    std::span<const std::uint8_t> page(std::uint32_t n) const;
    // Reads pages first, first + 1, ... (a few of them, those not read yet) in one go ahead of
    // their use by page(): for a walk over consecutive pages.
    void preload(std::uint32_t first, std::uint32_t count) const;

    // One read: while it lives, the pages read are of one committed state of the file. Reads
    // nest; only the outermost locks. Taking it brings the cache up to date with the file.
    class Reading {
      public:
        explicit Reading(const PageFile& file);
        ~Reading();
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;

      private:
        const PageFile* file_;
    };

    // Writing: only inside a transaction, only in ReadWrite mode. Transactions do not nest.
    // begin waits for another program's change to end; changed pages are kept in memory and
    // reach the file at commit.
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

    // Lets go of the pages read so far once more than a few thousand are held, so that a walk
    // over a large file does not keep all of it in memory. Only for a caller that holds no span
    // of this file's pages; does nothing during a transaction, whose pages stay until commit.
    void releasePages() const;

    // Grows on every change of the pages (write, append, commit, rollback, a change by another
    // program found), so caches of decoded pages can tell that they are stale.
    std::uint64_t generation() const;

    // Things the user should hear of that did not stop the open (a journal set aside).
    const std::vector<std::string>& notices() const;

    // The rollback journal of a database file.
    static std::filesystem::path journalPath(const std::filesystem::path& file);

    // Before a file is created or copied under `file`'s name: puts right what a program that
    // stopped midway left of the old file (its journal), so that it cannot meet the new one.
    static void settle(const std::filesystem::path& file);

    // How long a writer waits for another, and a reader for a commit (tests shorten them).
    static void setWaitLimits(int writerMilliseconds, int readerMilliseconds);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace jet

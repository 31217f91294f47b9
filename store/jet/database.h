// A Jet 3 or Jet 4 database file, as the layers above see it: its format, its user tables and
// their rows. There is one Database per file in a process (opens of the same file share it
// and its page cache), so a change made through one handle is seen by every other.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "catalog.h"
#include "error.h"
#include "format.h"
#include "header.h"
#include "page_file.h"
#include "table_def.h"
#include "table_scan.h"
#include "text.h"
#include "value.h"

namespace jet {

class TableWriter;

class Database : public std::enable_shared_from_this<Database> {
  public:
    // Opens (or joins the process's open object of) the file. A read-only request is served by
    // a read-write object already open; a read-write request while the file is open read-only
    // is an error. Throws jet::Error naming the file when it cannot be read as a Jet database.
    static std::shared_ptr<Database> open(const std::filesystem::path& path, PageFile::Mode mode);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::filesystem::path& path() const { return pages_->path(); }
    PageFile::Mode mode() const { return pages_->mode(); }
    Format format() const { return header_.format; }
    std::uint16_t codePage() const { return header_.codePage; }
    std::uint16_t sortOrder() const { return header_.sortOrder; }
    const Header& header() const { return header_; }
    const Layout& layout() const { return layoutOf(header_.format); }
    const TextDecoder& text() const { return *text_; }
    PageFile& pages() { return *pages_; }
    const PageFile& pages() const { return *pages_; }
    // What the open found and put right that the user should hear of.
    const std::vector<std::string>& notices() const { return pages_->notices(); }

    // The catalog, and the names of the user tables in catalog order.
    std::vector<CatalogEntry> catalog() const;
    std::vector<std::string> tableNames() const;
    bool hasTable(std::string_view name) const;
    // The table of that name, found without regard to case; throws jet::Error when there is
    // none. The definition is a snapshot: after a change to the file, ask again.
    std::shared_ptr<const TableDef> table(std::string_view name) const;

    class Scan;
    // All live rows of a table in the engine's order, decoding only the wanted columns (by
    // position; empty = all).
    Scan scan(std::shared_ptr<const TableDef> table, std::vector<bool> wanted = {}) const;
    // A scan that only finds the wanted columns in each row, for stored().
    Scan scanStored(std::shared_ptr<const TableDef> table, std::vector<bool> wanted) const;
    Scan scan(std::string_view table, std::vector<bool> wanted = {}) const;

    // One row by its id (a moved row is followed); throws when there is no such live row.
    std::vector<Value> readRow(const TableDef& table, RowId id,
                               const std::vector<bool>& wanted = {}) const;
    // The same row as stored, its wanted columns found in `cells`; valid while its pages are
    // held (inside a read that lets none go).
    StoredRow readStoredRow(const TableDef& table, RowId id, const std::vector<bool>& wanted,
                            std::vector<CellRef>& cells) const;

    // Writing: ReadWrite opens only (otherwise jet::Error). Outside an explicit
    // transaction every call below is its own durable transaction.
    void beginTransaction();  // transactions do not nest: a second begin throws
    void commitTransaction();
    void rollbackTransaction();
    bool inTransaction() const;
    // Values by column position; missing trailing values are null. Returns the new row's id.
    RowId insertRow(std::string_view table, const std::vector<Value>& values);
    // Replaces the whole row; its RowId stays valid (a row that no longer fits moves and
    // leaves a forwarding stub, as Jet does).
    void updateRow(std::string_view table, RowId id, const std::vector<Value>& values);
    void deleteRow(std::string_view table, RowId id);

  private:
    explicit Database(std::unique_ptr<PageFile> pages);
    struct Snapshot {
        std::uint64_t generation = 0;
        std::vector<CatalogEntry> entries;
        std::vector<std::shared_ptr<const TableDef>> tables;  // by entry, filled on demand
    };
    std::shared_ptr<Snapshot> current() const;
    const CatalogEntry* findEntry(const Snapshot& s, std::string_view name,
                                  std::size_t& index) const;

    // Writing: one writer per table (by definition page), valid while the file's generation
    // is the one they last left it at.
    struct Writers;
    void requireWritable(const char* what) const;
    void write(std::string_view table, const std::function<void(TableWriter&)>& step);
    void carryOver(std::uint64_t before);  // keeps caches that a change of ours left right

    std::unique_ptr<PageFile> pages_;
    std::unique_ptr<Writers> writers_;
    std::string key_;  // in the registry of open files
    Header header_;
    std::unique_ptr<TextDecoder> text_;
    mutable std::mutex mutex_;
    mutable std::shared_ptr<Snapshot> snapshot_;
};

// Rows of one table, one at a time. Holds its Database alive. When the file changes while a
// scan runs, the scan takes the new definition and goes on after the row it stands on.
//
// A scan is one read: from its start to its last row other programs' changes wait (see
// page_file.h), so it should be run to its end, not kept.
class Database::Scan {
  public:
    ~Scan();
    Scan(Scan&&) noexcept;
    bool next();
    RowId rowId() const { return cursor_->rowId(); }
    const std::vector<Value>& values() const { return cursor_->values(); }
    const TableDef& table() const { return *table_; }
    // The current row as stored (of a scanStored scan); valid until the next row.
    StoredRow stored() const;

  private:
    friend class Database;
    Scan(std::shared_ptr<const Database> db, std::shared_ptr<const TableDef> table,
         std::vector<bool> wanted, bool decode = true);
    bool refind();  // the table again, by its definition page; false when it is gone
    std::shared_ptr<const Database> db_;
    std::shared_ptr<const TableDef> table_;
    std::unique_ptr<PageFile::Reading> reading_;
    std::unique_ptr<RowCursor> cursor_;
    std::uint64_t generation_ = 0;
};

}  // namespace jet

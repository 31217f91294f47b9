// Reading a table's rows in the engine's order: its data pages in usage-map order (by page
// number), rows by row number within a page. Deleted rows are skipped, and so are the stubs
// that moved rows leave behind: a moved row is read where it lives now, on its own page, in
// that page's turn. Pages in the map that are not data pages of this table are passed over.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format.h"
#include "row.h"
#include "table_def.h"
#include "value.h"

namespace jet {

class PageFile;
class TextDecoder;

struct RowId {
    std::uint32_t page = 0;
    std::uint16_t row = 0;
    friend auto operator<=>(const RowId&, const RowId&) = default;
};

// The data pages of a table, ascending.
std::vector<std::uint32_t> tableDataPages(const PageFile& file, const Layout& layout,
                                          const TableDef& table);

class RowCursor {
  public:
    // `wanted[i]` selects the columns (by position) to decode; empty means all. Without
    // `decode` the wanted columns are only found in the row (cells()), not decoded.
    RowCursor(const PageFile& file, const Layout& layout, const TextDecoder& text,
              const TableDef& table, std::vector<bool> wanted, bool decode = true);

    // Moves to the next live row; false at the end.
    bool next();
    RowId rowId() const { return current_; }
    // Values by column position; columns not wanted are null.
    const std::vector<Value>& values() const { return values_; }
    std::vector<Value>& values() { return values_; }
    // Where the wanted columns' bytes are in the current row, while its page is held.
    const std::vector<CellRef>& cells() const { return cells_; }

    // After the file changed: takes the new definition and page list and goes on after the
    // current row.
    void reposition(const TableDef& table);

  private:
    const PageFile& file_;
    const Layout& layout_;
    const TextDecoder& text_;
    const TableDef* table_;
    std::vector<bool> wanted_;
    bool decode_;
    std::vector<std::uint32_t> pages_;
    std::size_t pageIndex_ = 0;
    std::uint32_t nextRow_ = 0;
    bool started_ = false;
    RowId current_{};
    std::vector<CellRef> cells_;
    std::vector<Value> values_;
    std::vector<std::string> lastText_;  // the stored bytes that values_' texts come from
};

// Decodes the row stored at `slot` bytes of `page` into values (by column position). With
// `lastText` (the stored bytes of the texts `values` holds from the row before, kept up to date
// here), a text stored as before is not decoded again.
void decodeRow(const PageFile& file, const Layout& layout, const TextDecoder& text,
               const TableDef& table, const std::vector<bool>& wanted, std::uint32_t page,
               std::uint16_t row, std::span<const std::uint8_t> bytes, std::vector<CellRef>& cells,
               std::vector<Value>& values, std::vector<std::string>* lastText = nullptr);

// Where the row of that id lives (a moved row followed, `id` set to where it lives): its
// bytes. Throws when there is no such live row.
std::span<const std::uint8_t> findTableRow(const PageFile& file, const Layout& layout,
                                           const TableDef& table, RowId& id);

// A row as stored: its wanted columns found in it (cells), each decoded only when asked for.
// Valid while the pages it lies in are held.
class StoredRow {
  public:
    StoredRow(const PageFile& file, const Layout& layout, const TextDecoder& text,
              const TableDef& table, RowId id, const std::vector<CellRef>& cells);
    // The stored bytes of a wanted text or memo column; nothing when it is null. A memo in
    // pieces is gathered into `gathered`.
    std::optional<std::span<const std::uint8_t>> text(std::size_t column, Bytes& gathered) const;
    // The value of a wanted column, into `out`.
    void decode(std::size_t column, Value& out) const;

  private:
    const PageFile& file_;
    const Layout& layout_;
    const TextDecoder& text_;
    const TableDef& table_;
    RowId id_;
    const std::vector<CellRef>& cells_;
};

// One row by its id, following a moved row to where it lives. Throws when there is no such
// live row.
std::vector<Value> readTableRow(const PageFile& file, const Layout& layout, const TextDecoder& text,
                                const TableDef& table, RowId id, const std::vector<bool>& wanted);

}  // namespace jet

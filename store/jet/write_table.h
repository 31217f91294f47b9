// Inserting, replacing and deleting the rows of one Jet 4 table, inside a transaction of its
// PageFile: rows through the encoder onto data pages with room, long values onto long-value
// pages, usage maps and the definition's row count kept right. A row that outgrows its page
// moves and leaves a 4-byte pointer in its slot (flag 0x4000), the new home marked 0x8000, so
// that its page/row id stays valid.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "encode.h"
#include "table_def.h"
#include "table_scan.h"
#include "value.h"
#include "write_long_value.h"
#include "write_pool.h"

namespace jet {

class PageFile;

class TableWriter {
  public:
    // Throws jet::Error when the table cannot be written safely (a system table, indexes,
    // autonumber or decimal columns, a column layout the encoder cannot reproduce).
    TableWriter(PageFile& file, TableDef table);

    const TableDef& table() const { return table_; }
    // Values by column position; missing trailing values are null.
    RowId insert(const std::vector<Value>& values);
    void update(RowId id, const std::vector<Value>& values);
    void remove(RowId id);

  private:
    struct Located {
        RowId home;                // where the row's bytes are
        std::vector<RowId> stubs;  // slots that point to it
    };
    Located locate(RowId id) const;
    std::vector<RowId> stubsPointingAt(RowId home) const;
    Bytes encode(const std::vector<Value>& values);
    std::vector<std::pair<std::uint16_t, Bytes>> longCells(RowId home) const;
    void releaseLongValues(const std::vector<std::pair<std::uint16_t, Bytes>>& cells);
    void setRowCount(std::uint32_t count);
    std::string where() const;

    PageFile& file_;
    TableDef table_;
    encode::RowLayout layout_;
    PagePool rows_;
    std::map<std::uint16_t, std::unique_ptr<LongValueWriter>> longValues_;  // by column number
};

}  // namespace jet

// One row of a data page. Jet 3: column count (1 byte), fixed area, variable area, then from
// the end backwards: null mask ((count + 7) / 8 bytes), variable-column count (1 byte), jump
// table, variable offsets (1 byte each, in reverse, the end-of-data offset after the last),
// each offset raised by 256 for every jump entry at or below its index. Jet 4: the counts and
// offsets are 2 bytes, and there is no jump table. The null mask has one bit per column number
// (1 = present); a boolean's value is its bit. Rows written before a column was added are
// shorter: such columns read as null.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "format.h"
#include "table_def.h"

namespace jet {

// Where one column's bytes sit in a row. `present` is the null-mask bit: for a boolean it is
// the value itself.
struct CellRef {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    bool present = false;
};

// Finds every column's bytes (all of them, or those whose `wanted[position]` is set; the
// others stay empty) in `row`. Throws jet::Error naming `file`, `page` and `rowNo` when the
// row's structure does not fit inside it.
void crackRow(std::span<const std::uint8_t> row, const TableDef& table, const Layout& layout,
              const std::vector<bool>& wanted, std::vector<CellRef>& cells, std::string_view file,
              std::uint32_t page, std::uint16_t rowNo);

// Size in bytes of a row's null mask for `columnCount` columns.
constexpr std::size_t nullMaskSize(std::size_t columnCount) { return (columnCount + 7) / 8; }

}  // namespace jet

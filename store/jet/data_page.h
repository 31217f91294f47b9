// A data page (type 0x01): type, 1, free space (2), owner (4: the table-definition page of the
// table, or "LVAL" for long values), [Jet 4: 4 unknown], row count (2), then one 2-byte offset
// per row. Rows are stored from the end of the page downwards: row 0 ends at the page end,
// row n ends where row n-1 starts. An offset's top two bits tell a deleted row (both set), a
// row moved away (0x4000: its 4 bytes point to the page/row that holds it now) and a row that
// was moved here (0x8000).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "format.h"

namespace jet {

struct RowSlot {
    std::size_t start = 0;  // within the page
    std::size_t end = 0;    // one past the last byte
    bool deleted = false;
    bool moved = false;      // moved away: the slot holds the pointer
    bool movedHere = false;  // a live row that another page's slot points to
    std::size_t size() const { return end - start; }
};

std::uint32_t dataPageOwner(std::span<const std::uint8_t> page, const Layout& layout);

// The number of rows, checked against the page size. `file`/`pageNo` name the page in errors.
std::uint16_t dataRowCount(std::span<const std::uint8_t> page, const Layout& layout,
                           std::string_view file, std::uint32_t pageNo);

// Row `row`'s place; throws when its offsets do not lie inside the page. The bounds of a
// deleted row are not checked (its bytes are never read).
RowSlot dataRowSlot(std::span<const std::uint8_t> page, const Layout& layout, std::uint16_t row,
                    std::string_view file, std::uint32_t pageNo);

}  // namespace jet

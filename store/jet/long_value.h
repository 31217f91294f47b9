// Long values (memo, OLE). A row holds a 12-byte reference: length (30 bits) with two flags
// in its top byte, a page/row pointer, 4 unused bytes. Flag 0x80: the bytes follow the
// reference inside the row. Flag 0x40: they fill one row of a long-value page. Neither: they
// are chained over rows of long-value pages, each row being the 4-byte pointer to the next
// (0 at the end) and a part of the value.
#pragma once

#include <cstdint>
#include <span>

#include "format.h"
#include "value.h"

namespace jet {

class PageFile;

struct LongValueRef {
    std::uint32_t length = 0;
    std::uint8_t kind = 0;  // long_value::kInline, kSinglePage, or 0 (chained)
    std::uint32_t pageRow = 0;
};

// Decodes the reference; throws when the cell is too short or carries an unknown kind.
// `page`/`rowNo` name the row that holds the reference.
LongValueRef readLongValueRef(std::span<const std::uint8_t> cell, const PageFile& file,
                              std::uint32_t page, std::uint16_t rowNo);
// The same bytes, without a copy where they lie in one piece (inside the row, or in one row of
// a long-value page: valid while that page is); a chained value is gathered into `gathered`.
std::span<const std::uint8_t> longValueBytes(std::span<const std::uint8_t> cell,
                                             const PageFile& file, const Layout& layout,
                                             std::uint32_t page, std::uint16_t rowNo,
                                             Bytes& gathered);

// The bytes of a long value (an empty cell is the empty value). Every length and pointer is
// checked; a chain that runs in a circle, leaves the file or ends early is an error.
Bytes readLongValue(std::span<const std::uint8_t> cell, const PageFile& file, const Layout& layout,
                    std::uint32_t page, std::uint16_t rowNo);

}  // namespace jet

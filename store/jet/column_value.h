// One column's value from its bytes in a row. Fixed kinds are little-endian: byte (unsigned),
// 16/32-bit integers (signed), currency (64-bit, times 10,000), single, double, date/time (a
// double), replication id (16 bytes), decimal (17 bytes: sign byte with 0x80 = negative, then
// four 32-bit words, most significant first, the scale from the column). Text is decoded to
// UTF-8, binary kept as is, memo and OLE read as long values.
#pragma once

#include <cstdint>

#include "format.h"
#include "row.h"
#include "table_def.h"
#include "value.h"

namespace jet {

class PageFile;
class TextDecoder;

struct CellContext {
    const PageFile& file;
    const Layout& layout;
    const TextDecoder& text;
    std::uint32_t page;  // where the row is, for messages
    std::uint16_t row;
};

Value decodeColumnValue(const Column& column, const CellRef& cell, const CellContext& ctx);
// The same into `out`, reusing the room of the text it holds.
void decodeColumnInto(const Column& column, const CellRef& cell, const CellContext& ctx,
                      Value& out);

// The 17 stored bytes of a decimal as a value of the given scale.
Decimal decodeDecimal(const std::uint8_t* bytes, std::uint8_t scale);

}  // namespace jet

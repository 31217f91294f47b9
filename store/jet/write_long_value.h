// Storing and freeing the long values (memo, OLE) of one column: inline in the row, in one row
// of a long-value page, or chained over several, as the 12-byte reference in the row says.
#pragma once

#include <cstdint>
#include <span>

#include "value.h"
#include "write_pool.h"

namespace jet {

class PageFile;

class LongValueWriter {
  public:
    // The column's own usage maps (0 when the file lists none).
    LongValueWriter(PageFile& file, std::uint32_t usedMap, std::uint32_t freeMap);

    // The cell for the row: the reference (with the bytes after it when `inRow`).
    Bytes store(std::span<const std::uint8_t> data, bool inRow);
    // Frees the pages' rows that a cell (as stored in a row) refers to; inline values need
    // nothing. Parts that are not where they should be are left alone.
    void release(std::span<const std::uint8_t> cell);

  private:
    void freeRow(std::uint32_t pageRow);
    PageFile& file_;
    PagePool pool_;
};

}  // namespace jet

// Changing one data page (Jet 3 or Jet 4, told by its size) in memory: adding, replacing and
// deleting rows. Row numbers never change (a row's page/row pointer is its identity); when a row
// grows or a new row needs room, the live rows are packed against the end of the page again,
// deleted rows keeping their slot with no bytes and moved-away rows their 4-byte pointer. The
// header's free space is kept equal to the gap between the offset table and the lowest row, as Jet
// keeps it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "format.h"
#include "value.h"

namespace jet {

class DataPageEdit {
  public:
    // A new, empty data page of `owner` (a table-definition page, or "LVAL").
    static Bytes empty(std::uint32_t owner, const Layout& format);

    // `page` must be a whole data page; it is changed in place.
    explicit DataPageEdit(Bytes& page);

    std::uint16_t rowCount() const;
    std::uint16_t rawOffset(std::uint16_t row) const;
    std::span<const std::uint8_t> row(std::uint16_t row) const;  // its bytes (none if deleted)
    bool deleted(std::uint16_t row) const;

    // Bytes available to one more row (its offset slot counted), after packing.
    std::size_t roomForNew() const;
    // Bytes row `row` may grow to, after packing.
    std::size_t roomFor(std::uint16_t row) const;

    // Adds a row with the given offset flags (0, or row_offset::kMovedHere); returns its
    // number. The row must fit (roomForNew).
    std::uint16_t add(std::span<const std::uint8_t> bytes, std::uint16_t flags = 0);
    // Gives row `row` new bytes and flags; must fit (roomFor).
    void replace(std::uint16_t row, std::span<const std::uint8_t> bytes, std::uint16_t flags);
    // Marks the row deleted and frees its bytes.
    void remove(std::uint16_t row);
    // Long-value pages, whose rows only long-value references name: a freed row becomes an
    // empty slot without flags (some readers take a flagged slot's raw offset as the end of
    // the next row), and a page of empty slots starts afresh.
    void vacate(std::uint16_t row);
    bool allEmpty() const;
    void clear();

  private:
    std::size_t liveBytes() const;  // bytes the rows would take when packed
    void repack(std::uint16_t changed, std::span<const std::uint8_t> bytes, std::uint16_t flags);
    void setFreeSpace();
    Bytes& page_;
    // Where this page's format keeps things.
    std::size_t size_, header_, rowCountAt_, freeSpaceAt_;
};

}  // namespace jet

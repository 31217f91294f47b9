#include "data_page.h"

#include <string>

#include "bytes.h"

namespace jet {

std::uint32_t dataPageOwner(std::span<const std::uint8_t> page, const Layout& layout) {
    return le32(page.data() + layout.dataOwnerOffset);
}

std::uint16_t dataRowCount(std::span<const std::uint8_t> page, const Layout& layout,
                           std::string_view file, std::uint32_t pageNo) {
    std::uint16_t n = le16(page.data() + layout.dataRowCountOffset);
    if (layout.dataRowTableOffset + 2 * static_cast<std::size_t>(n) > page.size())
        failAt(file, pageNo, "the row count " + std::to_string(n) + " does not fit the page");
    return n;
}

RowSlot dataRowSlot(std::span<const std::uint8_t> page, const Layout& layout, std::uint16_t row,
                    std::string_view file, std::uint32_t pageNo) {
    std::uint16_t count = dataRowCount(page, layout, file, pageNo);
    if (row >= count)
        failAt(file, pageNo,
               "there is no row " + std::to_string(row) + " (the page has " +
                   std::to_string(count) + ")");
    const std::uint8_t* table = page.data() + layout.dataRowTableOffset;
    std::uint16_t raw = le16(table + 2 * row);
    RowSlot s;
    const std::uint16_t flags = raw & row_offset::kFlags;
    s.deleted = flags == row_offset::kDeleted;
    s.moved = flags == row_offset::kMoved;
    s.movedHere = flags == row_offset::kMovedHere;
    s.start = raw & row_offset::kMask;
    s.end = row == 0 ? page.size() : (le16(table + 2 * (row - 1)) & row_offset::kMask);
    if (s.deleted) return s;
    std::size_t tableEnd = layout.dataRowTableOffset + 2 * static_cast<std::size_t>(count);
    if (s.start < tableEnd || s.end > page.size() || s.start > s.end)
        failAt(file, pageNo,
               "row " + std::to_string(row) + " lies outside the page (bytes " +
                   std::to_string(s.start) + " to " + std::to_string(s.end) + ")");
    return s;
}

}  // namespace jet

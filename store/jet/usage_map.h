// Usage maps: which pages belong to a table (or a long-value column, an index). A map lives in
// a row that a page/row pointer names. Type 0: the type byte, the first page it covers (4),
// then a bitmap, one bit per page from that page on, low bit first. Type 1: the type byte,
// then 4-byte numbers of map pages (type 0x05: 4-byte header, then a bitmap); map page i covers
// pages from i * (page size - 4) * 8.
#pragma once

#include <cstdint>
#include <vector>

#include "format.h"

namespace jet {

class PageFile;

namespace usage_map {
constexpr std::uint8_t kInline = 0x00;
constexpr std::uint8_t kReference = 0x01;
constexpr std::size_t kInlineBitmapOffset = 5;
constexpr std::size_t kMapPageBitmapOffset = 4;
constexpr std::size_t pagesPerMapPage(std::size_t pageSize) { return (pageSize - 4) * 8; }
}  // namespace usage_map

// The pages the map marks, in ascending order. Throws when the map's row or one of its map
// pages is missing or damaged, or when it marks a page beyond the end of the file.
std::vector<std::uint32_t> readUsageMap(const PageFile& file, const Layout& layout,
                                        std::uint32_t pageRow, std::uint32_t ownerPage);

}  // namespace jet

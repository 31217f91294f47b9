#include "usage_map.h"

#include <string>

#include "bytes.h"
#include "data_page.h"
#include "page_file.h"

namespace jet {

namespace {

void collect(std::span<const std::uint8_t> bitmap, std::uint64_t firstPage,
             std::vector<std::uint32_t>& out, const PageFile& file, std::uint32_t mapPage) {
    for (std::size_t i = 0; i < bitmap.size(); ++i) {
        std::uint8_t b = bitmap[i];
        if (!b) continue;
        for (int bit = 0; bit < 8; ++bit) {
            if (!(b >> bit & 1)) continue;
            std::uint64_t p = firstPage + i * 8 + static_cast<std::uint64_t>(bit);
            if (p >= file.pageCount())
                failAt(
                    file.path().string(), mapPage,
                    "a usage map marks page " + std::to_string(p) + ", beyond the end of the file");
            out.push_back(static_cast<std::uint32_t>(p));
        }
    }
}

}  // namespace

std::vector<std::uint32_t> readUsageMap(const PageFile& file, const Layout& layout,
                                        std::uint32_t pageRow, std::uint32_t ownerPage) {
    const std::string name = file.path().string();
    std::uint32_t page = pointerPage(pageRow);
    if (page == 0 || page >= file.pageCount())
        failAt(name, ownerPage,
               "the usage map is said to be on page " + std::to_string(page) +
                   ", which is not in the file");
    auto bytes = file.page(page);
    if (bytes[0] != page_type::kData)
        failAt(name, page,
               "expected the usage map of the table on page " + std::to_string(ownerPage) +
                   " but found a page of type " + std::to_string(bytes[0]));
    RowSlot s = dataRowSlot(bytes, layout, pointerRow(pageRow), name, page);
    if (s.deleted || s.size() < 1)
        failAt(name, page,
               "the usage map row " + std::to_string(pointerRow(pageRow)) + " is missing");
    auto row = bytes.subspan(s.start, s.size());
    std::vector<std::uint32_t> pages;
    if (row[0] == usage_map::kInline) {
        if (row.size() < usage_map::kInlineBitmapOffset)
            failAt(name, page, "the usage map row is too short");
        collect(row.subspan(usage_map::kInlineBitmapOffset), le32(row.data() + 1), pages, file,
                page);
    } else if (row[0] == usage_map::kReference) {
        const std::size_t perPage = usage_map::pagesPerMapPage(layout.pageSize);
        for (std::size_t i = 0; 1 + 4 * i + 4 <= row.size(); ++i) {
            std::uint32_t mapPage = le32(row.data() + 1 + 4 * i);
            if (mapPage == 0) continue;
            if (mapPage >= file.pageCount())
                failAt(name, page,
                       "the usage map refers to map page " + std::to_string(mapPage) +
                           ", which is not in the file");
            auto mp = file.page(mapPage);
            if (mp[0] != page_type::kUsageMap)
                failAt(
                    name, mapPage,
                    "expected a usage-map page but found a page of type " + std::to_string(mp[0]));
            collect(mp.subspan(usage_map::kMapPageBitmapOffset),
                    static_cast<std::uint64_t>(i) * perPage, pages, file, mapPage);
        }
    } else {
        failAt(name, page, "a usage map of unknown type " + std::to_string(row[0]));
    }
    return pages;
}

}  // namespace jet

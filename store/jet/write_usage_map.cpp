#include "write_usage_map.h"

#include <algorithm>
#include <string>
#include <vector>

#include "bytes.h"
#include "data_page.h"
#include "encode.h"
#include "error.h"
#include "format.h"
#include "page_file.h"
#include "usage_map.h"
#include "write_page.h"

namespace jet {

namespace {

Bytes copyOf(const PageFile& file, std::uint32_t n) {
    auto p = file.page(n);
    return Bytes(p.begin(), p.end());
}

void setBit(std::span<std::uint8_t> bitmap, std::uint32_t bit, bool on) {
    auto& b = bitmap[bit / 8];
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    b = static_cast<std::uint8_t>(on ? (b | mask) : (b & ~mask));
}

std::vector<std::uint32_t> inlinePages(std::span<const std::uint8_t> row) {
    std::vector<std::uint32_t> pages;
    const std::uint32_t start = le32(row.data() + 1);
    for (std::size_t i = usage_map::kInlineBitmapOffset; i < row.size(); ++i)
        for (int bit = 0; bit < 8; ++bit)
            if (row[i] >> bit & 1)
                pages.push_back(
                    start + static_cast<std::uint32_t>((i - usage_map::kInlineBitmapOffset) * 8) +
                    static_cast<std::uint32_t>(bit));
    return pages;
}

// Rewrites the row as a map of map pages holding `pages`.
void toReferenceMap(PageFile& file, Bytes& row, const std::vector<std::uint32_t>& pages) {
    const std::size_t perPage = usage_map::pagesPerMapPage(file.pageSize());
    const std::size_t slots = (row.size() - 1) / 4;
    std::vector<std::uint32_t> mapPages(slots, 0);
    for (std::uint32_t p : pages) {
        const std::size_t i = p / perPage;
        if (i >= slots) throw Error("the file is too large for the usage map of a table");
        if (mapPages[i] == 0) {
            Bytes mp(file.pageSize(), 0);
            mp[0] = page_type::kUsageMap;
            mp[1] = 0x01;
            mapPages[i] = allocatePage(file, mp);
        }
    }
    for (std::uint32_t p : pages) {
        const std::size_t i = p / perPage;
        Bytes mp = copyOf(file, mapPages[i]);
        setBit(std::span<std::uint8_t>(mp).subspan(usage_map::kMapPageBitmapOffset),
               static_cast<std::uint32_t>(p - i * perPage), true);
        file.write(mapPages[i], mp);
    }
    std::fill(row.begin(), row.end(), 0);
    row[0] = usage_map::kReference;
    for (std::size_t i = 0; i < slots; ++i) encode::set32(row, 1 + 4 * i, mapPages[i]);
}

}  // namespace

void setInUsageMap(PageFile& file, std::uint32_t pageRow, std::uint32_t page, bool on) {
    const std::uint32_t mapPage = pointerPage(pageRow);
    const std::uint8_t mapRow = pointerRow(pageRow);
    const std::string where = file.path().string() + ": page " + std::to_string(mapPage);
    if (mapPage == 0 || mapPage >= file.pageCount())
        throw Error(where + ": a usage map on a page that is not in the file");
    Bytes holder = copyOf(file, mapPage);
    DataPageEdit edit(holder);
    if (mapRow >= edit.rowCount() || edit.deleted(mapRow))
        throw Error(where + ": the usage map row " + std::to_string(mapRow) + " is missing");
    auto bytes = edit.row(mapRow);
    Bytes row(bytes.begin(), bytes.end());
    if (row.size() < usage_map::kInlineBitmapOffset + 1)
        throw Error(where + ": the usage map row is too short");
    if (row[0] == usage_map::kInline) {
        const std::uint32_t start = le32(row.data() + 1);
        const std::uint32_t window =
            static_cast<std::uint32_t>((row.size() - usage_map::kInlineBitmapOffset) * 8);
        auto bitmap = std::span<std::uint8_t>(row).subspan(usage_map::kInlineBitmapOffset);
        if (page >= start && page - start < window) {
            setBit(bitmap, page - start, on);
        } else {
            if (!on) return;  // not in the map, so nothing to clear
            std::vector<std::uint32_t> pages = inlinePages(row);
            pages.push_back(page);
            std::sort(pages.begin(), pages.end());
            if (pages.back() - pages.front() < window) {
                // The first page of the window on a byte boundary keeps the bitmap readable.
                const std::uint32_t newStart = pages.front() & ~7u;
                const std::uint32_t s = pages.back() - newStart < window ? newStart : pages.front();
                std::fill(row.begin(), row.end(), 0);
                encode::set32(row, 1, s);
                for (std::uint32_t p : pages) setBit(bitmap, p - s, true);
            } else {
                toReferenceMap(file, row, pages);
            }
        }
    } else if (row[0] == usage_map::kReference) {
        const std::size_t perPage = usage_map::pagesPerMapPage(file.pageSize());
        const std::size_t i = page / perPage;
        const std::size_t slots = (row.size() - 1) / 4;
        if (i >= slots) {
            if (!on) return;
            throw Error(where + ": the file is too large for the usage map of a table");
        }
        std::uint32_t mp = le32(row.data() + 1 + 4 * i);
        if (mp == 0) {
            if (!on) return;
            Bytes fresh(file.pageSize(), 0);
            fresh[0] = page_type::kUsageMap;
            fresh[1] = 0x01;
            mp = allocatePage(file, fresh);
            encode::set32(row, 1 + 4 * i, mp);
        }
        if (mp >= file.pageCount())
            throw Error(where + ": the usage map refers to a page that is not in the file");
        Bytes map = copyOf(file, mp);
        if (map[0] != page_type::kUsageMap)
            throw Error(file.path().string() + ": page " + std::to_string(mp) +
                        ": expected a usage-map page");
        setBit(std::span<std::uint8_t>(map).subspan(usage_map::kMapPageBitmapOffset),
               static_cast<std::uint32_t>(page - i * perPage), on);
        file.write(mp, map);
    } else {
        throw Error(where + ": a usage map of unknown type " + std::to_string(row[0]));
    }
    // Other pages may have been written meanwhile, but never this one.
    edit.replace(mapRow, row, edit.rawOffset(mapRow) & row_offset::kFlags);
    file.write(mapPage, holder);
}

namespace {

constexpr std::uint32_t kNoPage = 0xFFFFFFFF;

// Takes page `added` (kNoPage: none) out of the file's map of free pages. The header and this
// map are never free: a map that says they are was written by an earlier version of our
// creator, which marked every page free, and then every page the file holds comes out.
void takeOutOfFreeMap(PageFile& file, std::uint32_t added) {
    if (file.pageCount() < 2) return;
    auto global = file.page(1);
    if (global[0] != page_type::kData) return;
    Bytes copy(global.begin(), global.end());
    DataPageEdit edit(copy);
    if (edit.rowCount() == 0 || edit.deleted(0)) return;
    auto r = edit.row(0);
    if (r.size() <= usage_map::kInlineBitmapOffset || r[0] != usage_map::kInline) return;
    Bytes row(r.begin(), r.end());
    const std::uint32_t start = le32(row.data() + 1);
    const auto window =
        static_cast<std::uint32_t>((row.size() - usage_map::kInlineBitmapOffset) * 8);
    auto bitmap = std::span<std::uint8_t>(row).subspan(usage_map::kInlineBitmapOffset);
    auto inMap = [&](std::uint32_t p) { return p >= start && p - start < window; };
    auto marked = [&](std::uint32_t p) {
        return inMap(p) && (bitmap[(p - start) / 8] >> ((p - start) % 8) & 1);
    };
    if (marked(0) || marked(1))
        for (std::uint32_t p = start; p < file.pageCount() && inMap(p); ++p)
            setBit(bitmap, p - start, false);
    if (added != kNoPage && inMap(added)) setBit(bitmap, added - start, false);
    if (row != Bytes(r.begin(), r.end())) {
        edit.replace(0, row, edit.rawOffset(0) & row_offset::kFlags);
        file.write(1, copy);
    }
}

}  // namespace

std::uint32_t allocatePage(PageFile& file, std::span<const std::uint8_t> content) {
    const std::uint32_t n = file.append(content);
    takeOutOfFreeMap(file, n);
    return n;
}

void repairFreePageMap(PageFile& file) {
    // Read in place first: a sound map, the usual case, costs no copy of the page.
    if (file.pageCount() < 2) return;
    auto global = file.page(1);
    if (global[0] != page_type::kData) return;
    const std::string& name = file.path().native();
    if (dataRowCount(global, layoutOfPageSize(file.pageSize()), name, 1) == 0) return;
    const RowSlot s = dataRowSlot(global, layoutOfPageSize(file.pageSize()), 0, name, 1);
    if (s.deleted || s.moved || s.size() <= usage_map::kInlineBitmapOffset ||
        global[s.start] != usage_map::kInline || le32(global.data() + s.start + 1) != 0 ||
        (global[s.start + usage_map::kInlineBitmapOffset] & 0x03) == 0)
        return;
    takeOutOfFreeMap(file, kNoPage);
}

}  // namespace jet

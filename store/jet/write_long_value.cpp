#include "write_long_value.h"

#include <unordered_set>
#include <vector>

#include "bytes.h"
#include "data_page.h"
#include "encode.h"
#include "format.h"
#include "page_file.h"
#include "write_page.h"

namespace jet {

LongValueWriter::LongValueWriter(PageFile& file, std::uint32_t usedMap, std::uint32_t freeMap)
    : file_(file), pool_(file, long_value::kPageOwner, usedMap, freeMap) {}

Bytes LongValueWriter::store(std::span<const std::uint8_t> data, bool inRow) {
    using namespace encode;
    if (inRow) return longValueInline(data);
    const auto length = static_cast<std::uint32_t>(data.size());
    const std::size_t maxRow = maxRowSize(layoutOfPageSize(file_.pageSize()));
    if (data.size() <= maxRow) {
        const RowId at = pool_.place(data);
        return longValueReference(length, LongValueKind::SinglePage,
                                  pageRow(at.page, static_cast<std::uint8_t>(at.row)));
    }
    // Written from the last link back, so that each link knows where the next one is; full
    // links take a page each.
    const std::size_t kChunk = maxRow - 4;
    (void)longValueReference(length, LongValueKind::Chained, 0);  // checks the length first
    std::vector<std::size_t> starts;
    for (std::size_t off = 0; off < data.size(); off += kChunk) starts.push_back(off);
    std::uint32_t next = 0;
    for (std::size_t i = starts.size(); i-- > 0;) {
        const std::size_t size = std::min(kChunk, data.size() - starts[i]);
        const Bytes link = longValueChunk(next, data.subspan(starts[i], size));
        const RowId at = size == kChunk ? pool_.placeAlone(link) : pool_.place(link);
        next = pageRow(at.page, static_cast<std::uint8_t>(at.row));
    }
    return longValueReference(length, LongValueKind::Chained, next);
}

void LongValueWriter::freeRow(std::uint32_t pointer) {
    const std::uint32_t page = pointerPage(pointer);
    const std::uint8_t row = pointerRow(pointer);
    if (page == 0 || page >= file_.pageCount()) return;
    auto view = file_.page(page);
    if (view[0] != page_type::kData ||
        dataPageOwner(view, layoutOfPageSize(file_.pageSize())) != long_value::kPageOwner)
        return;
    Bytes copy(view.begin(), view.end());
    DataPageEdit edit(copy);
    if (row >= edit.rowCount() || edit.row(row).empty()) return;
    edit.vacate(row);
    if (edit.allEmpty()) edit.clear();
    file_.write(page, copy);
    pool_.noteRoom(page, edit.roomForNew());
}

void LongValueWriter::release(std::span<const std::uint8_t> cell) {
    if (cell.size() < long_value::kReferenceSize) return;
    const std::uint8_t kind = cell[3] & 0xC0;
    const std::uint32_t length = le32(cell.data()) & long_value::kLengthMask;
    std::uint32_t at = le32(cell.data() + 4);
    if (kind == long_value::kInline || kind == 0xC0) return;
    if (kind == long_value::kSinglePage) {
        freeRow(at);
        return;
    }
    // A chain: read each link's pointer before its row goes.
    std::unordered_set<std::uint32_t> seen;
    std::size_t covered = 0;
    while (at != 0 && covered < length && seen.insert(at).second) {
        const std::uint32_t page = pointerPage(at);
        if (page == 0 || page >= file_.pageCount()) return;
        auto view = file_.page(page);
        if (view[0] != page_type::kData ||
            dataPageOwner(view, layoutOfPageSize(file_.pageSize())) != long_value::kPageOwner)
            return;
        Bytes copy(view.begin(), view.end());
        DataPageEdit edit(copy);
        const std::uint8_t row = pointerRow(at);
        if (row >= edit.rowCount() || edit.row(row).empty()) return;
        auto bytes = edit.row(row);
        if (bytes.size() < 4) return;
        const std::uint32_t next = le32(bytes.data());
        covered += bytes.size() - 4;
        freeRow(at);
        at = next;
    }
}

}  // namespace jet

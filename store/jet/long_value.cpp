#include "long_value.h"

#include <string>
#include <unordered_set>

#include "bytes.h"
#include "data_page.h"
#include "page_file.h"

namespace jet {

namespace {

// The bytes of one row of a long-value page.
std::span<const std::uint8_t> longValueRow(const PageFile& file, const Layout& layout,
                                           std::uint32_t pageRow, std::uint32_t fromPage,
                                           std::uint16_t fromRow) {
    const std::string& name = file.path().native();
    std::uint32_t page = pointerPage(pageRow);
    std::uint8_t row = pointerRow(pageRow);
    if (page == 0 || page >= file.pageCount())
        failAt(name, fromPage,
               "row " + std::to_string(fromRow) + ": its long value points to page " +
                   std::to_string(page) + ", which is not in the file");
    auto bytes = file.page(page);
    if (bytes[0] != page_type::kData)
        failAt(name, page,
               "expected a long-value page (referred to from page " + std::to_string(fromPage) +
                   ") but found a page of type " + std::to_string(bytes[0]));
    RowSlot s = dataRowSlot(bytes, layout, row, name, page);
    if (s.deleted)
        failAt(name, page,
               "row " + std::to_string(row) + " holds part of a long value but is deleted");
    return bytes.subspan(s.start, s.size());
}

}  // namespace

LongValueRef readLongValueRef(std::span<const std::uint8_t> cell, const PageFile& file,
                              std::uint32_t page, std::uint16_t rowNo) {
    if (cell.size() < long_value::kReferenceSize)
        failAt(file.path().string(), page,
               "row " + std::to_string(rowNo) + ": a long-value reference of " +
                   std::to_string(cell.size()) + " bytes (12 expected)");
    LongValueRef ref;
    std::uint32_t head = le32(cell.data());
    ref.length = head & long_value::kLengthMask;
    ref.kind = static_cast<std::uint8_t>(cell[3] & 0xC0);
    ref.pageRow = le32(cell.data() + 4);
    if (ref.kind == 0xC0)
        failAt(file.path().string(), page,
               "row " + std::to_string(rowNo) + ": a long value of unknown kind (flags 0xc0)");
    return ref;
}

Bytes readLongValue(std::span<const std::uint8_t> cell, const PageFile& file, const Layout& layout,
                    std::uint32_t page, std::uint16_t rowNo) {
    Bytes gathered;
    const auto bytes = longValueBytes(cell, file, layout, page, rowNo, gathered);
    if (!gathered.empty()) return gathered;
    return Bytes(bytes.begin(), bytes.end());
}

std::span<const std::uint8_t> longValueBytes(std::span<const std::uint8_t> cell,
                                             const PageFile& file, const Layout& layout,
                                             std::uint32_t page, std::uint16_t rowNo, Bytes& out) {
    out.clear();
    if (cell.empty()) return {};
    const std::string& name = file.path().native();
    LongValueRef ref = readLongValueRef(cell, file, page, rowNo);
    auto fail = [&](const std::string& what) {
        failAt(name, page, "row " + std::to_string(rowNo) + ": " + what);
    };
    if (ref.kind == long_value::kInline) {
        if (ref.length > cell.size() - long_value::kReferenceSize)
            fail("an inline long value of " + std::to_string(ref.length) + " bytes in a cell of " +
                 std::to_string(cell.size()));
        return cell.subspan(long_value::kReferenceSize, ref.length);
    }
    // Nothing longer than the file can be stored in it.
    if (static_cast<std::uint64_t>(ref.length) >
        static_cast<std::uint64_t>(file.pageCount()) * file.pageSize())
        fail("a long value of " + std::to_string(ref.length) + " bytes, more than the file holds");
    if (ref.kind == long_value::kSinglePage) {
        auto data = longValueRow(file, layout, ref.pageRow, page, rowNo);
        if (data.size() < ref.length)
            fail("a long value of " + std::to_string(ref.length) + " bytes in a row of " +
                 std::to_string(data.size()));
        return data.first(ref.length);
    }
    out.reserve(ref.length);
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t at = ref.pageRow;
    while (out.size() < ref.length) {
        if (at == 0)
            fail("a long value ends after " + std::to_string(out.size()) + " of its " +
                 std::to_string(ref.length) + " bytes");
        if (!seen.insert(at).second) fail("the parts of a long value run in a circle");
        auto data = longValueRow(file, layout, at, page, rowNo);
        if (data.size() < 4) fail("a part of a long value is shorter than its link");
        at = le32(data.data());
        std::size_t take = std::min<std::size_t>(data.size() - 4, ref.length - out.size());
        out.insert(out.end(), data.begin() + 4,
                   data.begin() + 4 + static_cast<std::ptrdiff_t>(take));
    }
    return out;
}

}  // namespace jet

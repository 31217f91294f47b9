#include "write_page.h"

#include <algorithm>
#include <cstring>

#include "bytes.h"
#include "encode.h"
#include "error.h"
#include "format.h"

namespace jet {

namespace {

bool isDeleted(std::uint16_t raw) { return (raw & row_offset::kFlags) == row_offset::kDeleted; }
bool isStub(std::uint16_t raw) { return (raw & row_offset::kFlags) == row_offset::kMoved; }

}  // namespace

Bytes DataPageEdit::empty(std::uint32_t owner, const Layout& format) {
    return encode::DataPageBuilder(owner, format).page();
}

DataPageEdit::DataPageEdit(Bytes& page)
    : page_(page),
      size_(page.size()),
      header_(layoutOfPageSize(size_).dataRowTableOffset),
      rowCountAt_(layoutOfPageSize(size_).dataRowCountOffset),
      freeSpaceAt_(layoutOfPageSize(size_).dataFreeSpaceOffset) {
    if ((size_ != kJet3Layout.pageSize && size_ != kJet4Layout.pageSize) ||
        page_[0] != page_type::kData)
        throw Error("not a data page of a Jet file");
    if (header_ + 2 * static_cast<std::size_t>(rowCount()) > size_)
        throw Error("a data page whose row count does not fit it");
}

std::uint16_t DataPageEdit::rowCount() const { return le16(page_.data() + rowCountAt_); }

std::uint16_t DataPageEdit::rawOffset(std::uint16_t row) const {
    return le16(page_.data() + header_ + 2 * static_cast<std::size_t>(row));
}

bool DataPageEdit::deleted(std::uint16_t row) const { return isDeleted(rawOffset(row)); }

std::span<const std::uint8_t> DataPageEdit::row(std::uint16_t row) const {
    const std::uint16_t raw = rawOffset(row);
    if (isDeleted(raw)) return {};
    const std::size_t start = raw & row_offset::kMask;
    const std::size_t end = row == 0 ? size_ : (rawOffset(row - 1) & row_offset::kMask);
    if (start > end || end > size_ || start < header_ + 2 * std::size_t{rowCount()})
        throw Error("row " + std::to_string(row) + " lies outside its data page");
    auto bytes = std::span<const std::uint8_t>(page_).subspan(start, end - start);
    // A moved row's slot needs only its pointer.
    if (isStub(raw) && bytes.size() > 4) bytes = bytes.first(4);
    return bytes;
}

std::size_t DataPageEdit::liveBytes() const {
    std::size_t n = 0;
    for (std::uint16_t r = 0; r < rowCount(); ++r) n += row(r).size();
    return n;
}

bool DataPageEdit::allEmpty() const {
    for (std::uint16_t r = 0; r < rowCount(); ++r)
        if (!row(r).empty()) return false;
    return true;
}

std::size_t DataPageEdit::roomForNew() const {
    const std::size_t count = rowCount();
    if (count >= encode::kMaxRowsPerPage) return 0;
    const std::size_t used = header_ + 2 * (count + 1) + liveBytes();
    return used >= size_ ? 0 : size_ - used;
}

std::size_t DataPageEdit::roomFor(std::uint16_t r) const {
    const std::size_t used = header_ + 2 * std::size_t{rowCount()} + liveBytes() - row(r).size();
    return used >= size_ ? 0 : size_ - used;
}

void DataPageEdit::setFreeSpace() {
    const std::size_t count = rowCount();
    const std::size_t lowest = count == 0 ? size_ : (rawOffset(count - 1) & row_offset::kMask);
    encode::set16(page_, freeSpaceAt_, static_cast<std::uint16_t>(lowest - header_ - 2 * count));
}

std::uint16_t DataPageEdit::add(std::span<const std::uint8_t> bytes, std::uint16_t flags) {
    if (bytes.size() > roomForNew()) throw Error("row does not fit the data page");
    const auto count = rowCount();
    const std::size_t lowest = count == 0 ? size_ : (rawOffset(count - 1) & row_offset::kMask);
    encode::set16(page_, rowCountAt_, static_cast<std::uint16_t>(count + 1));
    if (lowest >= header_ + 2 * (std::size_t{count} + 1) + bytes.size()) {
        const std::size_t start = lowest - bytes.size();
        std::copy(bytes.begin(), bytes.end(), page_.begin() + static_cast<std::ptrdiff_t>(start));
        encode::set16(page_, header_ + 2 * std::size_t{count},
                      static_cast<std::uint16_t>(start | flags));
        setFreeSpace();
    } else {
        // A zero-size slot at the bottom, then everything packed with the new bytes in it.
        encode::set16(page_, header_ + 2 * std::size_t{count}, static_cast<std::uint16_t>(lowest));
        repack(count, bytes, flags);
    }
    return count;
}

void DataPageEdit::replace(std::uint16_t r, std::span<const std::uint8_t> bytes,
                           std::uint16_t flags) {
    if (r >= rowCount()) throw Error("no row " + std::to_string(r) + " on the data page");
    if (bytes.size() > roomFor(r)) throw Error("row does not fit the data page");
    const std::uint16_t raw = rawOffset(r);
    const std::size_t start = raw & row_offset::kMask;
    const std::size_t end = r == 0 ? size_ : (rawOffset(r - 1) & row_offset::kMask);
    if (!isDeleted(raw) && end - start == bytes.size()) {
        std::copy(bytes.begin(), bytes.end(), page_.begin() + static_cast<std::ptrdiff_t>(start));
        encode::set16(page_, header_ + 2 * std::size_t{r},
                      static_cast<std::uint16_t>(start | flags));
        return;
    }
    repack(r, bytes, flags);
}

void DataPageEdit::remove(std::uint16_t r) {
    if (r >= rowCount()) throw Error("no row " + std::to_string(r) + " on the data page");
    repack(r, {}, row_offset::kDeleted);
}

void DataPageEdit::vacate(std::uint16_t r) {
    if (r >= rowCount()) throw Error("no row " + std::to_string(r) + " on the data page");
    repack(r, {}, 0);
}

void DataPageEdit::clear() {
    std::fill(page_.begin() + header_, page_.end(), 0);
    encode::set16(page_, rowCountAt_, 0);
    setFreeSpace();
}

void DataPageEdit::repack(std::uint16_t changed, std::span<const std::uint8_t> bytes,
                          std::uint16_t flags) {
    const std::uint16_t count = rowCount();
    std::vector<Bytes> rows(count);
    std::vector<std::uint16_t> rowFlags(count);
    for (std::uint16_t r = 0; r < count; ++r) {
        if (r == changed) {
            rows[r].assign(bytes.begin(), bytes.end());
            rowFlags[r] = flags;
        } else {
            auto b = row(r);
            rows[r].assign(b.begin(), b.end());
            rowFlags[r] = rawOffset(r) & row_offset::kFlags;
        }
    }
    std::size_t top = size_;
    std::size_t total = 0;
    for (const auto& b : rows) total += b.size();
    if (header_ + 2 * std::size_t{count} + total > size_)
        throw Error("rows do not fit the data page");
    std::fill(page_.begin() + header_ + 2 * count, page_.end(), 0);
    for (std::uint16_t r = 0; r < count; ++r) {
        top -= rows[r].size();
        std::copy(rows[r].begin(), rows[r].end(), page_.begin() + static_cast<std::ptrdiff_t>(top));
        encode::set16(page_, header_ + 2 * std::size_t{r},
                      static_cast<std::uint16_t>(top | rowFlags[r]));
    }
    setFreeSpace();
}

}  // namespace jet

// Encoders for the pieces of a Jet file that the engine writes: text in Jet 4's compressed
// UTF-16 (Jet 3 text goes through TextEncoder), fixed-size column values, rows (fixed area,
// variable area, offset table, null mask; Jet 3 with its one-byte offsets and jump table),
// long-value references and chunks, data pages and usage-map rows. They build bytes only;
// where the bytes go (a new file, a page of an existing one) is the caller's business. Where
// a piece differs between Jet 3 and Jet 4, the Layout of format.h says how.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format.h"
#include "value.h"

namespace jet {
class TextEncoder;
}

namespace jet::encode {

// Jet 4's page, data page header and largest row (maxRowSize of format.h for either format).
constexpr std::size_t kPageSize = 4096;
// A data page's header: type, 1, free space, owner, 4 unknown, row count.
constexpr std::size_t kDataPageHeader = 14;
// Row numbers are one byte in every page/row pointer.
constexpr std::size_t kMaxRowsPerPage = 255;
// The largest row one data page can take (header and one offset slot left over).
constexpr std::size_t kMaxRowSize = kPageSize - kDataPageHeader - 2;
// Long values up to this many bytes may be kept inside the row itself.
constexpr std::size_t kMaxInlineLongValue = 1024;
// Jet compresses a long text only while it is at most this many characters.
constexpr std::size_t kMaxCompressedMemoChars = 1024;
// The general sort order of Access 2000 (locale 1033, version 0).
constexpr std::uint16_t kGeneralSortOrder = 0x0409;
// Tag that every column entry and table definition of a Jet 4 file carries.
constexpr std::uint32_t kMagicTableNumber = 1625;

// Little-endian writers into a growing buffer or at a position.
void put16(Bytes& out, std::uint16_t v);
void put32(Bytes& out, std::uint32_t v);
void put64(Bytes& out, std::uint64_t v);
void set16(std::span<std::uint8_t> at, std::size_t pos, std::uint16_t v);
void set32(std::span<std::uint8_t> at, std::size_t pos, std::uint32_t v);

// UTF-8 to UTF-16 code units; throws jet::Error on malformed UTF-8.
std::u16string toUtf16(std::string_view utf8);

// Text as a Jet 4 file stores it: the compressed form (0xFF 0xFE, then bytes that toggle
// between one-byte and two-byte characters) when `allowCompression`, it is possible and it is
// shorter, plain UTF-16LE otherwise. The empty string is zero bytes.
Bytes encodeText(std::string_view utf8, bool allowCompression);

// How a table's columns sit in its rows.
struct ColumnLayout {
    ColumnType type = ColumnType::Text;
    std::uint16_t number = 0;       // null mask bit and cell; deleted columns leave gaps
    bool fixed = false;             // lives in the fixed area (booleans: in the null mask)
    std::uint16_t fixedOffset = 0;  // within the fixed area
    std::uint16_t varIndex = 0;     // slot in the variable offset table
    std::uint16_t length = 0;       // bytes: fixed size, or the maximum of a text/binary
    bool compressedText = false;    // the column allows Jet's text compression
};

struct RowLayout {
    std::vector<ColumnLayout> columns;  // in column order
    std::uint16_t fixedSize = 0;
    std::uint16_t varCount = 0;  // slots of the variable offset table, deleted columns' too
    // Columns a row counts (null mask bits): deleted columns keep their numbers, so this may
    // exceed columns.size(); 0 means columns.size().
    std::uint16_t rowColumns = 0;
};

// Fixed size in bytes of a column kind, 0 for the variable ones (text, binary, memo, OLE).
std::uint16_t fixedLength(ColumnType type);
bool isLongValue(ColumnType type);

// Lays columns out the way Jet does: fixed ones packed in column order, variable ones
// numbered in column order. `lengths` gives text/binary maxima in bytes.
RowLayout makeLayout(std::span<const ColumnType> types, std::span<const std::uint16_t> lengths);

// One column's stored bytes, or nullopt for null. Booleans carry their value in the null
// mask: a one-byte 0/1 here.
using Cell = std::optional<Bytes>;

// The cell of a value that is not a long value, checked against the column (kind, range,
// length); throws jet::Error naming `what` otherwise. Text goes through `text` (Jet 4's own
// encoding when none); a Jet 3 column's length counts bytes of its code page.
Cell encodeCell(const ColumnLayout& column, const Value& value, std::string_view what,
                const TextEncoder* text = nullptr);

// A complete row in the format's layout. Cells of long-value columns must already hold their
// 12-byte reference (or inline form). Throws jet::Error when the row exceeds maxRowSize.
Bytes encodeRow(const RowLayout& layout, std::span<const Cell> cells,
                const Layout& format = kJet4Layout);

// Long values. Where a long value lives is told by its 12-byte reference in the row.
enum class LongValueKind : std::uint8_t { Inline = 0x80, SinglePage = 0x40, Chained = 0x00 };
Bytes longValueInline(std::span<const std::uint8_t> data);
Bytes longValueReference(std::uint32_t length, LongValueKind kind, std::uint32_t pageRow);
// One link of a chained long value: the pointer to the next link (0 at the end), its bytes.
Bytes longValueChunk(std::uint32_t nextPageRow, std::span<const std::uint8_t> data);
// The bytes of a memo value as stored (compressed when short enough and the column allows).
Bytes encodeMemo(std::string_view utf8, bool allowCompression);

// A page/row pointer as rows and table definitions store it.
constexpr std::uint32_t pageRow(std::uint32_t page, std::uint8_t row) { return page << 8 | row; }

// Builds one data page (rows of a table, or long values when owner is kLongValueOwner).
class DataPageBuilder {
  public:
    static constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL"
    explicit DataPageBuilder(std::uint32_t owner, const Layout& format = kJet4Layout);
    bool fits(std::size_t rowSize) const;
    // Adds a row; returns its row number. The row must fit.
    std::uint8_t add(std::span<const std::uint8_t> row);
    std::size_t rowCount() const { return rows_; }
    std::size_t freeSpace() const;
    const Bytes& page() const { return page_; }

  private:
    const Layout* format_;
    Bytes page_;
    std::size_t rows_ = 0;
    std::size_t top_;  // start of the lowest row so far
};

// A usage map kept inside its row (type 0): the pages marked, relative to `start`.
// Covers 512 pages (Jet 3: 1024); throws jet::Error when a page lies outside.
constexpr std::size_t kUsageMapRowSize = 69;
constexpr std::size_t usageMapRowSize(const Layout& format) {
    return format.format == Format::Jet3 ? 133 : kUsageMapRowSize;
}
constexpr std::uint32_t inlineUsageMapPages(const Layout& format) {
    return static_cast<std::uint32_t>((usageMapRowSize(format) - 5) * 8);
}
Bytes usageMapInline(std::uint32_t start, std::span<const std::uint32_t> pages,
                     const Layout& format = kJet4Layout);
// A usage map that points at map pages (type 1); `mapPages[i]` covers pages from
// i * pagesPerMapPage(format); 0 means none.
constexpr std::size_t kPagesPerMapPage = (kPageSize - 4) * 8;
constexpr std::size_t pagesPerMapPage(const Layout& format) { return (format.pageSize - 4) * 8; }
Bytes usageMapIndirect(std::span<const std::uint32_t> mapPages, const Layout& format = kJet4Layout);
// A map page (type 5) covering pages from `start`.
Bytes usageMapPage(std::uint32_t start, std::span<const std::uint32_t> pages,
                   const Layout& format = kJet4Layout);

}  // namespace jet::encode

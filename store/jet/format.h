// Where things sit in a Jet 3 or Jet 4 file. Every offset the decoders use is named here, per
// format, so that an encoder writing the same structures can take them from the same place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet {

enum class Format { Jet3, Jet4 };

// Page types, the first byte of every page.
namespace page_type {
constexpr std::uint8_t kDatabaseDefinition = 0x00;
constexpr std::uint8_t kData = 0x01;
constexpr std::uint8_t kTableDefinition = 0x02;
constexpr std::uint8_t kIndexNode = 0x03;
constexpr std::uint8_t kIndexLeaf = 0x04;
constexpr std::uint8_t kUsageMap = 0x05;
}  // namespace page_type

// Page 0: the database definition page.
namespace header {
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::uint8_t kVersionJet3 = 0x00;
constexpr std::uint8_t kVersionJet4 = 0x01;
// The region from here on is masked with RC4 under a fixed key.
constexpr std::size_t kMaskStart = 0x18;
constexpr std::uint32_t kMaskKey = 0x6B39DAC7;
constexpr std::size_t kMaskLengthJet3 = 126;
constexpr std::size_t kMaskLengthJet4 = 128;
// Offsets inside the unmasked page.
constexpr std::size_t kJet3SortOrderOffset = 0x3A;  // 2 bytes
constexpr std::size_t kCodePageOffset = 0x3C;       // 2 bytes
constexpr std::size_t kDatabaseKeyOffset = 0x3E;    // 4 bytes; non-zero: pages are encoded
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kPasswordLengthJet3 = 20;
constexpr std::size_t kPasswordLengthJet4 = 40;
constexpr std::size_t kJet4SortOrderOffset = 0x6E;     // 2 bytes of sort order, then its version
constexpr std::size_t kJet4CreationDateOffset = 0x72;  // double, masks the Jet 4 password
// "Standard Jet DB" follows the first four bytes.
constexpr std::size_t kMagicOffset = 4;
}  // namespace header

// Flags in the high bits of a data page's row offset. 0x4000 means no row is read here: with
// 0x8000 the row is deleted, alone the slot holds a 4-byte pointer to where the row lives now.
// 0x8000 alone marks the row's new home: a live row, read in its page's turn.
namespace row_offset {
constexpr std::uint16_t kFlags = 0xC000;
constexpr std::uint16_t kDeleted = 0xC000;
constexpr std::uint16_t kMoved = 0x4000;
constexpr std::uint16_t kMovedHere = 0x8000;
constexpr std::uint16_t kMask = 0x1FFF;
}  // namespace row_offset

// Column flags in a table definition.
namespace column_flag {
constexpr std::uint8_t kFixed = 0x01;
constexpr std::uint8_t kNullable = 0x02;
constexpr std::uint8_t kAutoLong = 0x04;
constexpr std::uint8_t kReplication = 0x10;
constexpr std::uint8_t kAutoGuid = 0x40;
constexpr std::uint8_t kHyperlink = 0x80;
}  // namespace column_flag
// Jet 4's second flag byte of a column.
constexpr std::uint8_t kColumnCompressedText = 0x01;

// A page/row pointer as rows and table definitions store it: page in the upper three bytes.
constexpr std::uint32_t pointerPage(std::uint32_t pageRow) { return pageRow >> 8; }
constexpr std::uint8_t pointerRow(std::uint32_t pageRow) {
    return static_cast<std::uint8_t>(pageRow & 0xFF);
}

// Long values: the 12-byte reference a memo or OLE column holds in its row.
namespace long_value {
constexpr std::size_t kReferenceSize = 12;
constexpr std::uint32_t kLengthMask = 0x3FFFFFFF;
constexpr std::uint8_t kInline = 0x80;      // the bytes follow the reference in the row
constexpr std::uint8_t kSinglePage = 0x40;  // one row of a long-value page holds them
// neither flag: chained rows, each starting with the pointer to the next
constexpr std::uint32_t kPageOwner = 0x4C41564C;  // "LVAL" in a data page's owner field
}  // namespace long_value

// The per-format layout of pages, rows and table definitions.
struct Layout {
    Format format;
    std::size_t pageSize;

    // Data pages: type, 1, free space (2), owner table definition page (4), [Jet 4: 4 more],
    // row count (2), then one 2-byte offset per row.
    std::size_t dataFreeSpaceOffset;
    std::size_t dataOwnerOffset;
    std::size_t dataRowCountOffset;
    std::size_t dataRowTableOffset;

    // Rows: column count, fixed area, variable area, [offsets], variable count, null mask.
    std::size_t rowCountSize;  // bytes of the column count and of the variable-column count
    std::size_t rowVarOffsetSize;

    // Table definition: page header (type, 1, 2, next page), then the definition block.
    std::size_t tdefNextPageOffset;
    std::size_t tdefLengthOffset;
    std::size_t tdefRowCountOffset;
    std::size_t tdefAutonumberOffset;
    std::size_t tdefTableTypeOffset;
    std::size_t tdefMaxColumnsOffset;
    std::size_t tdefVarColumnsOffset;
    std::size_t tdefColumnCountOffset;
    std::size_t tdefIndexCountOffset;
    std::size_t tdefRealIndexCountOffset;
    std::size_t tdefUsedPagesOffset;
    std::size_t tdefFreePagesOffset;
    std::size_t tdefBlockEnd;  // the first real-index entry

    std::size_t realIndexCountEntrySize;  // per real index, right after the block
    std::size_t columnEntrySize;
    std::size_t columnNumberOffset;
    std::size_t columnVarIndexOffset;
    std::size_t columnNumber2Offset;
    std::size_t columnSortOrderOffset;
    std::size_t columnCodePageOffset;  // Jet 3 only; 0 in Jet 4
    std::size_t columnPrecisionOffset;
    std::size_t columnScaleOffset;
    std::size_t columnFlagsOffset;
    std::size_t columnFlags2Offset;  // Jet 4 only; 0 in Jet 3
    std::size_t columnFixedOffsetOffset;
    std::size_t columnLengthOffset;
    std::size_t nameLengthSize;  // 1 byte (Jet 3, code page) or 2 bytes (Jet 4, UTF-16)

    std::size_t realIndexEntrySize;      // column map (10 columns), usage map, first page, flags
    std::size_t realIndexColumnsOffset;  // within that entry
    std::size_t logicalIndexEntrySize;
    std::size_t logicalIndexNumberOffset;  // within that entry; the rest follows in order
    std::size_t realIndexFlagsOffset;  // within a real-index entry (Jet 4: 4 unknown bytes before)
};

constexpr std::size_t kIndexColumnSlots = 10;

constexpr Layout kJet3Layout{Format::Jet3, 2048,
                             // data page
                             2, 4, 8, 10,
                             // row
                             1, 1,
                             // table definition
                             4, 8, 12, 16, 20, 21, 23, 25, 27, 31, 35, 39, 43, 8, 18, 1, 3, 5, 9,
                             11, 9, 10, 13, 0, 14, 16, 1, 39, 0, 20, 0, 38};

constexpr Layout kJet4Layout{Format::Jet4, 4096,
                             // data page
                             2, 4, 12, 14,
                             // row
                             2, 2,
                             // table definition
                             4, 8, 16, 20, 40, 41, 43, 45, 47, 51, 55, 59, 63, 12, 25, 5, 7, 9, 11,
                             0, 11, 12, 15, 16, 21, 23, 2, 52, 4, 28, 4, 46};

constexpr const Layout& layoutOf(Format f) { return f == Format::Jet3 ? kJet3Layout : kJet4Layout; }
// Index pages: type, 1, free space (2), owner (4), [Jet 4: 4 unknown], previous, next and
// tail page (4 each), the length of the prefix all entries share (Jet 3: 1 byte, Jet 4: 2), a
// byte Access sets on node pages, a bitmap whose bit i marks an entry ending at entries + i,
// then the entries.
struct IndexPageLayout {
    std::size_t pageSize;
    std::size_t prevOffset;
    std::size_t nextOffset;
    std::size_t tailOffset;
    std::size_t prefixOffset;
    std::size_t prefixSize;
    std::size_t nodeMarkOffset;
    std::size_t bitmapOffset;
    std::size_t entriesOffset;
    constexpr std::size_t room() const { return pageSize - entriesOffset; }
};
constexpr IndexPageLayout kJet3IndexPage{2048, 0x08, 0x0C, 0x10, 0x14, 1, 0x15, 0x16, 0xF8};
constexpr IndexPageLayout kJet4IndexPage{4096, 0x0C, 0x10, 0x14, 0x18, 2, 0x1A, 0x1B, 0x1E0};

// The page size tells the format: a whole page in hand says which layout it follows.
constexpr const Layout& layoutOfPageSize(std::size_t pageSize) {
    return pageSize == kJet3Layout.pageSize ? kJet3Layout : kJet4Layout;
}
// The largest row one data page takes (its header and one offset slot left over).
constexpr std::size_t maxRowSize(const Layout& l) { return l.pageSize - l.dataRowTableOffset - 2; }
constexpr const IndexPageLayout& indexPageLayoutOf(std::size_t pageSize) {
    return pageSize == kJet3IndexPage.pageSize ? kJet3IndexPage : kJet4IndexPage;
}

}  // namespace jet

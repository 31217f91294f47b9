// A table definition, read from its chain of table-definition pages (type 0x02; bytes 4..7
// of each page point to the next, 0 at the end; later pages continue the block after their
// 8-byte header). The block holds, in order: the counts (rows, next autonumber, table type,
// columns, variable columns, indexes) and the two usage-map pointers; per real index an
// 8/12-byte count entry; per column an 18-byte (Jet 3) or 25-byte (Jet 4) entry; the column
// names; per real index its column map (10 slots), usage map, first page and flags; per logical
// index its number, real index, relation and type; the index names; and finally, per long-value
// column, the usage maps of its long-value pages, up to a column number 0xFFFF.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format.h"
#include "value.h"

namespace jet {

class PageFile;
class TextDecoder;

struct Column {
    std::string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t number = 0;           // its bit in the null mask; deleted columns leave gaps
    std::uint16_t position = 0;         // 0-based place in the table's column order
    std::uint16_t entryIndex = 0;       // place of its entry in the table definition
    std::uint16_t varIndex = 0;         // slot in a row's variable offset table
    std::uint16_t fixedOffset = 0;      // within a row's fixed area (after the column count)
    std::uint16_t length = 0;           // bytes: fixed size, or maximum of text/binary; 0 for memo
    std::uint8_t flags = 0;             // column_flag::*
    std::uint8_t flags2 = 0;            // Jet 4: kColumnCompressedText
    std::uint8_t precision = 0;         // numeric
    std::uint8_t scale = 0;             // numeric
    std::uint16_t sortOrder = 0;        // collation of a text column
    std::uint8_t sortOrderVersion = 0;  // Jet 4
    std::uint16_t codePage = 0;         // Jet 3 text columns (0: the file's)
    // Usage maps (page/row pointers) of a long-value column's own pages, when listed.
    std::uint32_t longValueUsedPages = 0;
    std::uint32_t longValueFreePages = 0;

    bool fixed() const { return (flags & column_flag::kFixed) != 0; }
    bool nullable() const { return (flags & column_flag::kNullable) != 0; }
    bool autoNumber() const { return (flags & column_flag::kAutoLong) != 0; }
    bool autoGuid() const { return (flags & column_flag::kAutoGuid) != 0; }
    bool hyperlink() const { return (flags & column_flag::kHyperlink) != 0; }
    bool compressedText() const { return (flags2 & kColumnCompressedText) != 0; }
};

struct IndexColumn {
    std::uint16_t columnNumber = 0;
    bool ascending = true;
};

// An index as stored: which columns, its own usage map, its first page.
struct RealIndex {
    std::uint32_t rowCount = 0;  // the count entry after the block
    std::vector<IndexColumn> columns;
    std::uint32_t usedPages = 0;
    std::uint32_t firstPage = 0;
    std::uint8_t flags = 0;  // 0x01 unique, 0x02 ignore nulls, 0x08 required
};

// An index as the user sees it; several may share one real index (foreign keys).
struct Index {
    std::string name;
    std::uint32_t number = 0;
    std::uint32_t realIndex = 0;
    std::uint8_t relatedTableType = 0;
    std::int32_t relatedIndex = -1;
    std::uint32_t relatedTablePage = 0;
    bool cascadeUpdates = false;
    bool cascadeDeletes = false;
    std::uint8_t type = 0;  // 1 primary key, 2 foreign key
};

struct TableDef {
    std::string name;
    Format format = Format::Jet4;  // of its file: index keys differ
    std::uint16_t codePage = 0;    // Jet 3: of its file's text, which its text keys weigh
    std::uint32_t tdefPage = 0;
    std::vector<std::uint32_t> tdefPages;  // the chain, first page first
    std::uint32_t rowCount = 0;
    std::uint32_t nextAutonumber = 0;
    std::uint8_t tableType = 0;  // 0x4E user, 0x53 system
    std::uint16_t maxColumns = 0;
    std::uint16_t varColumnCount = 0;
    std::uint32_t usedPages = 0;  // page/row pointer of the usage map of the data pages
    std::uint32_t freePages = 0;  // page/row pointer of the map of pages with free space
    std::vector<Column> columns;  // in table order (by column number)
    std::vector<RealIndex> realIndexes;
    std::vector<Index> indexes;

    // Column by name, without regard to ASCII case.
    const Column* column(std::string_view name) const;
};

// Known column kinds; any other code is reported, never guessed.
std::optional<ColumnType> columnTypeFromCode(std::uint8_t code);
const char* columnTypeName(ColumnType type);
// Bytes a fixed-size kind takes in a row (0 for boolean, which lives in the null mask, and for
// the variable kinds).
std::size_t fixedSizeOf(ColumnType type);
bool isLongValueType(ColumnType type);

// Reads the definition starting at `page`. `name` is used in messages and kept.
TableDef readTableDef(const PageFile& file, const Layout& layout, const TextDecoder& text,
                      std::uint32_t page, std::string_view name);

}  // namespace jet

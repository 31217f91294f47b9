#include "table_def.h"

#include <algorithm>
#include <set>

#include "bytes.h"
#include "page_file.h"
#include "text.h"

namespace jet {

std::optional<ColumnType> columnTypeFromCode(std::uint8_t code) {
    switch (code) {
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x05:
        case 0x06:
        case 0x07:
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0F:
        case 0x10:
            return static_cast<ColumnType>(code);
        default:
            return std::nullopt;
    }
}

const char* columnTypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return "boolean";
        case ColumnType::Byte:
            return "byte";
        case ColumnType::Int16:
            return "16-bit integer";
        case ColumnType::Int32:
            return "32-bit integer";
        case ColumnType::Currency:
            return "currency";
        case ColumnType::Single:
            return "single";
        case ColumnType::Double:
            return "double";
        case ColumnType::DateTime:
            return "date/time";
        case ColumnType::Binary:
            return "binary";
        case ColumnType::Text:
            return "text";
        case ColumnType::OLE:
            return "OLE";
        case ColumnType::Memo:
            return "memo";
        case ColumnType::Guid:
            return "replication id";
        case ColumnType::Numeric:
            return "decimal";
    }
    return "unknown";
}

std::size_t fixedSizeOf(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return 0;
        case ColumnType::Byte:
            return 1;
        case ColumnType::Int16:
            return 2;
        case ColumnType::Int32:
            return 4;
        case ColumnType::Currency:
            return 8;
        case ColumnType::Single:
            return 4;
        case ColumnType::Double:
            return 8;
        case ColumnType::DateTime:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Numeric:
            return 17;
        default:
            return 0;
    }
}

bool isLongValueType(ColumnType type) {
    return type == ColumnType::Memo || type == ColumnType::OLE;
}

const Column* TableDef::column(std::string_view wanted) const {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (const auto& c : columns) {
        if (c.name.size() != wanted.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < wanted.size() && same; ++i)
            same = lower(c.name[i]) == lower(wanted[i]);
        if (same) return &c;
    }
    return nullptr;
}

namespace {

std::string decodeName(const Layout& layout, const TextDecoder& text,
                       std::span<const std::uint8_t> b) {
    if (layout.format == Format::Jet4) return decodeJet4Text(b);
    return text.decode(b);
}

}  // namespace

TableDef readTableDef(const PageFile& file, const Layout& layout, const TextDecoder& text,
                      std::uint32_t first, std::string_view name) {
    const std::string fileName = file.path().string();
    TableDef t;
    t.name = std::string(name);
    t.tdefPage = first;
    t.format = layout.format;
    if (layout.format == Format::Jet3) t.codePage = text.codePage();

    // The chain of pages makes one block.
    std::vector<std::uint8_t> block;
    std::set<std::uint32_t> seen;
    for (std::uint32_t p = first; p != 0;) {
        if (!seen.insert(p).second)
            failAt(fileName, p, "the definition of table \"" + t.name + "\" runs in a circle");
        if (p >= file.pageCount())
            failAt(fileName, t.tdefPages.empty() ? first : t.tdefPages.back(),
                   "the definition of table \"" + t.name + "\" continues on page " +
                       std::to_string(p) + ", beyond the end of the file");
        auto page = file.page(p);
        if (page[0] != page_type::kTableDefinition)
            failAt(fileName, p,
                   "expected the definition of table \"" + t.name + "\" but found a page of type " +
                       std::to_string(page[0]));
        t.tdefPages.push_back(p);
        if (block.empty())
            block.assign(page.begin(), page.end());
        else
            block.insert(block.end(), page.begin() + 8, page.end());
        p = le32(page.data() + layout.tdefNextPageOffset);
    }

    Reader r(block, placeText(fileName, first) + ": table \"" + t.name + "\"");
    t.rowCount = r.u32(layout.tdefRowCountOffset);
    t.nextAutonumber = r.u32(layout.tdefAutonumberOffset);
    t.tableType = r.u8(layout.tdefTableTypeOffset);
    t.maxColumns = r.u16(layout.tdefMaxColumnsOffset);
    t.varColumnCount = r.u16(layout.tdefVarColumnsOffset);
    const std::uint16_t columnCount = r.u16(layout.tdefColumnCountOffset);
    const std::uint32_t indexCount = r.u32(layout.tdefIndexCountOffset);
    const std::uint32_t realIndexCount = r.u32(layout.tdefRealIndexCountOffset);
    t.usedPages = r.u32(layout.tdefUsedPagesOffset);
    t.freePages = r.u32(layout.tdefFreePagesOffset);
    // Every count bounds a loop below; none may claim more entries than the block can hold.
    if (realIndexCount > block.size() / layout.realIndexEntrySize ||
        indexCount > block.size() / layout.logicalIndexEntrySize ||
        static_cast<std::size_t>(columnCount) * layout.columnEntrySize > block.size())
        r.fail("column or index counts exceed the definition (" + std::to_string(columnCount) +
               " columns, " + std::to_string(indexCount) + " indexes)");

    std::size_t pos = layout.tdefBlockEnd;
    t.realIndexes.resize(realIndexCount);
    for (auto& ri : t.realIndexes) {
        ri.rowCount = r.u32(pos + 4);
        pos += layout.realIndexCountEntrySize;
    }

    t.columns.resize(columnCount);
    for (std::uint16_t i = 0; i < columnCount; ++i) {
        Column& c = t.columns[i];
        std::size_t e = pos + static_cast<std::size_t>(i) * layout.columnEntrySize;
        std::uint8_t code = r.u8(e);
        auto type = columnTypeFromCode(code);
        c.entryIndex = i;
        c.number = r.u16(e + layout.columnNumberOffset);
        c.varIndex = r.u16(e + layout.columnVarIndexOffset);
        c.flags = r.u8(e + layout.columnFlagsOffset);
        if (layout.columnFlags2Offset) c.flags2 = r.u8(e + layout.columnFlags2Offset);
        c.fixedOffset = r.u16(e + layout.columnFixedOffsetOffset);
        c.length = r.u16(e + layout.columnLengthOffset);
        if (!type)
            r.fail("column " + std::to_string(i + 1) +
                   " has a kind this engine does not know (code 0x" +
                   [&] {
                       static const char* hex = "0123456789abcdef";
                       return std::string{hex[code >> 4], hex[code & 15]};
                   }() +
                   ")");
        c.type = *type;
        if (c.type == ColumnType::Numeric) {
            c.precision = r.u8(e + layout.columnPrecisionOffset);
            c.scale = r.u8(e + layout.columnScaleOffset);
        }
        if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
            c.sortOrder = r.u16(e + layout.columnSortOrderOffset);
            if (layout.format == Format::Jet4)
                c.sortOrderVersion = r.u8(e + layout.columnSortOrderOffset + 3);
            else
                c.codePage = r.u16(e + layout.columnCodePageOffset);
        }
    }
    pos += static_cast<std::size_t>(columnCount) * layout.columnEntrySize;

    auto readName = [&](std::size_t& at) {
        std::size_t len = layout.nameLengthSize == 1 ? r.u8(at) : r.u16(at);
        at += layout.nameLengthSize;
        auto bytes = r.bytes(at, len);
        at += len;
        return decodeName(layout, text, bytes);
    };
    for (auto& c : t.columns) c.name = readName(pos);

    for (auto& ri : t.realIndexes) {
        const std::size_t entry = pos;
        std::size_t e = pos + layout.realIndexColumnsOffset;
        for (std::size_t k = 0; k < kIndexColumnSlots; ++k) {
            std::uint16_t num = r.u16(e + 3 * k);
            std::uint8_t order = r.u8(e + 3 * k + 2);
            if (num != 0xFFFF) ri.columns.push_back({num, (order & 0x01) != 0});
        }
        e += 3 * kIndexColumnSlots;
        ri.usedPages = r.u32(e);
        ri.firstPage = r.u32(e + 4);
        ri.flags = r.u8(entry + layout.realIndexFlagsOffset);
        pos += layout.realIndexEntrySize;
    }
    t.indexes.resize(indexCount);
    for (auto& ix : t.indexes) {
        std::size_t e = pos + layout.logicalIndexNumberOffset;
        ix.number = r.u32(e);
        ix.realIndex = r.u32(e + 4);
        ix.relatedTableType = r.u8(e + 8);
        ix.relatedIndex = static_cast<std::int32_t>(r.u32(e + 9));
        ix.relatedTablePage = r.u32(e + 13);
        ix.cascadeUpdates = r.u8(e + 17) != 0;
        ix.cascadeDeletes = r.u8(e + 18) != 0;
        ix.type = r.u8(e + 19);
        pos += layout.logicalIndexEntrySize;
    }
    for (auto& ix : t.indexes) ix.name = readName(pos);

    // Long-value usage maps; the list may be missing in older files, so it is read only as far
    // as it goes.
    while (r.has(pos, 10)) {
        std::uint16_t num = r.u16(pos);
        if (num == 0xFFFF) break;
        for (auto& c : t.columns)
            if (c.number == num) {
                c.longValueUsedPages = r.u32(pos + 2);
                c.longValueFreePages = r.u32(pos + 6);
            }
        pos += 10;
    }

    std::stable_sort(t.columns.begin(), t.columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        t.columns[i].position = static_cast<std::uint16_t>(i);
        Column& c = t.columns[i];
        std::size_t need = fixedSizeOf(c.type);
        if (c.fixed() && c.type != ColumnType::Boolean && need > 0 && c.length < need)
            r.fail("column \"" + c.name + "\" is " + std::to_string(c.length) +
                   " bytes, too short for a " + columnTypeName(c.type) + " value");
    }
    return t;
}

}  // namespace jet

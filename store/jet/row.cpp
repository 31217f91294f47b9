#include "row.h"

#include <array>
#include <string>

#include "bytes.h"

namespace jet {

namespace {

[[noreturn]] void bad(std::string_view file, std::uint32_t page, std::uint16_t rowNo,
                      const std::string& what) {
    failAt(file, page, "row " + std::to_string(rowNo) + ": " + what);
}

}  // namespace

void crackRow(std::span<const std::uint8_t> row, const TableDef& table, const Layout& layout,
              const std::vector<bool>& wanted, std::vector<CellRef>& cells, std::string_view file,
              std::uint32_t page, std::uint16_t rowNo) {
    const std::size_t len = row.size();
    const std::uint8_t* p = row.data();
    const std::size_t countSize = layout.rowCountSize;
    cells.assign(table.columns.size(), CellRef{});
    if (len < countSize) bad(file, page, rowNo, "shorter than its column count");
    const std::size_t rowColumns = countSize == 1 ? p[0] : le16(p);
    const std::size_t maskSize = nullMaskSize(rowColumns);
    if (len < countSize + maskSize)
        bad(file, page, rowNo,
            "too short for the null mask of " + std::to_string(rowColumns) + " columns");
    const std::uint8_t* mask = p + len - maskSize;
    const std::size_t maskEnd = len - maskSize;  // the null mask starts here

    // Variable offsets, the end-of-data offset included as the last entry.
    std::size_t rowVarColumns = 0;
    thread_local std::vector<std::size_t> offsets;
    offsets.clear();
    if (table.varColumnCount > 0) {
        if (layout.format == Format::Jet4) {
            if (maskEnd < countSize + 2)
                bad(file, page, rowNo, "too short for its variable-column count");
            rowVarColumns = le16(p + maskEnd - 2);
            // Entries at maskEnd - 4 - 2i for i = 0 .. rowVarColumns.
            if (maskEnd < countSize + 4 + 2 * rowVarColumns)
                bad(file, page, rowNo,
                    "its " + std::to_string(rowVarColumns) +
                        " variable offsets do not fit inside it");
            offsets.resize(rowVarColumns + 1);
            for (std::size_t i = 0; i <= rowVarColumns; ++i)
                offsets[i] = le16(p + maskEnd - 4 - 2 * i);
        } else {
            if (maskEnd < countSize + 1)
                bad(file, page, rowNo, "too short for its variable-column count");
            rowVarColumns = p[maskEnd - 1];
            std::size_t jumps = (len - 1) / 256;
            // The offsets sit below the jump table; the last jump entry may be a filler.
            if (maskEnd < countSize + 1 + jumps + rowVarColumns + 1)
                bad(file, page, rowNo, "its variable offsets do not fit inside it");
            const std::size_t top = maskEnd - 1 - jumps - 1;  // entry 0
            if ((top - rowVarColumns) / 256 < jumps) --jumps;
            std::size_t used = 0;
            offsets.resize(rowVarColumns + 1);
            for (std::size_t i = 0; i <= rowVarColumns; ++i) {
                while (used < jumps && i == p[maskEnd - 1 - used - 1]) ++used;
                offsets[i] = p[top - i] + used * 256;
            }
        }
        for (std::size_t i = 0; i <= rowVarColumns; ++i)
            if (offsets[i] < countSize || offsets[i] > len ||
                (i > 0 && offsets[i] < offsets[i - 1]))
                bad(file, page, rowNo,
                    "variable offset " + std::to_string(i) + " (" + std::to_string(offsets[i]) +
                        ") is out of order or outside the row");
    }
    if (rowVarColumns > rowColumns) bad(file, page, rowNo, "more variable columns than columns");
    const std::size_t rowFixedColumns = rowColumns - rowVarColumns;

    std::size_t fixedFound = 0;
    const bool all = wanted.empty();
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const Column& c = table.columns[i];
        const bool want = all || (i < wanted.size() && wanted[i]);
        if (c.fixed()) {
            if (fixedFound >= rowFixedColumns) continue;  // added after this row was written
            ++fixedFound;
            if (!want) continue;
            const bool present =
                c.number < rowColumns && (mask[c.number >> 3] >> (c.number & 7) & 1);
            CellRef& cell = cells[i];
            cell.present = present;
            if (c.type == ColumnType::Boolean) continue;
            std::size_t start = countSize + c.fixedOffset;
            if (start + c.length > maskEnd)
                bad(file, page, rowNo,
                    "column \"" + c.name + "\" lies beyond the row's fixed area");
            cell.data = p + start;
            cell.size = c.length;
        } else {
            if (!want || c.varIndex >= rowVarColumns) continue;
            const bool present =
                c.number < rowColumns && (mask[c.number >> 3] >> (c.number & 7) & 1);
            CellRef& cell = cells[i];
            cell.present = present;
            cell.data = p + offsets[c.varIndex];
            cell.size = static_cast<std::uint32_t>(offsets[c.varIndex + 1] - offsets[c.varIndex]);
        }
    }
}

}  // namespace jet

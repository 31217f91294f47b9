#include "column_value.h"

#include <string>

#include "bytes.h"
#include "long_value.h"
#include "page_file.h"
#include "text.h"

namespace jet {

Decimal decodeDecimal(const std::uint8_t* b, std::uint8_t scale) {
    Decimal d;
    d.negative = (b[0] & 0x80) != 0;
    d.scale = scale;
    unsigned __int128 m = 0;
    for (int w = 0; w < 4; ++w) m = m << 32 | le32(b + 1 + 4 * w);
    d.magnitude = m;
    return d;
}

Value decodeColumnValue(const Column& c, const CellRef& cell, const CellContext& ctx) {
    if (c.type == ColumnType::Boolean) return cell.present;
    if (!cell.present) return std::monostate{};
    const std::uint8_t* p = cell.data;
    std::size_t need = fixedSizeOf(c.type);
    if (need > 0 && cell.size < need)
        failAt(ctx.file.path().string(), ctx.page,
               "row " + std::to_string(ctx.row) + ": column \"" + c.name + "\" holds " +
                   std::to_string(cell.size) + " bytes, too few for a " + columnTypeName(c.type) +
                   " value");
    switch (c.type) {
        case ColumnType::Boolean:
            return cell.present;
        case ColumnType::Byte:
            return static_cast<std::int64_t>(p[0]);
        case ColumnType::Int16:
            return static_cast<std::int64_t>(static_cast<std::int16_t>(le16(p)));
        case ColumnType::Int32:
            return static_cast<std::int64_t>(static_cast<std::int32_t>(le32(p)));
        case ColumnType::Currency:
            return Currency{static_cast<std::int64_t>(le64(p))};
        case ColumnType::Single:
            return static_cast<double>(leFloat(p));
        case ColumnType::Double:
            return leDouble(p);
        case ColumnType::DateTime:
            return DateTime{leDouble(p)};
        case ColumnType::Guid: {
            Guid g;
            for (std::size_t i = 0; i < 16; ++i) g.bytes[i] = p[i];
            return g;
        }
        case ColumnType::Numeric:
            return decodeDecimal(p, c.scale);
        case ColumnType::Text: {
            std::string s;
            ctx.text.decode({p, cell.size}, s);
            return s;
        }
        case ColumnType::Binary:
            return Bytes(p, p + cell.size);
        case ColumnType::Memo: {
            std::string s;
            Bytes gathered;
            ctx.text.decode(
                longValueBytes({p, cell.size}, ctx.file, ctx.layout, ctx.page, ctx.row, gathered),
                s);
            return s;
        }
        case ColumnType::OLE:
            return readLongValue({p, cell.size}, ctx.file, ctx.layout, ctx.page, ctx.row);
    }
    failAt(ctx.file.path().string(), ctx.page,
           "row " + std::to_string(ctx.row) + ": column \"" + c.name +
               "\" has a kind this engine does not know");
}

void decodeColumnInto(const Column& c, const CellRef& cell, const CellContext& ctx, Value& out) {
    auto* s = std::get_if<std::string>(&out);
    if (!s || !cell.present || (c.type != ColumnType::Text && c.type != ColumnType::Memo)) {
        out = decodeColumnValue(c, cell, ctx);
        return;
    }
    // Into the string already there, so that a scan does not allocate one per row.
    s->clear();
    if (c.type == ColumnType::Text) {
        ctx.text.decode({cell.data, cell.size}, *s);
        return;
    }
    Bytes gathered;
    ctx.text.decode(
        longValueBytes({cell.data, cell.size}, ctx.file, ctx.layout, ctx.page, ctx.row, gathered),
        *s);
}

}  // namespace jet

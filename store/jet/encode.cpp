#include "encode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "error.h"
#include "table_def.h"

namespace jet::encode {

void put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void put64(Bytes& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void set16(std::span<std::uint8_t> at, std::size_t pos, std::uint16_t v) {
    at[pos] = static_cast<std::uint8_t>(v);
    at[pos + 1] = static_cast<std::uint8_t>(v >> 8);
}

void set32(std::span<std::uint8_t> at, std::size_t pos, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[pos + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    auto bad = [&] { throw Error("text is not valid UTF-8 (byte " + std::to_string(i) + ")"); };
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = 0;
        std::size_t extra = 0;
        if (b0 < 0x80) {
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1F;
            extra = 1;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0F;
            extra = 2;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07;
            extra = 3;
        } else {
            bad();
        }
        if (extra > 0 && i + extra >= s.size()) bad();
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80) bad();
            cp = cp << 6 | (b & 0x3F);
        }
        static constexpr std::array<std::uint32_t, 4> kMin{0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) bad();
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

namespace {

Bytes plainUtf16(const std::u16string& u) {
    Bytes out;
    out.reserve(u.size() * 2);
    for (char16_t c : u) put16(out, c);
    return out;
}

// Jet's compressed form: after 0xFF 0xFE the reader starts in one-byte mode; a zero byte
// switches modes. A unit fits one-byte mode when its high byte is zero (and it is not zero);
// it fits two-byte mode when its low byte is not zero (a zero would read as a switch).
// The cheapest switching is found by a two-state shortest path.
std::optional<Bytes> compressedUtf16(const std::u16string& u) {
    constexpr std::size_t kInf = std::numeric_limits<std::size_t>::max() / 4;
    const std::size_t n = u.size();
    // from[i][m]: the mode before unit i on the best path that puts unit i in mode m.
    std::vector<std::array<std::uint8_t, 2>> from(n);
    std::array<std::size_t, 2> cost{2, kInf};  // 0 = one-byte mode, 1 = two-byte mode
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = u[i];
        std::array<std::size_t, 2> next{kInf, kInf};
        if (c != 0 && (c >> 8) == 0) {
            const bool sw = cost[1] + 1 < cost[0];
            next[0] = (sw ? cost[1] + 1 : cost[0]) + 1;
            from[i][0] = sw ? 1 : 0;
        }
        if ((c & 0xFF) != 0) {
            const bool sw = cost[0] + 1 < cost[1];
            next[1] = (sw ? cost[0] + 1 : cost[1]) + 2;
            from[i][1] = sw ? 0 : 1;
        }
        if (next[0] >= kInf && next[1] >= kInf) return std::nullopt;
        cost = next;
    }
    std::vector<std::uint8_t> mode(n);
    std::uint8_t m = cost[0] <= cost[1] ? 0 : 1;
    for (std::size_t i = n; i-- > 0;) {
        mode[i] = m;
        m = from[i][m];
    }
    Bytes out{0xFF, 0xFE};
    std::uint8_t cur = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (mode[i] != cur) {
            out.push_back(0);
            cur = mode[i];
        }
        if (cur == 0) {
            out.push_back(static_cast<std::uint8_t>(u[i]));
        } else {
            put16(out, u[i]);
        }
    }
    return out;
}

Bytes encodeUnits(const std::u16string& u, bool allowCompression) {
    if (u.empty()) return {};
    Bytes plain = plainUtf16(u);
    if (!allowCompression) return plain;
    auto packed = compressedUtf16(u);
    // Plain text that happens to begin with FF FE would be read as compressed.
    const bool plainAmbiguous = u[0] == 0xFEFF;
    if (packed && (packed->size() < plain.size() || plainAmbiguous)) return std::move(*packed);
    return plain;
}

}  // namespace

Bytes encodeText(std::string_view utf8, bool allowCompression) {
    return encodeUnits(toUtf16(utf8), allowCompression);
}

Bytes encodeMemo(std::string_view utf8, bool allowCompression) {
    const auto u = toUtf16(utf8);
    return encodeUnits(u, allowCompression && u.size() <= kMaxCompressedMemoChars);
}

std::uint16_t fixedLength(ColumnType type) {
    // The reader knows the stored width of every fixed kind; encoding must agree with it.
    return static_cast<std::uint16_t>(jet::fixedSizeOf(type));
}

bool isLongValue(ColumnType type) { return type == ColumnType::Memo || type == ColumnType::OLE; }

static bool isVariable(ColumnType type) {
    return type == ColumnType::Text || type == ColumnType::Binary || isLongValue(type);
}

RowLayout makeLayout(std::span<const ColumnType> types, std::span<const std::uint16_t> lengths) {
    if (types.size() != lengths.size()) throw Error("column kinds and lengths differ in count");
    RowLayout layout;
    for (std::size_t i = 0; i < types.size(); ++i) {
        ColumnLayout c;
        c.type = types[i];
        c.number = static_cast<std::uint16_t>(i);
        if (isVariable(c.type)) {
            c.varIndex = layout.varCount++;
            c.length = isLongValue(c.type) ? 0 : lengths[i];
            c.compressedText = c.type == ColumnType::Text || c.type == ColumnType::Memo;
        } else {
            if (c.type == ColumnType::Numeric)
                throw Error("decimal columns are not supported for writing");
            c.fixed = true;
            c.length = c.type == ColumnType::Boolean ? 1 : fixedLength(c.type);
            if (c.type != ColumnType::Boolean) {
                c.fixedOffset = layout.fixedSize;
                layout.fixedSize = static_cast<std::uint16_t>(layout.fixedSize + c.length);
            }
        }
        layout.columns.push_back(c);
    }
    return layout;
}

namespace {

[[noreturn]] void wrongKind(std::string_view what, std::string_view expected) {
    throw Error(std::string(what) + ": expected " + std::string(expected));
}

std::int64_t integerIn(const Value& v, std::int64_t lo, std::int64_t hi, std::string_view what) {
    const auto* i = std::get_if<std::int64_t>(&v);
    if (!i) wrongKind(what, "an integer");
    if (*i < lo || *i > hi)
        throw Error(std::string(what) + ": " + std::to_string(*i) + " is out of range " +
                        std::to_string(lo) + ".." + std::to_string(hi),
                    ErrorKind::ValueDoesNotFit);
    return *i;
}

double realOf(const Value& v, std::string_view what) {
    if (const auto* d = std::get_if<double>(&v)) return *d;
    if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    wrongKind(what, "a number");
}

Bytes littleEndian(std::uint64_t v, std::size_t n) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
    return out;
}

}  // namespace

Cell encodeCell(const ColumnLayout& column, const Value& value, std::string_view what) {
    if (column.type == ColumnType::Boolean) {
        if (isNull(value)) return Bytes{0};  // Jet booleans are never null
        if (const auto* b = std::get_if<bool>(&value)) return Bytes{std::uint8_t(*b ? 1 : 0)};
        if (const auto* i = std::get_if<std::int64_t>(&value))
            return Bytes{std::uint8_t(*i != 0 ? 1 : 0)};
        wrongKind(what, "a boolean");
    }
    if (isNull(value)) return std::nullopt;
    switch (column.type) {
        case ColumnType::Byte:
            return littleEndian(static_cast<std::uint64_t>(integerIn(value, 0, 255, what)), 1);
        case ColumnType::Int16:
            return littleEndian(static_cast<std::uint64_t>(integerIn(value, -32768, 32767, what)),
                                2);
        case ColumnType::Int32:
            return littleEndian(static_cast<std::uint64_t>(
                                    integerIn(value, std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::int32_t>::max(), what)),
                                4);
        case ColumnType::Currency: {
            const auto* c = std::get_if<Currency>(&value);
            if (!c) wrongKind(what, "a currency amount");
            return littleEndian(static_cast<std::uint64_t>(c->scaled), 8);
        }
        case ColumnType::Single: {
            const float f = static_cast<float>(realOf(value, what));
            std::uint32_t bits = 0;
            std::memcpy(&bits, &f, 4);
            return littleEndian(bits, 4);
        }
        case ColumnType::Double: {
            const double d = realOf(value, what);
            std::uint64_t bits = 0;
            std::memcpy(&bits, &d, 8);
            return littleEndian(bits, 8);
        }
        case ColumnType::DateTime: {
            const auto* t = std::get_if<DateTime>(&value);
            if (!t) wrongKind(what, "a date");
            if (!std::isfinite(t->days)) throw Error(std::string(what) + ": date is not finite");
            std::uint64_t bits = 0;
            std::memcpy(&bits, &t->days, 8);
            return littleEndian(bits, 8);
        }
        case ColumnType::Guid: {
            const auto* g = std::get_if<Guid>(&value);
            if (!g) wrongKind(what, "a replication id");
            return Bytes(g->bytes.begin(), g->bytes.end());
        }
        case ColumnType::Text: {
            const auto* s = std::get_if<std::string>(&value);
            if (!s) wrongKind(what, "text");
            const auto units = toUtf16(*s);
            if (units.size() * 2 > column.length)
                throw Error(std::string(what) + ": text of " + std::to_string(units.size()) +
                                " characters is longer than the column's " +
                                std::to_string(column.length / 2),
                            ErrorKind::ValueDoesNotFit);
            if (column.fixed) {
                // Fixed-size text fills its column, blank-padded and never compressed.
                std::u16string padded = units;
                padded.resize(column.length / 2, u' ');
                return encodeUnits(padded, false);
            }
            return encodeUnits(units, column.compressedText);
        }
        case ColumnType::Binary: {
            const auto* b = std::get_if<Bytes>(&value);
            if (!b) wrongKind(what, "bytes");
            if (b->size() > column.length)
                throw Error(std::string(what) + ": " + std::to_string(b->size()) +
                                " bytes are more than the column's " +
                                std::to_string(column.length),
                            ErrorKind::ValueDoesNotFit);
            return *b;
        }
        default:
            throw Error(std::string(what) + ": long values and decimals are not plain cells");
    }
}

Bytes encodeRow(const RowLayout& layout, std::span<const Cell> cells) {
    const std::size_t n = layout.rowColumns ? layout.rowColumns : layout.columns.size();
    if (cells.size() != n)
        throw Error("row has " + std::to_string(cells.size()) + " values for " + std::to_string(n) +
                    " columns");
    for (const auto& c : layout.columns)
        if (c.number >= n || (!c.fixed && c.varIndex >= layout.varCount))
            throw Error("column " + std::to_string(c.number) + " lies outside the row layout");
    Bytes row(2 + layout.fixedSize, 0);
    set16(row, 0, static_cast<std::uint16_t>(n));
    Bytes nullMask((n + 7) / 8, 0);
    std::vector<std::uint16_t> varOffsets(layout.varCount, 0);
    for (const auto& c : layout.columns) {
        const Cell& cell = cells[c.number];
        bool present = cell.has_value();
        if (c.type == ColumnType::Boolean) present = cell && !cell->empty() && (*cell)[0] != 0;
        if (present) nullMask[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
        if (c.fixed && c.type != ColumnType::Boolean && cell) {
            if (cell->size() != c.length) throw Error("fixed column value of the wrong size");
            std::copy(cell->begin(), cell->end(), row.begin() + 2 + c.fixedOffset);
        }
    }
    if (layout.varCount > 0) {
        std::vector<const ColumnLayout*> byVar(layout.varCount);
        for (const auto& c : layout.columns)
            if (!c.fixed) byVar[c.varIndex] = &c;
        for (std::uint16_t v = 0; v < layout.varCount; ++v) {
            varOffsets[v] = static_cast<std::uint16_t>(row.size());
            if (!byVar[v]) continue;  // a deleted column's slot stays empty
            const Cell& cell = cells[byVar[v]->number];
            if (cell) row.insert(row.end(), cell->begin(), cell->end());
            if (row.size() > kMaxRowSize) break;
        }
        const auto eod = static_cast<std::uint16_t>(row.size());
        put16(row, eod);
        for (std::size_t v = layout.varCount; v-- > 0;) put16(row, varOffsets[v]);
        put16(row, layout.varCount);
    }
    row.insert(row.end(), nullMask.begin(), nullMask.end());
    if (row.size() > kMaxRowSize)
        throw Error("row of " + std::to_string(row.size()) + " bytes does not fit a page",
                    ErrorKind::ValueDoesNotFit);
    return row;
}

Bytes longValueInline(std::span<const std::uint8_t> data) {
    if (data.size() > 0x3FFFFF)
        throw Error("long value too long to keep in a row", ErrorKind::ValueDoesNotFit);
    Bytes out =
        longValueReference(static_cast<std::uint32_t>(data.size()), LongValueKind::Inline, 0);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes longValueReference(std::uint32_t length, LongValueKind kind, std::uint32_t pageRow) {
    if (length > 0x3FFFFF)
        throw Error("long value of " + std::to_string(length) +
                        " bytes is longer than Jet allows in one field",
                    ErrorKind::ValueDoesNotFit);
    Bytes out;
    put32(out, length | static_cast<std::uint32_t>(kind) << 24);
    put32(out, pageRow);
    put32(out, 0);
    return out;
}

Bytes longValueChunk(std::uint32_t nextPageRow, std::span<const std::uint8_t> data) {
    // Sized once: growing by push_back and then insert made GCC 12 at -O3 lose track of the
    // vector's capacity and report an overflow (-Wstringop-overflow) that cannot happen.
    Bytes out(4 + data.size());
    set32(out, 0, nextPageRow);
    std::copy(data.begin(), data.end(), out.begin() + 4);
    return out;
}

DataPageBuilder::DataPageBuilder(std::uint32_t owner) : page_(kPageSize, 0) {
    page_[0] = 0x01;
    page_[1] = 0x01;
    set32(page_, 4, owner);
    set16(page_, 2, static_cast<std::uint16_t>(freeSpace()));
}

std::size_t DataPageBuilder::freeSpace() const { return top_ - kDataPageHeader - 2 * rows_; }

bool DataPageBuilder::fits(std::size_t rowSize) const {
    return rows_ < kMaxRowsPerPage && rowSize + 2 <= freeSpace();
}

std::uint8_t DataPageBuilder::add(std::span<const std::uint8_t> row) {
    if (!fits(row.size())) throw Error("row does not fit the data page");
    top_ -= row.size();
    std::copy(row.begin(), row.end(), page_.begin() + static_cast<std::ptrdiff_t>(top_));
    set16(page_, kDataPageHeader + 2 * rows_, static_cast<std::uint16_t>(top_));
    ++rows_;
    set16(page_, 12, static_cast<std::uint16_t>(rows_));
    set16(page_, 2, static_cast<std::uint16_t>(freeSpace()));
    return static_cast<std::uint8_t>(rows_ - 1);
}

Bytes usageMapInline(std::uint32_t start, std::span<const std::uint32_t> pages) {
    Bytes out(kUsageMapRowSize, 0);
    out[0] = 0x00;
    set32(out, 1, start);
    for (std::uint32_t p : pages) {
        if (p < start || p - start >= (kUsageMapRowSize - 5) * 8)
            throw Error("page " + std::to_string(p) + " is outside an inline usage map");
        const std::uint32_t bit = p - start;
        out[5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return out;
}

Bytes usageMapIndirect(std::span<const std::uint32_t> mapPages) {
    Bytes out(kUsageMapRowSize, 0);
    out[0] = 0x01;
    if (mapPages.size() > (kUsageMapRowSize - 1) / 4)
        throw Error("file too large for one usage map");
    for (std::size_t i = 0; i < mapPages.size(); ++i) set32(out, 1 + 4 * i, mapPages[i]);
    return out;
}

Bytes usageMapPage(std::uint32_t start, std::span<const std::uint32_t> pages) {
    Bytes out(kPageSize, 0);
    out[0] = 0x05;
    out[1] = 0x01;
    for (std::uint32_t p : pages) {
        if (p < start || p - start >= kPagesPerMapPage) continue;
        const std::uint32_t bit = p - start;
        out[4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    }
    return out;
}

}  // namespace jet::encode

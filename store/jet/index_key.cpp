#include "index_key.h"

#include <array>
#include <cmath>
#include <cstring>

#include "encode.h"

namespace jet {

namespace {

constexpr std::uint8_t kValueFlag = 0x7F;
constexpr std::uint8_t kNullFlag = 0x00;
// Boolean keys carry the value in the flag: true (-1 in Jet) sorts before false.
constexpr std::uint8_t kTrueFlag = 0x00;
constexpr std::uint8_t kFalseFlag = 0xFF;
// After the weights of the characters: the end of the primary weights and of the key.
constexpr std::array<std::uint8_t, 2> kTextEnd{0x01, 0x00};

void putBig(Bytes& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Primary weights of the lower-case letters a to z in the general sort order, as Access wrote
// them; a space weighs 0x07.
constexpr std::array<std::uint8_t, 26> kLetterWeights{
    0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,
    0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
constexpr std::uint8_t kSpaceWeight = 0x07;

std::optional<Bytes> textWeights(const std::string& s) {
    Bytes out;
    for (unsigned char c : s) {
        if (c >= 'a' && c <= 'z')
            out.push_back(kLetterWeights[c - 'a']);
        else if (c == ' ')
            out.push_back(kSpaceWeight);
        else
            return std::nullopt;
    }
    if (out.empty()) return std::nullopt;  // the empty text's key is not known
    out.insert(out.end(), kTextEnd.begin(), kTextEnd.end());
    return out;
}

std::uint64_t orderedDouble(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
}

std::uint32_t orderedFloat(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return (bits >> 31) ? ~bits : bits | (std::uint32_t{1} << 31);
}

const Column* columnByNumber(const TableDef& table, std::uint16_t number) {
    for (const auto& c : table.columns)
        if (c.number == number) return &c;
    return nullptr;
}

// The value's bytes, ascending; nullopt when it cannot be encoded (`why` set).
std::optional<Bytes> valueBytes(const Column& c, const Value& v, std::string& why) {
    Bytes out;
    auto integer = [&](int bytes, std::int64_t lo, std::int64_t hi) -> std::optional<Bytes> {
        const auto* i = std::get_if<std::int64_t>(&v);
        if (!i || *i < lo || *i > hi) {
            why = "not a whole number in range";
            return std::nullopt;
        }
        const std::uint64_t sign = std::uint64_t{1} << (8 * bytes - 1);
        putBig(out, static_cast<std::uint64_t>(*i) ^ sign, bytes);
        return out;
    };
    switch (c.type) {
        case ColumnType::Int16:
            return integer(2, -32768, 32767);
        case ColumnType::Int32:
            return integer(4, INT32_MIN, INT32_MAX);
        case ColumnType::Currency: {
            const auto* m = std::get_if<Currency>(&v);
            if (!m) {
                why = "not a currency value";
                return std::nullopt;
            }
            putBig(out, static_cast<std::uint64_t>(m->scaled) ^ (std::uint64_t{1} << 63), 8);
            return out;
        }
        case ColumnType::Double:
        case ColumnType::DateTime: {
            double d = 0;
            if (const auto* x = std::get_if<double>(&v))
                d = *x;
            else if (const auto* t = std::get_if<DateTime>(&v))
                d = t->days;
            else {
                why = "not a number";
                return std::nullopt;
            }
            if (std::isnan(d)) {
                why = "not a number";
                return std::nullopt;
            }
            if (d == 0) d = 0;  // -0 sorts with 0
            putBig(out, orderedDouble(d), 8);
            return out;
        }
        case ColumnType::Single: {
            const auto* x = std::get_if<double>(&v);
            if (!x || std::isnan(*x)) {
                why = "not a number";
                return std::nullopt;
            }
            float f = static_cast<float>(*x);
            if (f == 0) f = 0;
            putBig(out, orderedFloat(f), 4);
            return out;
        }
        case ColumnType::Text: {
            const auto* s = std::get_if<std::string>(&v);
            auto w = s ? textWeights(*s) : std::nullopt;
            if (!w)
                why =
                    "a text this engine cannot yet place in an index (only the letters a to z "
                    "and blanks are known)";
            return w;
        }
        default:
            why = std::string("a ") + columnTypeName(c.type) + " value";
            return std::nullopt;
    }
}

}  // namespace

bool indexableColumn(const Column& c) {
    switch (c.type) {
        case ColumnType::Boolean:
        case ColumnType::Int16:
        case ColumnType::Int32:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
            return true;
        case ColumnType::Text:
            return c.sortOrder == encode::kGeneralSortOrder && c.sortOrderVersion == 0;
        default:
            return false;
    }
}

KeyNulls keyNulls(const TableDef& table, const RealIndex& index, const std::vector<Value>& row) {
    KeyNulls n;
    for (const auto& ic : index.columns) {
        const Column* c = columnByNumber(table, ic.columnNumber);
        if (!c || c->type == ColumnType::Boolean) continue;  // booleans are never null
        const bool null = c->position >= row.size() || isNull(row[c->position]);
        n.any = n.any || null;
        n.all = n.all && null;
    }
    return n;
}

std::optional<Bytes> encodeIndexKey(const TableDef& table, const RealIndex& index,
                                    const std::vector<Value>& row, std::string* why) {
    Bytes key;
    for (const auto& ic : index.columns) {
        const Column* c = columnByNumber(table, ic.columnNumber);
        auto refuse = [&](const std::string& what) -> std::optional<Bytes> {
            if (why)
                *why =
                    "column \"" + (c ? c->name : std::to_string(ic.columnNumber)) + "\": " + what;
            return std::nullopt;
        };
        if (!c) return refuse("no such column");
        if (!indexableColumn(*c)) return refuse("its kind or sort order cannot be indexed yet");
        const Value& v = c->position < row.size() ? row[c->position] : Value{};
        const std::uint8_t invert = ic.ascending ? 0x00 : 0xFF;
        if (c->type == ColumnType::Boolean) {
            const auto* b = std::get_if<bool>(&v);
            const bool on =
                b ? *b
                  : (std::holds_alternative<std::int64_t>(v) && std::get<std::int64_t>(v) != 0);
            key.push_back((on ? kTrueFlag : kFalseFlag) ^ invert);
            continue;
        }
        if (isNull(v)) {
            key.push_back(kNullFlag ^ invert);
            continue;
        }
        if (c->type == ColumnType::Text && !ic.ascending)
            return refuse("a text column sorted descending cannot be indexed yet");
        std::string reason;
        auto bytes = valueBytes(*c, v, reason);
        if (!bytes) return refuse(reason);
        key.push_back(kValueFlag ^ invert);
        for (std::uint8_t b : *bytes) key.push_back(b ^ invert);
    }
    return key;
}

}  // namespace jet

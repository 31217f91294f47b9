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

void putBig(Bytes& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Text keys under the general sort order, as Access writes them: the primary weights of the
// characters (case does not count, accents fold to their letter), 0x01, one accent byte per
// weighted character with the trailing "no accent" (0x02) bytes left off, and 0x00. Control
// characters, the apostrophe and the hyphens weigh nothing there; when a text has any, 0x01
// 0x01 0x01 and for each of them its place (0x8000 | 4 * weighted characters before it + 7,
// big-endian), 0x06 and its code come before the 0x00. The tables cover U+0001 to U+00FF,
// read off keys Access wrote for every one of those characters.

// Primary weight of each character (one byte, or two when the high byte is set); 0: none.
constexpr std::array<std::uint16_t, 256> kPrimary{
    0,      0,      0,      0,      0,      0,      0,      0,       // 00
    0,      0x0803, 0x0804, 0x0805, 0x0806, 0x0807, 0,      0,       // 08
    0,      0,      0,      0,      0,      0,      0,      0,       // 10
    0,      0,      0,      0,      0,      0,      0,      0,       // 18
    0x0007, 0x0009, 0x000A, 0x000C, 0x000E, 0x0010, 0x0012, 0,       // 20
    0x0014, 0x0016, 0x0018, 0x002C, 0x001A, 0,      0x001C, 0x001E,  // 28
    0x0036, 0x0038, 0x003A, 0x003C, 0x003E, 0x0040, 0x0042, 0x0044,  // 30
    0x0046, 0x0048, 0x0020, 0x0022, 0x002E, 0x0030, 0x0032, 0x0024,  // 38
    0x0026, 0x004A, 0x004C, 0x004D, 0x004F, 0x0051, 0x0053, 0x0055,  // 40
    0x0057, 0x0059, 0x005B, 0x005C, 0x005E, 0x0060, 0x0062, 0x0064,  // 48
    0x0066, 0x0068, 0x0069, 0x006B, 0x006D, 0x006F, 0x0071, 0x0073,  // 50
    0x0075, 0x0076, 0x0078, 0x0027, 0x0029, 0x002A, 0x2B02, 0x2B03,  // 58
    0x2B07, 0x004A, 0x004C, 0x004D, 0x004F, 0x0051, 0x0053, 0x0055,  // 60
    0x0057, 0x0059, 0x005B, 0x005C, 0x005E, 0x0060, 0x0062, 0x0064,  // 68
    0x0066, 0x0068, 0x0069, 0x006B, 0x006D, 0x006F, 0x0071, 0x0073,  // 70
    0x0075, 0x0076, 0x0078, 0x2B09, 0x2B0B, 0x2B0D, 0x2B0F, 0,       // 78
    0,      0,      0,      0,      0,      0,      0,      0,       // 80
    0,      0,      0,      0,      0,      0,      0,      0,       // 88
    0,      0,      0,      0,      0,      0,      0,      0,       // 90
    0,      0,      0,      0,      0,      0,      0,      0,       // 98
    0x0802, 0x2B10, 0x34A6, 0x34A7, 0x34A8, 0x34A9, 0x2B11, 0x34AA,  // A0
    0x2B12, 0x34AB, 0x004A, 0x3305, 0x34AC, 0,      0x34AD, 0x2B13,  // A8
    0x34AE, 0x3304, 0x003A, 0x003C, 0x2B14, 0x34AF, 0x34B0, 0x34B1,  // B0
    0x2B15, 0x0038, 0x0064, 0x3307, 0x3712, 0x3716, 0x371A, 0x2B16,  // B8
    0x004A, 0x004A, 0x004A, 0x004A, 0x004A, 0x004A, 0x4A51, 0x004D,  // C0
    0x0051, 0x0051, 0x0051, 0x0051, 0x0059, 0x0059, 0x0059, 0x0059,  // C8
    0x004F, 0x0062, 0x0064, 0x0064, 0x0064, 0x0064, 0x0064, 0x3309,  // D0
    0x0064, 0x006F, 0x006F, 0x006F, 0x006F, 0x0076, 0x6D57, 0x6B6B,  // D8
    0x004A, 0x004A, 0x004A, 0x004A, 0x004A, 0x004A, 0x4A51, 0x004D,  // E0
    0x0051, 0x0051, 0x0051, 0x0051, 0x0059, 0x0059, 0x0059, 0x0059,  // E8
    0x004F, 0x0062, 0x0064, 0x0064, 0x0064, 0x0064, 0x0064, 0x330A,  // F0
    0x0064, 0x006F, 0x006F, 0x006F, 0x006F, 0x0076, 0x6D57, 0x0076,  // F8
};

// Accent bytes of U+00C0 to U+00FF; below them only the ordinal indicators carry one.
constexpr std::uint8_t kNoAccent = 0x02;
constexpr std::array<std::uint8_t, 64> kAccent{
    0x0F, 0x0E, 0x12, 0x19, 0x13, 0x1A, 0x02, 0x1C, 0x0F, 0x0E, 0x12, 0x13, 0x0F, 0x0E, 0x12, 0x13,
    0x68, 0x19, 0x0F, 0x0E, 0x12, 0x19, 0x13, 0x02, 0x21, 0x0F, 0x0E, 0x12, 0x13, 0x0E, 0x02, 0x02,
    0x0F, 0x0E, 0x12, 0x19, 0x13, 0x1A, 0x02, 0x1C, 0x0F, 0x0E, 0x12, 0x13, 0x0F, 0x0E, 0x12, 0x13,
    0x68, 0x19, 0x0F, 0x0E, 0x12, 0x19, 0x13, 0x02, 0x21, 0x0F, 0x0E, 0x12, 0x13, 0x0E, 0x02, 0x13,
};
constexpr std::uint8_t kOrdinalAccent = 0x03;  // U+00AA, U+00BA

// The code of a character that weighs nothing; 0 when the character has a weight.
std::uint8_t specialCode(char16_t c) {
    if (c >= 0x01 && c <= 0x08) return static_cast<std::uint8_t>(0x03 + (c - 0x01));
    if (c >= 0x0E && c <= 0x1F) return static_cast<std::uint8_t>(0x0B + (c - 0x0E));
    if (c >= 0x7F && c <= 0x9F) return static_cast<std::uint8_t>(0x1D + (c - 0x7F));
    switch (c) {
        case u'\'':
            return 0x80;
        case u'-':
            return 0x82;
        case 0xAD:
            return 0x83;  // soft hyphen
        default:
            return 0;
    }
}

std::uint8_t accentOf(char16_t c) {
    if (c >= 0xC0) return kAccent[c - 0xC0];
    return c == 0xAA || c == 0xBA ? kOrdinalAccent : kNoAccent;
}

constexpr std::uint8_t kSectionEnd = 0x01;
constexpr std::uint8_t kKeyEnd = 0x00;
constexpr std::uint8_t kSpecialScript = 0x06;

std::optional<Bytes> textWeights(const std::string& s) {
    const std::u16string text = encode::toUtf16(s);
    Bytes primary, accents, specials;
    std::size_t weighted = 0;
    for (char16_t c : text) {
        if (c == 0 || c > 0xFF) return std::nullopt;
        if (const std::uint8_t code = specialCode(c)) {
            const std::size_t place = 4 * weighted + 7;
            if (place > 0x7FFF) return std::nullopt;
            putBig(specials, 0x8000 | place, 2);
            specials.push_back(kSpecialScript);
            specials.push_back(code);
            continue;
        }
        const std::uint16_t w = kPrimary[c];
        if (w > 0xFF) primary.push_back(static_cast<std::uint8_t>(w >> 8));
        primary.push_back(static_cast<std::uint8_t>(w));
        accents.push_back(accentOf(c));
        ++weighted;
    }
    // Keys of the empty text and of texts with no weighted character are not known.
    if (weighted == 0) return std::nullopt;
    while (!accents.empty() && accents.back() == kNoAccent) accents.pop_back();
    Bytes out = std::move(primary);
    out.push_back(kSectionEnd);
    out.insert(out.end(), accents.begin(), accents.end());
    if (!specials.empty()) {
        out.insert(out.end(), {kSectionEnd, kSectionEnd, kSectionEnd});
        out.insert(out.end(), specials.begin(), specials.end());
    }
    out.push_back(kKeyEnd);
    return out;
}

// Access 97's General weights of the characters its files here show (lower-case a to p),
// 0 for those not known.
std::uint8_t jet3Weight(char c) {
    static constexpr std::uint8_t kLetters[] = {0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69,
                                                0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x70, 0x72, 0x73};
    return c >= 'a' && c <= 'p' ? kLetters[c - 'a'] : 0;
}

std::optional<Bytes> jet3TextWeights(const std::string& s) {
    if (s.empty()) return std::nullopt;
    Bytes out;
    for (char c : s) {
        const std::uint8_t w = jet3Weight(c);
        if (w == 0) return std::nullopt;
        out.push_back(w);
    }
    out.push_back(kKeyEnd);
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
std::optional<Bytes> valueBytes(const Column& c, const Value& v, Format format, std::string& why) {
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
            const bool jet3 = format == Format::Jet3;
            auto w = !s ? std::nullopt : jet3 ? jet3TextWeights(*s) : textWeights(*s);
            if (!w)
                why = jet3 ? "a text this engine cannot yet place in an Access 97 index (it knows "
                             "the lower-case letters a to p, whose order Access 97's files show)"
                           : "a text this engine cannot yet place in an index (it knows the "
                             "characters U+0001 to U+00FF, and not a text without a letter, "
                             "digit or sign)";
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
            // Access 97's General columns carry 1 here.
            return c.sortOrder == encode::kGeneralSortOrder ? c.sortOrderVersion == 0
                                                            : c.sortOrder == kJet3GeneralColumn;
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
        auto bytes = valueBytes(*c, v, table.format, reason);
        if (!bytes) return refuse(reason);
        key.push_back(kValueFlag ^ invert);
        for (std::uint8_t b : *bytes) key.push_back(b ^ invert);
    }
    return key;
}

}  // namespace jet

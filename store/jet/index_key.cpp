#include "index_key.h"

#include <array>
#include <cmath>
#include <cstring>

#include "encode.h"
#include "sort_weights.h"

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

// Text keys under Jet 4's General sort order, as Access writes them: the weights of the
// characters (case and width do not count: "A", "a" and "Ａ" weigh alike), 0x01, then the extra
// codes (accents, widths: one per weighted character up to the last that has one, 0x02 for
// none), and when the text has unprintable characters (no weight: control characters, the
// apostrophe, the hyphens, combining marks) or kana, 0x01 0x01, the kana's packed flags, and
// 0x01 with each unprintable character's place and code. 0x00 ends the key. Trailing blanks do
// not count.
constexpr std::uint8_t kSectionEnd = 0x01;
constexpr std::uint8_t kKeyEnd = 0x00;
constexpr std::uint8_t kNoExtra = 0x02;
constexpr std::uint8_t kUnprintableMark = 0x06;
constexpr std::uint8_t kFlagsStart = 0x80;
constexpr std::uint8_t kFlagsEnd[] = {0xFF, 0x02, 0x80, 0xFF, 0x80};
constexpr std::uint8_t kFlagsBeforeUnprintable = 0xFF;
constexpr std::uint8_t kPlainFlag = 0x03;  // dropped at the end of the flags

// Keys of the empty text and of texts with no weighted character are not known.
constexpr const char* kNothingWeighed =
    "a text without a letter, digit or sign (empty, blank or unprintable), whose key is not "
    "known";

std::u16string withoutTrailingBlanks(const std::string& utf8) {
    std::u16string text = encode::toUtf16(utf8);
    while (!text.empty() && text.back() == u' ') text.pop_back();
    return text;
}

std::optional<Bytes> textWeights(const std::string& s, std::string& why) {
    using sort_weights::Kind;
    const std::u16string text = withoutTrailingBlanks(s);
    Bytes primary, extras, unprintable, flags;
    std::size_t weighted = 0;      // characters with a weight so far
    std::size_t extraChars = 0;    // characters the extra codes stand for
    std::size_t leadModifier = 0;  // 1 when a modifier opened the extra codes
    for (char16_t c : text) {
        const auto w = sort_weights::jet4General(c);
        if (!w) {
            why =
                "a character beyond the Basic Multilingual Plane, whose place in an index is "
                "not known";
            return std::nullopt;
        }
        const std::size_t here = weighted;
        if (w->length > 0) {
            primary.insert(primary.end(), w->bytes, w->bytes + w->length);
            ++weighted;
        }
        if (w->extraLength > 0 || w->kind == Kind::Modifier) {
            if (extraChars < here) {
                extras.insert(extras.end(), here - extraChars, kNoExtra);
                extraChars = here;
            }
            if (w->extraLength > 0) {
                extras.insert(extras.end(), w->extra, w->extra + w->extraLength);
                ++extraChars;
            } else if (!extras.empty()) {
                extras.back() = static_cast<std::uint8_t>(extras.back() + w->code);
            } else {
                extras.push_back(w->code);
                leadModifier = 1;
            }
        }
        if (w->kind == Kind::Unprintable) {
            // Its place counts the extra codes written and those still to come.
            const std::size_t place =
                extras.empty() ? here : extras.size() + (here - extraChars) - leadModifier;
            if (7 + 4 * place > 0x7FFF) {
                why = "a text too long for its unprintable characters to be placed";
                return std::nullopt;
            }
            putBig(unprintable, 0x8000 | (7 + 4 * place), 2);
            unprintable.push_back(kUnprintableMark);
            unprintable.push_back(w->code);
        }
        if (w->kind == Kind::Flag2 || w->kind == Kind::Flag3)
            flags.push_back(w->kind == Kind::Flag2 ? 0x02 : 0x03);
    }
    if (weighted == 0) {
        why = kNothingWeighed;
        return std::nullopt;
    }
    while (!extras.empty() && extras.back() <= kNoExtra) extras.pop_back();
    Bytes out = std::move(primary);
    out.push_back(kSectionEnd);
    out.insert(out.end(), extras.begin(), extras.end());
    if (!flags.empty() || !unprintable.empty()) {
        out.insert(out.end(), {kSectionEnd, kSectionEnd});
        if (!flags.empty()) {
            while (!flags.empty() && flags.back() == kPlainFlag) flags.pop_back();
            // Three flags a byte, two bits each, after the bits 10.
            for (std::size_t i = 0; i < flags.size(); i += 3) {
                std::uint8_t b = kFlagsStart;
                for (std::size_t k = 0; k < 3 && i + k < flags.size(); ++k)
                    b |= static_cast<std::uint8_t>(flags[i + k] << (4 - 2 * k));
                out.push_back(b);
            }
            out.insert(out.end(), std::begin(kFlagsEnd), std::end(kFlagsEnd));
            if (!unprintable.empty()) out.push_back(kFlagsBeforeUnprintable);
        }
        if (!unprintable.empty()) {
            out.push_back(kSectionEnd);
            out.insert(out.end(), unprintable.begin(), unprintable.end());
        }
    }
    out.push_back(kKeyEnd);
    return out;
}

// Text keys under Access 97's General sort order, over the text's code page 1252 bytes: their
// weights, then the extra codes (accents) as 4-bit codes between two 0 codes, the letters
// that have accented forms (Significant) without one counting as 2 each, other characters not
// at all; 0x00 instead when no character has an extra code.
std::optional<Bytes> jet3TextWeights(const std::string& s, std::string& why) {
    using sort_weights::Kind;
    const std::u16string text = withoutTrailingBlanks(s);
    Bytes out;
    std::vector<std::uint8_t> codes;  // 4 bits each
    std::size_t plainSignificant = 0, weighted = 0;
    for (char16_t c : text) {
        const auto byte = sort_weights::toCp1252(c);
        if (!byte) {
            why =
                "a character outside code page 1252, whose place in an Access 97 index is "
                "not known";
            return std::nullopt;
        }
        const auto w = sort_weights::jet3General(*byte);
        out.insert(out.end(), w.bytes, w.bytes + w.length);
        weighted += w.length > 0;
        if (w.kind == Kind::Significant) {
            ++plainSignificant;
        } else if (w.extraLength > 0) {
            if (codes.empty()) codes.push_back(0);
            codes.insert(codes.end(), plainSignificant, kNoExtra);
            plainSignificant = 0;
            codes.push_back(w.extra[0] & 0x0F);
        }
    }
    if (weighted == 0) {
        why = kNothingWeighed;
        return std::nullopt;
    }
    if (codes.empty()) {
        out.push_back(kKeyEnd);
        return out;
    }
    codes.push_back(0);
    for (std::size_t i = 0; i < codes.size(); i += 2)
        out.push_back(
            static_cast<std::uint8_t>(codes[i] << 4 | (i + 1 < codes.size() ? codes[i + 1] : 0)));
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
            const auto* str = std::get_if<std::string>(&v);
            if (!str) {
                why = "not a text";
                return std::nullopt;
            }
            return format == Format::Jet3 ? jet3TextWeights(*str, why) : textWeights(*str, why);
        }
        default:
            why = std::string("a ") + columnTypeName(c.type) + " value";
            return std::nullopt;
    }
}

}  // namespace

std::string unindexableBecause(const TableDef& table, const Column& c) {
    auto hex = [](std::uint16_t v) {
        static const char* digits = "0123456789ABCDEF";
        std::string s = "0x";
        for (int i = 12; i >= 0; i -= 4) s += digits[(v >> i) & 15];
        return s;
    };
    switch (c.type) {
        case ColumnType::Boolean:
        case ColumnType::Int16:
        case ColumnType::Int32:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
            return {};
        case ColumnType::Text:
            if (c.sortOrder != encode::kGeneralSortOrder)
                return "its text sorts by another order than General (locale " + hex(c.sortOrder) +
                       "), whose keys this engine does not know";
            if (table.format == Format::Jet4 && c.sortOrderVersion != 0)
                return "its text sorts by a later version (" + std::to_string(c.sortOrderVersion) +
                       ") of the General order, whose keys this engine does not know";
            if (table.format == Format::Jet3 && table.codePage != kJet3KeyCodePage)
                return "its text is in code page " + std::to_string(table.codePage) +
                       ", whose Access 97 index keys this engine does not know (it knows those "
                       "of code page 1252)";
            return {};
        default:
            return std::string("a ") + columnTypeName(c.type) +
                   " column, whose keys this engine does not know";
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
        if (auto not_ = unindexableBecause(table, *c); !not_.empty()) return refuse(not_);
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
        // Access 97 inverts a descending text key as any other; how Jet 4 ends one is not
        // shown by its files here.
        if (c->type == ColumnType::Text && !ic.ascending && table.format != Format::Jet3)
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

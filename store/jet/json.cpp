#include "json.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "error.h"
#include "table_def.h"
#include "text.h"

namespace jet {

namespace {

void appendShortest(std::string& out, double d, bool single) {
    if (!std::isfinite(d)) {
        out += "null";
        return;
    }
    char buf[64];
    std::to_chars_result r = single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(d))
                                    : std::to_chars(buf, buf + sizeof buf, d);
    out.append(buf, r.ptr);
}

void appendHex(std::string& out, const Bytes& b) {
    static const char* hex = "0123456789abcdef";
    out.reserve(out.size() + 2 * b.size() + 2);
    for (auto c : b) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
}

// Days since 1970-01-01 to a civil date, proleptic Gregorian.
void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Whether any of eight bytes is below 0x20, '"' or '\\' (each test is exact for the word as a
// whole: a borrow can only run on from a byte that matched).
bool needsEscape8(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    constexpr std::uint64_t ones = 0x0101010101010101ULL, high = 0x8080808080808080ULL;
    auto zeroByte = [&](std::uint64_t v) { return (v - ones) & ~v & high; };
    return (((w - ones * 0x20) & ~w & high) | zeroByte(w ^ (ones * '"')) |
            zeroByte(w ^ (ones * '\\'))) != 0;
}

// JSON's escape of an ASCII control character, '"' or '\\'.
void appendEscaped(std::string& out, char ch) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default: {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        }
    }
}

const AsciiEscapes& jsonEscapes() {
    static const AsciiEscapes escapes = [] {
        AsciiEscapes e{};
        for (int c = 0; c < 0x20; ++c) e.marked[c] = true;
        e.marked[int{'"'}] = e.marked[int{'\\'}] = true;
        e.escape = appendEscaped;
        return e;
    }();
    return escapes;
}

}  // namespace

std::optional<double> daysFromText(std::string_view t) {
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' ||
        t[16] != ':')
        return std::nullopt;
    auto number = [&](std::size_t at, std::size_t len, int& v) {
        v = 0;
        for (std::size_t k = at; k < at + len; ++k) {
            if (t[k] < '0' || t[k] > '9') return false;
            v = v * 10 + (t[k] - '0');
        }
        return true;
    };
    int y, mo, d, h, mi, se;
    if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d) || !number(11, 2, h) ||
        !number(14, 2, mi) || !number(17, 2, se))
        return std::nullopt;
    static const int monthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > monthDays[mo - 1] ||
        (mo == 2 && d == 29 && !leap) || h > 23 || mi > 59 || se > 59)
        return std::nullopt;
    const std::int64_t day = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) +
                             25569;  // from 1970-01-01 to days since 1899-12-30
    const double time = (h * 3600 + mi * 60 + se) / 86400.0;
    // Before 1899-12-30 the whole part counts back and the time of day still counts forward.
    return day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
}

std::optional<std::string> dateTimeText(double days) {
    // Year 9999 ends 2958466 days after the epoch, year 1 starts 693593 days before it.
    if (!std::isfinite(days) || days > 2958466.0 || days < -693594.0) return std::nullopt;
    double whole = std::trunc(days);
    auto day = static_cast<std::int64_t>(whole);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    std::int64_t y;
    unsigned m, d;
    civilFromDays(day - 25569, y, m, d);  // 1899-12-30 is 25569 days before 1970-01-01
    if (y < 1 || y > 9999) return std::nullopt;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(y), m, d,
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                  static_cast<int>(seconds % 60));
    return std::string(buf);
}

std::string currencyText(Currency c) {
    // Unsigned arithmetic, so that the most negative amount has a magnitude too.
    std::uint64_t mag = c.scaled < 0 ? 0 - static_cast<std::uint64_t>(c.scaled)
                                     : static_cast<std::uint64_t>(c.scaled);
    std::string s = std::to_string(mag / 10000);
    char frac[8];
    std::snprintf(frac, sizeof frac, ".%04u", static_cast<unsigned>(mag % 10000));
    return (c.scaled < 0 ? "-" : "") + s + frac;
}

std::string decimalText(const Decimal& d) {
    std::string digits;
    unsigned __int128 m = d.magnitude;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    if (d.scale > 0) {
        if (digits.size() <= d.scale) digits.insert(0, d.scale - digits.size() + 1, '0');
        digits.insert(digits.end() - d.scale, '.');
    }
    return (d.negative && d.magnitude != 0 ? "-" : "") + digits;
}

std::string guidText(const Guid& g) {
    // The first three groups are little-endian numbers, the last two plain bytes.
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    static const char* hex = "0123456789ABCDEF";
    std::string s = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
        std::uint8_t b = g.bytes[order[i]];
        s += hex[b >> 4];
        s += hex[b & 15];
    }
    return s + "}";
}

void appendJsonString(std::string& out, std::string_view s) {
    out += '"';
    // Runs that need no escape are copied whole; most texts are one such run.
    std::size_t run = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        // Eight bytes at a time while none of them is a control character, '"' or '\\'.
        while (i + 8 <= s.size() && !needsEscape8(s.data() + i)) i += 8;
        if (i >= s.size()) break;
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        out.append(s.data() + run, i - run);
        run = i + 1;
        appendEscaped(out, static_cast<char>(c));
    }
    out.append(s.data() + run, s.size() - run);
    out += '"';
}

void appendJsonJet4Text(std::string& out, std::span<const std::uint8_t> bytes) {
    out += '"';
    appendJet4Text(bytes, out, &jsonEscapes());
    out += '"';
}

void appendJson(std::string& out, const Value& v, ColumnType type) {
    struct Visitor {
        std::string& out;
        ColumnType type;
        void operator()(std::monostate) const { out += "null"; }
        void operator()(bool b) const { out += b ? "true" : "false"; }
        void operator()(std::int64_t i) const { out += std::to_string(i); }
        void operator()(double d) const { appendShortest(out, d, type == ColumnType::Single); }
        void operator()(Currency c) const { appendJsonString(out, currencyText(c)); }
        void operator()(DateTime t) const {
            auto s = dateTimeText(t.days);
            if (s)
                appendJsonString(out, *s);
            else
                out += "null";
        }
        void operator()(const std::string& s) const { appendJsonString(out, s); }
        void operator()(const Bytes& b) const {
            out += '"';
            appendHex(out, b);
            out += '"';
        }
        void operator()(const Decimal& d) const { appendJsonString(out, decimalText(d)); }
        void operator()(const Guid& g) const { appendJsonString(out, guidText(g)); }
    };
    std::visit(Visitor{out, type}, v);
}

std::string toJson(const Value& v, ColumnType type) {
    std::string s;
    appendJson(s, v, type);
    return s;
}

namespace {

// One element of a JSON array line: its kind, its text (a number's literal, a string's decoded
// UTF-8) and where it starts.
struct Element {
    enum Kind { Null, True, False, Number, String } kind = Null;
    std::string text;
    bool integer = false;  // a number without fraction or exponent
    std::size_t at = 0;
};

class LineReader {
  public:
    explicit LineReader(std::string_view s) : s_(s) {}

    [[noreturn]] void fail(std::size_t at, const std::string& what) const {
        throw Error("at character " + std::to_string(at + 1) + ": " + what);
    }
    void skipSpace() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n'))
            ++i_;
    }
    bool take(char c) {
        skipSpace();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    std::size_t pos() const { return i_; }
    bool atEnd() {
        skipSpace();
        return i_ >= s_.size();
    }

    void element(Element& e) {
        skipSpace();
        e.at = i_;
        e.text.clear();
        e.integer = false;
        if (i_ >= s_.size()) fail(i_, "the line ends inside the array");
        const char c = s_[i_];
        if (c == '"') {
            e.kind = Element::String;
            string(e.text);
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            e.kind = Element::Number;
            number(e);
        } else if (word("null")) {
            e.kind = Element::Null;
        } else if (word("true")) {
            e.kind = Element::True;
        } else if (word("false")) {
            e.kind = Element::False;
        } else {
            fail(i_, "expected a value");
        }
    }

  private:
    bool word(std::string_view w) {
        if (s_.substr(i_, w.size()) != w) return false;
        i_ += w.size();
        return true;
    }

    void digits() {
        const std::size_t start = i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
        if (i_ == start) fail(i_, "expected a digit");
    }

    void number(Element& e) {
        const std::size_t start = i_;
        if (s_[i_] == '-') ++i_;
        if (i_ < s_.size() && s_[i_] == '0')
            ++i_;
        else
            digits();
        e.integer = true;
        if (i_ < s_.size() && s_[i_] == '.') {
            ++i_;
            digits();
            e.integer = false;
        }
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
            digits();
            e.integer = false;
        }
        e.text.assign(s_.substr(start, i_ - start));
    }

    unsigned hex4() {
        if (i_ + 4 > s_.size()) fail(i_, "expected four hex digits after \\u");
        unsigned v = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = s_[i_++];
            v <<= 4;
            if (h >= '0' && h <= '9')
                v |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f')
                v |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                v |= static_cast<unsigned>(h - 'A' + 10);
            else
                fail(i_ - 1, "expected four hex digits after \\u");
        }
        return v;
    }

    // A UTF-8 sequence copied as it stands, after checking that it is well formed (no overlong
    // forms, no surrogates, nothing above U+10FFFF).
    void utf8(std::string& out) {
        const std::size_t start = i_;
        const auto b0 = static_cast<unsigned char>(s_[i_]);
        std::size_t len;
        char32_t c;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            c = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            c = b0 & 0x0F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            c = b0 & 0x07;
        } else {
            fail(start, "not UTF-8 text");
        }
        if (start + len > s_.size()) fail(start, "not UTF-8 text");
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s_[start + k]);
            if ((b & 0xC0) != 0x80) fail(start, "not UTF-8 text");
            c = (c << 6) | (b & 0x3F);
        }
        if ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF))
            fail(start, "not UTF-8 text");
        out.append(s_.substr(start, len));
        i_ += len;
    }

    void string(std::string& out) {
        ++i_;  // the opening quote
        for (;;) {
            if (i_ >= s_.size()) fail(i_, "the line ends inside a string");
            const auto c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') {
                ++i_;
                return;
            }
            if (c < 0x20) fail(i_, "a control character inside a string (write it escaped)");
            if (c >= 0x80) {
                utf8(out);
                continue;
            }
            if (c != '\\') {
                out += static_cast<char>(c);
                ++i_;
                continue;
            }
            const std::size_t escape = i_++;
            if (i_ >= s_.size()) fail(escape, "the line ends inside a string");
            switch (s_[i_++]) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    char32_t u = hex4();
                    if (u >= 0xDC00 && u <= 0xDFFF) fail(escape, "a lone low surrogate");
                    if (u >= 0xD800 && u <= 0xDBFF) {
                        if (s_.substr(i_, 2) != "\\u") fail(escape, "a lone high surrogate");
                        i_ += 2;
                        const char32_t low = hex4();
                        if (low < 0xDC00 || low > 0xDFFF) fail(escape, "a lone high surrogate");
                        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendCodePoint(u, out);
                    break;
                }
                default:
                    fail(escape, "an unknown escape in a string");
            }
        }
    }

    std::string_view s_;
    std::size_t i_ = 0;
};

const char* kindName(Element::Kind k) {
    switch (k) {
        case Element::Null:
            return "null";
        case Element::True:
        case Element::False:
            return "a boolean";
        case Element::Number:
            return "a number";
        case Element::String:
            return "a string";
    }
    return "?";
}

// Digits with an optional sign and fraction: the sign, the digits without the point and the
// number of digits after it. False when the text has another shape.
bool splitDecimal(std::string_view t, bool& negative, std::string& digits, std::size_t& scale) {
    negative = !t.empty() && t[0] == '-';
    if (negative) t.remove_prefix(1);
    const std::size_t point = t.find('.');
    const std::string_view whole = t.substr(0, point);
    const std::string_view frac = point == std::string_view::npos ? "" : t.substr(point + 1);
    if (whole.empty() || (point != std::string_view::npos && frac.empty())) return false;
    for (std::string_view part : {whole, frac})
        for (char c : part)
            if (c < '0' || c > '9') return false;
    digits.assign(whole);
    digits.append(frac);
    scale = frac.size();
    return true;
}

Value convert(const Element& e, ColumnType type, const LineReader& in, const std::string& where) {
    auto wrong = [&](const std::string& expected) -> Value {
        in.fail(e.at, where + ": expected " + expected + " for a " + columnTypeName(type) +
                          " column, found " + kindName(e.kind));
    };
    if (e.kind == Element::Null) return std::monostate{};
    switch (type) {
        case ColumnType::Boolean:
            if (e.kind == Element::True) return true;
            if (e.kind == Element::False) return false;
            return wrong("true or false");
        case ColumnType::Byte:
        case ColumnType::Int16:
        case ColumnType::Int32: {
            if (e.kind != Element::Number || !e.integer) return wrong("a whole number");
            std::int64_t v = 0;
            auto r = std::from_chars(e.text.data(), e.text.data() + e.text.size(), v);
            const std::int64_t lo = type == ColumnType::Byte    ? 0
                                    : type == ColumnType::Int16 ? -32768
                                                                : -2147483648LL;
            const std::int64_t hi = type == ColumnType::Byte    ? 255
                                    : type == ColumnType::Int16 ? 32767
                                                                : 2147483647LL;
            if (r.ec != std::errc() || v < lo || v > hi)
                in.fail(e.at, where + ": " + e.text + " is out of range for a " +
                                  columnTypeName(type) + " column (" + std::to_string(lo) + " to " +
                                  std::to_string(hi) + ")");
            return v;
        }
        case ColumnType::Single:
        case ColumnType::Double: {
            if (e.kind != Element::Number) return wrong("a number");
            double d = 0;
            auto r = std::from_chars(e.text.data(), e.text.data() + e.text.size(), d);
            // A single takes anything that rounds to a finite float: up to FLT_MAX plus half
            // its last step.
            const bool tooLarge =
                type == ColumnType::Single ? std::fabs(d) >= 0x1.ffffffp127 : !std::isfinite(d);
            if (r.ec != std::errc() || tooLarge)
                in.fail(e.at, where + ": " + e.text + " is out of range for a " +
                                  columnTypeName(type) + " column");
            return d;
        }
        case ColumnType::Currency: {
            if (e.kind != Element::String) return wrong("a string such as \"12.3400\"");
            bool negative;
            std::string digits;
            std::size_t scale;
            if (!splitDecimal(e.text, negative, digits, scale) || scale > 4)
                in.fail(e.at,
                        where + ": \"" + e.text + "\" is not an amount with at most four decimals");
            digits.append(4 - scale, '0');
            // The magnitude in unsigned arithmetic, so that the most negative amount fits.
            std::uint64_t mag = 0;
            const std::uint64_t limit =
                negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
            for (char c : digits) {
                const auto digit = static_cast<std::uint64_t>(c - '0');
                if (mag > (limit - digit) / 10)
                    in.fail(e.at, where + ": \"" + e.text + "\" is out of range for currency");
                mag = mag * 10 + digit;
            }
            return Currency{negative ? static_cast<std::int64_t>(0 - mag)
                                     : static_cast<std::int64_t>(mag)};
        }
        case ColumnType::DateTime: {
            if (e.kind != Element::String) return wrong("a string \"YYYY-MM-DD HH:MM:SS\"");
            auto days = daysFromText(e.text);
            if (!days)
                in.fail(e.at, where + ": \"" + e.text +
                                  "\" is not a date and time \"YYYY-MM-DD HH:MM:SS\"");
            return DateTime{*days};
        }
        case ColumnType::Text:
        case ColumnType::Memo:
            if (e.kind != Element::String) return wrong("a string");
            return e.text;
        case ColumnType::Binary:
        case ColumnType::OLE: {
            if (e.kind != Element::String) return wrong("a string of hex digits");
            if (e.text.size() % 2 != 0) in.fail(e.at, where + ": an odd number of hex digits");
            Bytes b(e.text.size() / 2);
            for (std::size_t k = 0; k < e.text.size(); ++k) {
                const char h = e.text[k];
                int v;
                if (h >= '0' && h <= '9')
                    v = h - '0';
                else if (h >= 'a' && h <= 'f')
                    v = h - 'a' + 10;
                else if (h >= 'A' && h <= 'F')
                    v = h - 'A' + 10;
                else
                    in.fail(e.at, where + ": \"" + std::string(1, h) + "\" is not a hex digit");
                b[k / 2] = static_cast<std::uint8_t>(b[k / 2] << 4 | v);
            }
            return b;
        }
        case ColumnType::Guid: {
            if (e.kind != Element::String) return wrong("a string \"{XXXXXXXX-XXXX-...}\"");
            static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
            const std::string& t = e.text;
            Guid g;
            bool ok = t.size() == 38 && t.front() == '{' && t.back() == '}';
            std::size_t k = 1;
            for (int n = 0; ok && n < 16; ++n) {
                if (n == 4 || n == 6 || n == 8 || n == 10) ok = t[k++] == '-';
                int v = 0;
                for (int h = 0; ok && h < 2; ++h) {
                    const char c = t[k++];
                    v <<= 4;
                    if (c >= '0' && c <= '9')
                        v |= c - '0';
                    else if (c >= 'a' && c <= 'f')
                        v |= c - 'a' + 10;
                    else if (c >= 'A' && c <= 'F')
                        v |= c - 'A' + 10;
                    else
                        ok = false;
                }
                g.bytes[static_cast<std::size_t>(order[n])] = static_cast<std::uint8_t>(v);
            }
            if (!ok) in.fail(e.at, where + ": \"" + t + "\" is not a replication id");
            return g;
        }
        case ColumnType::Numeric: {
            if (e.kind != Element::String) return wrong("a string of decimal digits");
            bool negative;
            std::string digits;
            std::size_t scale;
            // Jet keeps at most 28 significant digits.
            if (!splitDecimal(e.text, negative, digits, scale) || scale > 28)
                in.fail(e.at, where + ": \"" + e.text + "\" is not a decimal number");
            const std::size_t first = digits.find_first_not_of('0');
            if (first != std::string::npos && digits.size() - first > 28)
                in.fail(e.at, where + ": \"" + e.text + "\" has more than 28 digits");
            Decimal d;
            for (char c : digits) d.magnitude = d.magnitude * 10 + static_cast<unsigned>(c - '0');
            d.scale = static_cast<std::uint8_t>(scale);
            d.negative = negative && d.magnitude != 0;
            return d;
        }
    }
    return wrong("a value");
}

}  // namespace

std::vector<Value> fromJson(std::string_view line, std::span<const ColumnType> types,
                            std::span<const std::string> names) {
    LineReader in(line);
    if (!in.take('[')) in.fail(in.pos(), "expected \"[\" (one JSON array per row)");
    std::vector<Value> values;
    values.reserve(types.size());
    Element e;
    if (!in.take(']')) {
        for (;;) {
            const std::size_t column = values.size();
            in.element(e);
            if (column >= types.size())
                in.fail(e.at, "more values than the table's " + std::to_string(types.size()) +
                                  " columns");
            std::string where = "column " + std::to_string(column + 1);
            if (column < names.size()) where += " (" + names[column] + ")";
            values.push_back(convert(e, types[column], in, where));
            if (in.take(',')) continue;
            if (in.take(']')) break;
            in.fail(in.pos(), "expected \",\" or \"]\"");
        }
    }
    if (!in.atEnd()) in.fail(in.pos(), "text after the end of the array");
    if (values.size() != types.size())
        in.fail(in.pos() > 0 ? in.pos() - 1 : 0,
                std::to_string(values.size()) + (values.size() == 1 ? " value" : " values") +
                    " where the table has " + std::to_string(types.size()) + " columns");
    return values;
}

}  // namespace jet

#include "json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

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

}  // namespace

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
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
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
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
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

}  // namespace jet

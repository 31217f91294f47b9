#include "text.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "encode.h"
#include "error.h"

namespace jet {

namespace {

// Writes a code point as UTF-8 at p (four bytes at most); returns the end.
char* putCodePoint(char32_t c, char* p) {
    if (c < 0x80) {
        *p++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *p++ = static_cast<char>(0xC0 | (c >> 6));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return p;
}

}  // namespace

void appendCodePoint(char32_t c, std::string& out) {
    char buf[4];
    out.append(buf, static_cast<std::size_t>(putCodePoint(c, buf) - buf));
}

namespace {

bool compressedJet4(std::span<const std::uint8_t> b) {
    return b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE;
}

// Calls f with each UTF-16 code unit of Jet 4 text bytes, compressed or not.
template <class F>
void forEachJet4Unit(std::span<const std::uint8_t> b, F&& f) {
    if (compressedJet4(b)) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < b.size()) {
            if (b[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                f(static_cast<char16_t>(b[i++]));
            } else if (i + 1 < b.size()) {
                f(static_cast<char16_t>(b[i] | b[i + 1] << 8));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < b.size(); i += 2)
            f(static_cast<char16_t>(b[i] | b[i + 1] << 8));
    }
}

// UTF-16 code units written as UTF-8 in place, three bytes a unit at most: a surrogate pair
// becomes one character, also when a run of the compressed form splits it; a lone surrogate
// becomes U+FFFD. ASCII characters marked in the escapes go through their escape function,
// which appends to the string itself.
class Utf8Out {
  public:
    Utf8Out(std::string& out, std::size_t units, const AsciiEscapes* escapes)
        : out_(out), escapes_(escapes) {
        const std::size_t start = out.size();
        out.resize(start + 3 * units + 3);
        p_ = out.data() + start;
    }

    // `left`: how many units may follow, this one included.
    [[gnu::always_inline]] void unit(char16_t u, std::size_t left) {
        char* p = p_;  // a local, which the stores through it cannot change
        if (high_) {
            if (u >= 0xDC00 && u < 0xE000) {
                const char32_t c = 0x10000 + ((char32_t{high_} - 0xD800) << 10) + (u - 0xDC00);
                p[0] = static_cast<char>(0xF0 | (c >> 18));
                p[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                p[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                p[3] = static_cast<char>(0x80 | (c & 0x3F));
                p_ = p + 4;
                high_ = 0;
                return;
            }
            p = replacement(p);
            high_ = 0;
        }
        if (u < 0x80) {
            if (escapes_ && escapes_->marked[u]) {
                out_.resize(static_cast<std::size_t>(p - out_.data()));
                escapes_->escape(out_, static_cast<char>(u));
                const std::size_t at = out_.size();
                out_.resize(at + 3 * left + 3);
                p_ = out_.data() + at;
                return;
            }
            *p++ = static_cast<char>(u);
        } else if (u < 0x800) {
            p[0] = static_cast<char>(0xC0 | (u >> 6));
            p[1] = static_cast<char>(0x80 | (u & 0x3F));
            p += 2;
        } else if (u < 0xD800 || u >= 0xE000) {
            p[0] = static_cast<char>(0xE0 | (u >> 12));
            p[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            p[2] = static_cast<char>(0x80 | (u & 0x3F));
            p += 3;
        } else if (u < 0xDC00) {
            high_ = u;
        } else {
            p = replacement(p);
        }
        p_ = p;
    }

    void finish() {
        if (high_) p_ = replacement(p_);
        out_.resize(static_cast<std::size_t>(p_ - out_.data()));
    }

  private:
    static char* replacement(char* p) {
        p[0] = '\xEF';
        p[1] = '\xBF';
        p[2] = '\xBD';
        return p + 3;
    }
    std::string& out_;
    const AsciiEscapes* escapes_;
    char* p_;
    char16_t high_ = 0;
};

}  // namespace

void appendUtf8(std::u16string_view units, std::string& out) {
    Utf8Out w(out, units.size(), nullptr);
    for (std::size_t i = 0; i < units.size(); ++i) w.unit(units[i], units.size() - i);
    w.finish();
}

std::u16string decodeJet4Units(std::span<const std::uint8_t> b) {
    std::u16string units;
    units.reserve(compressedJet4(b) ? b.size() : b.size() / 2);
    forEachJet4Unit(b, [&](char16_t u) { units += u; });
    return units;
}

void appendJet4Text(std::span<const std::uint8_t> bytes, std::string& out,
                    const AsciiEscapes* escapes) {
    // Plain ASCII in compressed form is by far the most common case; copy it straight.
    if (!escapes && compressedJet4(bytes)) {
        bool simple = true;
        for (std::size_t i = 2; i < bytes.size(); ++i)
            if (bytes[i] == 0 || bytes[i] >= 0x80) {
                simple = false;
                break;
            }
        if (simple) {
            out.append(bytes.begin() + 2, bytes.end());
            return;
        }
    }
    // Straight from the stored bytes: no more code units than bytes. The walk is that of
    // forEachJet4Unit spelled out: through its callback the export ran a fifth slower.
    const std::uint8_t* b = bytes.data();
    const std::size_t n = bytes.size();
    Utf8Out w(out, n, escapes);
    if (compressedJet4(bytes)) {
        bool one = true;
        for (std::size_t i = 2; i < n;) {
            if (b[i] == 0) {
                one = !one;
                ++i;
            } else if (one) {
                w.unit(b[i], n - i);
                ++i;
            } else if (i + 1 < n) {
                w.unit(static_cast<char16_t>(b[i] | b[i + 1] << 8), n - i);
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < n; i += 2)
            w.unit(static_cast<char16_t>(b[i] | b[i + 1] << 8), n - i);
    }
    w.finish();
}

std::string decodeJet4Text(std::span<const std::uint8_t> bytes) {
    std::string out;
    appendJet4Text(bytes, out);
    return out;
}

Jet4TextSearch::Jet4TextSearch(std::string_view utf8) {
    try {
        units_ = encode::toUtf16(utf8);
    } catch (const Error&) {
        return;
    }
    valid_ = !units_.empty() && units_.find(u'\uFFFD') == std::u16string::npos;
    for (char16_t u : units_) {
        bytes_ += static_cast<char>(u & 0xFF);
        bytes_ += static_cast<char>(u >> 8);
    }
}

bool Jet4TextSearch::in(std::span<const std::uint8_t> b) const {
    if (compressedJet4(b)) {
        scratch_.clear();
        forEachJet4Unit(b, [this](char16_t u) { scratch_ += u; });
        return scratch_.find(units_) != std::u16string::npos;
    }
    // Plain UTF-16LE: the needle's bytes starting on a code unit. Four units at a time are
    // tested for the needle's first one (a lane of the word equal to it), and only where one
    // is does a comparison follow.
    const std::size_t units = b.size() / 2, need = units_.size();
    if (units < need) return false;
    const std::uint8_t* base = b.data();
    const std::size_t last = units - need;  // the last unit the needle can start on
    auto at = [&](std::size_t i) {
        return std::memcmp(base + 2 * i, bytes_.data(), bytes_.size()) == 0;
    };
    std::uint64_t first;
    const char lanes[8] = {bytes_[0], bytes_[1], bytes_[0], bytes_[1],
                           bytes_[0], bytes_[1], bytes_[0], bytes_[1]};
    std::memcpy(&first, lanes, 8);
    constexpr std::uint64_t ones = 0x0001000100010001ULL, high = 0x8000800080008000ULL;
    std::size_t i = 0;
    for (; i + 4 <= units; i += 4) {
        std::uint64_t w;
        std::memcpy(&w, base + 2 * i, 8);
        w ^= first;
        if (((w - ones) & ~w & high) == 0) continue;
        for (std::size_t k = i; k < i + 4 && k <= last; ++k)
            if (at(k)) return true;
        if (i + 4 > last) return false;
    }
    for (; i <= last; ++i)
        if (at(i)) return true;
    return false;
}

namespace {

// An iconv handle between UTF-8 and a Windows code page, either way.
void* openCodePage(std::uint16_t codePage, bool toCodePage) {
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd =
        toCodePage ? ::iconv_open(name.c_str(), "UTF-8") : ::iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw Error("text in code page " + std::to_string(codePage) +
                    " cannot be converted on this system");
    return cd;
}

// Every character of a code page of one or two bytes per character, found once through iconv,
// so that decoding a text is a table look-up per character rather than a call into iconv.
// Empty for a code page with longer characters, which iconv then decodes as it goes.
struct CodePageTable {
    std::array<char32_t, 256> single{};  // 0 marks a lead byte
    std::vector<char32_t> pairs;         // lead << 8 | trail; 0xFFFD where there is none
    bool usable = false;
};

const CodePageTable& tableOf(std::uint16_t codePage) {
    static std::mutex mutex;
    static std::map<std::uint16_t, std::unique_ptr<CodePageTable>> tables;
    std::lock_guard lock(mutex);
    auto& slot = tables[codePage];
    if (slot) return *slot;
    slot = std::make_unique<CodePageTable>();
    CodePageTable& t = *slot;
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = ::iconv_open("UTF-32LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return t;
    // The code point of `bytes`, 0 when they start a longer character, 0xFFFD for none.
    auto probe = [&](const std::uint8_t* bytes, std::size_t n) -> char32_t {
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
        std::size_t inLeft = n;
        std::array<std::uint8_t, 16> buf{};
        char* o = reinterpret_cast<char*>(buf.data());
        std::size_t outLeft = buf.size();
        if (::iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1))
            return errno == EINVAL ? 0 : 0xFFFD;
        if (inLeft != 0 || buf.size() - outLeft != 4) return 0xFFFD;
        return static_cast<char32_t>(buf[0] | buf[1] << 8 | buf[2] << 16 | buf[3] << 24);
    };
    t.usable = true;
    for (unsigned b = 0; b < 256; ++b) {
        const std::uint8_t one = static_cast<std::uint8_t>(b);
        t.single[b] = b < 0x80 ? b : probe(&one, 1);
        if (t.single[b] != 0 || b == 0) continue;
        if (t.pairs.empty()) t.pairs.assign(65536, 0xFFFD);
        for (unsigned trail = 0; trail < 256; ++trail) {
            const std::uint8_t two[2] = {one, static_cast<std::uint8_t>(trail)};
            const char32_t c = probe(two, 2);
            if (c == 0) t.usable = false;  // characters of three bytes or more
            t.pairs[b << 8 | trail] = c;
        }
    }
    ::iconv_close(cd);
    return t;
}

}  // namespace

TextDecoder::TextDecoder(Format format, std::uint16_t codePage)
    : format_(format), codePage_(codePage == 0 ? kDefaultCodePage : codePage) {
    if (format_ == Format::Jet3) iconv_ = openCodePage(codePage_, false);
}

TextDecoder::~TextDecoder() {
    if (iconv_) ::iconv_close(static_cast<iconv_t>(iconv_));
}

std::string TextDecoder::decode(std::span<const std::uint8_t> bytes) const {
    std::string out;
    decode(bytes, out);
    return out;
}

void TextDecoder::decode(std::span<const std::uint8_t> bytes, std::string& out) const {
    if (format_ == Format::Jet4) {
        appendJet4Text(bytes, out);
        return;
    }
    bool ascii = true;
    for (auto c : bytes)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        out.append(bytes.begin(), bytes.end());
        return;
    }
    auto found = static_cast<const CodePageTable*>(table_.load(std::memory_order_acquire));
    if (!found) {
        found = &tableOf(codePage_);
        table_.store(found, std::memory_order_release);
    }
    const CodePageTable& table = *found;
    if (table.usable) {
        // A byte the code page does not map, or a lead byte cut off at the end: U+FFFD.
        // Written in place, four bytes a byte at most.
        const std::size_t start = out.size();
        out.resize(start + 4 * bytes.size());
        char* p = out.data() + start;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char32_t c = table.single[bytes[i]];
            if (c != 0 || bytes[i] == 0) {
                p = putCodePoint(c, p);
            } else if (i + 1 < bytes.size() &&
                       table.pairs[bytes[i] << 8 | bytes[i + 1]] != 0xFFFD) {
                p = putCodePoint(table.pairs[bytes[i] << 8 | bytes[i + 1]], p);
                ++i;
            } else {
                p = putCodePoint(0xFFFD, p);
            }
        }
        out.resize(static_cast<std::size_t>(p - out.data()));
        return;
    }
    auto cd = static_cast<iconv_t>(iconv_);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string buf(bytes.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    std::size_t inLeft = bytes.size();
    char* o = buf.data();
    std::size_t outLeft = buf.size();
    while (inLeft > 0) {
        std::size_t r = ::iconv(cd, &in, &inLeft, &o, &outLeft);
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) break;  // cannot happen: four bytes out per byte in is enough
        // A byte the code page does not map (or a cut-off double-byte character): U+FFFD.
        std::size_t used = static_cast<std::size_t>(o - buf.data());
        buf.resize(used);
        appendCodePoint(0xFFFD, buf);
        buf.resize(buf.size() + inLeft * 4 + 8);
        o = buf.data() + used + 3;
        outLeft = buf.size() - used - 3;
        ++in;
        --inLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    buf.resize(static_cast<std::size_t>(o - buf.data()));
    out += buf;
}

TextEncoder::TextEncoder(Format format, std::uint16_t codePage)
    : format_(format), codePage_(codePage == 0 ? kDefaultCodePage : codePage) {
    if (format_ == Format::Jet3) iconv_ = openCodePage(codePage_, true);
}

TextEncoder::~TextEncoder() {
    if (iconv_) ::iconv_close(static_cast<iconv_t>(iconv_));
}

namespace {

// The UTF-8 character starting at `at`, and its code point; empty when it is not valid UTF-8.
std::pair<std::string, char32_t> characterAt(std::string_view s, std::size_t at) {
    try {
        std::size_t n = 1;
        while (at + n < s.size() && (static_cast<unsigned char>(s[at + n]) & 0xC0) == 0x80) ++n;
        const std::u16string u = encode::toUtf16(s.substr(at, n));
        if (u.empty()) return {};
        char32_t c = u[0];
        if (u.size() == 2) c = 0x10000 + ((c - 0xD800) << 10) + (u[1] - 0xDC00);
        return {std::string(s.substr(at, n)), c};
    } catch (const Error&) {
        return {};
    }
}

}  // namespace

std::vector<std::uint8_t> TextEncoder::encode(std::string_view utf8, bool allowCompression,
                                              std::string_view what) const {
    if (format_ == Format::Jet4) return encode::encodeText(utf8, allowCompression);
    std::vector<std::uint8_t> out;
    bool ascii = true;
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return std::vector<std::uint8_t>(utf8.begin(), utf8.end());
    auto cd = static_cast<iconv_t>(iconv_);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(utf8.size() * 2 + 8);  // no code page takes more than two bytes a character
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* o = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size();
    if (::iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1) ||
        ::iconv(cd, nullptr, nullptr, &o, &outLeft) == static_cast<std::size_t>(-1)) {
        const std::size_t at = utf8.size() - inLeft;
        const auto [ch, cp] = characterAt(utf8, at);
        if (ch.empty())
            throw Error(std::string(what) + ": the text is not valid UTF-8 (byte " +
                        std::to_string(at) + ")");
        char hex[16];
        std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(cp));
        throw Error(std::string(what) + ": the character \"" + ch + "\" (" + hex +
                        ") cannot be stored in this file's code page " + std::to_string(codePage_) +
                        "; the row was not written",
                    ErrorKind::Unencodable);
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace jet

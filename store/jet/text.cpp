#include "text.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "encode.h"
#include "error.h"

namespace jet {

void appendCodePoint(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUtf8(std::u16string_view units, std::string& out) {
    // Written in place: a unit gives at most three bytes, a surrogate pair four.
    const std::size_t start = out.size();
    out.resize(start + 3 * units.size());
    char* p = out.data() + start;
    auto put = [&p](char32_t c) {
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
    };
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            char32_t lo = units[++i];
            put(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        } else if (u >= 0xD800 && u < 0xE000) {
            put(0xFFFD);
        } else {
            put(u);
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

std::u16string decodeJet4Units(std::span<const std::uint8_t> b) {
    std::u16string units;
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        units.reserve(b.size());
        bool compressed = true;
        std::size_t i = 2;
        while (i < b.size()) {
            if (b[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units += static_cast<char16_t>(b[i++]);
            } else if (i + 1 < b.size()) {
                units += static_cast<char16_t>(b[i] | b[i + 1] << 8);
                i += 2;
            } else {
                break;
            }
        }
    } else {
        units.resize(b.size() / 2);
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(b[2 * i] | b[2 * i + 1] << 8);
    }
    return units;
}

void appendJet4Text(std::span<const std::uint8_t> bytes, std::string& out) {
    // Plain ASCII in compressed form is by far the most common case; copy it straight.
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
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
    appendUtf8(decodeJet4Units(bytes), out);
}

std::string decodeJet4Text(std::span<const std::uint8_t> bytes) {
    std::string out;
    appendJet4Text(bytes, out);
    return out;
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
    const CodePageTable& table = tableOf(codePage_);
    if (table.usable) {
        // A byte the code page does not map, or a lead byte cut off at the end: U+FFFD.
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const char32_t c = table.single[bytes[i]];
            if (c != 0 || bytes[i] == 0) {
                appendCodePoint(c, out);
            } else if (i + 1 < bytes.size() &&
                       table.pairs[bytes[i] << 8 | bytes[i + 1]] != 0xFFFD) {
                appendCodePoint(table.pairs[bytes[i] << 8 | bytes[i + 1]], out);
                ++i;
            } else {
                appendCodePoint(0xFFFD, out);
            }
        }
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

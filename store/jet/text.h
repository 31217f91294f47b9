// Text as Jet stores it. Jet 4: UTF-16LE, or Jet's compressed form: the bytes 0xFF 0xFE, then
// runs that a 0x00 byte toggles between one byte per character (the high byte being zero;
// the starting mode) and two bytes per character. Jet 3: bytes in the code page that the
// header names, converted through iconv.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format.h"

namespace jet {

// Appends UTF-16 code units as UTF-8; a surrogate pair becomes one character, a lone
// surrogate becomes U+FFFD.
void appendUtf8(std::u16string_view units, std::string& out);
void appendCodePoint(char32_t c, std::string& out);

// Jet 4 text bytes (compressed or not) to UTF-16 code units. An odd trailing byte of plain
// UTF-16 is dropped, as Jet never writes one.
std::u16string decodeJet4Units(std::span<const std::uint8_t> bytes);
// ... and to UTF-8.
std::string decodeJet4Text(std::span<const std::uint8_t> bytes);
// ASCII characters written another way than themselves (escaped for JSON, say).
struct AsciiEscapes {
    bool marked[128];
    void (*escape)(std::string& out, char c);
};
void appendJet4Text(std::span<const std::uint8_t> bytes, std::string& out,
                    const AsciiEscapes* escapes = nullptr);

// Whether Jet 4 text bytes (compressed or not) hold a text, found on the code units without
// building the UTF-8: for a text with no lone surrogate and no U+FFFD (which a lone surrogate
// decodes to), the answer is that of a byte search in the decoded UTF-8. Not thread-safe.
class Jet4TextSearch {
  public:
    explicit Jet4TextSearch(std::string_view utf8);
    // False for a text the code units cannot decide (empty, U+FFFD, not valid UTF-8).
    bool valid() const { return valid_; }
    bool in(std::span<const std::uint8_t> bytes) const;

  private:
    std::u16string units_;
    std::string bytes_;  // units_ as UTF-16LE
    bool valid_ = false;
    mutable std::u16string scratch_;
};

// Converts text of one database to UTF-8: Jet 4 as above, Jet 3 from its code page. Not
// thread-safe (it keeps one iconv handle).
class TextDecoder {
  public:
    // Throws jet::Error when iconv does not know the code page.
    TextDecoder(Format format, std::uint16_t codePage);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    Format format() const { return format_; }
    std::uint16_t codePage() const { return codePage_; }
    std::string decode(std::span<const std::uint8_t> bytes) const;
    void decode(std::span<const std::uint8_t> bytes, std::string& out) const;

  private:
    Format format_;
    std::uint16_t codePage_;
    void* iconv_ = nullptr;  // iconv_t
    // The code page's table, found on first use rather than looked up for every text.
    mutable std::atomic<const void*> table_{nullptr};
};

// Converts UTF-8 to the text bytes of one database: Jet 4's (compressed when allowed and
// shorter), or Jet 3's code page through iconv. A character the code page cannot hold is
// refused with an Error of kind Unencodable that names it and `what`. Not thread-safe.
class TextEncoder {
  public:
    // Throws jet::Error when iconv does not know the code page.
    TextEncoder(Format format, std::uint16_t codePage);
    ~TextEncoder();
    TextEncoder(const TextEncoder&) = delete;
    TextEncoder& operator=(const TextEncoder&) = delete;

    Format format() const { return format_; }
    std::vector<std::uint8_t> encode(std::string_view utf8, bool allowCompression,
                                     std::string_view what) const;

  private:
    Format format_;
    std::uint16_t codePage_;
    void* iconv_ = nullptr;  // iconv_t
};

// The code page Jet 3 text is read in when the header names none.
constexpr std::uint16_t kDefaultCodePage = 1252;

}  // namespace jet

// Little-endian reads from file bytes. The raw readers assume the caller checked the bounds
// (row decoding checks a row once, then reads freely); Reader checks every read and names the
// place in its error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "error.h"

namespace jet {

inline std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t le24(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16;
}
inline std::uint32_t le32(const std::uint8_t* p) {
    return le24(p) | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint64_t le64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(le32(p)) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}
inline double leDouble(const std::uint8_t* p) {
    std::uint64_t bits = le64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline float leFloat(const std::uint8_t* p) {
    std::uint32_t bits = le32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// "<file>: page <n>: <what>", the shape of every engine error about file contents.
std::string placeText(std::string_view file, std::uint32_t page);
[[noreturn]] void failAt(std::string_view file, std::uint32_t page, std::string_view what);

// Bounds-checked reads over a span; errors carry `where` ("<file>: page <n>").
class Reader {
  public:
    // `kind`: what a fault in these bytes means; the header reader says NotDatabase.
    Reader(std::span<const std::uint8_t> data, std::string where,
           ErrorKind kind = ErrorKind::Damaged)
        : data_(data), where_(std::move(where)), kind_(kind) {}

    std::size_t size() const { return data_.size(); }
    std::span<const std::uint8_t> data() const { return data_; }
    const std::string& where() const { return where_; }

    std::uint8_t u8(std::size_t pos) const { return *at(pos, 1); }
    std::uint16_t u16(std::size_t pos) const { return le16(at(pos, 2)); }
    std::uint32_t u32(std::size_t pos) const { return le32(at(pos, 4)); }
    std::span<const std::uint8_t> bytes(std::size_t pos, std::size_t n) const {
        return {at(pos, n), n};
    }
    bool has(std::size_t pos, std::size_t n) const {
        return pos <= data_.size() && n <= data_.size() - pos;
    }
    [[noreturn]] void fail(std::string_view what) const;

  private:
    const std::uint8_t* at(std::size_t pos, std::size_t n) const {
        if (!has(pos, n)) outOfBounds(pos, n);
        return data_.data() + pos;
    }
    [[noreturn]] void outOfBounds(std::size_t pos, std::size_t n) const;

    std::span<const std::uint8_t> data_;
    std::string where_;
    ErrorKind kind_;
};

}  // namespace jet

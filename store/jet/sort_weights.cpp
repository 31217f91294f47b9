#include "sort_weights.h"

#include <algorithm>
#include <iterator>

namespace jet::sort_weights {

namespace {

using K = Kind;

// Characters first..last alike: the same kind and extra code, each weight the one before
// (step 0) or its successor (step 1), whose last byte counts up through 0x02..0xFF.
struct Run {
    char16_t first, last;
    Kind kind;
    std::uint8_t step, length, extraLength;
    std::uint32_t weight;
    std::uint16_t extra;
};

struct Code {
    Kind kind;
    std::uint8_t length;
    std::uint16_t weight;
    std::uint8_t extra;
};

#include "sort_weights.inc"

std::uint32_t advance(std::uint32_t weight, std::uint8_t length, std::uint32_t by) {
    if (length == 1) return weight + by;
    constexpr std::uint32_t kLowValues = 0xFF - 0x02 + 1;  // 0x00, 0x01 end sections
    const std::uint32_t at = (weight >> 8) * kLowValues + (weight & 0xFF) - 0x02 + by;
    return (at / kLowValues) << 8 | (at % kLowValues + 0x02);
}

}  // namespace

std::optional<Weights> jet4General(char16_t c) {
    auto it = std::upper_bound(std::begin(kJet4General), std::end(kJet4General), c,
                               [](char16_t x, const Run& r) { return x < r.first; });
    if (it == std::begin(kJet4General)) return std::nullopt;
    const Run& r = *--it;
    if (c > r.last) return std::nullopt;
    Weights w;
    w.kind = r.kind;
    const std::uint32_t weight = r.step ? advance(r.weight, r.length, c - r.first) : r.weight;
    if (r.kind == Kind::Unprintable || r.kind == Kind::Modifier) {
        w.code = static_cast<std::uint8_t>(weight);
        return w;
    }
    w.length = r.length;
    for (int i = 0; i < r.length; ++i)
        w.bytes[i] = static_cast<std::uint8_t>(weight >> (8 * (r.length - 1 - i)));
    w.extraLength = r.extraLength;
    for (int i = 0; i < r.extraLength; ++i)
        w.extra[i] = static_cast<std::uint8_t>(r.extra >> (8 * (r.extraLength - 1 - i)));
    return w;
}

Weights jet3General(std::uint8_t byte) {
    const Code& code = kJet3General[byte];
    Weights w;
    w.kind = code.kind;
    w.length = code.length;
    for (int i = 0; i < code.length; ++i)
        w.bytes[i] = static_cast<std::uint8_t>(code.weight >> (8 * (code.length - 1 - i)));
    w.extraLength = code.extra != 0;
    w.extra[0] = code.extra;
    return w;
}

std::optional<std::uint8_t> toCp1252(char16_t c) {
    // Code page 1252 puts signs at 0x80..0x9F where Latin-1 has control characters.
    static constexpr char16_t k80[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    const auto* at = std::find(std::begin(k80), std::end(k80), c);
    if (at == std::end(k80)) return std::nullopt;
    return static_cast<std::uint8_t>(0x80 + (at - std::begin(k80)));
}

}  // namespace jet::sort_weights

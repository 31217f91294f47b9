// The rows the child writes, known to the tests that check what it left behind.
#pragma once

#include <string>
#include <vector>

#include "jet/value.h"

namespace jet_write_test {

constexpr int kBaseRows = 12;

// The row cut or padded to a table's width (the values added are null).
inline std::vector<jet::Value> fitted(std::vector<jet::Value> v, std::size_t width = 12) {
    v.resize(width);
    return v;
}

// `n` characters cycling through a few Chinese ones (two bytes each in UTF-16 and in GBK).
inline std::string chinese(std::size_t n) {
    static const char* kChars[] = {"题", "苑", "墨", "舟", "学", "习", "测", "试"};
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += kChars[i % 8];
    return s;
}

inline std::vector<jet::Value> baseRow(int r) {
    return fitted(
        {std::string("base"), std::to_string(r), std::string(), "base " + std::to_string(r)});
}

inline std::vector<jet::Value> bulkRow(const std::string& tag, int i) {
    return fitted(
        {tag, std::to_string(i), std::string(), chinese(static_cast<std::size_t>(i % 40) * 37)});
}

// Sizes cycle through inline, one long-value page and chains, so rows grow, shrink and move.
inline std::vector<jet::Value> updatedRow(int r, long n) {
    return fitted(
        {std::string("base"), std::to_string(r), std::string(),
         "u " + std::to_string(n) + " " + chinese(static_cast<std::size_t>(n * 977 % 6000))});
}

}  // namespace jet_write_test

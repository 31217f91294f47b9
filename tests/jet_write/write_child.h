// The rows the child writes, known to the tests that check what it left behind.
#pragma once

#include <string>
#include <vector>

#include "jet/value.h"

namespace jet_write_test {

constexpr int kBaseRows = 12;

// `n` characters cycling through a few Chinese ones (two bytes each in UTF-16 and in GBK).
inline std::string chinese(std::size_t n) {
    static const char* kChars[] = {"题", "苑", "墨", "舟", "学", "习", "测", "试"};
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += kChars[i % 8];
    return s;
}

// A row of tiku: nianji, kemu and yuanti as given, kecheng empty, the rest null.
inline std::vector<jet::Value> tikuRow(std::string a, std::string b, std::string d) {
    std::vector<jet::Value> v{std::move(a), std::move(b), std::string(), std::move(d)};
    v.resize(12);
    return v;
}

inline std::vector<jet::Value> baseRow(int r) {
    return tikuRow("base", std::to_string(r), "base " + std::to_string(r));
}

inline std::vector<jet::Value> bulkRow(const std::string& tag, int i) {
    return tikuRow(tag, std::to_string(i), chinese(static_cast<std::size_t>(i % 40) * 37));
}

// Sizes cycle through inline, one long-value page and chains, so rows grow, shrink and move.
inline std::vector<jet::Value> updatedRow(int r, long n) {
    return tikuRow(
        "base", std::to_string(r),
        "u " + std::to_string(n) + " " + chinese(static_cast<std::size_t>(n * 977 % 6000)));
}

}  // namespace jet_write_test

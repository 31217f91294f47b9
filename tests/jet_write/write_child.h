// The rows the child writes, known to the tests that check what it left behind.
#pragma once

#include <string>
#include <vector>

#include "jet/value.h"

namespace jet_write_test {

constexpr int kBaseRows = 12;

// A tiku row from its first values, the rest null.
inline std::vector<jet::Value> padded(std::vector<jet::Value> v) {
    v.resize(12);
    return v;
}

// The row cut to a table's width (the values cut off are null).
inline std::vector<jet::Value> fitted(std::vector<jet::Value> v, std::size_t width) {
    v.resize(width);
    return v;
}

inline std::string childText(std::size_t n) {
    static const char* kChars[] = {"错", "题", "演", "练"};
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += kChars[i % 4];
    return s;
}

inline std::vector<jet::Value> baseRow(int r) {
    return padded(
        {std::string("base"), std::to_string(r), std::string(), "base " + std::to_string(r)});
}

inline std::vector<jet::Value> bulkRow(const std::string& tag, int i) {
    return padded(
        {tag, std::to_string(i), std::string(), childText(static_cast<std::size_t>(i % 40) * 37)});
}

// Sizes cycle through inline, one long-value page and chains, so rows grow, shrink and move.
inline std::vector<jet::Value> updatedRow(int r, long n) {
    return padded(
        {std::string("base"), std::to_string(r), std::string(),
         "u " + std::to_string(n) + " " + childText(static_cast<std::size_t>(n * 977 % 6000))});
}

}  // namespace jet_write_test

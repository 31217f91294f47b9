// Generated question banks of realistic size for the benchmarks: Chinese texts of 20 to 200
// characters, multi-line question texts, lessons of 50 to 500 questions, both question types.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "store/jet/create.h"
#include "store/jet/value.h"

namespace bankgen {

using Row = std::vector<jet::Value>;  // the twelve tiku columns by position

// The same count and seed give the same rows, in the same order, on every run.
std::vector<Row> generate(std::size_t count, std::uint64_t seed = 20261207);

// A new question bank file at `path` holding `count` generated questions and empty chengji
// and back tables.
void writeBank(const std::filesystem::path& path, std::size_t count,
               const jet::CreateOptions& options = {});

// How long `f` takes, in seconds.
double seconds(auto&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace bankgen

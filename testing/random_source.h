// The one source of chance of a program run: a uniform generator of numbers 0 <= r < 1 that
// the test and the drill draw questions and option orders from. It always starts from the same
// state, so a run repeats the previous run's sequence and carries it on from test to test.
#pragma once

#include <cstdint>
#include <vector>

namespace cheshi {

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    // The next number of the sequence, 0 <= r < 1.
    virtual double next() = 0;
};

// SplitMix64 from a fixed start; 53 bits of every output become r, so r has the full
// resolution of a double and every value of floor(n * r) is reachable for any lesson size.
class FixedStartRandom final : public RandomSource {
  public:
    static constexpr std::uint64_t kStart = 0x6D6F7A686F75ULL;
    explicit FixedStartRandom(std::uint64_t start = kStart) : state_(start) {}
    double next() override;

  private:
    std::uint64_t state_;
};

// The program-wide generator; created on first use, never reseeded.
RandomSource& programRandom();

// A given sequence of numbers, repeated from its first when it runs out; for tests that need
// to know which question and which option order a draw gives. Throws std::invalid_argument
// for an empty sequence or a number outside 0 <= r < 1.
class SequenceRandom final : public RandomSource {
  public:
    explicit SequenceRandom(std::vector<double> values);
    double next() override;
    // How many numbers have been handed out.
    std::size_t used() const { return used_; }

  private:
    std::vector<double> values_;
    std::size_t used_ = 0;
};

}  // namespace cheshi

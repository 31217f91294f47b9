#include "random_source.h"

#include <stdexcept>

namespace cheshi {

double FixedStartRandom::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1p-53;
}

RandomSource& programRandom() {
    static FixedStartRandom generator;
    return generator;
}

SequenceRandom::SequenceRandom(std::vector<double> values) : values_(std::move(values)) {
    if (values_.empty()) throw std::invalid_argument("an empty sequence of random numbers");
    for (double r : values_) {
        if (!(r >= 0.0 && r < 1.0))
            throw std::invalid_argument("a random number outside 0 <= r < 1");
    }
}

double SequenceRandom::next() { return values_[used_++ % values_.size()]; }

}  // namespace cheshi

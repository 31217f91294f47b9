#include "random_source.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

namespace {

using namespace cheshi;

TEST(RandomSource, FixedStartRepeatsAndSpreadsEvenly) {
    FixedStartRandom a, b;
    std::array<int, 10> tenths{};
    constexpr int kDraws = 100000;
    for (int i = 0; i < kDraws; ++i) {
        const double r = a.next();
        ASSERT_EQ(r, b.next());
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        ++tenths[static_cast<int>(r * 10)];
    }
    for (int n : tenths) EXPECT_NEAR(n, kDraws / 10, 600);
    EXPECT_EQ(&programRandom(), &programRandom());
}

TEST(RandomSource, SequenceRepeatsAndRejectsNumbersOutOfRange) {
    SequenceRandom s({0.25, 0.5});
    EXPECT_EQ(s.next(), 0.25);
    EXPECT_EQ(s.next(), 0.5);
    EXPECT_EQ(s.next(), 0.25);
    EXPECT_EQ(s.used(), 3u);
    EXPECT_THROW(SequenceRandom({}), std::invalid_argument);
    EXPECT_THROW(SequenceRandom({1.0}), std::invalid_argument);
    EXPECT_THROW(SequenceRandom({-0.1}), std::invalid_argument);
}

}  // namespace

#include "common/RandomGen.h"

#include <gtest/gtest.h>

using namespace nirvex;

TEST(Random, LinearCongruenceAndUpperBits) {
    SetRandSeed(0);
    // seed 1 after the first step: floor(1 * 100 / 2^32) = 0
    EXPECT_EQ(Random(100), 0);
    EXPECT_EQ(RandSeed(), 1u);
    EXPECT_EQ(Random(100), static_cast<int32_t>((134775814ull * 100) >> 32));
    EXPECT_EQ(RandSeed(), 134775814u);
    SetRandSeed(0xFFFFFFFFu);
    Random(1);
    EXPECT_EQ(RandSeed(), 0xFFFFFFFFu * 134775813u + 1u); // wraps modulo 2^32
}

TEST(Random, StaysInRange) {
    SetRandSeed(12345);
    for (int i = 0; i < 10000; ++i) {
        int32_t v = Random(7);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 7);
        double f = RandomFloat();
        ASSERT_GE(f, 0.0);
        ASSERT_LT(f, 1.0);
    }
}

TEST(Random, ClockSeedIsAMillisecondOfTheDay) {
    uint32_t s = RandomizeFromClock();
    EXPECT_LT(s, 86400000u);
    EXPECT_EQ(RandSeed(), s);
}

#include "controls/PixelRound.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <limits>

namespace nirvex {
namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(0, RoundHalfEven(0.5));
    EXPECT_EQ(2, RoundHalfEven(1.5));
    EXPECT_EQ(2, RoundHalfEven(2.5));
    EXPECT_EQ(48, RoundHalfEven(48.5));
    EXPECT_EQ(0, RoundHalfEven(-0.5));
    EXPECT_EQ(-2, RoundHalfEven(-1.5));
    EXPECT_EQ(-2, RoundHalfEven(-2.5));
}

TEST(RoundHalfEven, OtherValuesGoToTheNearest) {
    EXPECT_EQ(3, RoundHalfEven(2.6667));
    EXPECT_EQ(2, RoundHalfEven(2.4999999));
    EXPECT_EQ(-3, RoundHalfEven(-2.51));
    EXPECT_EQ(7, RoundHalfEven(7.0));
}

TEST(RoundHalfEven, IgnoresTheRoundingMode) {
    int old = std::fegetround();
    std::fesetround(FE_UPWARD);
    int half = RoundHalfEven(2.5);
    int below = RoundHalfEven(2.4);
    std::fesetround(old);
    EXPECT_EQ(2, half);
    EXPECT_EQ(2, below);
}

TEST(RoundHalfEven, WildValuesSaturate) {
    EXPECT_EQ(0, RoundHalfEven(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(MaxPixelCoord, RoundHalfEven(1e300));
    EXPECT_EQ(MaxPixelCoord, RoundHalfEven(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(-MaxPixelCoord, RoundHalfEven(-1e300));
}

} // namespace
} // namespace nirvex

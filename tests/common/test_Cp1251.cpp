#include "Cp1251.h"

#include <gtest/gtest.h>

using namespace nirvex;

TEST(Cp1251, CyrillicLettersBothWays) {
    const std::string bytes = "\xCE\xE1\xFA\xB8\xEC \xA8\xEB\xEA\xE0"; // "Объём Ёлка"
    EXPECT_EQ(Cp1251ToUtf8(bytes), "Объём Ёлка");
    EXPECT_EQ(Utf8ToCp1251("Объём Ёлка"), bytes);
}

TEST(Cp1251, EveryByteSurvivesTheRoundTripExceptTheUndefinedOne) {
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        std::string back = Utf8ToCp1251(Cp1251ToUtf8(one));
        if (b == 0x98)
            EXPECT_EQ(back, "?");
        else
            EXPECT_EQ(back, one) << b;
    }
}

TEST(Cp1251, UnmappableAndBrokenUtf8BecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD"
                           "b"),
              "a?b");                     // a CJK letter
    EXPECT_EQ(Utf8ToCp1251("\xC3"), "?"); // cut sequence
    EXPECT_EQ(Utf8ToCp1251("\xFF\xFE"), "??");
}

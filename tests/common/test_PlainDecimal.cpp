#include "common/PlainDecimal.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string>

using namespace nirvex;

namespace {

bool Plain(const std::string& s, double& v) {
    return ParsePlainDecimal(s.data(), s.data() + s.size(), v);
}

} // namespace

TEST(PlainDecimal, TakesOnlyWhatItConvertsExactly) {
    struct TCase {
        const char* text;
        bool taken;
        double value;
    };
    const TCase cases[] = {
        {"0", true, 0.0},
        {"12", true, 12.0},
        {"12.", true, 12.0},
        {"1.5", true, 1.5},
        {"0.1", true, 0.1},
        {"123.456", true, 123.456},
        {"9007199254740992", true, 9007199254740992.0}, // 2^53
        {"9007199254740993", false, 0},                 // beyond 2^53: rounding needs care
        {"1234567890123456789", false, 0},              // 19 digits, too large
        {"0.000000000000000001", true, 1e-18},          // 19 digits, 18 decimals
        {"1.0000000000000000000", false, 0},            // 20 digits: the whole number may overflow
        {"1,5", false, 0},
        {"1.2.3", false, 0},
        {".5", false, 0},
        {"", false, 0},
    };
    for (const TCase& c : cases) {
        double v = -1;
        EXPECT_EQ(Plain(c.text, v), c.taken) << c.text;
        if (c.taken)
            EXPECT_EQ(v, c.value) << c.text;
        else
            EXPECT_EQ(v, -1) << c.text;
    }
}

TEST(PlainDecimal, GivesTheSameDoubleAsTheGeneralConversion) {
    std::mt19937_64 gen(7);
    int taken = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string s = std::to_string(gen() >> (gen() % 64));
        if (gen() % 4 != 0)
            s.insert(gen() % s.size() + 1, ".");
        double plain = 0, general = 0;
        std::from_chars(s.data(), s.data() + s.size(), general, std::chars_format::fixed);
        if (Plain(s, plain)) {
            ++taken;
            EXPECT_EQ(std::memcmp(&plain, &general, sizeof plain), 0) << s;
        }
    }
    EXPECT_GT(taken, 100000);
}

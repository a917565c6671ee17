#include "common/Errors.h"
#include "common/FloatCheck.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace nirvex;

namespace {
volatile double zero = 0.0;
volatile double big = 1e308;

std::string Fault(double (*op)()) {
    ClearFloatErrors();
    volatile double r = op();
    (void)r;
    try {
        CheckFloatErrors();
    } catch (const EError& e) {
        return e.what();
    }
    return "";
}
} // namespace

TEST(FloatCheck, MapsTheFlagsToTheFixedMessages) {
    EXPECT_EQ(Fault([] { return 1.0 / zero; }), msgDivByZero);
    EXPECT_EQ(Fault([] { return zero / zero; }), msgInvalidOp);
    EXPECT_EQ(Fault([] { return big * 10; }), msgOverflow);
    EXPECT_EQ(Fault([] { return std::log(zero - 1.0); }), msgInvalidOp);
}

TEST(FloatCheck, UnderflowAndInexactAreSilent) {
    EXPECT_EQ(Fault([] { return 1e-300 * (big * 1e-316); }), "");
    EXPECT_EQ(Fault([] { return 1.0 / 3.0; }), "");
}

TEST(FloatCheck, CheckClearsTheFlags) {
    EXPECT_EQ(Fault([] { return 1.0 / zero; }), msgDivByZero);
    EXPECT_NO_THROW(CheckFloatErrors());
}

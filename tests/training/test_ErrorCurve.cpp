#include "training/ErrorCurve.h"

#include <gtest/gtest.h>

using namespace nirvex;

namespace {

std::vector<int32_t> Epochs(const TErrorCurve& c) {
    std::vector<int32_t> e;
    for (const TCurvePoint& p : c.Points())
        e.push_back(p.Epoch);
    return e;
}

} // namespace

TEST(ErrorCurve, KeepsEveryEpochUntilFull) {
    TErrorCurve c(8);
    EXPECT_TRUE(c.Empty());
    for (int32_t e = 0; e < 7; ++e)
        c.Add(e, 1.0 / (e + 1), 2.0 / (e + 1));
    ASSERT_EQ(c.Points().size(), 7u);
    EXPECT_EQ(c.Points()[3].Epoch, 3);
    EXPECT_DOUBLE_EQ(c.Points()[3].TeachMean, 0.25);
    EXPECT_DOUBLE_EQ(c.Points()[3].TestMean, 0.5);
    EXPECT_EQ(c.Stride(), 1);
    c.Clear();
    EXPECT_TRUE(c.Empty());
    EXPECT_TRUE(c.Points().empty());
}

// Epoch e has errors e and 10e: every merged point is the mean of its epochs, placed at the last.
TEST(ErrorCurve, MergesOlderPointsEvenlyWhenFull) {
    TErrorCurve c(8);
    for (int32_t e = 0; e < 8; ++e)
        c.Add(e, e, 10.0 * e, 100.0 * e);
    EXPECT_EQ(c.Stride(), 2);
    EXPECT_EQ(Epochs(c), (std::vector<int32_t>{1, 3, 5, 7}));
    EXPECT_DOUBLE_EQ(c.Points()[1].TeachMean, 2.5);
    EXPECT_DOUBLE_EQ(c.Points()[1].TestMean, 25);
    EXPECT_DOUBLE_EQ(c.Points()[1].ValidMean, 250);
    for (int32_t e = 8; e < 21; ++e)
        c.Add(e, e, 10.0 * e, 100.0 * e);
    // 16 epochs fill 8 pairs and merge into quads; 17..20 form a full quad; the newest epoch waits.
    EXPECT_EQ(c.Stride(), 4);
    EXPECT_EQ(Epochs(c), (std::vector<int32_t>{3, 7, 11, 15, 19, 20}));
    EXPECT_DOUBLE_EQ(c.Points()[4].TeachMean, (16 + 17 + 18 + 19) / 4.0);
    EXPECT_DOUBLE_EQ(c.Points().back().TeachMean, 20);
    EXPECT_DOUBLE_EQ(c.Points()[4].ValidMean, 100 * (16 + 17 + 18 + 19) / 4.0);
    TErrorCurve big;
    for (int32_t e = 0; e < 100000; ++e)
        big.Add(e, 1, 1);
    EXPECT_LE(big.Points().size(), TErrorCurve::kDefaultCapacity + 1);
    EXPECT_EQ(big.Points().back().Epoch, 99999);
}

// A network taken back to an earlier epoch continues from there: the later points go.
TEST(ErrorCurve, AnEarlierEpochDropsThePointsFromItOn) {
    TErrorCurve c(8);
    for (int32_t e = 0; e < 6; ++e)
        c.Add(e, 1, 1);
    c.Add(3, 0.5, 0.5);
    EXPECT_EQ(Epochs(c), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_DOUBLE_EQ(c.Points().back().TeachMean, 0.5);
}

TEST(ErrorCurve, CsvLinesCarryFifteenDigitsAndZeroForAnEmptyPart) {
    EXPECT_EQ(CurveCsvHeader(), "epoch,train_mean,test_mean,train_max,test_max,train_recognized,test_recognized\n");
    TEpochStats s;
    s.TeachErrMean = 0.1234567890123456;
    s.TestErrMean = 1.5e-7;
    s.TeachErrMax = 2;
    s.TestErrMax = 0.5;
    s.TeachIdentCount = 2;
    s.TestIdentCount = 0;
    EXPECT_EQ(CurveCsvLine(s, 3, 0, 11), "10,0.123456789012346,1.5E-7,2,0.5,66.6666666666667,0\n");
    // A validation part: its mean and maximum right after the recognized shares.
    EXPECT_EQ(CurveCsvHeader(true), "epoch,train_mean,test_mean,train_max,test_max,train_recognized,test_recognized,"
                                    "valid_mean,valid_max\n");
    s.ValidErrMean = 0.25;
    s.ValidErrMax = 1.5e-7;
    EXPECT_EQ(CurveCsvLine(s, 3, 0, 11, true), "10,0.123456789012346,1.5E-7,2,0.5,66.6666666666667,0,0.25,1.5E-7\n");
}

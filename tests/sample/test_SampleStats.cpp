#include "RandomGen.h"
#include "SampleStats.h"
#include "TextSample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <list>

using namespace nirvex;

TEST(InitFieldDefaults, StatisticsRolesAndNormalization) {
    auto t = ParseTextSample("x y z\r\n1 10 5\r\n2 20 5\r\n3 60 5\r\n4 10 5\r\n");
    InitFieldDefaults(t.Fields, t.RecordCount);
    const auto& x = t.Fields[0];
    EXPECT_EQ(x.FieldType, ftInput);
    EXPECT_EQ(t.Fields[1].FieldType, ftInput);
    EXPECT_EQ(t.Fields[2].FieldType, ftTarget);
    EXPECT_EQ(x.NormType, ntLinear);
    EXPECT_EQ(x.Alpha, 1.0);
    EXPECT_EQ(t.Fields[2].NetIndex, 2);
    EXPECT_EQ(x.DataMin, 1);
    EXPECT_EQ(x.Min, 1);
    EXPECT_EQ(x.DataMax, 4);
    EXPECT_EQ(x.Max, 4);
    EXPECT_DOUBLE_EQ(x.Mid, 2.5);
    EXPECT_DOUBLE_EQ(x.Disp, std::sqrt(5.0 / 3.0)); // divisor N - 1
    EXPECT_EQ(t.Fields[1].DataMax, 60);
    EXPECT_EQ(t.Fields[1].DataMin, 10);
    // A column of equal values.
    const auto& z = t.Fields[2];
    EXPECT_EQ(z.DataMin, 5);
    EXPECT_EQ(z.DataMax, 5);
    EXPECT_EQ(z.Min, z.Max);
    EXPECT_EQ(z.Disp, 0);
}

TEST(InitFieldDefaults, MeanIsARunningSumOfShares) {
    auto t = ParseTextSample("x\r\n0.1\r\n0.2\r\n0.7\r\n");
    InitFieldDefaults(t.Fields, t.RecordCount);
    double mid = 0.1 / 3;
    mid += 0.2 / 3;
    mid += 0.7 / 3;
    EXPECT_EQ(t.Fields[0].Mid, mid); // bit for bit, not (0.1 + 0.2 + 0.7) / 3
}

TEST(InitFieldDefaults, OneRecord) {
    auto t = ParseTextSample("a b\r\n7 3\r\n");
    InitFieldDefaults(t.Fields, t.RecordCount);
    EXPECT_EQ(t.Fields[0].Mid, 7);
    EXPECT_EQ(t.Fields[0].Disp, 0);
    EXPECT_EQ(t.Fields[1].FieldType, ftTarget);
}

TEST(InitFieldDefaults, OneFieldIsTheTarget) {
    auto t = ParseTextSample("only\r\n1\r\n2\r\n");
    InitFieldDefaults(t.Fields, t.RecordCount);
    EXPECT_EQ(t.Fields[0].FieldType, ftTarget);
}

TEST(BuildRecordIndex, KnownOrders) {
    SetRandSeed(0);
    EXPECT_EQ(BuildRecordIndex(5), (std::vector<int32_t>{3, 2, 4, 1, 0}));
    SetRandSeed(1);
    EXPECT_EQ(BuildRecordIndex(10), (std::vector<int32_t>{9, 5, 6, 1, 4, 7, 3, 2, 8, 0}));
    EXPECT_TRUE(BuildRecordIndex(0).empty());
}

TEST(BuildRecordIndex, MatchesThePoolRemovalRule) {
    // The pool removal written the slow, obvious way, for sizes that exercise every tree depth.
    for (int32_t n : {1, 2, 3, 7, 8, 9, 100, 1000, 4097}) {
        for (uint32_t seed : {0u, 47391250u, 0xDEADBEEFu}) {
            SetRandSeed(seed);
            std::vector<int32_t> pool(static_cast<std::size_t>(n));
            for (int32_t i = 0; i < n; ++i)
                pool[static_cast<std::size_t>(i)] = i;
            std::vector<int32_t> expected(static_cast<std::size_t>(n));
            for (int32_t p = n - 1; p >= 0; --p) {
                int32_t x = Random(p + 1);
                expected[static_cast<std::size_t>(p)] = pool[static_cast<std::size_t>(x)];
                pool.erase(pool.begin() + x);
            }
            uint32_t after = RandSeed();
            SetRandSeed(seed);
            EXPECT_EQ(BuildRecordIndex(n), expected) << n << " " << seed;
            EXPECT_EQ(RandSeed(), after);
        }
    }
}

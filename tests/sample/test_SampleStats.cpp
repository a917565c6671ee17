#include "common/RandomGen.h"
#include "sample/SampleStats.h"
#include "sample/TextSample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <list>

using namespace nirvex;

TEST(InitFieldDefaults, StatisticsRolesAndNormalization) {
    auto t = ParseTextSample("x y z\r\n1 10 5\r\n2 20 5\r\n3 60 5\r\n4 10 5\r\n");
    InitFieldDefaults(t.Fields, t.RecordCount);
    const auto& x = t.Fields[0];
    EXPECT_EQ(x.FieldType, TFieldRole::Input);
    EXPECT_EQ(t.Fields[1].FieldType, TFieldRole::Input);
    EXPECT_EQ(t.Fields[2].FieldType, TFieldRole::Target);
    EXPECT_EQ(x.NormType, TNormMethod::Linear);
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
    EXPECT_EQ(t.Fields[1].FieldType, TFieldRole::Target);
}

TEST(InitFieldDefaults, OneFieldIsTheTarget) {
    auto t = ParseTextSample("only\r\n1\r\n2\r\n");
    InitFieldDefaults(t.Fields, t.RecordCount);
    EXPECT_EQ(t.Fields[0].FieldType, TFieldRole::Target);
}

TEST(BuildRecordIndex, KnownOrders) {
    SetRandSeed(0);
    EXPECT_EQ(BuildRecordIndex(5), (std::vector<int32_t>{3, 2, 4, 1, 0}));
    SetRandSeed(1);
    EXPECT_EQ(BuildRecordIndex(10), (std::vector<int32_t>{9, 5, 6, 1, 4, 7, 3, 2, 8, 0}));
    EXPECT_TRUE(BuildRecordIndex(0).empty());
}

namespace {

// The pool removal written the slow, obvious way.
std::vector<int32_t> PoolRemovalOrder(int32_t n) {
    std::vector<int32_t> pool(static_cast<std::size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        pool[static_cast<std::size_t>(i)] = i;
    std::vector<int32_t> order(static_cast<std::size_t>(n));
    for (int32_t p = n - 1; p >= 0; --p) {
        int32_t x = Random(p + 1);
        order[static_cast<std::size_t>(p)] = pool[static_cast<std::size_t>(x)];
        pool.erase(pool.begin() + x);
    }
    return order;
}

// The same order through a binary tree of counts (Fenwick), fast enough for sizes where the
// list removal above would take minutes.
std::vector<int32_t> FenwickOrder(int32_t n) {
    std::vector<int32_t> tree(static_cast<std::size_t>(n) + 1, 0);
    for (int32_t i = 1; i <= n; ++i) {
        tree[static_cast<std::size_t>(i)] += 1;
        if (int32_t parent = i + (i & -i); parent <= n)
            tree[static_cast<std::size_t>(parent)] += tree[static_cast<std::size_t>(i)];
    }
    int32_t top = 1;
    while (top * 2 <= n)
        top *= 2;
    std::vector<int32_t> order(static_cast<std::size_t>(n));
    for (int32_t p = n - 1; p >= 0; --p) {
        int32_t pos = 0, rest = Random(p + 1);
        for (int32_t step = top; step > 0; step >>= 1)
            if (pos + step <= n && tree[static_cast<std::size_t>(pos + step)] <= rest) {
                pos += step;
                rest -= tree[static_cast<std::size_t>(pos)];
            }
        order[static_cast<std::size_t>(p)] = pos;
        for (int32_t i = pos + 1; i <= n; i += i & -i)
            tree[static_cast<std::size_t>(i)] -= 1;
    }
    return order;
}

} // namespace

TEST(BuildRecordIndex, MatchesThePoolRemovalRule) {
    // Sizes around a word of bits (64), a lowest node (4096) and several lowest nodes; the larger
    // sizes give a second and third level of nodes.
    struct TCase {
        int32_t n;
        std::vector<int32_t> (*reference)(int32_t);
    };
    const TCase cases[] = {
        {1, PoolRemovalOrder},     {2, PoolRemovalOrder},    {3, PoolRemovalOrder},    {7, PoolRemovalOrder},
        {63, PoolRemovalOrder},    {64, PoolRemovalOrder},   {65, PoolRemovalOrder},   {100, PoolRemovalOrder},
        {1000, PoolRemovalOrder},  {4095, PoolRemovalOrder}, {4096, PoolRemovalOrder}, {4097, PoolRemovalOrder},
        {20000, PoolRemovalOrder}, {262144, FenwickOrder},   {262145, FenwickOrder},   {300007, FenwickOrder}};
    for (const TCase& c : cases) {
        for (uint32_t seed : {0u, 1u, 47391250u, 86399999u, 0xDEADBEEFu}) {
            SetRandSeed(seed);
            std::vector<int32_t> expected = c.reference(c.n);
            uint32_t after = RandSeed();
            SetRandSeed(seed);
            EXPECT_EQ(BuildRecordIndex(c.n), expected) << c.n << " " << seed;
            EXPECT_EQ(RandSeed(), after);
        }
    }
}

#include "common/RandomGen.h"
#include "sample/SampleStats.h"
#include "training/TrainingRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace nirvex;

namespace {

// Every epoch's statistics and the network after it, and the records taught.
struct TEpochLog : ITrainingView {
    TNeuralNetwork* Net = nullptr;
    int32_t Records = 0;
    std::vector<TEpochStats> Stats;
    std::vector<TNetworkSnapshot> After;
    std::vector<int32_t> Taught;
    void TeachExample(int32_t, double x, double, double) override {
        Taught.push_back(static_cast<int32_t>(std::lround(x * (Records - 1))));
    }
    void EpochDone(const TEpochStats& s, int32_t, int32_t, int32_t) override {
        Stats.push_back(s);
        After.emplace_back();
        Net->TakeSnapshot(After.back());
    }
};

// One noisy input, the target of record r is r / (N - 1): learnable in part, so the parts' errors
// move apart as the network learns the noise.
class ValidationPartTest : public ::testing::Test {
protected:
    // 40 records; `test` examples follow the validation part, the records after them idle.
    void Run(int32_t teach, int32_t valid, int32_t test, int32_t epochs, bool keepBest = false, bool growth = false) {
        const int32_t n = 40;
        fields.assign(2, TFieldInfo{});
        for (int32_t r = 0; r < n; ++r) {
            fields[0].Values.push_back(r + 9 * std::sin(r * 2.3));
            fields[1].Values.push_back(r);
        }
        InitFieldDefaults(fields, n);
        fields[0].NetIndex = fields[1].NetIndex = 0;
        SetRandSeed(7);
        index = BuildRecordIndex(n);
        net = TNeuralNetwork{};
        net.SetCountLayers(3);
        for (int32_t i = 0; i < 3; ++i)
            net.SetLayerSize(i, i == 1 ? 6 : 1);
        net.TeachSpeed = 0.5;
        net.Miu = 0.5;
        cursor = 0;
        prevErr = 0;
        ctx = TTrainingContext{};
        ctx.Network = &net;
        ctx.Fields = &fields;
        ctx.RecordIndex = &index;
        ctx.InputCount = ctx.OutputCount = 1;
        ctx.TeachCount = teach;
        ctx.ValidCount = valid;
        ctx.TestCount = test;
        ctx.ExampleCursor = &cursor;
        ctx.PrevTestErr = &prevErr;
        ctx.Rules[TCriterion::Epoch] = {true, static_cast<double>(epochs - 1)};
        ctx.Rules.TestAsValid = growth;
        ctx.KeepBest = keepBest;
        log = TEpochLog{};
        log.Net = &net;
        log.Records = n;
        end = RunTrainingLoop(ctx, log);
    }
    static std::size_t Least(const std::vector<TEpochStats>& stats, double TEpochStats::*err) {
        auto less = [err](const TEpochStats& a, const TEpochStats& b) { return a.*err < b.*err; };
        return static_cast<std::size_t>(std::min_element(stats.begin(), stats.end(), less) - stats.begin());
    }

    std::vector<TFieldInfo> fields;
    std::vector<int32_t> index;
    TNeuralNetwork net;
    TTrainingContext ctx;
    int32_t cursor = 0;
    double prevErr = 0;
    TEpochLog log;
    TRunEnd end = TRunEnd::UserStop;
};

} // namespace

// The records after the taught ones are measured, never taught, and change nothing of the training:
// the same run with them as its test part teaches the same records into the same weights, and its
// test error is, epoch by epoch, their validation error.
TEST_F(ValidationPartTest, ValidationRecordsAreTheNamedOnesAndNeverTaught) {
    Run(24, 8, 8, 12);
    const TEpochLog withValid = log;
    const std::vector<int32_t> order = index;
    Run(24, 0, 8, 12); // the validation records form the test part now
    ASSERT_EQ(withValid.Stats.size(), log.Stats.size());
    EXPECT_EQ(withValid.Taught, log.Taught);
    for (int32_t r : withValid.Taught)
        EXPECT_LT(std::find(order.begin(), order.end(), r) - order.begin(), 24) << r;
    for (std::size_t e = 0; e < log.Stats.size(); ++e) {
        EXPECT_EQ(withValid.After[e].Weights, log.After[e].Weights) << e;
        EXPECT_EQ(withValid.Stats[e].ValidErrMean, log.Stats[e].TestErrMean) << e;
        EXPECT_EQ(withValid.Stats[e].ValidErrMax, log.Stats[e].TestErrMax) << e;
        EXPECT_EQ(withValid.Stats[e].ValidIdentCount, log.Stats[e].TestIdentCount) << e;
        EXPECT_EQ(log.Stats[e].ValidErrMean, 0);
    }
}

TEST_F(ValidationPartTest, KeepBestTakesBackTheEpochOfTheLeastValidationError) {
    Run(24, 8, 8, 100, true);
    const std::size_t byValid = Least(log.Stats, &TEpochStats::ValidErrMean);
    const std::size_t byTest = Least(log.Stats, &TEpochStats::TestErrMean);
    ASSERT_NE(byValid, byTest); // the case must tell the two apart
    ASSERT_LT(byValid + 1, log.Stats.size());
    EXPECT_EQ(ctx.RestoredEpoch, static_cast<int32_t>(byValid) + 1);
    TNetworkSnapshot now;
    net.TakeSnapshot(now);
    EXPECT_EQ(now.Weights, log.After[byValid].Weights);
}

// The growth rule watches the validation part, whatever the test part does meanwhile.
TEST_F(ValidationPartTest, GrowthOfTheValidationErrorStopsTheRun) {
    Run(24, 8, 8, 400, false, true);
    EXPECT_EQ(end, TRunEnd::ValidationPart);
    EXPECT_STREQ(RunEndMessage(end), "Остановка обучения\n\rОшибка по контрольной части возросла.");
    ASSERT_EQ(log.Stats.size(), 2u); // the first epoch only seeds the previous error
    EXPECT_GT(log.Stats[1].ValidErrMean, log.Stats[0].ValidErrMean);
    EXPECT_LT(log.Stats[1].TestErrMean, log.Stats[0].TestErrMean);
}

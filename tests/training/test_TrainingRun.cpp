#include "common/Errors.h"
#include "common/RandomGen.h"
#include "sample/SampleStats.h"
#include "support/ProgressLog.h"
#include "training/TrainingRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace nirvex;

namespace {

// Records the run's calls.
struct TRecordingView : ITrainingView {
    std::vector<int32_t> refreshEpochs;
    std::vector<TEpochStats> refreshStats;
    std::vector<double> teachX, testX; // plotted targets in presentation order
    int teachExamples = 0, testExamples = 0, histoClears = 0;
    std::function<void()> onTestExample;
    void HistoClear() override { ++histoClears; }
    void TeachExample(int32_t, double x, double, double) override {
        teachX.push_back(x);
        ++teachExamples;
    }
    void TestExample(int32_t, double x, double, double) override {
        testX.push_back(x);
        ++testExamples;
        if (onTestExample)
            onTestExample();
    }
    void Refresh(const TEpochStats& s, int32_t, int32_t, int32_t epoch) override {
        refreshEpochs.push_back(epoch);
        refreshStats.push_back(s);
    }
};

// A sample of one input and one target; the target of record r is r / (N - 1), unique per record.
class TrainingRunTest : public ::testing::Test {
protected:
    void MakeSample(int32_t n, int32_t teachCount) {
        fields.assign(2, TFieldInfo{});
        for (int32_t r = 0; r < n; ++r) {
            fields[0].Values.push_back(std::sin(r * 0.7));
            fields[1].Values.push_back(r);
        }
        InitFieldDefaults(fields, n);
        fields[0].NetIndex = 0;
        fields[1].NetIndex = 0;
        SetRandSeed(7);
        index = BuildRecordIndex(n);
        net.SetCountLayers(3);
        net.SetLayerSize(0, 1);
        net.SetLayerSize(1, 3);
        net.SetLayerSize(2, 1);
        net.TeachSpeed = 0.1;
        net.Miu = 0.5;
        ctx.Network = &net;
        ctx.Fields = &fields;
        ctx.RecordIndex = &index;
        ctx.InputCount = 1;
        ctx.OutputCount = 1;
        ctx.TeachCount = teachCount;
        ctx.TestCount = n - teachCount;
        ctx.ExampleCursor = &cursor;
        ctx.PrevTestErr = &prevTestErr;
        ctx.StopRequested = &stop;
        n_ = n;
    }
    // Record number of a plotted target x = t, which is r / (N - 1).
    int32_t RecordOf(double x) const { return static_cast<int32_t>(std::lround(x * (n_ - 1))); }

    std::vector<TFieldInfo> fields;
    std::vector<int32_t> index;
    TNeuralNetwork net;
    TTrainingContext ctx;
    int32_t cursor = 0;
    double prevTestErr = 0;
    bool stop = false;
    int32_t n_ = 0;
    TRecordingView view;
};

} // namespace

TEST_F(TrainingRunTest, EpochLimitRunsLimitPlusOneEpochs) {
    MakeSample(10, 8);
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 25;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit);
    EXPECT_EQ(net.Epoch, 26);
    EXPECT_EQ(view.teachExamples, 26 * 8);
    EXPECT_EQ(view.testExamples, 26 * 2);
    EXPECT_EQ(view.histoClears, 26);
    // First epoch of the run, then every epoch whose counter before the increase is a multiple of 10.
    EXPECT_EQ(view.refreshEpochs, (std::vector<int32_t>{1, 11, 21}));
    EXPECT_STREQ(RunEndMessage(TRunEnd::EpochLimit), "Остановка обучения\n\rИсчерпан лимит эпох.");
}

// The limit counts the network's epochs since it was built: a run ends once the counter passes it,
// and a run that starts past it teaches nothing and ends at once with the limit's message.
TEST_F(TrainingRunTest, EpochLimitIsNeverPassed) {
    struct TCase {
        int32_t Limit, EpochBefore, EpochAfter;
        std::vector<int32_t> Refreshes;
    };
    for (const TCase& c : std::vector<TCase>{{0, 0, 1, {1}},
                                             {20, 20, 21, {21}}, // the last epoch the limit allows
                                             {20, 21, 21, {}},   // a run that reached the limit before
                                             {20, 50, 50, {}}}) {
        MakeSample(10, 8);
        net.Epoch = c.EpochBefore;
        ctx.Rules[TCriterion::Epoch].On = true;
        ctx.Rules[TCriterion::Epoch].Limit = c.Limit;
        view = TRecordingView{};
        EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit) << c.EpochBefore;
        EXPECT_EQ(net.Epoch, c.EpochAfter) << c.EpochBefore;
        EXPECT_EQ(view.teachExamples, (c.EpochAfter - c.EpochBefore) * 8) << c.EpochBefore;
        EXPECT_EQ(view.refreshEpochs, c.Refreshes) << c.EpochBefore;
    }
}

TEST_F(TrainingRunTest, SharedCursorWalksBothPartsInRecordOrder) {
    MakeSample(10, 8);
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 1;
    RunTrainingLoop(ctx, view);
    std::vector<int32_t> seen;
    for (double x : view.teachX)
        seen.push_back(RecordOf(x));
    // Epoch 1: training positions 0..7; test positions 0..1 (cursor reset to 0 there, ends at 2).
    // Epoch 2: the training pass starts at position 2 (TestCount) and wraps.
    std::vector<int32_t> expected;
    for (int p : {0, 1, 2, 3, 4, 5, 6, 7, 2, 3, 4, 5, 6, 7, 0, 1})
        expected.push_back(index[static_cast<std::size_t>(p)]);
    EXPECT_EQ(seen, expected);
    std::vector<int32_t> tests;
    for (double x : view.testX)
        tests.push_back(RecordOf(x));
    EXPECT_EQ(tests, (std::vector<int32_t>{index[8], index[9], index[8], index[9]}));
}

TEST_F(TrainingRunTest, EmptyTrainingPartRefreshesOnlyOnceAndCountsAsZeroShare) {
    MakeSample(10, 0);
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 30;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit);
    EXPECT_EQ(view.refreshEpochs, (std::vector<int32_t>{1}));
    EXPECT_EQ(view.refreshStats[0].TeachErrMean, 0);
    EXPECT_EQ(view.teachExamples, 0);
    // TeachIdent holds only with a percentage of 0.
    MakeSample(10, 0);
    ctx.Rules[TCriterion::TeachIdent].On = true;
    ctx.Rules[TCriterion::TeachIdent].Limit = 1;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 3;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit);
    ctx.Rules[TCriterion::TeachIdent].Limit = 0;
    ctx.Rules[TCriterion::Epoch].On = false;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::Criteria);
}

TEST_F(TrainingRunTest, EmptyTestPartMeetsTestErrorCriteria) {
    MakeSample(10, 10);
    ctx.Rules.TestAsValid = true;
    ctx.Rules[TCriterion::MaxTestErr].On = true;
    ctx.Rules[TCriterion::MaxTestErr].Limit = 1e-9;
    ctx.Rules[TCriterion::MidTestErr].On = true;
    ctx.Rules[TCriterion::MidTestErr].Limit = 1e-9;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::Criteria);
    EXPECT_EQ(net.Epoch, 1);
    EXPECT_EQ(view.refreshStats[0].TestErrMax, 0);
    EXPECT_EQ(FormatIdentShare(0, 0), "0");
}

TEST_F(TrainingRunTest, CriteriaNeedStrictErrorsAndAtLeastTheShare) {
    MakeSample(10, 8);
    // Zero learning rate: the statistics are the same every epoch, so limits can be set exactly.
    net.TeachSpeed = 0;
    net.Miu = 0;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 0;
    RunTrainingLoop(ctx, view);
    const TEpochStats s = view.refreshStats.at(0);
    auto runWith = [&](const std::function<void(TStopRules&)>& set) {
        ctx.Rules = TStopRules{};
        ctx.Rules[TCriterion::Epoch].On = true;
        ctx.Rules[TCriterion::Epoch].Limit = net.Epoch + 1; // two more epochs at most
        set(ctx.Rules);
        cursor = 0;
        return RunTrainingLoop(ctx, view);
    };
    EXPECT_EQ(runWith([&](TStopRules& r) {
                  r[TCriterion::MaxTeachErr].On = true;
                  r[TCriterion::MaxTeachErr].Limit = s.TeachErrMax;
              }),
              TRunEnd::EpochLimit);
    EXPECT_EQ(runWith([&](TStopRules& r) {
                  r[TCriterion::MaxTeachErr].On = true;
                  r[TCriterion::MaxTeachErr].Limit = std::nextafter(s.TeachErrMax, 1.0);
              }),
              TRunEnd::Criteria);
    EXPECT_EQ(runWith([&](TStopRules& r) {
                  r[TCriterion::MidTestErr].On = true;
                  r[TCriterion::MidTestErr].Limit = s.TestErrMean;
              }),
              TRunEnd::EpochLimit);
    // An error equal to the recognition limit is not recognized.
    EXPECT_EQ(runWith([&](TStopRules& r) {
                  r.IdentErrLimit = s.TeachErrMax;
                  r[TCriterion::TeachIdent].On = true;
                  r[TCriterion::TeachIdent].Limit = 100;
              }),
              TRunEnd::EpochLimit);
    EXPECT_EQ(runWith([&](TStopRules& r) {
                  r.IdentErrLimit = std::nextafter(s.TeachErrMax, 1.0);
                  r[TCriterion::TeachIdent].On = true;
                  r[TCriterion::TeachIdent].Limit = 100; // a share equal to the percentage meets it
              }),
              TRunEnd::Criteria);
    // Every ticked criterion must hold.
    EXPECT_EQ(runWith([&](TStopRules& r) {
                  r[TCriterion::MaxTeachErr].On = true;
                  r[TCriterion::MaxTeachErr].Limit = 10;
                  r[TCriterion::TestIdent].On = true;
                  r[TCriterion::TestIdent].Limit = 100;
                  r.IdentErrLimit = 0;
              }),
              TRunEnd::EpochLimit);
}

TEST_F(TrainingRunTest, StopDuringTheTestPassEndsAfterTheEpoch) {
    MakeSample(10, 8);
    view.onTestExample = [&] { stop = true; };
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::UserStop);
    EXPECT_EQ(view.testExamples, 2); // the pass completes
    EXPECT_EQ(net.Epoch, 1);
    EXPECT_EQ(view.refreshEpochs.size(), 1u);
    EXPECT_STREQ(RunEndMessage(TRunEnd::UserStop), "");
}

TEST_F(TrainingRunTest, ValidationStopsWhenTheTestErrorGrows) {
    MakeSample(20, 16);
    net.TeachSpeed = -0.5; // climbs the error surface, so the test error grows
    net.Miu = 0;
    ctx.Rules.TestAsValid = true;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 1000;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::Validation);
    EXPECT_EQ(net.Epoch, 2); // the first epoch only seeds the previous error
    // Epoch limit and validation in the same epoch: the epoch limit wins.
    MakeSample(20, 16);
    net.TeachSpeed = -0.5;
    net.Miu = 0;
    ctx.Rules.TestAsValid = true;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 1;
    prevTestErr = 0;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit);
}

TEST_F(TrainingRunTest, ArithmeticFaultEndsTheRunAtOnce) {
    MakeSample(10, 8);
    fields[0].Max = fields[0].Min; // the input's range is empty
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 5;
    try {
        RunTrainingLoop(ctx, view);
        ADD_FAILURE();
    } catch (const EError& e) {
        std::string m = e.what();
        EXPECT_TRUE(m == msgDivByZero || m == msgInvalidOp) << m;
    }
    // Examples are normalized before the first is taught, so the network is left untouched.
    EXPECT_EQ(view.teachExamples, 0);
    EXPECT_EQ(net.Epoch, 0);
}

TEST_F(TrainingRunTest, DivergingNetworkEndsWithTheOverflowMessage) {
    MakeSample(10, 8);
    net.TeachSpeed = 1e300; // the first step throws the weights out of the double range
    net.Miu = 1e300;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 100;
    std::string message;
    try {
        RunTrainingLoop(ctx, view);
    } catch (const EError& e) {
        message = e.what();
    }
    EXPECT_TRUE(message == msgOverflow || message == msgInvalidOp) << message;
    EXPECT_LE(view.teachExamples, 3);

    // Only the step of a run's very last example overflows (the first step makes the weights
    // huge, the second one's momentum overflows): the run reports it instead of leaving it to
    // whatever reads the network next.
    MakeSample(10, 8);
    net.TeachSpeed = 1e300;
    net.Miu = 1e300;
    ctx.TeachCount = 2;
    ctx.TestCount = 0;
    ctx.Rules[TCriterion::Epoch].Limit = 0;
    view = TRecordingView{};
    message.clear();
    try {
        RunTrainingLoop(ctx, view);
    } catch (const EError& e) {
        message = e.what();
    }
    EXPECT_EQ(message, msgOverflow);
    EXPECT_EQ(view.teachExamples, 2);
}

// A layer larger than its fields would be fed stale inputs or taught from past the example's
// targets; a smaller one would leave fields out. Each is refused before any example is read.
TEST_F(TrainingRunTest, NetworkThatDoesNotFitTheFieldsIsRefusedBeforeAnyExample) {
    const struct { int32_t Layer, Size; } shapes[] = {{0, 2}, {0, 0}, {2, 40}, {2, 1000000}, {2, 0}};
    for (const auto& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.Layer) + ":" + std::to_string(shape.Size));
        MakeSample(10, 8);
        net.SetLayerSize(shape.Layer, shape.Size);
        view = TRecordingView{};
        try {
            RunTrainingLoop(ctx, view);
            ADD_FAILURE();
        } catch (const EError& e) {
            EXPECT_STREQ(e.what(), msgNetMismatch);
        }
        EXPECT_EQ(view.teachExamples, 0);
        EXPECT_EQ(net.Epoch, 0);
    }
}

// The counter stops one short of the largest int32, where a project file still holds it.
TEST_F(TrainingRunTest, EpochCounterEndsTheRunInsteadOfWrapping) {
    MakeSample(10, 8);
    net.Epoch = kMaxEpoch - 2;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit);
    EXPECT_EQ(net.Epoch, kMaxEpoch);
    EXPECT_EQ(view.histoClears, 2);
    // A second run has no room left: it ends at once, nothing taught.
    view = TRecordingView{};
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit);
    EXPECT_EQ(net.Epoch, kMaxEpoch);
    EXPECT_EQ(view.teachExamples, 0);
}

TEST_F(TrainingRunTest, TrainingLowersTheErrorOfALearnableSample) {
    MakeSample(40, 32);
    net.TeachSpeed = 0.5;
    net.Alpha = 1;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 200;
    RunTrainingLoop(ctx, view);
    ASSERT_GE(view.refreshStats.size(), 3u);
    EXPECT_LT(view.refreshStats.back().TeachErrMean, view.refreshStats.front().TeachErrMean);
}

TEST_F(TrainingRunTest, PreparingALargeSampleKeepsPumping) {
    MakeSample(5000, 4000);
    struct TCounting : ITrainingView {
        int pumpsBeforeFirstExample = 0;
        bool started = false;
        bool Pump() override {
            if (!started)
                ++pumpsBeforeFirstExample;
            return true; // as if the window ran: flags are forgotten, the run goes on
        }
        void Progress(double f) override {
            if (!started)
                progress.Reports.push_back(f);
        }
        void TeachExample(int32_t, double, double, double) override { started = true; }
        nirvex::test::TProgressLog progress;
    } counting;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 0;
    EXPECT_EQ(RunTrainingLoop(ctx, counting), TRunEnd::EpochLimit);
    EXPECT_EQ(counting.pumpsBeforeFirstExample, 4); // every 1024 examples prepared
    // Reported with each of those pumps, and complete before the first example is taught.
    EXPECT_TRUE(counting.progress.Complete(5));
    EXPECT_EQ(counting.progress.Reports.size(), 5u);
}

// Pumps come one budget apart, never sooner; a loaded machine may only make them later.
TEST(PumpBudget, PumpsOnTheBudgetNeverSooner) {
    using namespace std::chrono;
    TPumpBudget budget(5.0);
    std::vector<steady_clock::time_point> pumps{steady_clock::now()};
    const auto start = pumps.front();
    while (pumps.size() < 6 && steady_clock::now() - start < seconds(5))
        if (budget.Due())
            pumps.push_back(steady_clock::now());
    ASSERT_EQ(pumps.size(), 6u) << "five pumps within 5 s";
    for (std::size_t k = 1; k < pumps.size(); ++k)
        EXPECT_GE(pumps[k] - pumps[k - 1], microseconds(4900)) << k;
}

TEST(FormatIdentShare, PercentFormat) {
    EXPECT_EQ(FormatIdentShare(2, 3), "66.7%");
    EXPECT_EQ(FormatIdentShare(3, 3), "100%");
    EXPECT_EQ(FormatIdentShare(4, 5), "80%");
    EXPECT_EQ(FormatIdentShare(0, 5), "0%");
}

namespace {

// Keeps the network as it stands after every epoch and from epoch `SpoilFrom` on spoils it, so
// that the test error of the later epochs is worse than before.
struct TSpoilingView : ITrainingView {
    TNeuralNetwork* Net = nullptr;
    int32_t SpoilFrom = 0;
    std::vector<TNetworkSnapshot> After;
    std::vector<double> TestMeans;
    // What the view was told of the network taken back: the examples handed over since the last
    // histogram clear, the statistics and the epoch.
    int ExamplesSinceClear = 0, ExamplesAtRestore = -1, RestoredCalls = 0;
    int32_t RestoredAt = -1;
    TEpochStats RestoredStats;
    void HistoClear() override { ExamplesSinceClear = 0; }
    void TeachExample(int32_t, double, double, double) override { ++ExamplesSinceClear; }
    void TestExample(int32_t, double, double, double) override { ++ExamplesSinceClear; }
    void Restored(const TEpochStats& s, int32_t, int32_t, int32_t epoch) override {
        ++RestoredCalls;
        RestoredAt = epoch;
        RestoredStats = s;
        ExamplesAtRestore = ExamplesSinceClear;
    }
    void EpochDone(const TEpochStats& s, int32_t, int32_t, int32_t epoch) override {
        TestMeans.push_back(s.TestErrMean);
        After.emplace_back();
        Net->TakeSnapshot(After.back());
        if (epoch >= SpoilFrom)
            for (int32_t i = 0; i < Net->GetLayerSize(1); ++i)
                Net->SetWeight(1, i, 0, 9.0);
    }
};

void ExpectSameNetwork(const TNetworkSnapshot& a, const TNetworkSnapshot& b) {
    EXPECT_EQ(a.Weights, b.Weights);
    EXPECT_EQ(a.WeightDeltas, b.WeightDeltas);
    EXPECT_EQ(a.Thresholds, b.Thresholds);
    EXPECT_EQ(a.ThresholdDeltas, b.ThresholdDeltas);
    EXPECT_EQ(a.Epoch, b.Epoch);
}

} // namespace

TEST_F(TrainingRunTest, KeepBestTakesBackTheEpochOfTheLeastTestError) {
    MakeSample(40, 30);
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 11;
    ctx.KeepBest = true;
    TSpoilingView spoil;
    spoil.Net = &net;
    spoil.SpoilFrom = 6;
    EXPECT_EQ(RunTrainingLoop(ctx, spoil), TRunEnd::EpochLimit);
    ASSERT_EQ(spoil.TestMeans.size(), 12u);
    const auto best = static_cast<std::size_t>(std::min_element(spoil.TestMeans.begin(), spoil.TestMeans.end()) -
                                               spoil.TestMeans.begin());
    ASSERT_LT(best, 11u); // the fixture works only when the best is not the last epoch
    TNetworkSnapshot now;
    net.TakeSnapshot(now);
    ExpectSameNetwork(now, spoil.After[best]);
    EXPECT_EQ(net.Epoch, static_cast<int32_t>(best) + 1);
    EXPECT_EQ(ctx.RestoredEpoch, static_cast<int32_t>(best) + 1);
    EXPECT_EQ(BestRestoredMessage(ctx.RestoredEpoch), "Восстановлена лучшая сеть: эпоха " + std::to_string(best));
    // The view is shown the network taken back: every example measured again, and its test error
    // is the one that epoch had.
    EXPECT_EQ(spoil.RestoredCalls, 1);
    EXPECT_EQ(spoil.RestoredAt, ctx.RestoredEpoch);
    EXPECT_EQ(spoil.ExamplesAtRestore, 40);
    EXPECT_NEAR(spoil.RestoredStats.TestErrMean, spoil.TestMeans[best], 1e-12 * spoil.TestMeans[best]);
    EXPECT_GT(spoil.RestoredStats.TeachErrMean, 0);
    EXPECT_LE(spoil.RestoredStats.TeachErrMean, spoil.RestoredStats.TeachErrMax);
}

// The last epoch kept is the network as it stands: nothing is taken back, shown or said.
TEST_F(TrainingRunTest, KeepBestOfTheLastEpochTakesNothingBack) {
    MakeSample(40, 30);
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 0; // one epoch: the least test error is the last one's
    ctx.KeepBest = true;
    TSpoilingView one;
    one.Net = &net;
    one.SpoilFrom = kMaxEpoch;
    EXPECT_EQ(RunTrainingLoop(ctx, one), TRunEnd::EpochLimit);
    EXPECT_EQ(net.Epoch, 1);
    EXPECT_EQ(ctx.RestoredEpoch, -1);
    EXPECT_EQ(one.RestoredCalls, 0);
}

// A network that learns nothing has the same test error in every epoch: the first of equals is kept.
TEST_F(TrainingRunTest, KeepBestKeepsTheFirstOfEqualTestErrors) {
    MakeSample(10, 8);
    net.TeachSpeed = 0;
    net.Miu = 0;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 4;
    ctx.KeepBest = true;
    TSpoilingView same;
    same.Net = &net;
    same.SpoilFrom = kMaxEpoch; // never
    EXPECT_EQ(RunTrainingLoop(ctx, same), TRunEnd::EpochLimit);
    ASSERT_EQ(same.TestMeans.size(), 5u);
    for (double mean : same.TestMeans)
        ASSERT_EQ(mean, same.TestMeans.front());
    EXPECT_EQ(ctx.RestoredEpoch, 1);
    EXPECT_EQ(net.Epoch, 1);
    TNetworkSnapshot now;
    net.TakeSnapshot(now);
    ExpectSameNetwork(now, same.After.front());
}

TEST_F(TrainingRunTest, KeepBestDoesNothingWithoutTestExamplesOrOnAFailure) {
    MakeSample(10, 10);
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 4;
    ctx.KeepBest = true;
    EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit);
    EXPECT_EQ(ctx.RestoredEpoch, -1);
    EXPECT_EQ(net.Epoch, 5);
    // A failure leaves the network as the failing epoch left it: no copy is taken back.
    MakeSample(10, 8);
    ctx.KeepBest = true;
    struct TFailing : ITrainingView {
        void EpochDone(const TEpochStats&, int32_t, int32_t, int32_t epoch) override {
            if (epoch == 3)
                throw EError("сбой");
        }
    } failing;
    const int32_t before = net.Epoch;
    EXPECT_THROW(RunTrainingLoop(ctx, failing), EError);
    EXPECT_EQ(net.Epoch, before + 3);
    EXPECT_EQ(ctx.RestoredEpoch, -1);
}

// Input x of values a, b, c and class y of A, B, C, one-hot both ways; the network answers A for a
// and B for b and c, and learns nothing, so the matrix is known before the run.
TEST_F(TrainingRunTest, ConfusionCountsEachPartsClassesByArgmax) {
    const std::vector<std::pair<int, int>> records = {{0, 0}, {0, 0}, {1, 1}, {2, 2}, {2, 1}, // teaching
                                                      {0, 2}, {1, 0}, {2, 2}};                // test
    fields.assign(2, TFieldInfo{});
    for (TFieldInfo& f : fields) {
        f.Kind = TFieldKind::Category;
        f.NormType = TNormMethod::Category;
        f.Categories = {"0", "1", "2"};
    }
    fields[1].FieldType = TFieldRole::Target;
    for (const auto& [x, y] : records) {
        fields[0].Values.push_back(x);
        fields[1].Values.push_back(y);
    }
    index = {0, 1, 2, 3, 4, 5, 6, 7};
    net.SetCountLayers(2);
    net.SetLayerSize(0, 3);
    net.SetLayerSize(1, 3);
    const int answer[] = {0, 1, 1};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            net.SetWeight(0, i, j, answer[i] == j ? 8 : -8);
            net.SetThreshold(0, j, 0);
        }
    net.TeachSpeed = 0;
    net.Miu = 0;
    ctx.Network = &net;
    ctx.Fields = &fields;
    ctx.RecordIndex = &index;
    ctx.InputCount = 3;
    ctx.OutputCount = 3;
    ctx.TeachCount = 5;
    ctx.TestCount = 3;
    ctx.ExampleCursor = &cursor;
    ctx.PrevTestErr = &prevTestErr;
    ctx.StopRequested = &stop;
    ctx.Classes = {{0, 3}};
    ctx.NumberTargets = false;
    ctx.Rules[TCriterion::Epoch].On = true;
    ctx.Rules[TCriterion::Epoch].Limit = 0;
    for (bool numberTargetsToo : {false, true}) {
        SCOPED_TRACE(numberTargetsToo);
        ctx.NumberTargets = numberTargetsToo;
        ctx.Rules.IdentErrLimit = numberTargetsToo ? 1e-9 : 0.01;
        net.Epoch = 0;
        cursor = 0;
        view = TRecordingView{};
        EXPECT_EQ(RunTrainingLoop(ctx, view), TRunEnd::EpochLimit);
        ASSERT_EQ(view.refreshStats.size(), 1u);
        const TEpochStats& s = view.refreshStats[0];
        ASSERT_EQ(s.TeachConfusion.size(), 1u);
        ASSERT_EQ(s.TestConfusion.size(), 1u);
        EXPECT_EQ(s.TeachConfusion[0].Counts, (std::vector<int32_t>{2, 0, 0, 0, 2, 0, 0, 1, 0}));
        EXPECT_EQ(s.TestConfusion[0].Counts, (std::vector<int32_t>{0, 1, 0, 0, 0, 0, 1, 1, 0}));
        EXPECT_EQ(s.TeachConfusion[0].Right(), 4);
        EXPECT_EQ(s.TestConfusion[0].Total(), 3);
        // With a number target too, a right class also needs an error below the limit.
        EXPECT_EQ(s.TeachIdentCount, numberTargetsToo ? 0 : 4);
        EXPECT_EQ(s.TestIdentCount, 0);
        // The panels plot a class as its position among the classes: 0, 0.5 and 1 for three.
        EXPECT_EQ(view.teachX, (std::vector<double>{0, 0, 0.5, 1, 0.5}));
        EXPECT_EQ(view.testX, (std::vector<double>{1, 0, 1}));
    }
}

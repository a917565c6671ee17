#include "common/RandomGen.h"
#include "sample/Normalize.h"
#include "sample/SampleStats.h"
#include "training/ErrorCurve.h"
#include "training/TargetFigures.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

using namespace nirvex;

namespace {

struct TLastStats : ITrainingView {
    TEpochStats Last;
    void EpochDone(const TEpochStats& s, int32_t, int32_t, int32_t) override { Last = s; }
};

// Record r: input sin(0.7 r), target 3 r + 10. The network is fixed (nothing is taught), so each
// part's errors in units follow from its outputs by hand.
TEST(UnitErrors, EachPartsErrorsAreTheDenormalizedOutputsAgainstTheActualValues) {
    constexpr int32_t n = 12, teach = 7;
    for (TNormMethod method : {TNormMethod::Linear, TNormMethod::Auto}) {
        SCOPED_TRACE(static_cast<int>(method));
        std::vector<TFieldInfo> fields(2);
        for (int32_t r = 0; r < n; ++r) {
            fields[0].Values.push_back(std::sin(r * 0.7));
            fields[1].Values.push_back(3.0 * r + 10);
        }
        InitFieldDefaults(fields, n);
        fields[0].NetIndex = fields[1].NetIndex = 0;
        fields[1].FieldType = TFieldRole::Target;
        fields[1].NormType = method;
        SetRandSeed(3);
        std::vector<int32_t> index = BuildRecordIndex(n);
        TNeuralNetwork net;
        net.SetCountLayers(3);
        net.SetLayerSize(0, 1);
        net.SetLayerSize(1, 3);
        net.SetLayerSize(2, 1);
        net.TeachSpeed = 0;
        net.Miu = 0;
        int32_t cursor = 0;
        double prev = 0;
        TTrainingContext ctx;
        ctx.Network = &net;
        ctx.Fields = &fields;
        ctx.RecordIndex = &index;
        ctx.InputCount = ctx.OutputCount = 1;
        ctx.TeachCount = teach;
        ctx.TestCount = n - teach;
        ctx.ExampleCursor = &cursor;
        ctx.PrevTestErr = &prev;
        ctx.Rules[TCriterion::Epoch].On = true;
        ctx.Rules[TCriterion::Epoch].Limit = 0;
        TLastStats view;
        RunTrainingLoop(ctx, view);

        const TFieldInfo& x = fields[0];
        const TFieldInfo& t = fields[1];
        double sq[2] = {0, 0}, abs[2] = {0, 0};
        for (int32_t p = 0; p < n; ++p) {
            const int32_t r = index[static_cast<std::size_t>(p)];
            const double in = 2 * (x.Values[r] - x.Min) / (x.Max - x.Min) - 1, dummy = 0;
            net.RunExample(&in, 1, &dummy, 1, false);
            const double y = net.OutputLayer()[0];
            const double computed =
                method == TNormMethod::Linear ? t.Min + (t.Max - t.Min) * y : t.Mid - t.Disp * std::log(1 / y - 1);
            const double d = computed - t.Values[r];
            sq[p >= teach] += d * d;
            abs[p >= teach] += std::fabs(d);
        }
        ASSERT_EQ(view.Last.TeachUnits.size(), 1u);
        EXPECT_EQ(view.Last.TeachUnits[0].Count, teach);
        EXPECT_NEAR(view.Last.TeachUnits[0].Rmse(), std::sqrt(sq[0] / teach), 1e-9);
        EXPECT_NEAR(view.Last.TeachUnits[0].Mae(), abs[0] / teach, 1e-9);
        EXPECT_NEAR(view.Last.TestUnits[0].Rmse(), std::sqrt(sq[1] / (n - teach)), 1e-9);
        EXPECT_NEAR(view.Last.TestUnits[0].Mae(), abs[1] / (n - teach), 1e-9);
        EXPECT_GT(view.Last.TestUnits[0].Mae(), 0.1);
    }
}

// An output where the logistic methods' inverse is infinite, or a difference too large to square,
// makes the figure infinite; it must not raise the flags that end a run.
TEST(UnitErrors, InfiniteErrorsRaiseNoFloatingPointFlag) {
    TFieldInfo f;
    f.NormType = TNormMethod::Auto;
    f.Mid = 5;
    f.Disp = 2;
    std::feclearexcept(FE_ALL_EXCEPT);
    TUnitErrors e;
    e.Add(DenormalizeQuiet(f, 1.0) - 3);
    e.Add(DenormalizeQuiet(f, 0.0) - 3);
    e.Add(DenormalizeQuiet(f, 4e-309) - 3);
    e.Add(DenormalizeQuiet(f, std::nextafter(1.0, 0.0)) - 3);
    e.Add(1e200);
    e.Add(NAN); // a missing actual value is not counted
    EXPECT_FALSE(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW));
    EXPECT_EQ(e.Count, 5);
    EXPECT_TRUE(std::isinf(e.Rmse()));
    EXPECT_TRUE(std::isinf(e.Mae()));
    EXPECT_TRUE(std::isnan(TUnitErrors{}.Rmse()));
}

TEST(TargetFigures, FollowTargetOrderAndNameThemselvesInLinesAndCurveColumns) {
    std::vector<TFieldInfo> fields(4);
    const char* names[] = {"x", "Species", "price, rub", "Ozone"};
    const int32_t slots[] = {0, 2, 1, 0};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        fields[i].FieldName = names[i];
        fields[i].NetIndex = slots[i];
        fields[i].FieldType = i == 0 ? TFieldRole::Input : TFieldRole::Target;
    }
    fields[1].Kind = TFieldKind::Category;
    fields[1].Categories = {"a", "b"};
    TEpochStats s;
    s.TeachConfusion = {TConfusion(2)};
    s.TeachConfusion[0].Counts = {3, 1, 0, 4}; // 7 of 8 right
    s.TestConfusion = {TConfusion(2)};         // an empty test part
    s.TeachUnits.resize(2);
    s.TestUnits.resize(2);
    s.TeachUnits[0].Add(3); // Ozone, slot 0
    s.TeachUnits[0].Add(-4);
    s.TeachUnits[1].Add(2); // price, slot 1
    const std::vector<TTargetFigures> f = TargetFigures(fields, s);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].Field, "Ozone");
    EXPECT_DOUBLE_EQ(f[0].Teach.Rmse, std::sqrt(12.5));
    EXPECT_DOUBLE_EQ(f[0].Teach.Mae, 3.5);
    EXPECT_EQ(f[1].Field, "price, rub");
    EXPECT_DOUBLE_EQ(f[1].Teach.Rmse, 2);
    EXPECT_TRUE(f[2].Category);
    EXPECT_DOUBLE_EQ(f[2].Teach.Accuracy, 87.5);
    EXPECT_TRUE(std::isnan(f[2].Test.Accuracy));

    EXPECT_EQ(FormatTargetFigures(f[0]), "Ozone: СКО обуч. 3.5355, тест —; средняя абс. ошибка обуч. 3.5, тест —");
    EXPECT_EQ(FormatTargetFigures(f[2]), "Species: верно обуч. 87.5%, тест —");
    EXPECT_EQ(CurveCsvHeader(false, f),
              "epoch,train_mean,test_mean,train_max,test_max,train_recognized,test_recognized,train_rmse:Ozone,"
              "test_rmse:Ozone,\"train_rmse:price, rub\",\"test_rmse:price, rub\",train_accuracy:Species,"
              "test_accuracy:Species\n");
    const std::string line = CurveCsvLine(s, 8, 0, 2, false, f);
    EXPECT_EQ(line.substr(line.find(",0,0,3.53")), ",0,0,3.53553390593274,,2,,87.5,\n");
}

} // namespace

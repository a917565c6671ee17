#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "sample/Normalize.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace nirvex;

namespace {

TFieldInfo Field(TFieldRole type, TNormMethod norm, int32_t netIndex, std::vector<double> values = {}) {
    TFieldInfo f;
    f.FieldType = type;
    f.NormType = norm;
    f.NetIndex = netIndex;
    f.Min = 10;
    f.Max = 60;
    f.Mid = 5;
    f.Disp = 2;
    f.Alpha = 1;
    f.Values = std::move(values);
    return f;
}

std::string FaultOf(const std::function<void()>& work) {
    ClearFloatErrors();
    try {
        work();
        CheckFloatErrors();
    } catch (const EError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Normalize, LinearMapsTheExtremesToTheNetworkRanges) {
    auto in = Field(TFieldRole::Input, TNormMethod::Linear, 0, {10, 35, 60});
    auto out = Field(TFieldRole::Target, TNormMethod::Linear, 0, {10, 35, 60});
    std::vector<TFieldInfo> fields{in, out};
    double x = 0, t = 0;
    BuildExample(fields, 0, &x, &t);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(t, 0);
    BuildExample(fields, 2, &x, &t);
    EXPECT_EQ(x, 1);
    EXPECT_EQ(t, 1);
    BuildExample(fields, 1, &x, &t);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(t, 0.5);
}

TEST(Normalize, NothingIsClipped) {
    auto f = Field(TFieldRole::Input, TNormMethod::Linear, 0);
    std::vector<TFieldInfo> fields{f};
    std::vector<double> v = NormalizeInputs(fields, {110}, 1);
    EXPECT_DOUBLE_EQ(v[0], 3); // above Max gives an input above 1
    f.Min = 0;
    f.Max = 100;
    EXPECT_GT(2 * NormalizeValue(f, 10) - 1, -1); // a range wider than the data stays inside
}

TEST(Normalize, SigmoidAutoAndNone) {
    auto s = Field(TFieldRole::Input, TNormMethod::Sigmoid, 0);
    EXPECT_EQ(2 * NormalizeValue(s, 0) - 1, 0);
    EXPECT_EQ(NormalizeValue(s, 0), 0.5);
    auto a = Field(TFieldRole::Target, TNormMethod::Auto, 0);
    EXPECT_EQ(NormalizeValue(a, a.Mid), 0.5);
    EXPECT_EQ(DenormalizeValue(a, 0.5), a.Mid);
    auto n = Field(TFieldRole::Input, TNormMethod::None, 0);
    std::vector<TFieldInfo> fields{n};
    EXPECT_EQ(NormalizeInputs(fields, {0.25}, 1)[0], -0.5);
    EXPECT_EQ(DenormalizeValue(n, 1.7), 1.7);
}

TEST(Normalize, SigmoidSaturatesWithoutAnError) {
    auto s = Field(TFieldRole::Input, TNormMethod::Sigmoid, 0);
    EXPECT_EQ(FaultOf([&] {
                  EXPECT_EQ(NormalizeValue(s, 1e6), 1.0);
                  EXPECT_GE(NormalizeValue(s, -800), 0.0);
                  EXPECT_LT(NormalizeValue(s, -800), 1e-300);
              }),
              "");
}

TEST(Normalize, DenormalizeInvertsEveryMethod) {
    for (TNormMethod method : {TNormMethod::Linear, TNormMethod::Sigmoid, TNormMethod::Auto, TNormMethod::None}) {
        auto f = Field(TFieldRole::Target, method, 0);
        f.Alpha = 0.3;
        for (double v : {0.2, 0.9, 4.0, 12.5, 33.0}) {
            double y = NormalizeValue(f, v);
            if (y > 0 && y < 1) {
                EXPECT_NEAR(DenormalizeValue(f, y), v, 1e-9 * std::max(1.0, std::fabs(v))) << static_cast<int>(method);
            }
        }
    }
}

TEST(Normalize, VectorsFollowNetIndexAndSkipUnusedFields) {
    std::vector<TFieldInfo> fields{
        Field(TFieldRole::Input, TNormMethod::None, 1, {0.75}), Field(TFieldRole::Unused, TNormMethod::None, 0, {9}),
        Field(TFieldRole::Input, TNormMethod::None, 0, {0.5}), Field(TFieldRole::Target, TNormMethod::Linear, 0, {35})};
    double in[2] = {7, 7}, out[1] = {7};
    BuildExample(fields, 0, in, out);
    EXPECT_EQ(in[0], 0);
    EXPECT_EQ(in[1], 0.5);
    EXPECT_EQ(out[0], 0.5);
    EXPECT_EQ(DenormalizeOutputs(fields, {0.5})[0], 35);
}

TEST(Normalize, ArithmeticFaultsAreRaised) {
    auto flat = Field(TFieldRole::Input, TNormMethod::Linear, 0);
    flat.Min = flat.Max = 3;
    std::vector<TFieldInfo> fields{flat};
    EXPECT_EQ(FaultOf([&] { NormalizeInputs(fields, {4}, 1); }), msgDivByZero);
    EXPECT_EQ(FaultOf([&] { NormalizeInputs(fields, {3}, 1); }), msgInvalidOp);
    auto noDisp = Field(TFieldRole::Target, TNormMethod::Auto, 0);
    noDisp.Disp = 0;
    EXPECT_NE(FaultOf([&] { NormalizeValue(noDisp, 7); }), "");
    auto sig = Field(TFieldRole::Target, TNormMethod::Sigmoid, 0);
    EXPECT_EQ(FaultOf([&] { DenormalizeValue(sig, 0.0); }), msgDivByZero);
    EXPECT_NE(FaultOf([&] { DenormalizeValue(sig, 1.0); }), "");
    sig.Alpha = 0;
    EXPECT_EQ(FaultOf([&] { DenormalizeValue(sig, 0.3); }), msgDivByZero);
}

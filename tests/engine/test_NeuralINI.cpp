#include "engine/NeuralINI.h"

#include "common/Errors.h"
#include "common/RandomGen.h"
#include "support/ErrorCatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace nirvex {
namespace {

using test::ExpectError;

void Build(TNeuralNetwork& net, const std::vector<int>& sizes) {
    net.SetCountLayers(static_cast<int32_t>(sizes.size()));
    for (std::size_t l = 0; l < sizes.size(); ++l)
        net.SetLayerSize(static_cast<int32_t>(l), sizes[l]);
}

TIniFile SectionOf(const std::string& body) {
    return TIniFile::FromBytes("[Network]\r\n" + body);
}

// ---------------------------------------------------------------------------------------------
// Construction

TEST(NeuralIniDefaults, StartsAsTenFiveOneWithTheProgramsSettings) {
    TNeuralNetworkINI net;
    EXPECT_EQ(net.TeachSpeed, 0.1);
    EXPECT_EQ(net.Miu, 0.9);
    EXPECT_EQ(net.Alpha, 0.5);
    EXPECT_EQ(net.Epoch, 0);
    ASSERT_EQ(net.CountLayers(), 3);
    EXPECT_EQ(net.GetLayerSize(0), 10);
    EXPECT_EQ(net.GetLayerSize(1), 5);
    EXPECT_EQ(net.GetLayerSize(2), 1);
    EXPECT_EQ(net.MaxLayerSize(), 10);
}

TEST(NeuralIniDefaults, FreshWeightsAndThresholdsAreHundredthsBetweenOneAndNinetyNine) {
    SetRandSeed(31337);
    TNeuralNetworkINI net;
    std::vector<double> values;
    for (int l = 0; l < 2; ++l) {
        for (int i = 0; i < net.GetLayerSize(l); ++i)
            for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
                values.push_back(net.GetWeight(l, i, j));
        for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
            values.push_back(net.GetThreshold(l, j));
    }
    ASSERT_EQ(values.size(), 55u + 6u);
    bool allSame = true;
    for (double v : values) {
        double hundredths = v * 100;
        EXPECT_GE(v, 0.01);
        EXPECT_LE(v, 0.99);
        EXPECT_NEAR(hundredths, std::round(hundredths), 1e-9) << v;
        allSame = allSame && v == values[0];
    }
    EXPECT_FALSE(allSame);

    // Drawn in order: 50 input-to-hidden weights row by row, 5 thresholds, 5 weights, 1 threshold.
    SetRandSeed(31337);
    for (double v : values)
        EXPECT_EQ(v, (Random(99) + 1) / 100.0);
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST(NeuralIniSave, FourThreeTwoNetworkWritesThirtyOneKeysInOrder) {
    TNeuralNetworkINI net;
    Build(net, {4, 3, 2});
    TIniFile ini = TIniFile::FromBytes("");
    net.SaveToIni(ini, "Network");
    const std::vector<std::string> expected = {
        "TeachSpeed", "Miu",     "Alpha",   "Epoch",   "CountLayers", "Layer_0", "Layer_1", "Layer_2",
        "W_0_0_0",    "W_0_0_1", "W_0_0_2", "W_0_1_0", "W_0_1_1",     "W_0_1_2", "W_0_2_0", "W_0_2_1",
        "W_0_2_2",    "W_0_3_0", "W_0_3_1", "W_0_3_2", "W_1_0_0",     "W_1_0_1", "W_1_1_0", "W_1_1_1",
        "W_1_2_0",    "W_1_2_1", "WT_0_0",  "WT_0_1",  "WT_0_2",      "WT_1_0",  "WT_1_1"};
    EXPECT_EQ(ini.ReadSection("Network"), expected);
    EXPECT_EQ(ini.ReadString("Network", "TeachSpeed", ""), "0.1");
    EXPECT_EQ(ini.ReadString("Network", "Miu", ""), "0.9");
    EXPECT_EQ(ini.ReadString("Network", "Alpha", ""), "0.5");
    EXPECT_EQ(ini.ReadString("Network", "CountLayers", ""), "3");
    EXPECT_EQ(ini.ReadString("Network", "Layer_0", ""), "4");
}

TEST(NeuralIniSave, NoKeyOfALargerEarlierNetworkIsLeftBehind) {
    TIniFile ini = TIniFile::FromBytes("[Main]\r\nName=x\r\n[Other]\r\nA=1\r\n");
    TNeuralNetworkINI large; // 10-5-1: 69 keys
    large.SaveToIni(ini, "Network");
    EXPECT_EQ(ini.ReadSection("Network").size(), 69u);
    TNeuralNetworkINI small;
    Build(small, {4, 3, 2});
    small.SaveToIni(ini, "network");
    EXPECT_EQ(ini.ReadSection("Network").size(), 31u);
    EXPECT_FALSE(ini.ValueExists("Network", "W_0_9_4"));
    EXPECT_FALSE(ini.ValueExists("Network", "W_0_3_3"));
    EXPECT_FALSE(ini.ValueExists("Network", "WT_0_4"));
    EXPECT_EQ(ini.ReadString("Main", "Name", ""), "x");
    EXPECT_EQ(ini.ReadInteger("Other", "A", 0), 1);
}

// Weights are written with 15 digits where those give the same double (as files always held them),
// with 16 or 17 only where they do not.
TEST(NeuralIniSave, WeightsTakeTheDigitsThatGiveTheSameDoubleBack) {
    TNeuralNetworkINI net;
    Build(net, {1, 3});
    net.SetWeight(0, 0, 0, 0.37);
    net.SetWeight(0, 0, 1, 0.1 + 0.2);
    net.SetWeight(0, 0, 2, 1.0 / 3);
    net.SetThreshold(0, 0, -5.907546746291934);
    TIniFile ini = TIniFile::FromBytes("");
    net.SaveToIni(ini, "Network");
    EXPECT_EQ(ini.ReadString("Network", "W_0_0_0", ""), "0.37");
    EXPECT_EQ(ini.ReadString("Network", "W_0_0_1", ""), "0.30000000000000004");
    EXPECT_EQ(ini.ReadString("Network", "W_0_0_2", ""), "0.3333333333333333");
    EXPECT_EQ(ini.ReadString("Network", "WT_0_0", ""), "-5.907546746291934");
}

TEST(NeuralIniSave, SmallWeightsUseTheExponentFormOnlyBelowOneThousandth) {
    TNeuralNetworkINI net;
    Build(net, {1, 2});
    net.SetWeight(0, 0, 0, 0.00001);
    net.SetWeight(0, 0, 1, 0.0001);
    net.SetThreshold(0, 0, -0.000123);
    net.SetThreshold(0, 1, 2e20);
    TIniFile ini = TIniFile::FromBytes("");
    net.SaveToIni(ini, "Network");
    EXPECT_EQ(ini.ReadString("Network", "W_0_0_0", ""), "1E-5");
    EXPECT_EQ(ini.ReadString("Network", "W_0_0_1", ""), "0.0001");
    EXPECT_EQ(ini.ReadString("Network", "WT_0_0", ""), "-0.000123");
    EXPECT_EQ(ini.ReadString("Network", "WT_0_1", ""), "2E20");
    TNeuralNetworkINI back;
    back.LoadFromIni(ini, "Network");
    EXPECT_EQ(back.GetWeight(0, 0, 0), 0.00001);
    EXPECT_EQ(back.GetWeight(0, 0, 1), 0.0001);
}

// ---------------------------------------------------------------------------------------------
// Loading

TEST(NeuralIniLoad, RoundTripGivesTheWeightsBackExactlyAndTheSettingsToFifteenDigits) {
    std::mt19937 gen(8);
    std::uniform_real_distribution<double> u(-3, 3);
    TNeuralNetworkINI net;
    Build(net, {5, 7, 4, 2});
    for (int l = 0; l < 3; ++l) {
        for (int i = 0; i < net.GetLayerSize(l); ++i)
            for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
                net.SetWeight(l, i, j, u(gen) * std::pow(10.0, static_cast<int>(u(gen) * 3)));
        for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
            net.SetThreshold(l, j, u(gen));
    }
    net.TeachSpeed = 0.0123456789012345678;
    net.Miu = 0.77;
    net.Alpha = 1.25;
    net.Epoch = 2147483000;
    TIniFile ini = TIniFile::FromBytes(""); // through the file's bytes, as on disk
    net.SaveToIni(ini, "Network");
    TIniFile reread = TIniFile::FromBytes(ini.ToBytes());

    TNeuralNetworkINI back;
    back.LoadFromIni(reread, "Network");
    ASSERT_EQ(back.CountLayers(), 4);
    auto same15 = [](double a, double b) { return std::fabs(a - b) <= 5e-15 * std::fabs(b); };
    // A reopened network computes as the saved one did: every weight and threshold is the same double.
    for (int l = 0; l < 3; ++l) {
        ASSERT_EQ(back.GetLayerSize(l + 1), net.GetLayerSize(l + 1));
        for (int i = 0; i < net.GetLayerSize(l); ++i)
            for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
                EXPECT_EQ(back.GetWeight(l, i, j), net.GetWeight(l, i, j));
        for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
            EXPECT_EQ(back.GetThreshold(l, j), net.GetThreshold(l, j));
    }
    EXPECT_TRUE(same15(back.TeachSpeed, net.TeachSpeed));
    EXPECT_EQ(back.Miu, 0.77);
    EXPECT_EQ(back.Alpha, 1.25);
    EXPECT_EQ(back.Epoch, 2147483000);
}

TEST(NeuralIniLoad, SectionWithoutWeightsGivesZeroWeightsAndTheSavedThresholds) {
    TIniFile ini = SectionOf("TeachSpeed=0.2\r\nMiu=0.3\r\nAlpha=0.4\r\nEpoch=12\r\nCountLayers=2\r\n"
                             "Layer_0=3\r\nLayer_1=2\r\nWT_0_0=0.25\r\nWT_0_1=-1.5\r\n");
    TNeuralNetworkINI net;
    net.LoadFromIni(ini, "Network");
    EXPECT_EQ(net.TeachSpeed, 0.2);
    EXPECT_EQ(net.Miu, 0.3);
    EXPECT_EQ(net.Alpha, 0.4);
    EXPECT_EQ(net.Epoch, 12);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(net.GetWeight(0, i, j), 0);
    EXPECT_EQ(net.GetThreshold(0, 0), 0.25);
    EXPECT_EQ(net.GetThreshold(0, 1), -1.5);
}

TEST(NeuralIniLoad, MissingEpochAndUnreadableValuesReadAsZero) {
    TIniFile ini = SectionOf("TeachSpeed=abc\r\nCountLayers=2\r\nLayer_0=1\r\nLayer_1=1\r\nW_0_0_0=\r\nWT_0_0=0,5\r\n");
    TNeuralNetworkINI net;
    net.Epoch = 40;
    net.LoadFromIni(ini, "Network");
    EXPECT_EQ(net.TeachSpeed, 0);
    EXPECT_EQ(net.Miu, 0);
    EXPECT_EQ(net.Alpha, 0);
    EXPECT_EQ(net.Epoch, 0);
    EXPECT_EQ(net.GetWeight(0, 0, 0), 0);
    EXPECT_EQ(net.GetThreshold(0, 0), 0);
}

// A section the network cannot take changes nothing of it: a failed project load must not leave a
// network of slope 0 behind.
TEST(NeuralIniLoad, MissingLayerCountIsARangeErrorThatChangesNothing) {
    TIniFile ini = SectionOf("TeachSpeed=0.2\r\nMiu=0.3\r\nAlpha=0.4\r\nLayer_0=3\r\n");
    TNeuralNetworkINI net;
    const double teachSpeed = net.TeachSpeed, miu = net.Miu, alpha = net.Alpha;
    ExpectError([&] { net.LoadFromIni(ini, "Network"); }, "Range check error");
    EXPECT_EQ(net.TeachSpeed, teachSpeed);
    EXPECT_EQ(net.Miu, miu);
    EXPECT_EQ(net.Alpha, alpha);
    EXPECT_EQ(net.CountLayers(), 3);

    TNeuralNetworkINI fromNothing;
    ExpectError([&] { fromNothing.LoadFromIni(TIniFile::FromBytes(""), "Network"); }, "Range check error");
    EXPECT_EQ(fromNothing.TeachSpeed, teachSpeed);
}

TEST(NeuralIniLoad, NegativeLayerSizeIsARangeError) {
    TNeuralNetworkINI net;
    ExpectError(
        [&] { net.LoadFromIni(SectionOf("CountLayers=3\r\nLayer_0=2\r\nLayer_1=-4\r\nLayer_2=1\r\n"), "Network"); },
        "Range check error");
    ExpectError([&] { net.LoadFromIni(SectionOf("CountLayers=-2\r\n"), "Network"); }, "Range check error");
}

TEST(NeuralIniLoad, AbsurdShapesAreRefusedAndTheNetworkKeepsItsShape) {
    const std::string tooLarge = "Недостаточно памяти для сети такого размера";
    TNeuralNetworkINI net;
    for (const char* body :
         {"CountLayers=65537\r\n", "CountLayers=0x7FFFFFFF\r\n", "CountLayers=2\r\nLayer_0=1\r\nLayer_1=1048577\r\n",
          "CountLayers=3\r\nLayer_0=2\r\nLayer_1=40000\r\nLayer_2=40000\r\n",
          "CountLayers=2\r\nLayer_0=1000000\r\nLayer_1=1000000\r\n"}) {
        ExpectError([&] { net.LoadFromIni(SectionOf(body), "Network"); }, tooLarge);
        ASSERT_EQ(net.CountLayers(), 3) << body;
        EXPECT_EQ(net.GetLayerSize(0), 10);
        EXPECT_EQ(net.GetLayerSize(1), 5);
        EXPECT_EQ(net.GetLayerSize(2), 1);
    }
}

TEST(NeuralIniLoad, LoadingClearsTheMomentumMemory) {
    TNeuralNetworkINI net;
    Build(net, {2, 3, 1});
    net.SetInput(0, 0.5);
    net.SetInput(1, -0.5);
    for (int k = 0; k < 3; ++k) {
        net.Compute();
        net.Teach(std::vector<double>{1});
    }
    TIniFile ini = TIniFile::FromBytes("");
    net.SaveToIni(ini, "Network");
    net.LoadFromIni(ini, "Network");
    net.TeachSpeed = 0; // only momentum could move the weights now
    double w = net.GetWeight(1, 2, 0), t = net.GetThreshold(0, 1);
    net.Compute();
    net.Teach(std::vector<double>{1});
    EXPECT_EQ(net.GetWeight(1, 2, 0), w);
    EXPECT_EQ(net.GetThreshold(0, 1), t);
}

} // namespace
} // namespace nirvex

#include "engine/NeuralNetwork.h"

#include "common/Errors.h"
#include "common/RandomGen.h"
#include "support/ErrorCatch.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace nirvex {
namespace {

using test::ExpectError;

// Throws-with-message check: the exact text matters, the user sees it.
// The network's formulas written out the plain way: nested arrays, the loops as stated.
struct TNaiveNetwork {
    std::vector<int> sizes;
    std::vector<std::vector<std::vector<double>>> w, wd;
    std::vector<std::vector<double>> t, td, out;
    double alpha = 0.5, eta = 0.1, mu = 0.9;

    explicit TNaiveNetwork(const TNeuralNetwork& net) : alpha(net.Alpha), eta(net.TeachSpeed), mu(net.Miu) {
        int layers = net.CountLayers();
        for (int l = 0; l < layers; ++l) {
            sizes.push_back(net.GetLayerSize(l));
            out.emplace_back(sizes[l], 0.0);
        }
        for (int l = 0; l + 1 < layers; ++l) {
            w.emplace_back(sizes[l], std::vector<double>(sizes[l + 1]));
            wd.emplace_back(sizes[l], std::vector<double>(sizes[l + 1], 0.0));
            t.emplace_back(sizes[l + 1]);
            td.emplace_back(sizes[l + 1], 0.0);
            for (int i = 0; i < sizes[l]; ++i)
                for (int j = 0; j < sizes[l + 1]; ++j)
                    w[l][i][j] = net.GetWeight(l, i, j);
            for (int j = 0; j < sizes[l + 1]; ++j)
                t[l][j] = net.GetThreshold(l, j);
        }
    }

    void Compute() {
        for (std::size_t l = 0; l + 1 < sizes.size(); ++l)
            for (int j = 0; j < sizes[l + 1]; ++j) {
                double s = 0;
                for (int k = 0; k < sizes[l]; ++k)
                    s = s + out[l][k] * w[l][k][j];
                s = s + t[l][j];
                out[l + 1][j] = 1.0 / (1.0 + std::exp(-alpha * s));
            }
    }

    void Teach(std::vector<double> targets) {
        int o = static_cast<int>(sizes.size()) - 1;
        std::vector<double> e(64), d(64);
        for (int i = 0; i < sizes[o]; ++i)
            e[i] = out[o][i] - targets[i];
        for (int l = o - 1; l >= 0; --l) {
            for (int k = 0; k < sizes[l + 1]; ++k) {
                double y = out[l + 1][k];
                d[k] = alpha * y * (1 - y) * e[k];
                e[k] = 0;
            }
            for (int i = 0; i < sizes[l]; ++i) {
                double s = 0;
                for (int k = 0; k < sizes[l + 1]; ++k) {
                    s = s + d[k] * w[l][i][k];
                    wd[l][i][k] = -eta * d[k] * out[l][i] + mu * wd[l][i][k];
                    w[l][i][k] = w[l][i][k] + wd[l][i][k];
                    if (i == 0) {
                        td[l][k] = -eta * d[k] + mu * td[l][k];
                        t[l][k] = t[l][k] + td[l][k];
                    }
                }
                e[i] = s;
            }
        }
    }
};

void ExpectClose(double actual, double expected, const char* what) {
    EXPECT_LE(std::fabs(actual - expected), 1e-12 * std::fabs(expected))
        << what << ": " << actual << " vs " << expected;
}

void Build(TNeuralNetwork& net, const std::vector<int>& sizes) {
    net.SetCountLayers(static_cast<int32_t>(sizes.size()));
    for (std::size_t l = 0; l < sizes.size(); ++l)
        net.SetLayerSize(static_cast<int32_t>(l), sizes[l]);
}

void FillRandom(TNeuralNetwork& net, std::mt19937& gen, double range) {
    std::uniform_real_distribution<double> u(-range, range);
    for (int l = 0; l + 1 < net.CountLayers(); ++l) {
        for (int i = 0; i < net.GetLayerSize(l); ++i)
            for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
                net.SetWeight(l, i, j, u(gen));
        for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
            net.SetThreshold(l, j, u(gen));
    }
}

double ExampleError(TNeuralNetwork& net, const std::vector<double>& targets) {
    net.Compute();
    int o = net.CountLayers() - 1;
    double e = 0;
    for (int j = 0; j < net.GetLayerSize(o); ++j)
        e += 0.5 * (net.GetOutput(j) - targets[j]) * (net.GetOutput(j) - targets[j]);
    return e;
}

// ---------------------------------------------------------------------------------------------
// Construction and reshaping

TEST(NeuralShape, FreshNetworkHasTheDocumentedDefaults) {
    TNeuralNetwork net;
    EXPECT_EQ(net.TeachSpeed, 0.95);
    EXPECT_EQ(net.Miu, 0.1);
    EXPECT_EQ(net.Alpha, 0.5);
    EXPECT_EQ(net.CountLayers(), 0);
    EXPECT_EQ(net.MaxLayerSize(), 0);
    EXPECT_EQ(net.Epoch, 0);
}

TEST(NeuralShape, RandomValuesAreDrawnLayerByLayerRowByRowThenThresholds) {
    SetRandSeed(20240917);
    TNeuralNetwork net;
    Build(net, {2, 2, 1});
    uint32_t after = RandSeed();

    SetRandSeed(20240917);
    auto draw = [] { return (Random(99) + 1) / 100.0; };
    double w000 = draw(), w001 = draw(), w010 = draw(), w011 = draw();
    double t00 = draw(), t01 = draw();
    double w100 = draw(), w110 = draw();
    double t10 = draw();
    EXPECT_EQ(net.GetWeight(0, 0, 0), w000);
    EXPECT_EQ(net.GetWeight(0, 0, 1), w001);
    EXPECT_EQ(net.GetWeight(0, 1, 0), w010);
    EXPECT_EQ(net.GetWeight(0, 1, 1), w011);
    EXPECT_EQ(net.GetThreshold(0, 0), t00);
    EXPECT_EQ(net.GetThreshold(0, 1), t01);
    EXPECT_EQ(net.GetWeight(1, 0, 0), w100);
    EXPECT_EQ(net.GetWeight(1, 1, 0), w110);
    EXPECT_EQ(net.GetThreshold(1, 0), t10);
    EXPECT_EQ(RandSeed(), after) << "exactly nine draws";
}

TEST(NeuralShape, ResizingTheLastLayerRedrawsOnlyTheConnectionsIntoIt) {
    SetRandSeed(7);
    TNeuralNetwork net;
    Build(net, {3, 4, 2});
    std::vector<double> first;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            first.push_back(net.GetWeight(0, i, j));
    std::vector<double> hiddenThresholds;
    for (int j = 0; j < 4; ++j)
        hiddenThresholds.push_back(net.GetThreshold(0, j));

    uint32_t seed = RandSeed();
    net.SetLayerSize(2, 3);
    SetRandSeed(seed);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(net.GetWeight(1, i, j), (Random(99) + 1) / 100.0);
    for (int j = 0; j < 3; ++j)
        EXPECT_EQ(net.GetThreshold(1, j), (Random(99) + 1) / 100.0);
    for (int i = 0, n = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j, ++n)
            EXPECT_EQ(net.GetWeight(0, i, j), first[n]);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(net.GetThreshold(0, j), hiddenThresholds[j]);
}

TEST(NeuralShape, ResizingAMiddleLayerAlsoRedrawsTheWeightsOutOfItButKeepsTheNextThresholds) {
    SetRandSeed(99);
    TNeuralNetwork net;
    Build(net, {2, 3, 1});
    double outputThreshold = net.GetThreshold(1, 0);
    uint32_t seed = RandSeed();
    net.SetLayerSize(1, 4);
    uint32_t after = RandSeed();
    SetRandSeed(seed);
    auto draw = [] { return (Random(99) + 1) / 100.0; };
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(net.GetWeight(0, i, j), draw());
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(net.GetThreshold(0, j), draw());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(net.GetWeight(1, i, 0), draw());
    EXPECT_EQ(net.GetThreshold(1, 0), outputThreshold);
    EXPECT_EQ(RandSeed(), after) << "sixteen draws";
}

TEST(NeuralShape, ReshapingResetsEpochAndMomentumButNotTheSettings) {
    TNeuralNetwork net;
    Build(net, {4, 12, 2});
    net.TeachSpeed = 0.3;
    net.Miu = 0.4;
    net.Alpha = 1.7;
    net.Epoch = 55;
    net.SetCountLayers(2);
    EXPECT_EQ(net.Epoch, 0);
    EXPECT_EQ(net.CountLayers(), 2);
    EXPECT_EQ(net.MaxLayerSize(), 12);
    EXPECT_EQ(net.TeachSpeed, 0.3);
    EXPECT_EQ(net.Miu, 0.4);
    EXPECT_EQ(net.Alpha, 1.7);
    EXPECT_EQ(net.GetLayerSize(0), 0);
    net.SetLayerSize(0, 3);
    net.Epoch = 9;
    net.SetLayerSize(1, 5);
    EXPECT_EQ(net.Epoch, 0);
    EXPECT_EQ(net.MaxLayerSize(), 12) << "the largest size only grows";
    net.SetLayerSize(1, 20);
    EXPECT_EQ(net.MaxLayerSize(), 20);
}

TEST(NeuralShape, SizingOutOfOrderDrawsOnlyTheWeightsOutOfTheLayer) {
    TNeuralNetwork net;
    net.SetCountLayers(2);
    net.SetLayerSize(1, 2);
    SetRandSeed(5);
    net.SetLayerSize(0, 3);
    uint32_t after = RandSeed();
    SetRandSeed(5);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(net.GetWeight(0, i, j), (Random(99) + 1) / 100.0);
    EXPECT_EQ(RandSeed(), after);
    net.SetInput(0, 1);
    net.Compute(); // thresholds were never drawn; the pass must still stay inside the network
    EXPECT_GT(net.GetOutput(1), 0.0);
}

// ---------------------------------------------------------------------------------------------
// Messages and limits

TEST(NeuralErrors, LayerIndexOutsideTheNetwork) {
    TNeuralNetwork net;
    Build(net, {2, 3, 1});
    ExpectError([&] { net.GetLayerSize(-1); }, "Номер слоя вне диапазона");
    ExpectError([&] { net.GetLayerSize(3); }, "Номер слоя вне диапазона");
    ExpectError([&] { net.SetLayerSize(3, 1); }, "Номер слоя вне диапазона");
    ExpectError([&] { net.SetLayerSize(-1, 1); }, "Номер слоя вне диапазона");
}

TEST(NeuralErrors, UnconfiguredNetworkRefusesInputAndOutput) {
    TNeuralNetwork net;
    ExpectError([&] { net.SetInput(0, 1); }, "Сеть не сконфигурирована");
    ExpectError([&] { net.GetOutput(0); }, "Сеть не сконфигурирована");
}

TEST(NeuralErrors, IndexOutsideTheInputOrOutputLayer) {
    TNeuralNetwork net;
    Build(net, {2, 3, 1});
    ExpectError([&] { net.SetInput(2, 1); }, "Неверный номер входа");
    ExpectError([&] { net.SetInput(-1, 1); }, "Неверный номер входа");
    ExpectError([&] { net.GetOutput(1); }, "Неверный номер входа");
    ExpectError([&] { net.GetOutput(-1); }, "Неверный номер входа");
}

TEST(NeuralErrors, LayerCountBelowOneIsARangeErrorAndLeavesTheNetworkUnconfigured) {
    TNeuralNetwork net;
    Build(net, {2, 3, 1});
    net.Epoch = 4;
    ExpectError([&] { net.SetCountLayers(0); }, "Range check error");
    EXPECT_EQ(net.Epoch, 0);
    EXPECT_EQ(net.CountLayers(), 0);
    ExpectError([&] { net.SetInput(0, 1); }, "Сеть не сконфигурирована");
    ExpectError([&] { net.SetCountLayers(-3); }, "Range check error");
    EXPECT_EQ(net.CountLayers(), 0);
}

TEST(NeuralErrors, NegativeLayerSizeIsARangeError) {
    TNeuralNetwork net;
    Build(net, {2, 3, 1});
    net.Epoch = 4;
    ExpectError([&] { net.SetLayerSize(1, -1); }, "Range check error");
    EXPECT_EQ(net.Epoch, 0);
    EXPECT_EQ(net.GetLayerSize(1), 0);
    net.SetInput(0, 1);
    net.Compute(); // an emptied layer gives the next one a sum of 0 plus its threshold
    EXPECT_EQ(net.GetOutput(0), Sigmoid(net.Alpha, net.GetThreshold(1, 0)));
}

TEST(NeuralErrors, AbsurdShapesAreRefusedBeforeAnythingChanges) {
    const std::string tooLarge = "Недостаточно памяти для сети такого размера";
    TNeuralNetwork net;
    Build(net, {2, 3, 1});
    net.Epoch = 8;
    ExpectError([&] { net.SetCountLayers((1 << 16) + 1); }, tooLarge);
    ExpectError([&] { net.SetLayerSize(1, (1 << 20) + 1); }, tooLarge);
    EXPECT_EQ(net.CountLayers(), 3);
    EXPECT_EQ(net.GetLayerSize(1), 3);
    EXPECT_EQ(net.Epoch, 8);

    net.SetCountLayers(2);
    net.SetLayerSize(0, 1 << 13);
    ExpectError([&] { net.SetLayerSize(1, (1 << 13) + 1); }, tooLarge); // 2^26 + 2^13 connections
    EXPECT_EQ(net.GetLayerSize(1), 0);
    net.SetLayerSize(1, 2); // a sane size still goes through
    EXPECT_EQ(net.GetLayerSize(1), 2);
}

// ---------------------------------------------------------------------------------------------
// Sigmoid and forward pass

TEST(NeuralSigmoid, ValuesAndDerivative) {
    EXPECT_EQ(Sigmoid(0.5, 0), 0.5);
    EXPECT_DOUBLE_EQ(Sigmoid(2, 0.5), 1 / (1 + std::exp(-1.0)));
    EXPECT_DOUBLE_EQ(Sigmoid(1, -705), std::exp(-705.0));
    EXPECT_EQ(SigmoidDerivative(2, 0.25), 0.375);
    EXPECT_EQ(SigmoidDerivative(0.5, 1), 0);
}

TEST(NeuralSigmoid, SaturatesWithoutAFloatingPointError) {
    std::feclearexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(Sigmoid(1, -1000), 0);
    EXPECT_EQ(Sigmoid(1, 1000), 1);
    EXPECT_EQ(Sigmoid(1e200, 1e200), 1);
    EXPECT_EQ(Sigmoid(-1e200, 1e200), 0);
    EXPECT_EQ(Sigmoid(1, 1e308), 1);
    EXPECT_EQ(Sigmoid(0.5, -1.7e308), 0);
    EXPECT_EQ(std::fetestexcept(FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO), 0);
}

TEST(NeuralCompute, ZeroWeightsOrZeroSlopeGiveOneHalf) {
    TNeuralNetwork net;
    Build(net, {3, 4, 2});
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            net.SetWeight(0, i, j, 0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 2; ++j)
            net.SetWeight(1, i, j, 0);
    for (int j = 0; j < 4; ++j)
        net.SetThreshold(0, j, 0);
    for (int j = 0; j < 2; ++j)
        net.SetThreshold(1, j, 0);
    net.SetInput(0, 0.9);
    net.SetInput(1, -0.4);
    net.SetInput(2, 17);
    net.Compute();
    EXPECT_EQ(net.GetOutput(0), 0.5);
    EXPECT_EQ(net.GetOutput(1), 0.5);

    TNeuralNetwork sloped;
    Build(sloped, {3, 4, 2});
    sloped.Alpha = 0;
    sloped.SetInput(0, 0.9);
    sloped.Compute();
    EXPECT_EQ(sloped.GetOutput(0), 0.5);
    EXPECT_EQ(sloped.GetOutput(1), 0.5);
}

TEST(NeuralCompute, HandSetTwoInputNeuron) {
    TNeuralNetwork net;
    Build(net, {2, 1});
    net.Alpha = 0.5;
    net.SetWeight(0, 0, 0, 0.2);
    net.SetWeight(0, 1, 0, 0.4);
    net.SetThreshold(0, 0, 0.1);
    net.SetInput(0, 0.3);
    net.SetInput(1, -0.7);
    net.Compute();
    // s = 0.3·0.2 - 0.7·0.4 + 0.1 = -0.12
    EXPECT_DOUBLE_EQ(net.GetOutput(0), 1 / (1 + std::exp(0.06)));
}

TEST(NeuralCompute, OneLayerNetworkPassesItsInputsThrough) {
    TNeuralNetwork net;
    Build(net, {3});
    net.SetInput(0, 0.25);
    net.SetInput(2, -4);
    net.Compute();
    EXPECT_EQ(net.GetOutput(0), 0.25);
    EXPECT_EQ(net.GetOutput(1), 0);
    EXPECT_EQ(net.GetOutput(2), -4);
    double target[3] = {1, 1, 1};
    net.Teach(target); // nothing to teach
    EXPECT_EQ(net.GetOutput(2), -4);
}

TEST(NeuralCompute, HugeWeightsSaturateQuietly) {
    TNeuralNetwork net;
    Build(net, {2, 2, 1});
    net.SetWeight(0, 0, 0, 1e300);
    net.SetWeight(0, 1, 1, -1e300);
    net.SetInput(0, 1);
    net.SetInput(1, 1);
    std::feclearexcept(FE_ALL_EXCEPT);
    net.Compute();
    EXPECT_EQ(std::fetestexcept(FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO), 0);
    EXPECT_GT(net.GetOutput(0), 0.0);
}

// ---------------------------------------------------------------------------------------------
// Against the plain formulas

TEST(NeuralReference, ComputeAndTeachMatchThePlainLoopsOnRandomShapes) {
    std::mt19937 gen(1234);
    std::uniform_int_distribution<int> layers(2, 5), size(1, 37);
    std::uniform_real_distribution<double> input(-1, 1), target(0, 1), alpha(0.2, 2.0);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<int> sizes(layers(gen));
        for (int& s : sizes)
            s = size(gen);
        TNeuralNetwork net;
        Build(net, sizes);
        FillRandom(net, gen, 1.0);
        net.Alpha = alpha(gen);
        net.TeachSpeed = 0.3;
        net.Miu = 0.8;
        TNaiveNetwork ref(net);
        int o = static_cast<int>(sizes.size()) - 1;
        for (int example = 0; example < 4; ++example) {
            for (int i = 0; i < sizes[0]; ++i) {
                double x = input(gen);
                net.SetInput(i, x);
                ref.out[0][i] = x;
            }
            net.Compute();
            ref.Compute();
            for (int j = 0; j < sizes[o]; ++j)
                ExpectClose(net.GetOutput(j), ref.out[o][j], "output");
            std::vector<double> targets(sizes[o]);
            for (double& t : targets)
                t = target(gen);
            net.Teach(targets);
            ref.Teach(targets);
        }
        for (int l = 0; l < o; ++l) {
            for (int i = 0; i < sizes[l]; ++i)
                for (int j = 0; j < sizes[l + 1]; ++j)
                    ExpectClose(net.GetWeight(l, i, j), ref.w[l][i][j], "weight");
            for (int j = 0; j < sizes[l + 1]; ++j)
                ExpectClose(net.GetThreshold(l, j), ref.t[l][j], "threshold");
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Training step

TEST(NeuralTeach, OneNeuronWithoutMomentumIsPlainGradientDescent) {
    TNeuralNetwork net;
    Build(net, {1, 1});
    net.Miu = 0;
    net.TeachSpeed = 0.7;
    net.Alpha = 1.3;
    net.SetWeight(0, 0, 0, 0.4);
    net.SetThreshold(0, 0, -0.2);
    const double x = 0.6, t = 0.9;
    net.SetInput(0, x);
    net.Compute();
    double y = net.GetOutput(0);
    double g = 0.7 * 1.3 * y * (1 - y) * (y - t);
    net.Teach(std::vector<double>{t});
    EXPECT_DOUBLE_EQ(net.GetWeight(0, 0, 0) - 0.4, -g * x);
    EXPECT_DOUBLE_EQ(net.GetThreshold(0, 0) - (-0.2), -g);
}

TEST(NeuralTeach, SecondStepOnTheSameExampleIsOnePlusMomentumTimesTheFirst) {
    std::mt19937 gen(77);
    TNeuralNetwork net;
    Build(net, {3, 4, 2});
    FillRandom(net, gen, 1.0);
    net.Miu = 0.6;
    net.TeachSpeed = 0.5;
    net.SetInput(0, 0.5);
    net.SetInput(1, -0.25);
    net.SetInput(2, 0.75);
    net.Compute();
    std::vector<double> targets{0.1, 0.9};
    auto snapshot = [&] {
        std::vector<double> v;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 2; ++j)
                v.push_back(net.GetWeight(1, i, j));
        for (int j = 0; j < 2; ++j)
            v.push_back(net.GetThreshold(1, j));
        return v;
    };
    auto v0 = snapshot();
    net.Teach(targets);
    auto v1 = snapshot();
    net.Teach(targets);
    auto v2 = snapshot();
    for (std::size_t k = 0; k < v0.size(); ++k) {
        double first = v1[k] - v0[k];
        ASSERT_NE(first, 0);
        EXPECT_NEAR(v2[k] - v1[k], first * 1.6, 1e-12 * std::fabs(first)) << k;
    }
}

TEST(NeuralTeach, StepDescendsTheExampleErrorGradient) {
    std::mt19937 gen(4242);
    TNeuralNetwork net;
    Build(net, {3, 4, 3, 2});
    FillRandom(net, gen, 1.0);
    net.Alpha = 1.0;
    net.Miu = 0;
    net.TeachSpeed = 0.05;
    const std::vector<double> x{0.8, -0.3, 0.5}, targets{0.95, 0.05};
    for (int i = 0; i < 3; ++i)
        net.SetInput(i, x[i]);

    // dE/dp by central differences, refined by Richardson extrapolation (error ~h^4).
    auto gradient = [&](const std::function<double()>& get, const std::function<void(double)>& set) {
        double p = get();
        auto central = [&](double h) {
            set(p + h);
            double up = ExampleError(net, targets);
            set(p - h);
            double down = ExampleError(net, targets);
            set(p);
            return (up - down) / (2 * h);
        };
        return (4 * central(5e-4) - central(1e-3)) / 3;
    };
    struct TParam {
        std::function<double()> get;
        std::function<void(double)> set;
        double grad;
    };
    std::vector<TParam> params;
    for (int l = 0; l < 3; ++l) {
        for (int i = 0; i < net.GetLayerSize(l); ++i)
            for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
                params.push_back({[&net, l, i, j] { return net.GetWeight(l, i, j); },
                                  [&net, l, i, j](double v) { net.SetWeight(l, i, j, v); }, 0});
        for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
            params.push_back({[&net, l, j] { return net.GetThreshold(l, j); },
                              [&net, l, j](double v) { net.SetThreshold(l, j, v); }, 0});
    }
    for (TParam& p : params)
        p.grad = gradient(p.get, p.set);

    double before = ExampleError(net, targets);
    std::vector<double> old;
    for (TParam& p : params)
        old.push_back(p.get());
    net.Teach(targets);
    for (std::size_t k = 0; k < params.size(); ++k) {
        double change = params[k].get() - old[k];
        double expected = -0.05 * params[k].grad;
        EXPECT_NEAR(change, expected, std::max(1e-6 * std::fabs(expected), 1e-13)) << "parameter " << k;
    }
    EXPECT_LT(ExampleError(net, targets), before);
}

TEST(NeuralTeach, OutputsOnTargetChangeNothing) {
    std::mt19937 gen(3);
    TNeuralNetwork net;
    Build(net, {2, 3, 2});
    FillRandom(net, gen, 1.0);
    net.SetInput(0, 0.3);
    net.SetInput(1, 0.6);
    net.Compute();
    std::vector<double> targets{net.GetOutput(0), net.GetOutput(1)};
    TNaiveNetwork before(net);
    net.Teach(targets);
    for (int l = 0; l < 2; ++l) {
        for (int i = 0; i < net.GetLayerSize(l); ++i)
            for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
                EXPECT_EQ(net.GetWeight(l, i, j), before.w[l][i][j]);
        for (int j = 0; j < net.GetLayerSize(l + 1); ++j)
            EXPECT_EQ(net.GetThreshold(l, j), before.t[l][j]);
    }
}

TEST(NeuralTeach, ZeroRateStillMovesByMomentumAndReshapingClearsIt) {
    TNeuralNetwork net;
    Build(net, {1, 1});
    net.SetWeight(0, 0, 0, 0.5);
    net.SetThreshold(0, 0, 0.5);
    net.Miu = 0.5;
    net.TeachSpeed = 1;
    net.SetInput(0, 1);
    net.Compute();
    net.Teach(std::vector<double>{0});
    double w1 = net.GetWeight(0, 0, 0), first = w1 - 0.5;
    ASSERT_LT(first, 0);
    net.TeachSpeed = 0;
    net.Compute();
    net.Teach(std::vector<double>{0});
    EXPECT_DOUBLE_EQ(net.GetWeight(0, 0, 0) - w1, 0.5 * first);

    net.SetLayerSize(1, 1); // fresh connections, no memory of earlier steps
    double w = net.GetWeight(0, 0, 0);
    net.Compute();
    net.Teach(std::vector<double>{0});
    EXPECT_EQ(net.GetWeight(0, 0, 0), w);
}

TEST(NeuralTeach, SaturatedOutputLearnsNothing) {
    TNeuralNetwork net;
    Build(net, {1, 1});
    net.SetWeight(0, 0, 0, 2000);
    net.SetThreshold(0, 0, 0);
    net.SetInput(0, 1);
    net.Compute();
    ASSERT_EQ(net.GetOutput(0), 1);
    net.Teach(std::vector<double>{0});
    EXPECT_EQ(net.GetWeight(0, 0, 0), 2000);
    EXPECT_EQ(net.GetThreshold(0, 0), 0);
}

} // namespace
} // namespace nirvex

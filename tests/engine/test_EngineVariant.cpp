// Every build of the engine's hot loops that this processor runs must give the same doubles, bit
// for bit, as the formulas written out the plain way with the same operations in the same order.

#include "common/RandomGen.h"
#include "engine/EngineVariant.h"
#include "engine/NeuralNetwork.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using namespace nirvex;

namespace {

// Selects each supported build in turn and restores the one in use afterwards.
class EngineVariants : public ::testing::Test {
protected:
    std::string saved_ = EngineVariantName();
    void TearDown() override { UseEngineVariant(saved_); }
};

uint64_t BitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The forward pass and the step in the order the formulas give, one value at a time.
struct TPlainNetwork {
    std::vector<int> n;
    std::vector<std::vector<double>> w, wd, t, td, y;
    double alpha, eta, mu;

    explicit TPlainNetwork(const TNeuralNetwork& net) : alpha(net.Alpha), eta(net.TeachSpeed), mu(net.Miu) {
        for (int l = 0; l < net.CountLayers(); ++l) {
            n.push_back(net.GetLayerSize(l));
            y.emplace_back(n[l], 0.0);
        }
        for (int l = 0; l + 1 < net.CountLayers(); ++l) {
            w.emplace_back(), wd.emplace_back(n[l] * n[l + 1], 0.0), t.emplace_back(), td.emplace_back(n[l + 1], 0.0);
            for (int i = 0; i < n[l]; ++i)
                for (int j = 0; j < n[l + 1]; ++j)
                    w[l].push_back(net.GetWeight(l, i, j));
            for (int j = 0; j < n[l + 1]; ++j)
                t[l].push_back(net.GetThreshold(l, j));
        }
    }
    void Compute() {
        for (std::size_t l = 0; l + 1 < n.size(); ++l)
            for (int j = 0; j < n[l + 1]; ++j) {
                double s = 0;
                for (int i = 0; i < n[l]; ++i)
                    s = s + y[l][i] * w[l][i * n[l + 1] + j];
                y[l + 1][j] = Sigmoid(alpha, s + t[l][j]);
            }
    }
    void Teach(const double* targets) {
        const int o = static_cast<int>(n.size()) - 1;
        std::vector<double> e(y[o].size()), d;
        for (int i = 0; i < n[o]; ++i)
            e[i] = y[o][i] - targets[i];
        for (int l = o - 1; l >= 0; --l) {
            d.assign(n[l + 1], 0.0);
            for (int k = 0; k < n[l + 1]; ++k)
                d[k] = SigmoidDerivative(alpha, y[l + 1][k]) * e[k];
            e.assign(n[l], 0.0);
            for (int i = 0; i < n[l]; ++i) {
                double s = 0;
                for (int k = 0; k < n[l + 1]; ++k) {
                    double& wik = w[l][i * n[l + 1] + k];
                    double& dik = wd[l][i * n[l + 1] + k];
                    s = s + d[k] * wik;
                    dik = -eta * d[k] * y[l][i] + mu * dik;
                    wik = wik + dik;
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

// Trains a fresh network of the given shape on a fixed stream of examples and returns the bits of
// every output seen and every final weight and threshold; the plain loops run alongside and must
// agree at every step.
std::vector<uint64_t> TrainedBits(const std::vector<int>& shape, double weightRange) {
    SetRandSeed(7);
    TNeuralNetwork net;
    net.SetCountLayers(static_cast<int32_t>(shape.size()));
    for (std::size_t l = 0; l < shape.size(); ++l)
        net.SetLayerSize(static_cast<int32_t>(l), shape[l]);
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int l = 0; l + 1 < net.CountLayers(); ++l)
        for (int i = 0; i < shape[l]; ++i)
            for (int j = 0; j < shape[l + 1]; ++j)
                net.SetWeight(l, i, j, weightRange * u(gen));
    net.Alpha = 1.3;
    net.TeachSpeed = 0.4;
    net.Miu = 0.7;
    TPlainNetwork plain(net);
    const int nIn = shape.front(), nOut = shape.back();
    std::vector<uint64_t> bits;
    std::vector<double> x(nIn), tg(nOut);
    for (int example = 0; example < 300; ++example) {
        for (double& v : x)
            v = u(gen);
        for (double& v : tg)
            v = (u(gen) + 1) / 2;
        plain.y[0] = x;
        plain.Compute();
        plain.Teach(tg.data());
        // Both entry points: the training run's one-call example and the public steps.
        if (example % 2 == 0) {
            const TExampleResult r = net.RunExample(x.data(), nIn, tg.data(), nOut, true);
            bits.push_back(BitsOf(r.Error));
            bits.push_back(BitsOf(r.OutputMean));
        } else {
            for (int i = 0; i < nIn; ++i)
                net.SetInput(i, x[i]);
            net.Compute();
            for (int j = 0; j < nOut; ++j)
                bits.push_back(BitsOf(net.GetOutput(j)));
            net.Teach(tg);
        }
    }
    for (int l = 0; l + 1 < net.CountLayers(); ++l) {
        for (int i = 0; i < shape[l]; ++i)
            for (int j = 0; j < shape[l + 1]; ++j) {
                bits.push_back(BitsOf(net.GetWeight(l, i, j)));
                EXPECT_EQ(BitsOf(net.GetWeight(l, i, j)), BitsOf(plain.w[l][i * shape[l + 1] + j]))
                    << EngineVariantName() << " weight " << l << "/" << i << "/" << j;
            }
        for (int j = 0; j < shape[l + 1]; ++j) {
            bits.push_back(BitsOf(net.GetThreshold(l, j)));
            EXPECT_EQ(BitsOf(net.GetThreshold(l, j)), BitsOf(plain.t[l][j])) << EngineVariantName() << " threshold";
        }
    }
    return bits;
}

TEST_F(EngineVariants, EveryBuildTrainsTheSameBitsAsThePlainLoops) {
    const std::vector<std::string> variants = SupportedEngineVariants();
    ASSERT_FALSE(variants.empty());
    EXPECT_EQ(variants.front(), "baseline");
    // Shapes around every vector width, one with saturating sums (weights up to ±300).
    const std::vector<std::pair<std::vector<int>, double>> cases = {
        {{3, 10, 1}, 1}, {{13, 10, 1}, 1},   {{8, 20, 10, 1}, 1}, {{30, 50, 20, 5}, 1}, {{1, 1}, 1},
        {{2, 0, 3}, 1},  {{9, 17, 7, 3}, 1}, {{5, 33, 2}, 1},     {{4, 12, 6}, 300},
    };
    for (const auto& [shape, range] : cases) {
        std::vector<uint64_t> first;
        for (const std::string& v : variants) {
            ASSERT_TRUE(UseEngineVariant(v));
            std::vector<uint64_t> bits = TrainedBits(shape, range);
            if (first.empty())
                first = bits;
            else
                EXPECT_TRUE(bits == first) << v << " differs from " << variants.front() << " on shape of "
                                           << shape.size() << " layers starting " << shape[0];
        }
    }
}

// Teach leaves its step to the next forward pass; whatever runs in between must see the network
// as if the step had been applied at once. Each build runs a script of such calls on a network
// and on the plain loops, which apply every step at once.
TEST_F(EngineVariants, AWaitingStepIsInvisible) {
    for (const std::string& v : SupportedEngineVariants()) {
        ASSERT_TRUE(UseEngineVariant(v));
        SetRandSeed(3);
        auto net = std::make_unique<TNeuralNetwork>();
        net->SetCountLayers(3);
        for (int l = 0; l < 3; ++l)
            net->SetLayerSize(l, std::vector<int>{5, 9, 2}[l]);
        net->Alpha = 1.1, net->TeachSpeed = 0.3, net->Miu = 0.6;
        TPlainNetwork plain(*net);
        std::mt19937 gen(17);
        std::uniform_real_distribution<double> u(-1, 1);
        std::vector<double> x(5), tg(2);
        TNetworkSnapshot snapshot;
        for (int step = 0; step < 400; ++step) {
            for (double& value : x)
                value = u(gen);
            for (double& value : tg)
                value = (u(gen) + 1) / 2;
            plain.y[0] = x;
            plain.Compute();
            plain.Teach(tg.data());
            net->RunExample(x.data(), 5, tg.data(), 2, true);
            switch (step % 7) {
            case 0: // read while a step waits
                EXPECT_EQ(BitsOf(net->GetWeight(1, 4, 1)), BitsOf(plain.w[1][4 * 2 + 1])) << v << " step " << step;
                EXPECT_EQ(BitsOf(net->GetThreshold(0, 8)), BitsOf(plain.t[0][8])) << v << " step " << step;
                break;
            case 1: // a second step from the same forward pass
                plain.Teach(tg.data());
                net->Teach(tg);
                break;
            case 2: // write while a step waits
                plain.w[0][3 * 9 + 2] = 0.25, plain.t[1][1] = -0.5;
                net->SetWeight(0, 3, 2, 0.25), net->SetThreshold(1, 1, -0.5);
                break;
            case 3: // the momentum changes before the step is applied
                plain.mu = net->Miu = step % 2 ? 0.6 : 0.2;
                break;
            case 4: // a copy carries the waiting step
                net = std::make_unique<TNeuralNetwork>(*net);
                break;
            case 5: // taken aside and put back
                net->TakeSnapshot(snapshot);
                net->RunExample(x.data(), 5, tg.data(), 2, true);
                net->RestoreSnapshot(snapshot);
                break;
            default: // a forward pass alone applies it
                net->RunExample(x.data(), 5, tg.data(), 2, false);
                break;
            }
        }
        for (int l = 0; l < 2; ++l) {
            const int n = l == 0 ? 5 : 9, m = l == 0 ? 9 : 2;
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < m; ++j)
                    ASSERT_EQ(BitsOf(net->GetWeight(l, i, j)), BitsOf(plain.w[l][i * m + j])) << v << " " << l;
            for (int j = 0; j < m; ++j)
                ASSERT_EQ(BitsOf(net->GetThreshold(l, j)), BitsOf(plain.t[l][j])) << v << " " << l;
        }
    }
}

TEST_F(EngineVariants, SaturatedLayersRaiseNoFloatingPointFlagInAnyBuild) {
    for (const std::string& v : SupportedEngineVariants()) {
        ASSERT_TRUE(UseEngineVariant(v));
        TNeuralNetwork net;
        net.SetCountLayers(2);
        net.SetLayerSize(0, 1);
        net.SetLayerSize(1, 11);
        for (int j = 0; j < 11; ++j)
            net.SetWeight(0, 0, j, (j % 2 ? 1 : -1) * std::pow(10.0, 30 * j)); // sums up to 1e300
        net.SetInput(0, 1);
        std::feclearexcept(FE_ALL_EXCEPT);
        net.Compute();
        EXPECT_FALSE(std::fetestexcept(FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO)) << v;
        for (int j = 2; j < 11; ++j)
            EXPECT_EQ(net.GetOutput(j), j % 2 ? 1.0 : 0.0) << v << " neuron " << j;
    }
}

TEST_F(EngineVariants, UnknownNamesChangeNothing) {
    const std::string before = EngineVariantName();
    EXPECT_FALSE(UseEngineVariant("sse9"));
    EXPECT_FALSE(UseEngineVariant(""));
    EXPECT_EQ(EngineVariantName(), before);
}

// The build chosen at start for every processor rule, with NIRVEX_ENGINE unset (null) and set to a
// build the processor runs, to one it does not, and to no build at all.
TEST(EngineChoice, EachProcessorRuleWithAndWithoutTheEnvironment) {
    const TCpuFeatures avx512{true, true, false}, avx512Amd{true, true, true}, avx2{true, false, false},
        avx2Amd{true, false, true}, neither{false, false, false}, neitherAmd{false, false, true};
    struct TCase {
        const char* What;
        TCpuFeatures Cpu;
        const char* Wanted;
        std::string_view Chosen;
    };
    // Empty: a measurement decides among the builds the processor runs.
    const TCase cases[] = {
        {"AVX-512, not AMD", avx512, nullptr, ""},
        {"AVX-512, not AMD", avx512, "avx2", "avx2"},
        {"AVX-512, not AMD", avx512, "baseline", "baseline"},
        {"AVX-512, not AMD", avx512, "avx512", "avx512"},
        {"AVX-512, not AMD", avx512, "sse9", ""},
        {"AVX-512, not AMD", avx512, "", ""},
        {"AVX-512 on AMD", avx512Amd, nullptr, ""},
        {"AVX-512 on AMD", avx512Amd, "avx512", "avx512"},
        {"AVX-512 on AMD", avx512Amd, "baseline", "baseline"},
        {"AVX2 only", avx2, nullptr, ""},
        {"AVX2 only", avx2, "avx512", ""},
        {"AVX2 only", avx2, "baseline", "baseline"},
        {"AVX2 only, AMD", avx2Amd, "avx2", "avx2"},
        {"neither", neither, nullptr, "baseline"},
        {"neither", neither, "avx2", "baseline"},
        {"neither, AMD", neitherAmd, "avx512", "baseline"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ChooseEngineVariant(c.Cpu, c.Wanted), c.Chosen)
            << c.What << ", NIRVEX_ENGINE=" << (c.Wanted ? c.Wanted : "(unset)");
    using TNames = std::vector<std::string_view>;
    EXPECT_EQ(EngineVariantsFor(avx512Amd), (TNames{"baseline", "avx2", "avx512"}));
    EXPECT_EQ(EngineVariantsFor(avx2), (TNames{"baseline", "avx2"}));
    EXPECT_EQ(EngineVariantsFor({false, true, false}), TNames{"baseline"}); // the 512-bit build needs AVX2 too
}

// Of builds timed on a small and a large network, the one that is nowhere far behind the best.
TEST(EngineChoice, TheFastestBuildIsTheOneLeastBehindOnEveryNetwork) {
    struct TCase {
        const char* What;
        std::vector<std::vector<double>> Speeds; // [build][network]
        std::size_t Chosen;
    };
    const TCase cases[] = {
        {"one build ahead everywhere", {{1, 10}, {3, 30}, {2, 20}}, 1},
        {"the widest slower on the small network", {{5, 10}, {9, 30}, {6, 33}}, 1},
        {"the widest ahead on both", {{5, 10}, {9, 30}, {9.5, 33}}, 2},
        {"equal builds: the first", {{4, 4}, {4, 4}}, 0},
        {"a single build", {{7, 1}}, 0},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FastestEngine(c.Speeds), c.Chosen) << c.What;
}

// The program starts with the build NIRVEX_ENGINE names, or else one it measured, which any
// measurement names among the builds this processor runs.
TEST(EngineChoice, TheProgramStartsWithTheNamedOrAMeasuredBuild) {
    const std::vector<std::string_view> names = EngineVariantsFor(ThisCpu());
    EXPECT_EQ(SupportedEngineVariants(), std::vector<std::string>(names.begin(), names.end()));
    const std::string_view named = ChooseEngineVariant(ThisCpu(), std::getenv("NIRVEX_ENGINE"));
    if (!named.empty())
        EXPECT_EQ(EngineVariantName(), named);
    else
        EXPECT_NE(std::find(names.begin(), names.end(), EngineVariantName()), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), MeasureFastestEngineVariant()), names.end());
}

TEST(EngineExp, WithinOneUnitInTheLastPlaceOfTheExactValue) {
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> wide(-745, 709), near(-1, 1);
    std::vector<double> xs = {0, -0.0, 1e-300, -1e-300, 1, -1, 700, -700, -700.5, -708.39, -720, -744, 709};
    for (int i = 0; i < 20000; ++i)
        xs.push_back(i % 2 ? wide(gen) : near(gen));
    const auto exp = EngineKernelsBaseline().exp;
    for (double x : xs) {
        const double exact = static_cast<double>(std::exp(static_cast<long double>(x)));
        const double got = exp(x);
        const double ulp = std::nextafter(exact, INFINITY) - exact;
        EXPECT_LE(std::fabs(got - exact), ulp) << "x = " << x;
    }
    EXPECT_EQ(exp(-1000), 0.0);
    EXPECT_EQ(exp(-1e300), 0.0);
}

} // namespace

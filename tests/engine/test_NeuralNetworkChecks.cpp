// The engine as a debug build compiles it: a row shorter or longer than its layer stops the
// program instead of being read past.
#include "engine/NeuralNetwork.h"

#include <gtest/gtest.h>

#include <vector>

using namespace nirvex;

TEST(NeuralRowChecksDeathTest, InputsAndTargetsMustMatchTheirLayers) {
    TNeuralNetwork net;
    net.SetCountLayers(3);
    net.SetLayerSize(0, 2);
    net.SetLayerSize(1, 3);
    net.SetLayerSize(2, 4);
    const std::vector<double> row(5, 0.25);
    EXPECT_DEATH(net.SetInputs(row.data(), 1), "");
    EXPECT_DEATH(net.SetInputs(row.data(), 3), "");
    net.SetInputs(row.data(), 2);
    net.Compute();
    EXPECT_DEATH(net.Teach(row.data(), 3), "");
    const double before = net.GetWeight(1, 0, 0);
    net.Teach(row.data(), 4);
    EXPECT_NE(net.GetWeight(1, 0, 0), before);
    // The training run's one-call example checks both rows alike.
    EXPECT_DEATH(net.RunExample(row.data(), 3, row.data(), 4, true), "");
    EXPECT_DEATH(net.RunExample(row.data(), 2, row.data(), 3, true), "");
    const TExampleResult r = net.RunExample(row.data(), 2, row.data(), 4, false);
    EXPECT_GT(r.Error, 0.0);
}

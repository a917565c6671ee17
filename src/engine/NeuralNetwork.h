#pragma once

#include "engine/EngineKernels.h"
#include "engine/Messages.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nirvex {

// 1 / (1 + exp(-alpha·x)); saturates to 0 or 1 without raising a floating-point error.
double Sigmoid(double alpha, double x);
// alpha·y·(1 - y) for a sigmoid output y.
double SigmoidDerivative(double alpha, double y);

// What a network learned, copied aside: weights, thresholds, their last changes and the epoch
// counter. Taking a copy into the same object again reuses its storage.
struct TNetworkSnapshot {
    std::vector<std::vector<double>> Weights, WeightDeltas, Thresholds, ThresholdDeltas;
    int32_t Epoch = 0;
};

// A multilayer perceptron of sigmoid neurons with one additive threshold per non-input neuron,
// trained on-line by back-propagation with momentum. Layer 0 is the input layer.
class TNeuralNetwork {
public:
    TNeuralNetwork();
    virtual ~TNeuralNetwork() = default;
    TNeuralNetwork(const TNeuralNetwork& other);
    TNeuralNetwork& operator=(const TNeuralNetwork& other);
    TNeuralNetwork(TNeuralNetwork&&) = default; // the blocks keep their addresses
    TNeuralNetwork& operator=(TNeuralNetwork&&) = default;

    double TeachSpeed = 0.95; // learning rate
    double Miu = 0.1;         // momentum
    double Alpha = 0.5;       // slope of the sigmoid
    int32_t Epoch = 0;        // completed training epochs; reset by every reshaping

    int32_t CountLayers() const { return countLayers_; }
    int32_t MaxLayerSize() const { return maxLayerSize_; }
    void SetTeachSpeed(double value) { TeachSpeed = value; }

    // Limits of a shape: beyond them reshaping fails with msgNetTooLarge before anything changes.
    static constexpr int32_t MaxCountLayers = 1 << 16;
    static constexpr int32_t MaxNeuronsPerLayer = 1 << 20;
    static constexpr int64_t MaxConnections = int64_t{1} << 26;
    // What the weights from a layer of `from` neurons into one of `to` take of MaxConnections:
    // each row is padded to a whole number of vectors.
    static int64_t ConnectionSlots(int32_t from, int32_t to);

    // Starts a new shape of n layers (n >= 1, else "Range check error"; a refused count leaves the
    // network unconfigured).
    void SetCountLayers(int32_t n);
    // Sizes a layer and (re)allocates and randomises the connections into it (and out of it when
    // the next layer already has a size). A negative count fails with "Range check error" and
    // leaves the layer with 0 neurons.
    void SetLayerSize(int32_t layer, int32_t count);
    int32_t GetLayerSize(int32_t layer) const;

    void SetInput(int32_t index, double value);
    void Compute();
    double GetOutput(int32_t index) const;
    // For the training loop, which checks the shape once per run instead of once per value: the
    // whole input layer from one example row of `count` values (debug builds assert that count
    // is the layer's size), and an unchecked view of the output layer, valid until the next
    // reshaping.
    void SetInputs(const double* values, std::size_t count);
    const double* OutputLayer() const { return outputs_.back().data(); }

    // No range checks: callers keep to the shape.
    double GetWeight(int32_t layer, int32_t from, int32_t to) const;
    void SetWeight(int32_t layer, int32_t from, int32_t to, double value);
    double GetThreshold(int32_t layer, int32_t neuron) const;
    void SetThreshold(int32_t layer, int32_t neuron, double value);

    // One back-propagation step for the example of the last Compute. `targets` holds at least
    // as many entries as the output layer has neurons.
    void Teach(const double* targets);
    // The same for a row of `count` targets; debug builds assert that the output layer needs no
    // more, so that no step reads past its row.
    void Teach(const double* targets, std::size_t count);
    void Teach(const std::vector<double>& targets) { Teach(targets.data(), targets.size()); }

    // Teach leaves its step waiting, and the next Compute applies it on its way through the
    // weights; whatever else reads or changes them applies it first. A caller that checks for
    // arithmetic faults applies it itself where it checks.
    void ApplyWaitingStep();

    void TakeSnapshot(TNetworkSnapshot& into) const;
    // Puts back a snapshot of this network's current shape.
    void RestoreSnapshot(const TNetworkSnapshot& from);

    // One example of a training run's pass: the `inputCount` values of `inputs` become the input
    // layer, Compute runs, the result measures the outputs against the first `outputCount`
    // targets, and Teach follows when `teach` is set. The caller checks the shape once per run;
    // debug builds assert that both rows fit it.
    TExampleResult RunExample(const double* inputs, int32_t inputCount, const double* targets, int32_t outputCount,
                              bool teach);

private:
    // Storage per connection layer l (0 .. CountLayers-2), each one contiguous block:
    // weights_[l][i * PaddedSize(size(l+1)) + j] is the weight from neuron i of layer l to neuron
    // j of layer l+1, so one source neuron's outgoing weights lie side by side; the padding of
    // every row, threshold block, output layer and scratch buffer holds zeros. Every block is
    // (re)allocated only by SetCountLayers / SetLayerSize; Compute and Teach allocate nothing.
    // Invariant kept even for unusual sizing orders: every block is at least as long as the
    // current layer sizes need, so no loop reads past its end.
    std::vector<std::vector<double>> weights_;
    std::vector<std::vector<double>> weightDeltas_; // momentum memory, same layout
    std::vector<std::vector<double>> thresholds_;   // thresholds_[l][j]: neuron j of layer l+1
    std::vector<std::vector<double>> thresholdDeltas_;
    std::vector<std::vector<double>> outputs_; // outputs_[0] holds the inputs
    std::vector<int32_t> layerSizes_;
    // Teach's state per layer, PaddedSize(size) each: the local gradients of its neurons, the steps
    // they give (-TeachSpeed × gradient), and its outputs as Teach saw them.
    std::vector<std::vector<double>> teachBuffers_;
    bool pending_ = false;  // a step waits (see ApplyWaitingStep)
    double pendingMiu_ = 0; // the momentum the waiting step was taught with
    int32_t countLayers_ = 0;
    int32_t maxLayerSize_ = 0;
    int64_t connections_ = 0;      // Σ ConnectionSlots(size(l), size(l+1)), kept up to date by reshaping
    std::vector<TLayerRefs> refs_; // where each connection layer's blocks are; see Rebind
    TNetRefs net_{};               // the whole network's, with the settings of the last call

    // Points refs_ at the current blocks; every change of a block's address is followed by it.
    void Rebind();
    const TNetRefs& Refs(); // net_, brought up to date
    // For the readers: applying the waiting step changes nothing they could observe.
    void Flush() const { const_cast<TNeuralNetwork*>(this)->ApplyWaitingStep(); }

    // Refuses (before any change) a shape that would not fit in memory.
    void CheckLayerSizeFits(int32_t layer, int32_t count) const;
    void RandomizeBlock(std::vector<double>& block, int32_t rows, int32_t columns);
};

} // namespace nirvex

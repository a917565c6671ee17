#include "engine/NeuralNetwork.h"

#include "common/Errors.h"
#include "common/RandomGen.h"
#include "engine/EngineVariant.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <new>
#include <utility>

namespace nirvex {

namespace {

[[noreturn]] void Fail(const char* message) {
    throw EError(message);
}

double InitialValue() {
    return (Random(99) + 1) / 100.0;
}

} // namespace

double Sigmoid(double alpha, double x) {
    return EngineKernelsBaseline().sigmoid(alpha, x);
}

double SigmoidDerivative(double alpha, double y) {
    return alpha * y * (1 - y);
}

TNeuralNetwork::TNeuralNetwork() = default;

TNeuralNetwork::TNeuralNetwork(const TNeuralNetwork& other)
    : TeachSpeed(other.TeachSpeed), Miu(other.Miu), Alpha(other.Alpha), Epoch(other.Epoch), weights_(other.weights_),
      weightDeltas_(other.weightDeltas_), thresholds_(other.thresholds_), thresholdDeltas_(other.thresholdDeltas_),
      outputs_(other.outputs_), layerSizes_(other.layerSizes_), teachBuffers_(other.teachBuffers_),
      pending_(other.pending_), pendingMiu_(other.pendingMiu_), countLayers_(other.countLayers_),
      maxLayerSize_(other.maxLayerSize_), connections_(other.connections_) {
    Rebind();
}

TNeuralNetwork& TNeuralNetwork::operator=(const TNeuralNetwork& other) {
    if (this != &other) {
        TNeuralNetwork copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void TNeuralNetwork::Rebind() {
    refs_.clear();
    // A block of Teach's state per layer: gradients, steps, outputs seen (see teachBuffers_).
    auto part = [this](int32_t layer, int part) {
        double* block = teachBuffers_[layer].data();
        return block ? block + part * static_cast<std::size_t>(PaddedSize(layerSizes_[layer])) : nullptr;
    };
    for (int32_t l = 0; l + 1 < countLayers_; ++l)
        refs_.push_back({outputs_[l].data(), outputs_[l + 1].data(), weights_[l].data(), weightDeltas_[l].data(),
                         thresholds_[l].data(), thresholdDeltas_[l].data(), part(l + 1, 0), part(l + 1, 1), part(l, 2),
                         layerSizes_[l], layerSizes_[l + 1]});
    net_ = {refs_.data(),
            static_cast<int32_t>(refs_.size()),
            outputs_.empty() ? nullptr : outputs_.front().data(),
            outputs_.empty() ? nullptr : outputs_.back().data(),
            0,
            0,
            0,
            false};
}

const TNetRefs& TNeuralNetwork::Refs() {
    net_.alpha = Alpha;
    net_.eta = TeachSpeed;
    net_.mu = pending_ ? pendingMiu_ : Miu;
    net_.pending = pending_;
    return net_;
}

void TNeuralNetwork::ApplyWaitingStep() {
    if (pending_) {
        ActiveEngine().apply(Refs());
        pending_ = false;
    }
}

void TNeuralNetwork::SetCountLayers(int32_t n) {
    ApplyWaitingStep(); // the thresholds may be kept
    if (n > MaxCountLayers)
        Fail(msgNetTooLarge);
    Epoch = 0;
    if (n < 1) {
        // The network cannot take such a shape; it is left unconfigured rather than half built.
        countLayers_ = 0;
        weights_.clear();
        weightDeltas_.clear();
        thresholds_.clear();
        thresholdDeltas_.clear();
        outputs_.clear();
        teachBuffers_.clear();
        layerSizes_.clear();
        connections_ = 0;
        Rebind();
        Fail(msgRangeCheck);
    }
    countLayers_ = n;
    weights_.clear();
    weights_.resize(n - 1);
    weightDeltas_.clear();
    weightDeltas_.resize(n - 1);
    layerSizes_.assign(n, 0);
    outputs_.clear();
    outputs_.resize(n);
    teachBuffers_.clear();
    teachBuffers_.resize(n);
    // Thresholds keep their old blocks until SetLayerSize replaces them.
    thresholds_.resize(n - 1);
    thresholdDeltas_.resize(n - 1);
    connections_ = 0;
    Rebind();
}

void TNeuralNetwork::CheckLayerSizeFits(int32_t layer, int32_t count) const {
    if (count > MaxNeuronsPerLayer)
        Fail(msgNetTooLarge);
    const int32_t prev = layer > 0 ? layerSizes_[layer - 1] : 0;
    const int32_t next = layer < countLayers_ - 1 ? layerSizes_[layer + 1] : 0;
    const int32_t old = layerSizes_[layer];
    const int64_t change = ConnectionSlots(prev, count) + ConnectionSlots(count, next) - ConnectionSlots(prev, old) -
                           ConnectionSlots(old, next);
    if (connections_ + change > MaxConnections)
        Fail(msgNetTooLarge);
}

int64_t TNeuralNetwork::ConnectionSlots(int32_t from, int32_t to) {
    return from > 0 && to > 0 ? int64_t{from} * PaddedSize(to) : 0;
}

void TNeuralNetwork::RandomizeBlock(std::vector<double>& block, int32_t rows, int32_t columns) {
    const std::size_t stride = static_cast<std::size_t>(PaddedSize(columns));
    for (int32_t i = 0; i < rows; ++i)
        for (int32_t j = 0; j < columns; ++j)
            block[i * stride + j] = InitialValue();
}

void TNeuralNetwork::SetLayerSize(int32_t layer, int32_t count) {
    if (layer < 0 || layer >= countLayers_)
        Fail(msgLayerOutOfRange);
    ApplyWaitingStep();
    const int32_t prev = layer > 0 ? layerSizes_[layer - 1] : 0;
    const int32_t next = layer < countLayers_ - 1 ? layerSizes_[layer + 1] : 0;
    const int32_t old = layerSizes_[layer];
    if (count < 0) {
        // The reallocation is refused; what it had already emptied stays empty.
        connections_ -= ConnectionSlots(prev, old) + ConnectionSlots(old, next);
        layerSizes_[layer] = 0;
        Epoch = 0;
        if (layer > 0 && prev > 0) {
            weights_[layer - 1].clear();
            weightDeltas_[layer - 1].clear();
            thresholds_[layer - 1].clear();
            thresholdDeltas_[layer - 1].clear();
        } else {
            outputs_[layer].clear();
        }
        Rebind();
        Fail(msgRangeCheck);
    }
    CheckLayerSizeFits(layer, count);

    // Everything is allocated before anything changes, so a refused allocation leaves the
    // network as it was.
    // Rows and layers are padded with zeros to a whole number of vectors (PaddedSize).
    const int32_t padded = PaddedSize(count);
    std::vector<double> wIn, wdIn, tIn, tdIn, out, wOut, wdOut, teachBuffer;
    try {
        if (layer > 0) {
            if (prev > 0) {
                wIn.assign(static_cast<std::size_t>(prev) * padded, 0.0);
                wdIn.assign(wIn.size(), 0.0);
                tIn.assign(padded, 0.0);
                tdIn.assign(padded, 0.0);
            } else {
                // No connections come in yet; the thresholds keep what they held.
                tIn = thresholds_[layer - 1];
                tIn.resize(count, 0.0);
                tIn.resize(padded, 0.0);
                tdIn = thresholdDeltas_[layer - 1];
                tdIn.resize(count, 0.0);
                tdIn.resize(padded, 0.0);
            }
        }
        out.assign(padded, 0.0);
        if (next > 0) {
            wOut.assign(static_cast<std::size_t>(count) * PaddedSize(next), 0.0);
            wdOut.assign(wOut.size(), 0.0);
        }
        teachBuffer.assign(3 * static_cast<std::size_t>(padded), 0.0);
    } catch (const std::bad_alloc&) {
        Fail(msgNetTooLarge);
    }

    // Draw order: weights into the layer row by row, its thresholds, then weights out of it.
    if (layer > 0 && prev > 0) {
        RandomizeBlock(wIn, prev, count);
        RandomizeBlock(tIn, 1, count);
    }
    if (next > 0)
        RandomizeBlock(wOut, count, next);

    layerSizes_[layer] = count;
    maxLayerSize_ = std::max(maxLayerSize_, count);
    Epoch = 0;
    if (layer > 0) {
        if (prev > 0) {
            weights_[layer - 1] = std::move(wIn);
            weightDeltas_[layer - 1] = std::move(wdIn);
        }
        thresholds_[layer - 1] = std::move(tIn);
        thresholdDeltas_[layer - 1] = std::move(tdIn);
    }
    outputs_[layer] = std::move(out);
    teachBuffers_[layer] = std::move(teachBuffer);
    if (next > 0) {
        weights_[layer] = std::move(wOut);
        weightDeltas_[layer] = std::move(wdOut);
    }
    connections_ += ConnectionSlots(prev, count) + ConnectionSlots(count, next) - ConnectionSlots(prev, old) -
                    ConnectionSlots(old, next);
    Rebind();
}

int32_t TNeuralNetwork::GetLayerSize(int32_t layer) const {
    if (layer < 0 || layer >= countLayers_)
        Fail(msgLayerOutOfRange);
    return layerSizes_[layer];
}

void TNeuralNetwork::SetInput(int32_t index, double value) {
    if (countLayers_ == 0)
        Fail(msgNotConfigured);
    if (index < 0 || index >= layerSizes_[0])
        Fail(msgBadInputNo);
    outputs_[0][index] = value;
}

void TNeuralNetwork::Compute() {
    // The flag is updated before the call, so that the call ends the function: these run once
    // per example.
    if (countLayers_ >= 2) {
        const TNetRefs& net = Refs();
        pending_ = false;
        ActiveEngine().compute(net);
    }
}

double TNeuralNetwork::GetOutput(int32_t index) const {
    if (countLayers_ == 0)
        Fail(msgNotConfigured);
    if (index < 0 || index >= layerSizes_[countLayers_ - 1])
        Fail(msgBadInputNo);
    return outputs_[countLayers_ - 1][index];
}

double TNeuralNetwork::GetWeight(int32_t layer, int32_t from, int32_t to) const {
    Flush();
    return weights_[layer][static_cast<std::size_t>(from) * PaddedSize(layerSizes_[layer + 1]) + to];
}

void TNeuralNetwork::SetWeight(int32_t layer, int32_t from, int32_t to, double value) {
    ApplyWaitingStep();
    weights_[layer][static_cast<std::size_t>(from) * PaddedSize(layerSizes_[layer + 1]) + to] = value;
}

double TNeuralNetwork::GetThreshold(int32_t layer, int32_t neuron) const {
    Flush();
    return thresholds_[layer][neuron];
}

void TNeuralNetwork::SetThreshold(int32_t layer, int32_t neuron, double value) {
    ApplyWaitingStep();
    thresholds_[layer][neuron] = value;
}

void TNeuralNetwork::Teach(const double* targets) {
    if (countLayers_ >= 2) {
        ApplyWaitingStep(); // a step taught without a forward pass since
        const TNetRefs& net = Refs();
        pending_ = true;
        pendingMiu_ = Miu;
        ActiveEngine().teach(net, targets);
    }
}

TExampleResult TNeuralNetwork::RunExample(const double* inputs, int32_t inputCount, const double* targets,
                                          int32_t outputCount, bool teach) {
    if (countLayers_ == 0)
        Fail(msgNotConfigured);
    assert(inputCount == layerSizes_[0]);
    assert(countLayers_ < 2 || outputCount >= layerSizes_[countLayers_ - 1]);
    const TNetRefs& net = Refs();
    if (countLayers_ >= 2) {
        pending_ = teach;
        pendingMiu_ = Miu;
    }
    return ActiveEngine().example(net, inputs, inputCount, targets, outputCount, teach);
}

// Row-length checks are for debug builds only: these run once per example.
void TNeuralNetwork::SetInputs(const double* values, std::size_t count) {
    assert(countLayers_ > 0 && count == static_cast<std::size_t>(layerSizes_[0]));
    if (count > 0)
        std::copy(values, values + count, outputs_[0].data());
}

void TNeuralNetwork::Teach(const double* targets, std::size_t count) {
    assert(countLayers_ < 2 || count >= static_cast<std::size_t>(layerSizes_[countLayers_ - 1]));
    (void)count;
    Teach(targets);
}

void TNeuralNetwork::TakeSnapshot(TNetworkSnapshot& into) const {
    Flush();
    into.Weights = weights_;
    into.WeightDeltas = weightDeltas_;
    into.Thresholds = thresholds_;
    into.ThresholdDeltas = thresholdDeltas_;
    into.Epoch = Epoch;
}

void TNeuralNetwork::RestoreSnapshot(const TNetworkSnapshot& from) {
    pending_ = false; // the snapshot replaces all it would change
    weights_ = from.Weights;
    weightDeltas_ = from.WeightDeltas;
    thresholds_ = from.Thresholds;
    thresholdDeltas_ = from.ThresholdDeltas;
    Epoch = from.Epoch;
    Rebind();
}

} // namespace nirvex

#include "neural.h"

#include "Errors.h"
#include "RandomGen.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace nirvex {

namespace {

// The hot loops below are built twice, for plain x86-64 and for AVX2, and picked at run time.
// Neither build contracts a·b + c into one rounding (no FMA), so both give the same doubles.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define NIRVEX_HOT [[gnu::target_clones("avx2", "default")]]
#else
#define NIRVEX_HOT
#endif

// Four doubles handled as one; the AVX2 build keeps them in one register, the plain one in two.
typedef double V4 __attribute__((vector_size(32)));

// out[j] := Σ_i x[i] · w[i·m + j], each sum taken in increasing i as the formula reads. The source
// neuron is the outer loop so the inner loop streams through one row of weights; the sums of 16
// (or 4) neighbouring targets stay in registers for the whole pass over the sources.
NIRVEX_HOT void WeightedSums(const double* __restrict x, int32_t n, const double* __restrict w, int32_t m,
                             double* __restrict out) {
    const std::size_t stride = static_cast<std::size_t>(m);
    int32_t j = 0;
    for (; j + 16 <= m; j += 16) {
        V4 a0 = {0, 0, 0, 0}, a1 = a0, a2 = a0, a3 = a0;
        const double* r = w + j;
        for (int32_t i = 0; i < n; ++i, r += stride) {
            V4 r0, r1, r2, r3;
            std::memcpy(&r0, r, sizeof r0);
            std::memcpy(&r1, r + 4, sizeof r1);
            std::memcpy(&r2, r + 8, sizeof r2);
            std::memcpy(&r3, r + 12, sizeof r3);
            const double xi = x[i];
            a0 += xi * r0;
            a1 += xi * r1;
            a2 += xi * r2;
            a3 += xi * r3;
        }
        std::memcpy(out + j, &a0, sizeof a0);
        std::memcpy(out + j + 4, &a1, sizeof a1);
        std::memcpy(out + j + 8, &a2, sizeof a2);
        std::memcpy(out + j + 12, &a3, sizeof a3);
    }
    for (; j + 4 <= m; j += 4) {
        V4 a = {0, 0, 0, 0};
        const double* r = w + j;
        for (int32_t i = 0; i < n; ++i, r += stride) {
            V4 ri;
            std::memcpy(&ri, r, sizeof ri);
            a += x[i] * ri;
        }
        std::memcpy(out + j, &a, sizeof a);
    }
    for (; j < m; ++j) {
        double s = 0;
        const double* r = w + j;
        for (int32_t i = 0; i < n; ++i, r += stride)
            s += x[i] * *r;
        out[j] = s;
    }
}

// e[i] := Σ_k d[k] · w[i·m + k] in increasing k. Four rows at a time so that four independent
// chains of additions overlap; each chain keeps the order of the formula.
NIRVEX_HOT void BackSums(const double* __restrict w, const double* __restrict d, int32_t n, int32_t m,
                         double* __restrict e) {
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const double* r0 = w + static_cast<std::size_t>(i) * m;
        const double* r1 = r0 + m;
        const double* r2 = r1 + m;
        const double* r3 = r2 + m;
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (int32_t k = 0; k < m; ++k) {
            const double dk = d[k];
            s0 += dk * r0[k];
            s1 += dk * r1[k];
            s2 += dk * r2[k];
            s3 += dk * r3[k];
        }
        e[i] = s0;
        e[i + 1] = s1;
        e[i + 2] = s2;
        e[i + 3] = s3;
    }
    for (; i < n; ++i) {
        const double* r = w + static_cast<std::size_t>(i) * m;
        double s = 0;
        for (int32_t k = 0; k < m; ++k)
            s += d[k] * r[k];
        e[i] = s;
    }
}

// Momentum rule for every weight of one connection layer; step[k] = -TeachSpeed · D[k].
NIRVEX_HOT void UpdateWeights(double* __restrict w, double* __restrict wd, const double* __restrict step,
                              const double* __restrict y, int32_t n, int32_t m, double mu) {
    if (m == 1) {
        // A single target neuron: the column is contiguous along the sources.
        const double s0 = step[0];
        for (int32_t i = 0; i < n; ++i) {
            wd[i] = s0 * y[i] + mu * wd[i];
            w[i] += wd[i];
        }
        return;
    }
    for (int32_t i = 0; i < n; ++i) {
        const double yi = y[i];
        double* wr = w + static_cast<std::size_t>(i) * m;
        double* dr = wd + static_cast<std::size_t>(i) * m;
        for (int32_t k = 0; k < m; ++k) {
            dr[k] = step[k] * yi + mu * dr[k];
            wr[k] += dr[k];
        }
    }
}

[[noreturn]] void Fail(const char* message) {
    throw EError(message);
}

double InitialValue() {
    return (Random(99) + 1) / 100.0;
}

} // namespace

double Sigmoid(double alpha, double x) {
    double z;
    if (std::fabs(x) < 1e150 && std::fabs(alpha) < 1e150) [[likely]] {
        z = -alpha * x;
    } else {
        // alpha·x could leave the double range; its sign and size are all that matter then.
        long double wide = -static_cast<long double>(alpha) * x;
        if (wide > 800)
            return 0.0;
        if (wide < -800)
            return 1.0;
        z = static_cast<double>(wide);
    }
    // exp(z) would overflow beyond 709.78; 1 / (1 + e^z) equals e^-z to the last bit well before.
    if (z > 700)
        return std::exp(-z);
    return 1.0 / (1.0 + std::exp(z));
}

double SigmoidDerivative(double alpha, double y) {
    return alpha * y * (1 - y);
}

TNeuralNetwork::TNeuralNetwork() = default;

void TNeuralNetwork::SetCountLayers(int32_t n) {
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
        layerSizes_.clear();
        connections_ = 0;
        Fail(msg::RangeCheck);
    }
    countLayers_ = n;
    weights_.clear();
    weights_.resize(n - 1);
    weightDeltas_.clear();
    weightDeltas_.resize(n - 1);
    layerSizes_.assign(n, 0);
    outputs_.clear();
    outputs_.resize(n);
    // Thresholds keep their old blocks until SetLayerSize replaces them.
    thresholds_.resize(n - 1);
    thresholdDeltas_.resize(n - 1);
    connections_ = 0;
}

void TNeuralNetwork::CheckLayerSizeFits(int32_t layer, int32_t count) const {
    if (count > MaxNeuronsPerLayer)
        Fail(msgNetTooLarge);
    int64_t prev = layer > 0 ? layerSizes_[layer - 1] : 0;
    int64_t next = layer < countLayers_ - 1 ? layerSizes_[layer + 1] : 0;
    if (connections_ + (int64_t{count} - layerSizes_[layer]) * (prev + next) > MaxConnections)
        Fail(msgNetTooLarge);
}

void TNeuralNetwork::RandomizeBlock(std::vector<double>& block) {
    for (double& v : block)
        v = InitialValue();
}

void TNeuralNetwork::SetLayerSize(int32_t layer, int32_t count) {
    if (layer < 0 || layer >= countLayers_)
        Fail(msgLayerOutOfRange);
    const int32_t prev = layer > 0 ? layerSizes_[layer - 1] : 0;
    const int32_t next = layer < countLayers_ - 1 ? layerSizes_[layer + 1] : 0;
    const int32_t old = layerSizes_[layer];
    if (count < 0) {
        // The reallocation is refused; what it had already emptied stays empty.
        connections_ -= int64_t{old} * (int64_t{prev} + next);
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
        Fail(msg::RangeCheck);
    }
    CheckLayerSizeFits(layer, count);

    // Everything is allocated before anything changes, so a refused allocation leaves the
    // network as it was.
    std::vector<double> wIn, wdIn, tIn, tdIn, out, wOut, wdOut, errBuf, deltaBuf, stepBuf;
    try {
        if (layer > 0) {
            if (prev > 0) {
                wIn.assign(static_cast<std::size_t>(prev) * count, 0.0);
                wdIn.assign(wIn.size(), 0.0);
                tIn.assign(count, 0.0);
                tdIn.assign(count, 0.0);
            } else {
                // No connections come in yet; the thresholds keep what they held.
                tIn = thresholds_[layer - 1];
                tIn.resize(count, 0.0);
                tdIn = thresholdDeltas_[layer - 1];
                tdIn.resize(count, 0.0);
            }
        }
        out.assign(count, 0.0);
        if (next > 0) {
            wOut.assign(static_cast<std::size_t>(count) * next, 0.0);
            wdOut.assign(wOut.size(), 0.0);
        }
        if (count > maxLayerSize_) {
            errBuf.assign(count, 0.0);
            deltaBuf.assign(count, 0.0);
            stepBuf.assign(count, 0.0);
        }
    } catch (const std::bad_alloc&) {
        Fail(msgNetTooLarge);
    }

    // Draw order: weights into the layer row by row, its thresholds, then weights out of it.
    if (layer > 0 && prev > 0) {
        RandomizeBlock(wIn);
        RandomizeBlock(tIn);
    }
    if (next > 0)
        RandomizeBlock(wOut);

    layerSizes_[layer] = count;
    if (count > maxLayerSize_) {
        maxLayerSize_ = count;
        errorBuffer_ = std::move(errBuf);
        deltaBuffer_ = std::move(deltaBuf);
        stepBuffer_ = std::move(stepBuf);
    }
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
    if (next > 0) {
        weights_[layer] = std::move(wOut);
        weightDeltas_[layer] = std::move(wdOut);
    }
    connections_ += (int64_t{count} - old) * (int64_t{prev} + next);
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
    for (int32_t l = 0; l + 1 < countLayers_; ++l) {
        const int32_t n = layerSizes_[l];
        const int32_t m = layerSizes_[l + 1];
        double* out = outputs_[l + 1].data();
        const double* t = thresholds_[l].data();
        WeightedSums(outputs_[l].data(), n, weights_[l].data(), m, out);
        for (int32_t j = 0; j < m; ++j)
            out[j] = Sigmoid(Alpha, out[j] + t[j]);
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
    return weights_[layer][static_cast<std::size_t>(from) * layerSizes_[layer + 1] + to];
}

void TNeuralNetwork::SetWeight(int32_t layer, int32_t from, int32_t to, double value) {
    weights_[layer][static_cast<std::size_t>(from) * layerSizes_[layer + 1] + to] = value;
}

double TNeuralNetwork::GetThreshold(int32_t layer, int32_t neuron) const {
    return thresholds_[layer][neuron];
}

void TNeuralNetwork::SetThreshold(int32_t layer, int32_t neuron, double value) {
    thresholds_[layer][neuron] = value;
}

void TNeuralNetwork::Teach(const double* targets) {
    if (countLayers_ < 2)
        return;
    double* e = errorBuffer_.data();
    double* d = deltaBuffer_.data();
    double* step = stepBuffer_.data();
    const int32_t o = countLayers_ - 1;
    const double* y = outputs_[o].data();
    for (int32_t i = 0; i < layerSizes_[o]; ++i)
        e[i] = y[i] - targets[i];

    const double eta = TeachSpeed;
    const double mu = Miu;
    for (int32_t l = countLayers_ - 2; l >= 0; --l) {
        const int32_t n = layerSizes_[l];
        const int32_t m = layerSizes_[l + 1];
        const double* y1 = outputs_[l + 1].data();
        for (int32_t k = 0; k < m; ++k) {
            d[k] = SigmoidDerivative(Alpha, y1[k]) * e[k];
            e[k] = 0;
            step[k] = -eta * d[k];
        }
        // Thresholds change once per step, as weights from a constant input of 1 (and, like the
        // weights, only when the layer below has neurons).
        if (n > 0) {
            double* t = thresholds_[l].data();
            double* td = thresholdDeltas_[l].data();
            for (int32_t k = 0; k < m; ++k) {
                td[k] = step[k] + mu * td[k];
                t[k] += td[k];
            }
        }
        double* w = weights_[l].data();
        // The errors passed back use the weights before this step; the input layer needs none.
        if (l > 0)
            BackSums(w, d, n, m, e);
        UpdateWeights(w, weightDeltas_[l].data(), step, outputs_[l].data(), n, m, mu);
    }
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
    into.Weights = weights_;
    into.WeightDeltas = weightDeltas_;
    into.Thresholds = thresholds_;
    into.ThresholdDeltas = thresholdDeltas_;
    into.Epoch = Epoch;
}

void TNeuralNetwork::RestoreSnapshot(const TNetworkSnapshot& from) {
    weights_ = from.Weights;
    weightDeltas_ = from.WeightDeltas;
    thresholds_ = from.Thresholds;
    thresholdDeltas_ = from.ThresholdDeltas;
    Epoch = from.Epoch;
}

} // namespace nirvex

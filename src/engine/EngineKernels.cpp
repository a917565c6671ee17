// Compiled once per instruction set with NIRVEX_KERNEL_WIDTH (doubles per vector),
// NIRVEX_KERNEL_NAME and NIRVEX_KERNEL_GETTER defined, and always with -ffp-contract=off: a fused
// multiply-add rounds once where the others round twice, and the builds must agree to the bit.
// Vectors only ever combine lanes that hold different neurons; every sum runs over its terms in
// the order the formula gives, exactly as the one-lane form of the same code does.
// Nothing here may use an inline function of a library header: an out-of-line copy built for a
// wider instruction set could be the one the linker keeps for the whole program.

#include "engine/EngineKernels.h"
#include "engine/EngineLanes.h"

#include <cstddef>
#include <cstdint>

namespace nirvex {

namespace {

// out[v·W ..] := Sigmoid(alpha, Σ_i x[i] · w[i·stride + v·W ..] + t[v·W ..]) for the V vectors of
// neurons from column j, each sum over increasing i. The source neuron is the outer loop, so the
// inner one streams through one row of weights with the V sums held in registers for the whole
// pass over the sources; they go to memory only once activated. With `apply`, the waiting step
// is added to each weight and threshold just before its first use.
template <int V, bool apply>
inline void LayerBlock(const TLayerRefs& L, int32_t j, std::size_t stride, double alpha, double limit, double mu) {
    // Locals, not L's fields: the stores below could alias those as far as the compiler knows.
    const int32_t n = L.n;
    const double* __restrict x = L.in;
    double* __restrict w = L.w + j;
    double* __restrict t = L.t + j;
    VD a[V] = {};
    if constexpr (apply) {
        double* __restrict wd = L.wd + j;
        const double* __restrict y = L.taught;
        VD s[V];
        for (int v = 0; v < V; ++v)
            s[v] = Load(L.step + j + v * W);
        for (int32_t i = 0; i < n; ++i, w += stride, wd += stride) {
            const double xi = x[i], yi = y[i];
            for (int v = 0; v < V; ++v) {
                const VD d = s[v] * yi + mu * Load(wd + v * W);
                Store(wd + v * W, d);
                const VD updated = Load(w + v * W) + d;
                Store(w + v * W, updated);
                a[v] += xi * updated;
            }
        }
        // Thresholds, as weights from a constant input of 1, change only when the layer below
        // has neurons.
        if (n > 0)
            for (int v = 0; v < V; ++v) {
                double* td = L.td + j + v * W;
                const VD d = s[v] * 1.0 + mu * Load(td);
                Store(td, d);
                Store(t + v * W, Load(t + v * W) + d);
            }
    } else {
        for (int32_t i = 0; i < n; ++i, w += stride) {
            const double xi = x[i];
            for (int v = 0; v < V; ++v)
                a[v] += xi * Load(w + v * W);
        }
    }
#pragma GCC unroll 4
    for (int v = 0; v < V; ++v)
        Store(L.out + j + v * W, Activate(a[v] + Load(t + v * W), alpha, limit));
}

// The outputs of layer l+1 (and of its padding, whose sums are 0 + 0): blocks of four vectors of
// neurons, then one block for the rest.
template <bool apply> void ComputeLayer(const TLayerRefs& L, double alpha, double mu) {
    const double limit = VectorLimit(alpha);
    const int32_t vectors = Span(L.m) / W;
    const std::size_t stride = static_cast<std::size_t>(PaddedSize(L.m));
    int32_t v = 0;
    for (; v + 4 <= vectors; v += 4)
        LayerBlock<4, apply>(L, v * W, stride, alpha, limit, mu);
    switch (vectors - v) {
    case 3:
        return LayerBlock<3, apply>(L, v * W, stride, alpha, limit, mu);
    case 2:
        return LayerBlock<2, apply>(L, v * W, stride, alpha, limit, mu);
    case 1:
        return LayerBlock<1, apply>(L, v * W, stride, alpha, limit, mu);
    default:
        return;
    }
}

void Compute(const TNetRefs& net) {
    for (int32_t l = 0; l < net.count; ++l)
        if (net.pending)
            ComputeLayer<true>(net.layers[l], net.alpha, net.mu);
        else
            ComputeLayer<false>(net.layers[l], net.alpha, net.mu);
}

// The local gradient of neurons with outputs y and errors e, and the step it gives.
struct TGradient {
    double alpha, eta;
    void Put(VD y, VD e, double* d, double* step) const {
        const VD dk = alpha * y * (1 - y) * e;
        Store(d, dk);
        Store(step, -eta * dk);
    }
};

// The errors passed back to eight neurons of the layer below, from their rows of weights (before
// this step changes them), and the gradients they give: e[q] := Σ_k d[k] · w[q·stride + k] over
// increasing k < m for the rows q from w, whose outputs are y[q]. With fewer `rows`, those past
// them get 0 (and read row 0). Eight independent chains of additions overlap.
template <bool full>
inline void BackSums8(const double* __restrict w, std::size_t stride, const double* __restrict d, int32_t rows,
                      int32_t m, const double* __restrict y, const TGradient& g, double* __restrict dOut,
                      double* __restrict stepOut) {
    const double* r[8];
    for (int q = 0; q < 8; ++q)
        r[q] = w + (full || q < rows ? q * stride : 0);
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0;
    for (int32_t k = 0; k < m; ++k) {
        const double dk = d[k];
        s0 += dk * r[0][k];
        s1 += dk * r[1][k];
        s2 += dk * r[2][k];
        s3 += dk * r[3][k];
        s4 += dk * r[4][k];
        s5 += dk * r[5][k];
        s6 += dk * r[6][k];
        s7 += dk * r[7][k];
    }
    if (!full) {
        s1 = rows > 1 ? s1 : 0, s2 = rows > 2 ? s2 : 0, s3 = rows > 3 ? s3 : 0, s4 = rows > 4 ? s4 : 0;
        s5 = rows > 5 ? s5 : 0, s6 = rows > 6 ? s6 : 0, s7 = rows > 7 ? s7 : 0;
    }
#if NIRVEX_KERNEL_WIDTH == 8
    g.Put(Load(y), VD{s0, s1, s2, s3, s4, s5, s6, s7}, dOut, stepOut);
#elif NIRVEX_KERNEL_WIDTH == 4
    g.Put(Load(y), VD{s0, s1, s2, s3}, dOut, stepOut);
    g.Put(Load(y + 4), VD{s4, s5, s6, s7}, dOut + 4, stepOut + 4);
#else
    g.Put(Load(y), VD{s0, s1}, dOut, stepOut);
    g.Put(Load(y + 2), VD{s2, s3}, dOut + 2, stepOut + 2);
    g.Put(Load(y + 4), VD{s4, s5}, dOut + 4, stepOut + 4);
    g.Put(Load(y + 6), VD{s6, s7}, dOut + 6, stepOut + 6);
#endif
}

// The momentum rule on `rows` rows of `span` lanes from w and wd, the input of row r being y[r]:
// wd := step · y[r] + mu · wd, then w := w + wd. Only for a step applied on its own (Apply): the
// forward pass applies it on its way otherwise.
void UpdateRows(double* __restrict w, double* __restrict wd, std::size_t stride, const double* __restrict step,
                const double* __restrict y, int32_t rows, int32_t span, double mu) {
    for (int32_t r = 0; r < rows; ++r, w += stride, wd += stride) {
        const double yr = y[r];
        for (int32_t k = 0; k < span; k += W) {
            const VD d = Load(step + k) * yr + mu * Load(wd + k);
            Store(wd + k, d);
            Store(w + k, Load(w + k) + d);
        }
    }
}

void Teach(const TNetRefs& net, const double* targets) {
    if (net.count < 1)
        return;
    const TGradient g{net.alpha, net.eta};
    {
        // The output layer's errors: output minus target, 0 in the padding.
        const TLayerRefs& last = net.layers[net.count - 1];
        VI lane;
        for (int l = 0; l < W; ++l)
            lane[l] = l;
        for (int32_t k = 0; k < Span(last.m); k += W) {
            const int32_t lanes = last.m - k;
            const VD y = Load(last.out + k);
            VD ek = {};
            if (lanes >= W)
                ek = y - Load(targets + k);
            else if (lanes > 0)
                ek = Select(lane < lanes, y - LoadPartial(targets + k, lanes), VD{});
            g.Put(y, ek, last.delta + k, last.step + k);
        }
    }
    // The gradients of every hidden layer, from the top down, through the weights as they are
    // before this step.
    for (int32_t l = net.count - 1; l >= 1; --l) {
        const TLayerRefs& L = net.layers[l];
        const TLayerRefs& below = net.layers[l - 1];
        const int32_t n = L.n;
        const std::size_t stride = static_cast<std::size_t>(PaddedSize(L.m));
        int32_t i = 0;
        for (; i + 8 <= n; i += 8)
            BackSums8<true>(L.w + i * stride, stride, L.delta, 8, L.m, L.in + i, g, below.delta + i, below.step + i);
        if (i < n)
            BackSums8<false>(L.w + i * stride, stride, L.delta, n - i, L.m, L.in + i, g, below.delta + i,
                             below.step + i);
    }
    // The inputs each row's step multiplies, kept for when it is applied: the next examples
    // overwrite the outputs.
    for (int32_t l = 0; l < net.count; ++l) {
        const TLayerRefs& L = net.layers[l];
        for (int32_t i = 0; i < Span(L.n); i += W)
            Store(L.taught + i, Load(L.in + i));
    }
}

// The waiting step on its own, layer by layer. Thresholds change as weights from a constant input
// of 1 (and, like the weights, only when the layer below has neurons).
void Apply(const TNetRefs& net) {
    const double one = 1.0;
    for (int32_t l = 0; l < net.count; ++l) {
        const TLayerRefs& L = net.layers[l];
        if (L.n == 0)
            continue;
        const int32_t span = Span(L.m);
        UpdateRows(L.w, L.wd, static_cast<std::size_t>(PaddedSize(L.m)), L.step, L.taught, L.n, span, net.mu);
        UpdateRows(L.t, L.td, 0, L.step, &one, 1, span, net.mu);
    }
}

TExampleResult Example(const TNetRefs& net, const double* inputs, int32_t nIn, const double* targets, int32_t nOut,
                       bool teach) {
    for (int32_t i = 0; i < nIn; ++i)
        net.input[i] = inputs[i];
    Compute(net);
    const double* out = net.output;
    double err = 0, sum = 0;
    for (int32_t j = 0; j < nOut; ++j) {
        const double diff = out[j] - targets[j];
        err += diff * diff;
        sum += out[j];
    }
    const TExampleResult result{err / 2, nOut > 0 ? sum / nOut : 0.0};
    if (teach)
        Teach(net, targets);
    return result;
}

constexpr TEngineKernels kKernels{NIRVEX_KERNEL_NAME, Compute, Teach, Apply, Example, Sigmoid1, Exp1};

} // namespace

const TEngineKernels& NIRVEX_KERNEL_GETTER() {
    return kKernels;
}

} // namespace nirvex

// Compiled once per instruction set with NIRVEX_KERNEL_WIDTH (doubles per vector),
// NIRVEX_KERNEL_NAME and NIRVEX_KERNEL_GETTER defined, and always with -ffp-contract=off: a fused
// multiply-add rounds once where the others round twice, and the builds must agree to the bit.
// Vectors only ever combine lanes that hold different neurons; every sum runs over its terms in
// the order the formula gives, exactly as the one-lane form of the same code does.
// Nothing here may use an inline function of a library header: an out-of-line copy built for a
// wider instruction set could be the one the linker keeps for the whole program.

#include "EngineKernels.h"
#include "EngineExpTable.h"

#include <cstddef>
#include <cstdint>
#if defined(__x86_64__)
#include <immintrin.h> // its functions are always inlined, never shared between the builds
#endif

#ifndef NIRVEX_KERNEL_WIDTH
#error "NIRVEX_KERNEL_WIDTH, NIRVEX_KERNEL_NAME and NIRVEX_KERNEL_GETTER must be defined"
#endif

namespace nirvex {

namespace {

constexpr int W = NIRVEX_KERNEL_WIDTH;
// The lanes a layer of m neurons takes in whole vectors of this build (at most PaddedSize(m)).
constexpr int32_t Span(int32_t m) {
    return (m + W - 1) & -W;
}
typedef double VD __attribute__((vector_size(W * sizeof(double))));
typedef int64_t VI __attribute__((vector_size(W * sizeof(double))));

// The same lane operations for one double and for a vector of them.
inline int64_t Bits(double x) {
    return __builtin_bit_cast(int64_t, x);
}
inline VI Bits(VD x) {
    return __builtin_bit_cast(VI, x);
}
inline double AsDouble(int64_t x) {
    return __builtin_bit_cast(double, x);
}
inline VD AsDouble(VI x) {
    return __builtin_bit_cast(VD, x);
}
// k as a change of a double's exponent field (shifted as unsigned: k may be negative).
inline int64_t ToExponent(int64_t k) {
    return static_cast<int64_t>(static_cast<uint64_t>(k) << 52);
}
inline VI ToExponent(VI k) {
    typedef uint64_t VU __attribute__((vector_size(W * sizeof(double))));
    return (VI)((VU)k << 52);
}
template <class D, class I> inline D Select(I mask, D a, D b) {
    return AsDouble((mask & Bits(a)) | (~mask & Bits(b)));
}
inline VD Load(const double* p) {
    VD v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(double* p, VD v) {
    __builtin_memcpy(p, &v, sizeof v);
}

// The first `lanes` (1 .. W-1) doubles at p, the other lanes 0; nothing past them is read. And
// whether every lane of a mask is set.
#if NIRVEX_KERNEL_WIDTH == 8 && defined(__AVX512F__)
inline VD LoadPartial(const double* p, int32_t lanes) {
    return _mm512_maskz_loadu_pd(static_cast<__mmask8>((1u << lanes) - 1), p);
}
inline bool AllLanes(VI mask) {
    return _mm512_cmpeq_epi64_mask((__m512i)mask, _mm512_set1_epi64(-1)) == 0xFF;
}
#elif NIRVEX_KERNEL_WIDTH == 4 && defined(__AVX2__)
inline __m256i LaneMask(int32_t lanes) {
    return _mm256_cmpgt_epi64(_mm256_set1_epi64x(lanes), _mm256_set_epi64x(3, 2, 1, 0));
}
inline VD LoadPartial(const double* p, int32_t lanes) {
    return _mm256_maskload_pd(p, LaneMask(lanes));
}
inline bool AllLanes(VI mask) {
    return _mm256_movemask_pd(_mm256_castsi256_pd((__m256i)mask)) == 0xF;
}
#elif NIRVEX_KERNEL_WIDTH == 2 && defined(__SSE2__)
inline VD LoadPartial(const double* p, int32_t) {
    return _mm_load_sd(p);
}
inline bool AllLanes(VI mask) {
    return _mm_movemask_pd(_mm_castsi128_pd((__m128i)mask)) == 0x3;
}
#else
inline VD LoadPartial(const double* p, int32_t lanes) {
    VD v = {};
    for (int32_t l = 0; l < lanes; ++l)
        v[l] = p[l];
    return v;
}
inline bool AllLanes(VI mask) {
    bool all = true;
    for (int l = 0; l < W; ++l)
        all = all && mask[l] != 0;
    return all;
}
#endif

constexpr double kInvLn2N = 0x1.71547652b82fep+7; // 128 / ln 2
// ln2/128 in two parts; the first has 34 significant bits, so n · it is exact for |n| < 2^19.
constexpr double kLn2HiN = 0x1.62e42fef80000p-8;
constexpr double kLn2LoN = 0x1.1cf79abc9e3b4p-43;
constexpr double kShift = 0x1.8p52; // adding it rounds to an integer held in the low mantissa bits

// Both columns of kExpTable[j] for every lane. Each lane's pair is one 16-byte load; the vector
// builds then sort the pairs into two vectors. (A gather instruction measured slower.)
inline void Lookup(int64_t j, double& value, double& error) {
    value = kExpTable[j][0];
    error = kExpTable[j][1];
}
#if NIRVEX_KERNEL_WIDTH == 4 && defined(__AVX2__)
inline void Lookup(VI j, VD& value, VD& error) {
    const __m256d a = _mm256_set_m128d(_mm_loadu_pd(kExpTable[j[2]]), _mm_loadu_pd(kExpTable[j[0]]));
    const __m256d b = _mm256_set_m128d(_mm_loadu_pd(kExpTable[j[3]]), _mm_loadu_pd(kExpTable[j[1]]));
    value = _mm256_unpacklo_pd(a, b);
    error = _mm256_unpackhi_pd(a, b);
}
#elif NIRVEX_KERNEL_WIDTH == 8 && defined(__AVX512F__)
inline void Lookup(VI j, VD& value, VD& error) {
    typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
    const V4 a0 = _mm256_set_m128d(_mm_loadu_pd(kExpTable[j[2]]), _mm_loadu_pd(kExpTable[j[0]]));
    const V4 a1 = _mm256_set_m128d(_mm_loadu_pd(kExpTable[j[6]]), _mm_loadu_pd(kExpTable[j[4]]));
    const V4 b0 = _mm256_set_m128d(_mm_loadu_pd(kExpTable[j[3]]), _mm_loadu_pd(kExpTable[j[1]]));
    const V4 b1 = _mm256_set_m128d(_mm_loadu_pd(kExpTable[j[7]]), _mm_loadu_pd(kExpTable[j[5]]));
    const VD a = __builtin_shufflevector(a0, a1, 0, 1, 2, 3, 4, 5, 6, 7);
    const VD b = __builtin_shufflevector(b0, b1, 0, 1, 2, 3, 4, 5, 6, 7);
    value = __builtin_shufflevector(a, b, 0, 8, 2, 10, 4, 12, 6, 14);
    error = __builtin_shufflevector(a, b, 1, 9, 3, 11, 5, 13, 7, 15);
}
#else
inline void Lookup(VI j, VD& value, VD& error) {
    for (int l = 0; l < W; ++l) {
        value[l] = kExpTable[j[l]][0];
        error[l] = kExpTable[j[l]][1];
    }
}
#endif

// e^x for -1000 <= x <= 709, within about half a unit in the last place. `bias` is added to the
// power of two and must keep it a normal number (0 for x >= -700, 512 below).
template <class D, class I> inline D ExpScaled(D x, I bias) {
    D kd = x * kInvLn2N + kShift;
    const auto n = Bits(kd) - Bits(kShift); // round(x · 128 / ln 2)
    kd = kd - kShift;
    const D r = (x - kd * kLn2HiN) - kd * kLn2LoN;
    D value, error;
    Lookup(n & 127, value, error);
    const D s = AsDouble(Bits(value) + ToExponent((n >> 7) + bias));
    // e^r - 1 to degree 5 plus the table's rounding error, in pairs so that the chain of
    // dependent operations stays short.
    const D r2 = r * r;
    const D p = (r + error) + r2 * ((1.0 / 2 + r * (1.0 / 6)) + r2 * (1.0 / 24 + r * (1.0 / 120)));
    return s + s * p;
}

// e^x for x <= 709; 0 below -745. Results below the normal range take one more rounding
// multiplication, and set only the underflow flag.
double Exp1(double x) {
    if (x >= -700) [[likely]]
        return ExpScaled(x, int64_t{0});
    x = x < -1000 ? -1000 : x; // far below the smallest result
    return ExpScaled(x, int64_t{512}) * 0x1p-512;
}

// 1 / (1 + e^(-alpha·x)) when |alpha| or |x| is 1e150 or more.
double SigmoidWide(double alpha, double x) {
    // alpha·x could leave the double range; its sign and size are all that matter then.
    long double wide = -static_cast<long double>(alpha) * x;
    if (wide > 800)
        return 0.0;
    if (wide < -800)
        return 1.0;
    const double z = static_cast<double>(wide);
    // e^z would overflow beyond 709.78; 1 / (1 + e^z) equals e^-z to the last bit well before.
    return z > 700 ? Exp1(-z) : 1.0 / (1.0 + Exp1(z));
}

double Sigmoid1(double alpha, double x) {
    if (!(__builtin_fabs(x) < 1e150 && __builtin_fabs(alpha) < 1e150)) [[unlikely]]
        return SigmoidWide(alpha, x);
    const double z = -alpha * x;
    if (__builtin_fabs(z) <= 700) [[likely]]
        return 1.0 / (1.0 + ExpScaled(z, int64_t{0})); // as the vector lanes do
    return z > 700 ? Exp1(-z) : 1.0 / (1.0 + Exp1(z));
}

// The vector path of Activate takes |x| < limit: there |alpha·x| stays below 700 (with room for
// the product's rounding) and |x| below 1e150, so each lane gives exactly what Sigmoid1 gives.
// No lane qualifies when |alpha| is 1e150 or more (-1), and NaN never does.
inline double VectorLimit(double alpha) {
    const double a = __builtin_fabs(alpha);
    if (!(a < 1e150))
        return -1;
    const double limit = 690 / a; // infinite for 0
    return limit < 1e150 ? limit : 1e150;
}

// Sigmoid(alpha, x) in every lane: the vector path when every lane qualifies, else one by one.
inline VD Activate(VD x, double alpha, double limit) {
    if (AllLanes(AsDouble(Bits(x) & INT64_MAX) < limit)) [[likely]]
        return 1.0 / (1.0 + ExpScaled(-alpha * x, VI{}));
    VD y;
    for (int l = 0; l < W; ++l)
        y[l] = Sigmoid1(alpha, x[l]);
    return y;
}

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

// Eight doubles as whole vectors, built in registers: a vector load right after narrower stores
// could not take its value from them.
inline void Store8(double* e, double s0, double s1, double s2, double s3, double s4, double s5, double s6, double s7) {
#if NIRVEX_KERNEL_WIDTH == 8
    Store(e, VD{s0, s1, s2, s3, s4, s5, s6, s7});
#elif NIRVEX_KERNEL_WIDTH == 4
    Store(e, VD{s0, s1, s2, s3});
    Store(e + 4, VD{s4, s5, s6, s7});
#else
    Store(e, VD{s0, s1});
    Store(e + 2, VD{s2, s3});
    Store(e + 4, VD{s4, s5});
    Store(e + 6, VD{s6, s7});
#endif
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

// The momentum rule on `rows` rows of V vectors from w and wd, the input of row r being y[r]:
// wd := step · y[r] + mu · wd, then w := w + wd. The step stays in registers across the rows.
template <int V>
inline void UpdateRows(double* __restrict w, double* __restrict wd, std::size_t stride, const double* __restrict step,
                       const double* __restrict y, int32_t rows, double mu) {
    VD s[V];
    for (int v = 0; v < V; ++v)
        s[v] = Load(step + v * W);
    for (int32_t r = 0; r < rows; ++r, w += stride, wd += stride) {
        const double yr = y[r];
        for (int v = 0; v < V; ++v) {
            const VD d = s[v] * yr + mu * Load(wd + v * W);
            Store(wd + v * W, d);
            Store(w + v * W, Load(w + v * W) + d);
        }
    }
}

// The same for rows of any length, one row after the other.
void UpdateRowsAny(double* __restrict w, double* __restrict wd, std::size_t stride, const double* __restrict step,
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

void UpdateRows(double* w, double* wd, std::size_t stride, const double* step, const double* y, int32_t rows,
                int32_t span, double mu) {
    switch (span / W) {
    case 1:
        return UpdateRows<1>(w, wd, stride, step, y, rows, mu);
    case 2:
        return UpdateRows<2>(w, wd, stride, step, y, rows, mu);
    case 3:
        return UpdateRows<3>(w, wd, stride, step, y, rows, mu);
    case 4:
        return UpdateRows<4>(w, wd, stride, step, y, rows, mu);
    default:
        return UpdateRowsAny(w, wd, stride, step, y, rows, span, mu);
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

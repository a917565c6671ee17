// Compiled once per instruction set with NIRVEX_KERNEL_WIDTH (doubles per vector),
// NIRVEX_KERNEL_NAME and NIRVEX_KERNEL_GETTER defined, and always with -ffp-contract=off: a fused
// multiply-add rounds once where the others round twice, and the builds must agree to the bit.
// Vectors only ever combine lanes that hold different neurons; every sum runs over its terms in
// the order the formula gives, exactly as the one-lane form of the same code does.
// Nothing here may use an inline function of a library header: an out-of-line copy built for a
// wider instruction set could be the one the linker keeps for the whole program.

#include "EngineKernels.h"

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
    return (m + W - 1) / W * W;
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
inline int64_t Less(double a, double b) {
    return a < b ? -1 : 0;
}
inline VI Less(VD a, double b) {
    return a < b;
}
inline int64_t Greater(double a, double b) {
    return a > b ? -1 : 0;
}
inline VI Greater(VD a, double b) {
    return a > b;
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

// exp(x) = 2^k · 2^(j/32) · e^r with x = (32k + j)·ln2/32 + r, |r| <= ln2/64. Each entry: 2^(j/32)
// rounded to a double, and the relative error of that rounding.
alignas(64) constexpr double kExpTable[32][2] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {0x1.059b0d3158574p+0, 0x1.cd2523567f613p-55},
    {0x1.0b5586cf9890fp+0, 0x1.79aa65d837b6dp-54},
    {0x1.11301d0125b51p+0, -0x1.556522a2fbd0ep-54},
    {0x1.172b83c7d517bp+0, -0x1.01b15eaa59348p-55},
    {0x1.1d4873168b9aap+0, 0x1.aecf73e3a2f60p-54},
    {0x1.2387a6e756238p+0, 0x1.68efde3a8a894p-54},
    {0x1.29e9df51fdee1p+0, 0x1.2f7e16d09ab31p-55},
    {0x1.306fe0a31b715p+0, 0x1.34d754db0abb6p-55},
    {0x1.371a7373aa9cbp+0, -0x1.24aedcc4b5068p-54},
    {0x1.3dea64c123422p+0, 0x1.59f48a72a4c6dp-55},
    {0x1.44e086061892dp+0, 0x1.363ed60c2ac11p-59},
    {0x1.4bfdad5362a27p+0, 0x1.690cebb7aafb0p-56},
    {0x1.5342b569d4f82p+0, -0x1.8dec6bd0f385fp-56},
    {0x1.5ab07dd485429p+0, 0x1.063e1e21c5409p-54},
    {0x1.6247eb03a5585p+0, -0x1.c33c53bef4da8p-55},
    {0x1.6a09e667f3bcdp+0, -0x1.3b3efbf5e2228p-54},
    {0x1.71f75e8ec5f74p+0, -0x1.81f647e5a3ecfp-56},
    {0x1.7a11473eb0187p+0, -0x1.b32dcb94da51dp-56},
    {0x1.82589994cce13p+0, -0x1.369b6f13b3734p-54},
    {0x1.8ace5422aa0dbp+0, 0x1.db72fc1f0eab4p-55},
    {0x1.93737b0cdc5e5p+0, -0x1.da9b88b6c1e29p-58},
    {0x1.9c49182a3f090p+0, 0x1.1affc2b91ce27p-56},
    {0x1.a5503b23e255dp+0, -0x1.1bbd1d3bcbb15p-54},
    {0x1.ae89f995ad3adp+0, 0x1.c1a7792cb3387p-55},
    {0x1.b7f76f2fb5e47p+0, -0x1.8d6f438ad9334p-57},
    {0x1.c199bdd85529cp+0, 0x1.36eae30af0cb3p-56},
    {0x1.cb720dcef9069p+0, 0x1.76b2c6c921968p-57},
    {0x1.d5818dcfba487p+0, 0x1.4a385a63d07a7p-56},
    {0x1.dfc97337b9b5fp+0, -0x1.2d52107b43e1fp-55},
    {0x1.ea4afa2a490dap+0, -0x1.ff7128fd391f0p-55},
    {0x1.f50765b6e4540p+0, 0x1.a64a931d185eep-55},
};
constexpr double kInvLn2N = 0x1.71547652b82fep+5; // 32 / ln 2
// ln2/32 in two parts; the first has 36 significant bits, so n · it is exact for |n| < 2^17.
constexpr double kLn2HiN = 0x1.62e42fefa0000p-6;
constexpr double kLn2LoN = 0x1.cf79abc9e3b3ap-45;
constexpr double kShift = 0x1.8p52; // adding it rounds to an integer held in the low mantissa bits

// table[2·j[l] + column] for every lane.
inline double Lookup(int64_t j, int column) {
    return kExpTable[j][column];
}
inline VD Lookup(VI j, int column) {
#if NIRVEX_KERNEL_WIDTH == 8 && defined(__AVX512F__)
    return _mm512_mask_i64gather_pd(_mm512_setzero_pd(), 0xFF, (__m512i)(j + j), &kExpTable[0][column], 8);
#elif NIRVEX_KERNEL_WIDTH == 4 && defined(__AVX2__)
    return _mm256_i64gather_pd(&kExpTable[0][column], (__m256i)(j + j), 8);
#else
    VD r;
    for (int l = 0; l < W; ++l)
        r[l] = kExpTable[j[l]][column];
    return r;
#endif
}

// e^x for x <= 709 (the callers keep to it), within about half a unit in the last place; 0 below
// -745. Underflow only ever sets the underflow flag.
template <class D> inline D ExpLanes(D x) {
    x = Select(Less(x, -1000.0), D{} + -1000.0, x); // far below the smallest result
    D kd = x * kInvLn2N + kShift;
    const auto n = Bits(kd) - Bits(kShift); // round(x · 32 / ln 2)
    kd = kd - kShift;
    const D r = (x - kd * kLn2HiN) - kd * kLn2LoN;
    // 2^k goes straight into the exponent; results that would leave the normal range are scaled
    // by 2^512 more first and brought back by one rounding multiplication.
    const auto low = Less(x, -700.0);
    const auto j = n & 31;
    const auto k = (n >> 5) + (low & 512);
    const D s = AsDouble(Bits(Lookup(j, 0)) + (k << 52));
    // e^r - 1 to degree 6 plus the table's rounding error, in pairs so that the chain of
    // dependent operations stays short.
    const D r2 = r * r;
    const D a = 1.0 / 2 + r * (1.0 / 6);
    const D b = (1.0 / 24 + r * (1.0 / 120)) + r2 * (1.0 / 720);
    const D p = (r + Lookup(j, 1)) + r2 * (a + r2 * b);
    const D e = s + s * p;
    return Select(low, e * 0x1p-512, e);
}

// 1 / (1 + e^(-alpha·x)) when |alpha| and |x| are below 1e150, for a lane that is not.
double SigmoidWide(double alpha, double x) {
    // alpha·x could leave the double range; its sign and size are all that matter then.
    long double wide = -static_cast<long double>(alpha) * x;
    if (wide > 800)
        return 0.0;
    if (wide < -800)
        return 1.0;
    double z = static_cast<double>(wide);
    double a = ExpLanes(z > 700 ? -z : z);
    return z > 700 ? a : 1.0 / (1.0 + a);
}

// Sigmoid of every lane. e^z would overflow beyond 709.78; 1 / (1 + e^z) equals e^-z to the last
// bit well before, so large z take e^-z.
template <class D> inline D SigmoidLanes(double alpha, D x) {
    D z = -alpha * x;
    auto big = Greater(z, 700.0);
    D a = ExpLanes(Select(big, -z, z));
    return Select(big, a, 1.0 / (1.0 + a));
}

inline bool Ordinary(double alpha, double x) {
    return __builtin_fabs(x) < 1e150 && __builtin_fabs(alpha) < 1e150;
}

double Sigmoid1(double alpha, double x) {
    if (Ordinary(alpha, x)) [[likely]]
        return SigmoidLanes(alpha, x);
    return SigmoidWide(alpha, x);
}

double Exp1(double x) {
    return ExpLanes(x);
}

// s[j] := Sigmoid(alpha, s[j] + t[j]) for j < m (and the padding, which holds 0 + 0).
void ActivateLayer(double* s, const double* t, int32_t m, double alpha) {
    const bool alphaOk = __builtin_fabs(alpha) < 1e150;
    const int32_t span = Span(m);
    for (int32_t j = 0; j < span; j += W) {
        const VD x = Load(s + j) + Load(t + j);
        const VI ok = AsDouble(Bits(x) & INT64_MAX) < 1e150;
        VD y;
        if (alphaOk && AllLanes(ok)) [[likely]] {
            y = SigmoidLanes(alpha, x);
        } else {
            for (int l = 0; l < W; ++l)
                y[l] = Sigmoid1(alpha, x[l]);
        }
        Store(s + j, y);
    }
}

// out[j] := Σ_i x[i] · w[i·P + j] for j < Span(m), P = PaddedSize(m), each sum over increasing i. The
// source neuron is the outer loop so the inner one streams through one row of weights, with the
// sums of 4·W neighbouring targets held in registers for the whole pass over the sources.
void WeightedSums(const double* __restrict x, int32_t n, const double* __restrict w, int32_t m,
                  double* __restrict out) {
    const int32_t span = Span(m);
    const std::size_t stride = static_cast<std::size_t>(PaddedSize(m));
    int32_t j = 0;
    for (; j + 4 * W <= span; j += 4 * W) {
        VD a0 = {}, a1 = {}, a2 = {}, a3 = {};
        const double* r = w + j;
        for (int32_t i = 0; i < n; ++i, r += stride) {
            const double xi = x[i];
            a0 += xi * Load(r);
            a1 += xi * Load(r + W);
            a2 += xi * Load(r + 2 * W);
            a3 += xi * Load(r + 3 * W);
        }
        Store(out + j, a0);
        Store(out + j + W, a1);
        Store(out + j + 2 * W, a2);
        Store(out + j + 3 * W, a3);
    }
    for (; j < span; j += W) {
        VD a = {};
        const double* r = w + j;
        for (int32_t i = 0; i < n; ++i, r += stride)
            a += x[i] * Load(r);
        Store(out + j, a);
    }
}

void Compute(const TNetRefs& net) {
    for (int32_t l = 0; l < net.count; ++l) {
        const TLayerRefs& L = net.layers[l];
        WeightedSums(L.in, L.n, L.w, L.m, L.out);
        ActivateLayer(L.out, L.t, L.m, net.alpha);
    }
}

// Stores eight sums as whole vectors, built in registers: a vector load right after narrower
// stores could not take its value from them.
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

// e[i] := Σ_k d[k] · w[i·P + k] over increasing k < m, for i < n; e is written up to
// PaddedSize(n), the padding with 0. Eight rows at a time, so that eight independent chains of
// additions overlap; a missing row of the last eight reads row 0 and its sum is dropped.
void BackSums(const double* __restrict w, const double* __restrict d, int32_t n, int32_t m, double* __restrict e) {
    const std::size_t stride = static_cast<std::size_t>(PaddedSize(m));
    for (int32_t i = 0; i < n; i += 8) {
        auto row = [&](int q) { return w + (i + q < n ? static_cast<std::size_t>(i + q) * stride : 0); };
        const double *r0 = row(0), *r1 = row(1), *r2 = row(2), *r3 = row(3), *r4 = row(4), *r5 = row(5),
                     *r6 = row(6), *r7 = row(7);
        double s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0, s7 = 0;
        for (int32_t k = 0; k < m; ++k) {
            const double dk = d[k];
            s0 += dk * r0[k];
            s1 += dk * r1[k];
            s2 += dk * r2[k];
            s3 += dk * r3[k];
            s4 += dk * r4[k];
            s5 += dk * r5[k];
            s6 += dk * r6[k];
            s7 += dk * r7[k];
        }
        const int32_t rows = n - i;
        Store8(e + i, s0, rows > 1 ? s1 : 0, rows > 2 ? s2 : 0, rows > 3 ? s3 : 0, rows > 4 ? s4 : 0,
               rows > 5 ? s5 : 0, rows > 6 ? s6 : 0, rows > 7 ? s7 : 0);
    }
}

// The momentum rule along one padded row: wd[k] := step[k] · y + mu · wd[k], then
// w[k] := w[k] + wd[k]; for thresholds (`plain`), whose input is the constant 1,
// wd[k] := step[k] + mu · wd[k].
template <bool plain>
inline void UpdateRow(double* __restrict w, double* __restrict wd, const double* __restrict step, double y,
                      int32_t span, double mu) {
    for (int32_t k = 0; k < span; k += W) {
        const VD d = (plain ? Load(step + k) : Load(step + k) * y) + mu * Load(wd + k);
        Store(wd + k, d);
        Store(w + k, Load(w + k) + d);
    }
}

void Teach(const TNetRefs& net, const double* targets) {
    if (net.count < 1)
        return;
    double* e = net.error;
    double* d = net.delta;
    double* step = net.step;
    const double alpha = net.alpha, eta = net.eta, mu = net.mu;
    {
        // Output minus target; 0 in the padding.
        const TLayerRefs& last = net.layers[net.count - 1];
        VI lane;
        for (int l = 0; l < W; ++l)
            lane[l] = l;
        for (int32_t k = 0; k < Span(last.m); k += W) {
            const int32_t lanes = last.m - k;
            VD ek = {};
            if (lanes >= W)
                ek = Load(last.out + k) - Load(targets + k);
            else if (lanes > 0)
                ek = Select(lane < lanes, Load(last.out + k) - LoadPartial(targets + k, lanes), VD{});
            Store(e + k, ek);
        }
    }
    for (int32_t l = net.count - 1; l >= 0; --l) {
        const TLayerRefs& L = net.layers[l];
        const int32_t n = L.n, span = Span(L.m);
        const std::size_t stride = static_cast<std::size_t>(PaddedSize(L.m));
        for (int32_t k = 0; k < span; k += W) {
            const VD y = Load(L.out + k);
            const VD dk = alpha * y * (1 - y) * Load(e + k);
            Store(d + k, dk);
            Store(e + k, VD{});
            Store(step + k, -eta * dk);
        }
        // Thresholds change once per step, as weights from a constant input of 1 (and, like the
        // weights, only when the layer below has neurons).
        if (n > 0)
            UpdateRow<true>(L.t, L.td, step, 1.0, span, mu);
        // The errors passed back use the weights before this step; the input layer needs none.
        if (l > 0)
            BackSums(L.w, d, n, L.m, e);
        for (int32_t i = 0; i < n; ++i)
            UpdateRow<false>(L.w + i * stride, L.wd + i * stride, step, L.in[i], span, mu);
    }
}

TExampleResult Example(const TNetRefs& net, const double* inputs, int32_t nIn, const double* targets, int32_t nOut,
                       bool teach) {
    for (int32_t i = 0; i < nIn; ++i)
        net.input[i] = inputs[i];
    Compute(net);
    const double* out = net.output;
    double err = 0, mapped = 0;
    for (int32_t j = 0; j < nOut; ++j) {
        const double diff = out[j] - targets[j];
        err += diff * diff;
    }
    for (int32_t j = 0; j < nOut; ++j)
        mapped += (out[j] + 1) / 2;
    const TExampleResult result{err / 2, nOut > 0 ? mapped / nOut : 0.0};
    if (teach)
        Teach(net, targets);
    return result;
}

constexpr TEngineKernels kKernels{NIRVEX_KERNEL_NAME, Compute, Teach, Example, Sigmoid1, Exp1};

} // namespace

const TEngineKernels& NIRVEX_KERNEL_GETTER() {
    return kKernels;
}

} // namespace nirvex

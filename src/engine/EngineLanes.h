#pragma once

// The lane operations, the exponential and the sigmoid of one build of the engine's hot loops: for
// EngineKernels.cpp only, which is compiled once per instruction set (see there). The same code
// serves one double and a vector of NIRVEX_KERNEL_WIDTH of them, with the same operations.

#include "engine/EngineExpTable.h"

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

} // namespace

} // namespace nirvex

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

// exp(x) = 2^k · 2^(j/128) · e^r with x = (128k + j)·ln2/128 + r, |r| <= ln2/256. Each entry:
// 2^(j/128) rounded to a double, and the relative error of that rounding.
constexpr double kExpTable[128][2] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {0x1.0163da9fb3335p+0, 0x1.b3b4f1a88bf6ep-54},
    {0x1.02c9a3e778061p+0, -0x1.160139cd8dc5dp-56},
    {0x1.04315e86e7f85p+0, -0x1.05e7a108766d1p-54},
    {0x1.059b0d3158574p+0, 0x1.cd2523567f613p-55},
    {0x1.0706b29ddf6dep+0, -0x1.bce8023f98efap-55},
    {0x1.0874518759bc8p+0, 0x1.0f74e61e6c861p-57},
    {0x1.09e3ecac6f383p+0, 0x1.0a3e45b33d399p-54},
    {0x1.0b5586cf9890fp+0, 0x1.79aa65d837b6dp-54},
    {0x1.0cc922b7247f7p+0, 0x1.eb51a92fdeffcp-55},
    {0x1.0e3ec32d3d1a2p+0, 0x1.ebe3d702f9cd1p-60},
    {0x1.0fb66affed31bp+0, -0x1.a033489906e0bp-57},
    {0x1.11301d0125b51p+0, -0x1.556522a2fbd0ep-54},
    {0x1.12abdc06c31ccp+0, -0x1.080ef8c4eea55p-58},
    {0x1.1429aaea92de0p+0, -0x1.1c923b9d5f416p-54},
    {0x1.15a98c8a58e51p+0, 0x1.0d3e3e95c55afp-55},
    {0x1.172b83c7d517bp+0, -0x1.01b15eaa59348p-55},
    {0x1.18af9388c8deap+0, -0x1.f1ff055de323dp-55},
    {0x1.1a35beb6fcb75p+0, 0x1.b898c3f1353bfp-55},
    {0x1.1bbe084045cd4p+0, -0x1.6d99c7611eb26p-54},
    {0x1.1d4873168b9aap+0, 0x1.aecf73e3a2f60p-54},
    {0x1.1ed5022fcd91dp+0, -0x1.fe782cb86389dp-55},
    {0x1.2063b88628cd6p+0, 0x1.a6f4144a6c38dp-55},
    {0x1.21f49917ddc96p+0, 0x1.07a05b0e4047dp-55},
    {0x1.2387a6e756238p+0, 0x1.68efde3a8a894p-54},
    {0x1.251ce4fb2a63fp+0, 0x1.75e18f274487dp-55},
    {0x1.26b4565e27cddp+0, 0x1.0472b981fe7f2p-55},
    {0x1.284dfe1f56381p+0, -0x1.6b87b3f71085ep-54},
    {0x1.29e9df51fdee1p+0, 0x1.2f7e16d09ab31p-55},
    {0x1.2b87fd0dad990p+0, -0x1.d219b1a6fbffap-60},
    {0x1.2d285a6e4030bp+0, 0x1.b3782720c0ab4p-55},
    {0x1.2ecafa93e2f56p+0, 0x1.e149289cecb8fp-57},
    {0x1.306fe0a31b715p+0, 0x1.34d754db0abb6p-55},
    {0x1.32170fc4cd831p+0, 0x1.64201e2ac744cp-55},
    {0x1.33c08b26416ffp+0, 0x1.fdd395dd3f84ap-55},
    {0x1.356c55f929ff1p+0, -0x1.6a3803b8e5b04p-55},
    {0x1.371a7373aa9cbp+0, -0x1.24aedcc4b5068p-54},
    {0x1.38cae6d05d866p+0, -0x1.907f81b512d8ep-54},
    {0x1.3a7db34e59ff7p+0, -0x1.1d1e83e9436d2p-56},
    {0x1.3c32dc313a8e5p+0, -0x1.91919b3ce1b15p-54},
    {0x1.3dea64c123422p+0, 0x1.59f48a72a4c6dp-55},
    {0x1.3fa4504ac801cp+0, -0x1.312607a28698ap-54},
    {0x1.4160a21f72e2ap+0, -0x1.8a78f4817895bp-58},
    {0x1.431f5d950a897p+0, -0x1.c2c9b67499a1bp-56},
    {0x1.44e086061892dp+0, 0x1.363ed60c2ac11p-59},
    {0x1.46a41ed1d0057p+0, 0x1.666093b0664efp-54},
    {0x1.486a2b5c13cd0p+0, 0x1.ecce1daa10379p-57},
    {0x1.4a32af0d7d3dep+0, 0x1.3ff8e3f0f1230p-54},
    {0x1.4bfdad5362a27p+0, 0x1.690cebb7aafb0p-56},
    {0x1.4dcb299fddd0dp+0, 0x1.31dbdeb54e077p-54},
    {0x1.4f9b2769d2ca7p+0, -0x1.f94340071a38ep-55},
    {0x1.516daa2cf6642p+0, -0x1.7deccdc93a349p-55},
    {0x1.5342b569d4f82p+0, -0x1.8dec6bd0f385fp-56},
    {0x1.551a4ca5d920fp+0, -0x1.61246ec7b5cf6p-55},
    {0x1.56f4736b527dap+0, 0x1.3350518fdd78ep-54},
    {0x1.58d12d497c7fdp+0, 0x1.b98b72f8a9b05p-56},
    {0x1.5ab07dd485429p+0, 0x1.063e1e21c5409p-54},
    {0x1.5c9268a5946b7p+0, 0x1.4c7855019c6eap-60},
    {0x1.5e76f15ad2148p+0, 0x1.432e62b64c035p-54},
    {0x1.605e1b976dc09p+0, -0x1.ce44a6199769fp-55},
    {0x1.6247eb03a5585p+0, -0x1.c33c53bef4da8p-55},
    {0x1.6434634ccc320p+0, -0x1.45378892be9aep-55},
    {0x1.6623882552225p+0, -0x1.3cedd78565858p-54},
    {0x1.68155d44ca973p+0, 0x1.710aa807e1964p-58},
    {0x1.6a09e667f3bcdp+0, -0x1.3b3efbf5e2228p-54},
    {0x1.6c012750bdabfp+0, -0x1.a12ad8734b982p-57},
    {0x1.6dfb23c651a2fp+0, -0x1.367efb86da9eep-57},
    {0x1.6ff7df9519484p+0, -0x1.0dc3d54e08851p-55},
    {0x1.71f75e8ec5f74p+0, -0x1.81f647e5a3ecfp-56},
    {0x1.73f9a48a58174p+0, -0x1.6ee4ac08b7db0p-55},
    {0x1.75feb564267c9p+0, -0x1.619321e55e68ap-55},
    {0x1.780694fde5d3fp+0, 0x1.09ccb5e09d4d3p-54},
    {0x1.7a11473eb0187p+0, -0x1.b32dcb94da51dp-56},
    {0x1.7c1ed0130c132p+0, 0x1.4ecfd5467c06bp-54},
    {0x1.7e2f336cf4e62p+0, 0x1.5ebe1abd66c55p-57},
    {0x1.80427543e1a12p+0, -0x1.8a1c52fb3cf42p-55},
    {0x1.82589994cce13p+0, -0x1.369b6f13b3734p-54},
    {0x1.8471a4623c7adp+0, -0x1.05e843a19ff1ep-55},
    {0x1.868d99b4492edp+0, -0x1.4d450d872576ep-54},
    {0x1.88ac7d98a6699p+0, 0x1.0ad675b0e8a00p-54},
    {0x1.8ace5422aa0dbp+0, 0x1.db72fc1f0eab4p-55},
    {0x1.8cf3216b5448cp+0, -0x1.5b6609cc5e7ffp-57},
    {0x1.8f1ae99157736p+0, 0x1.bf68359f35f44p-56},
    {0x1.9145b0b91ffc6p+0, -0x1.3091fa71e3d83p-54},
    {0x1.93737b0cdc5e5p+0, -0x1.da9b88b6c1e29p-58},
    {0x1.95a44cbc8520fp+0, -0x1.c23f97c90b959p-57},
    {0x1.97d829fde4e50p+0, -0x1.2434322f4f9aap-54},
    {0x1.9a0f170ca07bap+0, -0x1.5ca6cd7668e4bp-55},
    {0x1.9c49182a3f090p+0, 0x1.1affc2b91ce27p-56},
    {0x1.9e86319e32323p+0, 0x1.dd235e10a73bbp-57},
    {0x1.a0c667b5de565p+0, -0x1.7c50422622263p-55},
    {0x1.a309bec4a2d33p+0, 0x1.b1c86e3e231d5p-55},
    {0x1.a5503b23e255dp+0, -0x1.1bbd1d3bcbb15p-54},
    {0x1.a799e1330b358p+0, 0x1.0cc319cee31d2p-54},
    {0x1.a9e6b5579fdbfp+0, 0x1.469846e735ab3p-55},
    {0x1.ac36bbfd3f37ap+0, -0x1.2dfcd978e9db4p-55},
    {0x1.ae89f995ad3adp+0, 0x1.c1a7792cb3387p-55},
    {0x1.b0e07298db666p+0, -0x1.07b8f4ad1d9fap-54},
    {0x1.b33a2b84f15fbp+0, -0x1.5c3d956dcaebap-58},
    {0x1.b59728de5593ap+0, -0x1.0a40e3da6f640p-54},
    {0x1.b7f76f2fb5e47p+0, -0x1.8d6f438ad9334p-57},
    {0x1.ba5b030a1064ap+0, -0x1.1eee26b588a35p-54},
    {0x1.bcc1e904bc1d2p+0, 0x1.4ffd70a5fddcdp-56},
    {0x1.bf2c25bd71e09p+0, -0x1.1bdfbfa9298acp-54},
    {0x1.c199bdd85529cp+0, 0x1.36eae30af0cb3p-56},
    {0x1.c40ab5fffd07ap+0, 0x1.ee3325c9ffd94p-55},
    {0x1.c67f12e57d14bp+0, 0x1.4e08fd10959acp-55},
    {0x1.c8f6d9406e7b5p+0, 0x1.3cdaf384e1a67p-57},
    {0x1.cb720dcef9069p+0, 0x1.76b2c6c921968p-57},
    {0x1.cdf0b555dc3fap+0, -0x1.08a1883ccb5d2p-55},
    {0x1.d072d4a07897cp+0, -0x1.fad5d3ffffa6fp-55},
    {0x1.d2f87080d89f2p+0, -0x1.00dae3875a949p-54},
    {0x1.d5818dcfba487p+0, 0x1.4a385a63d07a7p-56},
    {0x1.d80e316c98398p+0, -0x1.2919e2040220fp-55},
    {0x1.da9e603db3285p+0, 0x1.e5a50d5c192acp-55},
    {0x1.dd321f301b460p+0, 0x1.43a59ac016b4bp-55},
    {0x1.dfc97337b9b5fp+0, -0x1.2d52107b43e1fp-55},
    {0x1.e264614f5a129p+0, -0x1.92ab93b470dc9p-55},
    {0x1.e502ee78b3ff6p+0, 0x1.4b604603a88d3p-56},
    {0x1.e7a51fbc74c83p+0, 0x1.3c5ec519d7271p-55},
    {0x1.ea4afa2a490dap+0, -0x1.ff7128fd391f0p-55},
    {0x1.ecf482d8e67f1p+0, -0x1.dae98e223747dp-55},
    {0x1.efa1bee615a27p+0, 0x1.ec3bc41aa2008p-55},
    {0x1.f252b376bba97p+0, 0x1.42b94c3a9eb32p-55},
    {0x1.f50765b6e4540p+0, 0x1.a64a931d185eep-55},
    {0x1.f7bfdad9cbe14p+0, -0x1.e37bae43be3edp-55},
    {0x1.fa7c1819e90d8p+0, 0x1.7893b4d91cd9dp-56},
    {0x1.fd3c22b8f71f1p+0, 0x1.305c14160cc89p-58},
};
constexpr double kInvLn2N = 0x1.71547652b82fep+7; // 128 / ln 2
// ln2/128 in two parts; the first has 34 significant bits, so n · it is exact for |n| < 2^19.
constexpr double kLn2HiN = 0x1.62e42fef80000p-8;
constexpr double kLn2LoN = 0x1.1cf79abc9e3b4p-43;
constexpr double kShift = 0x1.8p52; // adding it rounds to an integer held in the low mantissa bits

// kExpTable[j][column] for every lane. (A gather instruction measured slower than loading the
// lanes one by one.)
inline double Lookup(int64_t j, int column) {
    return kExpTable[j][column];
}
inline VD Lookup(VI j, int column) {
    VD r;
    for (int l = 0; l < W; ++l)
        r[l] = kExpTable[j[l]][column];
    return r;
}

// e^x for -1000 <= x <= 709, within about half a unit in the last place. `bias` is added to the
// power of two and must keep it a normal number (0 for x >= -700, 512 below).
template <class D, class I> inline D ExpScaled(D x, I bias) {
    D kd = x * kInvLn2N + kShift;
    const auto n = Bits(kd) - Bits(kShift); // round(x · 128 / ln 2)
    kd = kd - kShift;
    const D r = (x - kd * kLn2HiN) - kd * kLn2LoN;
    const auto j = n & 127;
    const D s = AsDouble(Bits(Lookup(j, 0)) + ToExponent((n >> 7) + bias));
    // e^r - 1 to degree 5 plus the table's rounding error, in pairs so that the chain of
    // dependent operations stays short.
    const D r2 = r * r;
    const D p = (r + Lookup(j, 1)) + r2 * ((1.0 / 2 + r * (1.0 / 6)) + r2 * (1.0 / 24 + r * (1.0 / 120)));
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

// s[j] := Sigmoid(alpha, s[j] + t[j]) for j < m (and the padding, which holds 0 + 0).
void ActivateLayer(double* s, const double* t, int32_t m, double alpha) {
    const bool alphaOk = __builtin_fabs(alpha) < 1e150;
    const int32_t span = Span(m);
    for (int32_t j = 0; j < span; j += W) {
        const VD x = Load(s + j) + Load(t + j);
        // Every lane whose sum is ordinary takes the vector path; the rare others go one by one.
        const VI small = AsDouble(Bits(x) & INT64_MAX) < 1e150;
        const VD z = -alpha * Select(small, x, VD{});
        VD y;
        if (alphaOk && AllLanes(small & (AsDouble(Bits(z) & INT64_MAX) <= 700))) [[likely]] {
            y = 1.0 / (1.0 + ExpScaled(z, VI{}));
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

// e[i + q] := Σ_k d[k] · w[(i + q)·P + k] over increasing k < m, for the eight rows q from i; the
// rows past n get 0. Eight independent chains of additions overlap; a missing row reads row 0.
void BackSums8(const double* __restrict w, const double* __restrict d, int32_t i, int32_t n, int32_t m,
               double* __restrict e) {
    const std::size_t stride = static_cast<std::size_t>(PaddedSize(m));
    auto row = [&](int q) { return w + (i + q < n ? static_cast<std::size_t>(i + q) * stride : 0); };
    const double *r0 = row(0), *r1 = row(1), *r2 = row(2), *r3 = row(3), *r4 = row(4), *r5 = row(5), *r6 = row(6),
                 *r7 = row(7);
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
    Store8(e + i, s0, rows > 1 ? s1 : 0, rows > 2 ? s2 : 0, rows > 3 ? s3 : 0, rows > 4 ? s4 : 0, rows > 5 ? s5 : 0,
           rows > 6 ? s6 : 0, rows > 7 ? s7 : 0);
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
        // Eight rows at a time: the errors passed back through them (the input layer needs none),
        // which use the weights before this step, then their new weights, while they are in cache.
        for (int32_t i = 0; i < n; i += 8) {
            if (l > 0)
                BackSums8(L.w, d, i, n, L.m, e);
            for (int32_t r = i; r < n && r < i + 8; ++r)
                UpdateRow<false>(L.w + r * stride, L.wd + r * stride, step, L.in[r], span, mu);
        }
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
    }
    for (int32_t j = 0; j < nOut; ++j)
        sum += out[j];
    const TExampleResult result{err / 2, nOut > 0 ? sum / nOut : 0.0};
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

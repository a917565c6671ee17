#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace nirvex {

// The network columns of a category target: one output per class.
struct TClassColumns {
    int32_t First = 0;
    int32_t Count = 0;
};

// How one category target's examples of a part were answered: Counts[actual · Classes + answered].
struct TConfusion {
    int32_t Classes = 0;
    std::vector<int32_t> Counts;
    explicit TConfusion(int32_t classes = 0)
        : Classes(classes), Counts(static_cast<std::size_t>(classes) * static_cast<std::size_t>(classes)) {}
    int32_t At(int32_t actual, int32_t answered) const {
        return Counts[static_cast<std::size_t>(actual) * static_cast<std::size_t>(Classes) +
                      static_cast<std::size_t>(answered)];
    }
    int32_t Total() const;
    int32_t Right() const;
};

inline int32_t TConfusion::Total() const {
    int32_t n = 0;
    for (int32_t c : Counts)
        n += c;
    return n;
}

inline int32_t TConfusion::Right() const {
    int32_t n = 0;
    for (int32_t k = 0; k < Classes; ++k)
        n += At(k, k);
    return n;
}

// How far one number target's computed values lay from the actual ones, in the field's own units, over
// the examples of a part.
struct TUnitErrors {
    double SumSquares = 0;
    double SumAbs = 0;
    int64_t Count = 0;
    // `d` computed minus actual. One too large to square is counted as infinite, raising no flag.
    void Add(double d) {
        const double a = std::fabs(d);
        if (a != a) // an actual value missing
            return;
        ++Count;
        if (a > 1e150) {
            SumSquares = SumAbs = HUGE_VAL;
            return;
        }
        SumSquares += a * a;
        SumAbs += a;
    }
    // Another part's counts (blocks summed in their order give the same figures on any threads).
    void Add(const TUnitErrors& part) {
        SumSquares += part.SumSquares;
        SumAbs += part.SumAbs;
        Count += part.Count;
    }
    // Root mean square and mean absolute error; NaN for an empty part.
    double Rmse() const { return Count > 0 ? std::sqrt(SumSquares / static_cast<double>(Count)) : NAN; }
    double Mae() const { return Count > 0 ? SumAbs / static_cast<double>(Count) : NAN; }
};

// Statistics of one epoch; the means are sums during the passes.
struct TEpochStats {
    double TeachErrMean = 0;
    double TeachErrMax = 0;
    int32_t TeachIdentCount = 0;
    double TestErrMean = 0;
    double TestErrMax = 0;
    int32_t TestIdentCount = 0;
    // The validation part: examples of the training part that are measured, never taught. All 0
    // while the part is empty.
    double ValidErrMean = 0;
    double ValidErrMax = 0;
    int32_t ValidIdentCount = 0;
    // One per category target, in target order; empty without them.
    std::vector<TConfusion> TeachConfusion, TestConfusion;
    // One per number target, in target order; empty without them.
    std::vector<TUnitErrors> TeachUnits, TestUnits;
};

} // namespace nirvex

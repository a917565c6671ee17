#pragma once

#include <cstdint>

namespace nirvex {

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
};

} // namespace nirvex

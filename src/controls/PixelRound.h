#pragma once

#include <cmath>

namespace nirvex {

// Coordinates beyond this are off any screen; saturating keeps the int conversion defined.
inline constexpr int MaxPixelCoord = 1 << 24;

// Nearest integer, halves to the even neighbour (0.5 -> 0, 1.5 -> 2, 48.5 -> 48). Independent of
// the floating-point rounding mode; NaN gives 0 and huge values saturate at +-MaxPixelCoord.
inline int RoundHalfEven(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= MaxPixelCoord)
        return MaxPixelCoord;
    if (v <= -MaxPixelCoord)
        return -MaxPixelCoord;
    double whole = std::floor(v);
    double frac = v - whole;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return static_cast<int>(whole);
}

} // namespace nirvex

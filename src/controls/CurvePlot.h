#pragma once

#include "controls/PixelRound.h"

#include <algorithm>
#include <cmath>

namespace nirvex {

// Pixel arithmetic of the error curve: a logarithmic error axis over whole decades and a linear
// epoch axis. Plain functions, so that the picture's geometry is tested without painting.

// Decades 10^Lo .. 10^Hi covering the positive values lo..hi (Hi > Lo always).
struct TDecades {
    int Lo = -3;
    int Hi = 0;
};

inline TDecades DecadesFor(double lo, double hi) {
    if (!(lo > 0) || !(hi > 0) || !std::isfinite(lo) || !std::isfinite(hi))
        return {};
    TDecades d{static_cast<int>(std::floor(std::log10(lo))), static_cast<int>(std::ceil(std::log10(hi)))};
    d.Lo = std::clamp(d.Lo, -300, 300);
    d.Hi = std::clamp(d.Hi, -300, 300);
    if (d.Hi <= d.Lo)
        d.Hi = d.Lo + 1;
    return d;
}

// Row of a positive value between `top` (10^Hi) and `bottom` (10^Lo); values outside stay at the
// edges.
inline int ErrorRow(double v, TDecades d, int top, int bottom) {
    double t = v > 0 ? (std::log10(v) - d.Lo) / (d.Hi - d.Lo) : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return RoundHalfEven(bottom - t * (bottom - top));
}

// Column of an epoch between `left` (first) and `right` (last); a single epoch sits at `left`.
inline int EpochColumn(double epoch, double first, double last, int left, int right) {
    if (!(last > first))
        return left;
    double t = std::clamp((epoch - first) / (last - first), 0.0, 1.0);
    return RoundHalfEven(left + t * (right - left));
}

// A round tick step (1, 2 or 5 times a power of ten) giving at most `maxTicks` steps over `span`.
inline double EpochTickStep(double span, int maxTicks) {
    if (!(span > 0) || maxTicks < 1)
        return 1;
    double raw = span / maxTicks;
    double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw)
            return std::max(1.0, m * power);
    return std::max(1.0, 10 * power);
}

// Every how many decades a label fits when `rows` pixels hold the decades of `d` and a label needs
// `labelHeight` pixels.
inline int DecadeLabelStep(TDecades d, int rows, int labelHeight) {
    int decades = d.Hi - d.Lo;
    int step = 1;
    while (step < decades && rows * step < decades * labelHeight)
        ++step;
    return step;
}

} // namespace nirvex

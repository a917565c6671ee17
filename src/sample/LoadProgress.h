#pragma once

#include <exception>
#include <functional>

namespace nirvex {

// How far a long step (reading a sample, preparing examples, predicting over a file) has come:
// the fraction 0..1 of its bytes or records, reported often enough (every few milliseconds of
// work) that a receiver serving a window keeps it answering. Reports never go down, and a step
// that completes reports 1. The receiver may call the step off by raising ELoadCancelled.
using TProgressProc = std::function<void(double fraction)>;

// A long step called off by the user (closing the window while it ran). It is not a failure:
// nothing is shown, and what the step would have replaced stays as it was.
class ELoadCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// The reports of one part of a step, placed in [from, to] of the whole step's range.
inline TProgressProc ProgressPart(const TProgressProc& whole, double from, double to) {
    if (!whole)
        return {};
    return [whole, from, to](double f) { whole(from + (to - from) * (f < 0 ? 0 : f > 1 ? 1 : f)); };
}

} // namespace nirvex

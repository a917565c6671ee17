#pragma once

#include "training/TargetFigures.h"
#include "training/TrainingRun.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nirvex {

// One point of the error curve: the mean errors of one epoch or, once the curve has been
// thinned, the averages over a run of consecutive epochs ending with `Epoch`.
struct TCurvePoint {
    int32_t Epoch = 0; // as the refresh lines number it (the counter after the epoch, minus one)
    double TeachMean = 0;
    double TestMean = 0;
    double ValidMean = 0; // 0 while the run had no validation part
};

// The mean training, test and validation error of every epoch since the network was built. It keeps at most
// `capacity` merged points (plus the newest, partly filled one): when full, neighbouring pairs
// are averaged, so older epochs stay evenly spaced whatever the length of the training.
class TErrorCurve {
public:
    static constexpr std::size_t kDefaultCapacity = 4096;
    explicit TErrorCurve(std::size_t capacity = kDefaultCapacity);

    // An epoch not after the last one added means the network went back to an earlier state:
    // the points from that epoch on are dropped first.
    void Add(int32_t epoch, double teachMean, double testMean, double validMean = 0);
    void Clear();
    // Oldest first.
    std::vector<TCurvePoint> Points() const;
    bool Empty() const { return full_.empty() && pendingCount_ == 0; }
    // Epochs averaged into one full point.
    int32_t Stride() const { return stride_; }
    // The epoch whose network a run took back, shown as a mark until the next epoch is added; -1 none.
    int32_t MarkedEpoch() const { return marked_; }
    void Mark(int32_t epoch) { marked_ = epoch; }

private:
    std::size_t capacity_;
    int32_t stride_ = 1;
    int32_t marked_ = -1;
    std::vector<TCurvePoint> full_;
    int32_t pendingCount_ = 0;
    int32_t pendingEpoch_ = 0;
    double pendingTeach_ = 0, pendingTest_ = 0, pendingValid_ = 0; // sums
    void DropFrom(int32_t epoch);
};

// `nirvex-cli train --curve`: one CSV line per epoch, `epoch` the counter after it; `valid` adds the
// validation part's mean and maximum error after the recognized shares, then come the targets'
// figures in their units (CurveTargetHeader).
std::string CurveCsvHeader(bool valid = false, const std::vector<TTargetFigures>& targets = {});
std::string CurveCsvLine(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch, bool valid = false,
                         const std::vector<TTargetFigures>& targets = {});

} // namespace nirvex

#include "training/ErrorCurve.h"

#include "common/NumberText.h"

#include <algorithm>

namespace nirvex {

TErrorCurve::TErrorCurve(std::size_t capacity) : capacity_(std::max<std::size_t>(2, capacity & ~std::size_t{1})) {
    full_.reserve(capacity_);
}

void TErrorCurve::Clear() {
    full_.clear();
    stride_ = 1;
    marked_ = -1;
    pendingCount_ = 0;
    pendingTeach_ = pendingTest_ = pendingValid_ = 0;
}

void TErrorCurve::DropFrom(int32_t epoch) {
    if (pendingCount_ > 0 && pendingEpoch_ >= epoch) {
        pendingCount_ = 0;
        pendingTeach_ = pendingTest_ = pendingValid_ = 0;
    }
    while (!full_.empty() && full_.back().Epoch >= epoch)
        full_.pop_back();
}

void TErrorCurve::Add(int32_t epoch, double teachMean, double testMean, double validMean) {
    DropFrom(epoch);
    marked_ = -1;
    pendingTeach_ += teachMean;
    pendingTest_ += testMean;
    pendingValid_ += validMean;
    pendingEpoch_ = epoch;
    if (++pendingCount_ < stride_)
        return;
    full_.push_back({epoch, pendingTeach_ / stride_, pendingTest_ / stride_, pendingValid_ / stride_});
    pendingCount_ = 0;
    pendingTeach_ = pendingTest_ = pendingValid_ = 0;
    if (full_.size() < capacity_)
        return;
    for (std::size_t i = 0; i < capacity_ / 2; ++i) {
        const TCurvePoint& a = full_[2 * i];
        const TCurvePoint& b = full_[2 * i + 1];
        full_[i] = {b.Epoch, (a.TeachMean + b.TeachMean) / 2, (a.TestMean + b.TestMean) / 2,
                    (a.ValidMean + b.ValidMean) / 2};
    }
    full_.resize(capacity_ / 2);
    stride_ *= 2;
}

std::vector<TCurvePoint> TErrorCurve::Points() const {
    std::vector<TCurvePoint> points = full_;
    if (pendingCount_ > 0)
        points.push_back({pendingEpoch_, pendingTeach_ / pendingCount_, pendingTest_ / pendingCount_,
                          pendingValid_ / pendingCount_});
    return points;
}

std::string CurveCsvHeader(bool valid, const std::vector<TTargetFigures>& targets) {
    return std::string("epoch,train_mean,test_mean,train_max,test_max,train_recognized,test_recognized") +
           (valid ? ",valid_mean,valid_max" : "") + CurveTargetHeader(targets) + "\n";
}

std::string CurveCsvLine(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch, bool valid,
                         const std::vector<TTargetFigures>& targets) {
    auto share = [](int32_t ident, int32_t count) {
        return count > 0 ? FormatGeneral(static_cast<double>(ident) / count * 100, 15) : std::string("0");
    };
    return std::to_string(epoch - 1) + "," + FormatGeneral(s.TeachErrMean, 15) + "," +
           FormatGeneral(s.TestErrMean, 15) + "," + FormatGeneral(s.TeachErrMax, 15) + "," +
           FormatGeneral(s.TestErrMax, 15) + "," + share(s.TeachIdentCount, teachCount) + "," +
           share(s.TestIdentCount, testCount) +
           (valid ? "," + FormatGeneral(s.ValidErrMean, 15) + "," + FormatGeneral(s.ValidErrMax, 15) : std::string()) +
           CurveTargetCells(targets) + "\n";
}

} // namespace nirvex

// Page 3: the network's shape and the sigmoid's slope.
#include "common/Errors.h"
#include "common/NumberText.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace nirvex {

namespace {

// The slope as the page shows the network's: exact enough to give the same number back.
std::string SlopeText(double alpha) {
    return FormatExact(alpha);
}

constexpr const char* kSlopeName = "Параметр сигмоиды";

std::string LayerCellName(int32_t row) {
    return "Скрытый слой " + std::to_string(row) + ", число нейронов";
}

} // namespace

void TWizard::SetCurve(double slope) {
    for (int i = -20; i <= 20; ++i) {
        double x = i / 2.0;
        netPage_.CurveX[static_cast<std::size_t>(i + 20)] = x;
        netPage_.CurveY[static_cast<std::size_t>(i + 20)] = Sigmoid(slope, x);
    }
}

void TWizard::NetConfigShow() {
    // The page shows the slope the network has, which is what passing the page leaves it with.
    netPage_.Slope = network_.Alpha;
    netPage_.AlphaText = SlopeText(network_.Alpha);
    netPage_.TrackPos =
        std::clamp(static_cast<int32_t>(std::nearbyint(std::clamp(network_.Alpha, 0.0, 4.0) * 100)), 1, 400);
    SetCurve(network_.Alpha);
    SetHideLayerCount(network_.CountLayers() - 2);
    int32_t n = netPage_.HideLayerCount;
    int32_t layers = network_.CountLayers();
    for (int32_t i = 1; i <= n; ++i)
        if (i < layers)
            netPage_.Cells[static_cast<std::size_t>(i)] = std::to_string(network_.GetLayerSize(i));
    if (layers > 0) {
        netPage_.InputLayerText = std::to_string(network_.GetLayerSize(0));
        netPage_.OutputLayerText = std::to_string(network_.GetLayerSize(std::min(n + 1, layers - 1)));
    }
    pageChanged_ = false;
}

void TWizard::SetHideLayerCount(int32_t value) {
    value = std::clamp(value, 1, kMaxHideLayers);
    if (value != netPage_.HideLayerCount)
        HideLayerCountChanged(std::to_string(value));
}

void TWizard::HideLayerCountChanged(const std::string& text) {
    auto v = TryStrToInt(text);
    // The spin box's value: its minimum for a text that is not a whole number, clamped to range.
    netPage_.HideLayerCount = std::clamp(v ? *v : 1, 1, kMaxHideLayers);
    pageChanged_ = true;
}

void TWizard::SetLayerCell(int32_t row, const std::string& text) {
    if (row < 1 || row > kMaxHideLayers || netPage_.Cells[static_cast<std::size_t>(row)] == text)
        return;
    netPage_.Cells[static_cast<std::size_t>(row)] = text;
    pageChanged_ = true;
}

void TWizard::TrackBarChanged(int32_t position) {
    position = std::clamp(position, 1, 400);
    netPage_.AlphaText = FormatGeneral(position / 100.0, 3);
    SetCurve(position / 100.0);
    if (netPage_.Slope != position / 100.0)
        pageChanged_ = true;
    netPage_.TrackPos = position;
    netPage_.Slope = position / 100.0;
}

double TWizard::CheckedSlope() const {
    double v = ReadTypedNumber(netPage_.AlphaText, kSlopeName);
    if (v < kMinSlope || v > kMaxSlope)
        throw EError(msgAlphaRange);
    return v;
}

void TWizard::AlphaExit() {
    double v = CheckedSlope();
    netPage_.AlphaText = TypedNumberText(netPage_.AlphaText);
    auto pos = static_cast<int32_t>(std::nearbyint(v * 100)); // halves to the even neighbour
    if (pos != netPage_.TrackPos) {
        TrackBarChanged(pos);
        return;
    }
    if (v != netPage_.Slope)
        pageChanged_ = true;
    netPage_.Slope = v;
    SetCurve(v);
}

void TWizard::ApplyNetConfig() {
    ApplyNetConfig(true);
}

void TWizard::ApplyNetConfig(bool check) {
    // What the page shows is what the network gets: a slope out of range never passes, and one
    // typed without leaving the edit is a change like any other.
    double slope = check ? CheckedSlope() : ReadTypedNumber(netPage_.AlphaText, kSlopeName);
    netPage_.AlphaText = TypedNumberText(netPage_.AlphaText);
    const bool slopeShown = netPage_.AlphaText == SlopeText(network_.Alpha);
    if (!slopeShown && slope != network_.Alpha)
        pageChanged_ = true;
    if (!pageChanged_)
        return;
    // Every row is read before the network changes, so a bad row leaves it as it was.
    const int32_t n = netPage_.HideLayerCount;
    std::vector<int32_t> sizes;
    for (int32_t i = 1; i <= n; ++i)
        sizes.push_back(ReadTypedInt(netPage_.Cells[static_cast<std::size_t>(i)], LayerCellName(i)));
    network_.SetCountLayers(n + 2);
    network_.SetLayerSize(0, inputCount_);
    for (int32_t i = 1; i <= n; ++i)
        network_.SetLayerSize(i, sizes[static_cast<std::size_t>(i - 1)]);
    network_.SetLayerSize(n + 1, outputCount_);
    if (!slopeShown)
        network_.Alpha = slope;
    NetworkReplaced();
}

} // namespace nirvex

#pragma once

#include "controls/PixelRound.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>

namespace nirvex {

inline constexpr int HistoBinCount = 50;

// Bin 1..50 of an error in [0, 1): Round(x * 50) + 1, where the few errors that round to 50
// (about 0.99 up to 1) join bin 50. 0 for errors outside [0, 1).
inline int HistoBin(double x) {
    if (!(x >= 0.0 && x < 1.0))
        return 0;
    int bin = RoundHalfEven(x * HistoBinCount) + 1;
    return bin > HistoBinCount ? HistoBinCount : bin;
}

// Horizontal room per bin: the axes leave 10 pixels each side and the width is cut in 51, not 50.
inline double HistoStep(int width) {
    return (width - 20) / 51.0;
}

// Bars are drawn only when a step is wider than 2 pixels (controls wider than 122).
inline bool HistoHasBars(double step) {
    return step > 2.0;
}

// Width of one bar; a bin holds its training bar and its test bar side by side.
inline int HistoBarWidth(double step) {
    return RoundHalfEven((step - 2.0) / 2.0);
}

// Left edge of bin i (1..50).
inline int HistoBarX(int i, double step) {
    return RoundHalfEven((i - 1) * step) + 12;
}

// Top of a bar standing on y = H - 25 whose full height H - 50 means "every example of its set".
// The product is formed in integers so that (H - 50) * count / total rounds the same way every time.
inline int HistoBarTop(int height, int32_t count, int32_t total) {
    int base = height - 25;
    if (total <= 0)
        return base;
    return RoundHalfEven(base - static_cast<double>(static_cast<int64_t>(height - 50) * count) / total);
}

// Distribution of the example errors of one epoch: per bin a training bar and a test bar, each
// scaled to its own set, and red bars for errors below 0 and of 1 or more, again one per set and
// scaled to that set (the training one where a single bar stood, the test one beside it).
class THisto : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QColor HistoColor1 READ HistoColor1 WRITE SetHistoColor1)
    Q_PROPERTY(QColor HistoColor2 READ HistoColor2 WRITE SetHistoColor2)
    Q_PROPERTY(QColor AxisColor READ AxisColor WRITE SetAxisColor)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)

public:
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    // Starts with 50 random training and 50 random test errors, so a fresh control shows bars.
    explicit THisto(QWidget* parent = nullptr);

    QColor Color() const { return FColor; }
    void SetColor(const QColor& value);
    QColor HistoColor1() const { return FHistoColor1; }
    void SetHistoColor1(const QColor& value) { FHistoColor1 = value; }
    QColor HistoColor2() const { return FHistoColor2; }
    void SetHistoColor2(const QColor& value) { FHistoColor2 = value; }
    QColor AxisColor() const { return FAxisColor; }
    void SetAxisColor(const QColor& value) { FAxisColor = value; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);

    // Counts of bin i (1..50); 0 outside that range.
    int32_t TeachBins(int i) const { return ValidBin(i) ? counts_.TeachBins[i - 1] : 0; }
    int32_t TestBins(int i) const { return ValidBin(i) ? counts_.TestBins[i - 1] : 0; }
    int32_t TeachTotal() const { return counts_.TeachTotal; }
    int32_t TestTotal() const { return counts_.TestTotal; }
    // Of both sets together, and of the test set alone.
    int32_t BelowCount() const { return counts_.BelowCount; }
    int32_t AboveCount() const { return counts_.AboveCount; }
    int32_t TestBelowCount() const { return counts_.TestBelowCount; }
    int32_t TestAboveCount() const { return counts_.TestAboveCount; }

    // None of these repaint: they run once for every example of every epoch.
    void Clear();
    void AddTeachErr(double x);
    void AddTestErr(double x);
    // Draws the counts as they are now and keeps that picture on the screen, while the counts go
    // on changing, until the next call; a resize draws the same counts again at the new size.
    void PaintNow();

    QSize sizeHint() const override { return QSize(394, 195); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Everything one epoch counted.
    struct TCounts {
        std::array<int32_t, HistoBinCount> TeachBins{};
        std::array<int32_t, HistoBinCount> TestBins{};
        int32_t TeachTotal = 0;
        int32_t TestTotal = 0;
        int32_t BelowCount = 0;
        int32_t AboveCount = 0;
        int32_t TestBelowCount = 0;
        int32_t TestAboveCount = 0;
    };
    static bool ValidBin(int i) { return i >= 1 && i <= HistoBinCount; }
    void AddErr(double x, std::array<int32_t, HistoBinCount>& bins);
    void PaintBuffer(const TCounts& c);

    QImage Buffer;
    TCounts counts_; // the counts as they grow
    TCounts shown_;  // the counts the held picture shows
    bool held_ = false;
    QColor FColor;
    QColor FHistoColor1;
    QColor FHistoColor2;
    QColor FAxisColor;
    TBorderStyle FBorderStyle = bsNone;
};

} // namespace nirvex

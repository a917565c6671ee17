#pragma once

#include "controls/PixelRound.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace nirvex {

// The plot keeps a 5-pixel margin on every side: sx = W - 10, sy = H - 10.

// Position of grid line i (0..10) across a plot span s (sx or sy). The product i * s stays an
// integer so that exact halves such as 48.5 really are halves and go to the even neighbour.
inline int GraphGridLine(int i, int span) {
    return RoundHalfEven(static_cast<double>(i * span) / 10.0 + 5.0);
}

// Values outside 0..1 are drawn at the edge they passed.
inline double GraphClamp(double v) {
    return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v;
}

// Screen column of X (0 at the left margin, 1 at W - 5).
inline int GraphDotX(double x, int width) {
    return RoundHalfEven(GraphClamp(x) * (width - 10) + 5.0);
}

// Screen row of Y (0 at the bottom margin H - 5, 1 at the top margin 5).
inline int GraphDotY(double y, int height) {
    return height - RoundHalfEven(GraphClamp(y) * (height - 10) + 5.0);
}

struct TGraphPoint {
    double X = 0.0;
    double Y = 0.0;
};

// Points of the unit square as dots over a 10 x 10 grid with the diagonal as the line of
// perfect agreement.
class TGraphPanel : public QWidget {
    Q_OBJECT
    // Spelled so: the page and the project know it by this name.
    Q_PROPERTY(int PountsCount READ PountsCount WRITE SetPountsCount)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)

public:
    explicit TGraphPanel(QWidget* parent = nullptr);

    int32_t PountsCount() const { return FPountsCount; }
    // Keeps the points that remain; added points are (0, 0). A negative count is taken as 0.
    void SetPountsCount(int32_t value);
    // Colour of the dots; the background is always black.
    QColor Color() const { return FColor; }
    void SetColor(const QColor& value) { FColor = value; }

    // Store only, no repaint: called for every example of every epoch. An index outside
    // 0..PountsCount - 1 is ignored.
    void SetPointX(int32_t i, double value);
    void SetPointY(int32_t i, double value);
    TGraphPoint Point(int32_t i) const { return ValidIndex(i) ? Points[i] : TGraphPoint{}; }

    // Draws the points as they are now and keeps that picture on the screen, while the points
    // go on changing, until the next call. A resize draws the points again at the new size as they
    // stand then (during a run, the examples the epoch in progress has reached show its outputs): a
    // copy of every point at every refresh would cost as much memory as the points themselves.
    void PaintNow();

    QSize sizeHint() const override { return QSize(97, 97); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool ValidIndex(int32_t i) const { return i >= 0 && i < FPountsCount; }
    void PaintBuffer();

    std::vector<TGraphPoint> Points;
    int32_t FPountsCount = 0;
    QColor FColor = Qt::black;
    QImage Buffer;
    bool held_ = false;
};

} // namespace nirvex

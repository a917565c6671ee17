#include "controls/GraphPanel.h"

#include "controls/BufferedPaint.h"

#include <QPainter>

#include <cfenv>

namespace nirvex {

TGraphPanel::TGraphPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGraphPanel::SetPountsCount(int32_t value) {
    if (value < 0)
        value = 0;
    Points.resize(static_cast<size_t>(value));
    FPountsCount = value;
}

void TGraphPanel::SetPointX(int32_t i, double value) {
    if (ValidIndex(i) && Points[i].X != value)
        Points[i].X = value;
}

void TGraphPanel::SetPointY(int32_t i, double value) {
    if (ValidIndex(i) && Points[i].Y != value)
        Points[i].Y = value;
}

void TGraphPanel::PaintBuffer() {
    const int w = width();
    const int h = height();
    const int sx = w - 10;
    const int sy = h - 10;
    QPainter p(&Buffer);
    p.fillRect(rect(), Qt::black);
    p.setBrush(Qt::black);

    p.setPen(QPen(QColor(128, 128, 128), 0));
    for (int i = 0; i <= 10; ++i) {
        const int gx = GraphGridLine(i, sx);
        const int gy = GraphGridLine(i, sy);
        p.drawLine(gx, 5, gx, h - 5);
        p.drawLine(5, gy, w - 5, gy);
    }

    p.setPen(QPen(QColor(0, 255, 255), 0));
    p.drawLine(5, h - 5, w - 5, 5);

    p.setPen(QPen(FColor, 0));
    // A training pass plots tens of thousands of examples onto a few thousand pixels. All dots share
    // one colour, so a dot at a place already drawn sets the same pixels again: draw each place once
    // (for an opaque colour; a translucent one darkens with every repeat).
    const bool opaque = FColor.alpha() == 255;
    std::vector<bool> drawn(opaque ? static_cast<std::size_t>(w) * static_cast<std::size_t>(h) : 0);
    for (const TGraphPoint& pt : Points) {
        const int px = GraphDotX(pt.X, w);
        const int py = GraphDotY(pt.Y, h);
        if (opaque && px >= 0 && px < w && py >= 0 && py < h) {
            const std::size_t place = static_cast<std::size_t>(py) * static_cast<std::size_t>(w) + px;
            if (drawn[place])
                continue;
            drawn[place] = true;
        }
        p.drawEllipse(QRect(px - 1, py - 1, 2, 2));
    }
}

void TGraphPanel::PaintNow() {
    RenderBuffer(*this, Buffer, [this] { PaintBuffer(); });
    held_ = true;
    repaint();
}

void TGraphPanel::paintEvent(QPaintEvent*) {
    PaintHeldOrFresh(*this, Buffer, held_, [this] { PaintBuffer(); });
}

} // namespace nirvex

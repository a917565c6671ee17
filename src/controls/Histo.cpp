#include "controls/Histo.h"

#include "controls/BufferedPaint.h"

#include "common/RandomGen.h"

#include <QPainter>

#include <cfenv>

namespace nirvex {

namespace {

// Fills the pixels from (left, top) up to but not including (right, bottom); nothing when empty.
void FillSpan(QPainter& p, int left, int top, int right, int bottom, const QColor& color) {
    if (left < right && top < bottom)
        p.fillRect(QRect(left, top, right - left, bottom - top), color);
}

} // namespace

THisto::THisto(QWidget* parent)
    : QWidget(parent), Buffer(QWidget::width(), QWidget::height(), QImage::Format_RGB32),
      FColor(palette().color(QPalette::Window)), FHistoColor1(Qt::black), FHistoColor2(Qt::black),
      FAxisColor(Qt::black) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (int k = 0; k < HistoBinCount; ++k) {
        AddTeachErr(RandomFloat());
        AddTestErr(RandomFloat());
    }
}

void THisto::SetColor(const QColor& value) {
    FColor = value;
    update();
}

void THisto::SetBorderStyle(TBorderStyle value) {
    FBorderStyle = value;
    update();
}

void THisto::Clear() {
    counts_ = TCounts();
}

void THisto::AddErr(double x, std::array<int32_t, HistoBinCount>& bins) {
    if (int bin = HistoBin(x))
        ++bins[bin - 1];
    else if (x < 0.0)
        ++counts_.BelowCount;
    else if (x >= 1.0)
        ++counts_.AboveCount;
}

void THisto::AddTeachErr(double x) {
    ++counts_.TeachTotal;
    AddErr(x, counts_.TeachBins);
}

void THisto::AddTestErr(double x) {
    ++counts_.TestTotal;
    AddErr(x, counts_.TestBins);
    if (x < 0.0)
        ++counts_.TestBelowCount;
    else if (x >= 1.0)
        ++counts_.TestAboveCount;
}

void THisto::PaintBuffer(const TCounts& c) {
    const int w = width();
    const int h = height();
    const int base = h - 25;
    QPainter p(&Buffer);
    p.fillRect(rect(), FColor);

    p.setPen(QPen(FAxisColor, 0));
    p.drawLine(10, 25, 10, base);
    p.drawLine(10, base, w - 10, base);
    p.drawLine(w - 10, base, w - 10, 25);

    const double step = HistoStep(w);
    if (HistoHasBars(step)) {
        const int b = HistoBarWidth(step);
        for (int i = 1; i <= HistoBinCount; ++i) {
            const int x = HistoBarX(i, step);
            FillSpan(p, x, HistoBarTop(h, c.TeachBins[i - 1], c.TeachTotal), x + b, base, FHistoColor1);
            FillSpan(p, x + b, HistoBarTop(h, c.TestBins[i - 1], c.TestTotal), x + 2 * b, base, FHistoColor2);
        }
        // Each set's out-of-range errors are scaled by that set's total, like its regular bars.
        const int32_t teachBelow = c.BelowCount - c.TestBelowCount, teachAbove = c.AboveCount - c.TestAboveCount;
        FillSpan(p, 40 - b, HistoBarTop(h, teachBelow, c.TeachTotal), 40, base, Qt::red);
        FillSpan(p, 40, HistoBarTop(h, c.TestBelowCount, c.TestTotal), 40 + b, base, Qt::red);
        FillSpan(p, w - 40, HistoBarTop(h, teachAbove, c.TeachTotal), w - 40 + b, base, Qt::red);
        FillSpan(p, w - 40 + b, HistoBarTop(h, c.TestAboveCount, c.TestTotal), w - 40 + 2 * b, base, Qt::red);
    }

    if (FBorderStyle == bsSingle) {
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, w - 1, h - 1);
    }
}

void THisto::PaintNow() {
    shown_ = counts_;
    RenderBuffer(*this, Buffer, [this] { PaintBuffer(shown_); });
    held_ = true;
    repaint();
}

void THisto::paintEvent(QPaintEvent*) {
    PaintHeldOrFresh(*this, Buffer, held_, [this] { PaintBuffer(held_ ? shown_ : counts_); });
}

} // namespace nirvex

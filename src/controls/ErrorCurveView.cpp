#include "controls/ErrorCurveView.h"

#include "common/NumberText.h"
#include "controls/BufferedPaint.h"
#include "controls/CurvePlot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <limits>

namespace nirvex {

TErrorCurveView::TErrorCurveView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TErrorCurveView::SetColors(const QColor& background, const QColor& teach, const QColor& test, const QColor& axis) {
    background_ = background;
    teach_ = teach;
    test_ = test;
    axis_ = axis;
}

void TErrorCurveView::paintEvent(QPaintEvent*) {
    PaintThroughBuffer(*this, buffer_, [this] { PaintBuffer(); });
}

void TErrorCurveView::PaintBuffer() {
    const int w = width(), h = height();
    const int left = kLeft, right = w - kRight, top = kTop, bottom = h - kBottom;
    QPainter p(&buffer_);
    p.fillRect(rect(), background_);
    p.setFont(font());
    const QFontMetrics fm(font());
    const std::vector<TCurvePoint> points = curve_ ? curve_->Points() : std::vector<TCurvePoint>{};

    double lo = std::numeric_limits<double>::infinity(), hi = 0;
    bool anyTest = false, anyValid = false;
    for (const TCurvePoint& pt : points)
        for (double v : {pt.TeachMean, pt.TestMean, pt.ValidMean})
            if (v > 0 && std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    for (const TCurvePoint& pt : points) {
        anyTest = anyTest || pt.TestMean > 0;
        anyValid = anyValid || pt.ValidMean > 0;
    }
    const TDecades d = DecadesFor(lo, hi);
    const double first = points.empty() ? 0 : points.front().Epoch;
    const double last = points.empty() ? 1 : std::max<double>(points.back().Epoch, first + 1);

    if (right <= left + 10 || bottom <= top + 10)
        return;
    // Decade lines with their labels on the left, epoch ticks along the bottom.
    const QColor grid(70, 70, 70);
    const int labelStep = DecadeLabelStep(d, bottom - top, fm.height());
    for (int k = d.Lo; k <= d.Hi; ++k) {
        const int y = ErrorRow(std::pow(10.0, k), d, top, bottom);
        p.setPen(grid);
        p.drawLine(left, y, right, y);
        if ((k - d.Lo) % labelStep != 0)
            continue;
        p.setPen(axis_);
        const QString text = QString::fromStdString(FormatGeneral(std::pow(10.0, k), 5));
        p.drawText(QRect(0, y - fm.height() / 2, left - 4, fm.height()), Qt::AlignRight | Qt::AlignVCenter, text);
    }
    const double step = EpochTickStep(last - first, std::max(1, (right - left) / 60));
    for (double e = std::ceil(first / step) * step; e <= last; e += step) {
        const int x = EpochColumn(e, first, last, left, right);
        p.setPen(grid);
        p.drawLine(x, top, x, bottom);
        p.setPen(axis_);
        const QString text = QString::number(static_cast<qlonglong>(e));
        // centred under its tick, but kept inside the widget
        const int tw = fm.horizontalAdvance(text);
        const int tx = std::clamp(x - tw / 2, 0, w - tw - 1);
        p.drawText(QRect(tx, bottom + 2, tw + 1, fm.height()), Qt::AlignLeft | Qt::AlignTop, text);
    }
    p.setPen(axis_);
    p.drawLine(left, top, left, bottom);
    p.drawLine(left, bottom, right, bottom);
    // The epoch whose network the last run took back.
    const int32_t marked = curve_ ? curve_->MarkedEpoch() : -1;
    if (marked >= first && marked <= last) {
        const int x = EpochColumn(marked, first, last, left, right);
        p.setPen(QPen(axis_, 1, Qt::DashLine));
        p.drawLine(x, top, x, bottom);
    }

    // Lines: a value that is not positive cannot sit on the logarithmic axis and breaks the line.
    p.setRenderHint(QPainter::Antialiasing, true);
    auto line = [&](double TCurvePoint::*value, const QColor& color) {
        QPainterPath path;
        bool open = false;
        for (const TCurvePoint& pt : points) {
            const double v = pt.*value;
            if (!(v > 0) || !std::isfinite(v)) {
                open = false;
                continue;
            }
            const QPointF at(EpochColumn(pt.Epoch, first, last, left, right), ErrorRow(v, d, top, bottom));
            if (open)
                path.lineTo(at);
            else
                path.moveTo(at);
            open = true;
        }
        p.setPen(QPen(color, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        if (points.size() == 1 && open)
            p.drawEllipse(path.currentPosition(), 2, 2);
    };
    line(&TCurvePoint::TeachMean, teach_);
    line(&TCurvePoint::TestMean, test_);
    line(&TCurvePoint::ValidMean, valid_);
    p.setRenderHint(QPainter::Antialiasing, false);

    // Legend above the plot; a third line draws it tighter and from the left edge, so that it stays in
    // the left half, clear of what the page puts over the top right corner.
    int x = anyValid ? 4 : left;
    const int sample = anyValid ? 12 : 16, gap = anyValid ? 8 : 14;
    auto legend = [&](const QColor& color, const QString& text) {
        const int y = top / 2;
        p.setPen(QPen(color, 2));
        p.drawLine(x, y, x + sample, y);
        p.setPen(axis_);
        p.drawText(QRect(x + sample + 4, 0, fm.horizontalAdvance(text) + 2, top), Qt::AlignLeft | Qt::AlignVCenter,
                   text);
        x += sample + 4 + fm.horizontalAdvance(text) + gap;
    };
    legend(teach_, QString::fromUtf8("обучение"));
    if (anyTest || points.empty())
        legend(test_, QString::fromUtf8("тест"));
    if (anyValid)
        legend(valid_, QString::fromUtf8("контр."));
    if (points.empty()) {
        p.setPen(axis_);
        p.drawText(QRect(left, top, right - left, bottom - top), Qt::AlignCenter,
                   QString::fromUtf8("Кривая ошибки появится после первой эпохи"));
    }
}

} // namespace nirvex

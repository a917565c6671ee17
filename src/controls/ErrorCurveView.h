#pragma once

#include "training/ErrorCurve.h"

#include <QColor>
#include <QImage>
#include <QWidget>

namespace nirvex {

// The mean training, test and (when a run had one) validation error per epoch on a logarithmic
// error axis, each line labelled.
// It paints the curve it is given whenever it is repainted; the training page repaints it only
// at its refreshes.
class TErrorCurveView : public QWidget {
    Q_OBJECT

public:
    explicit TErrorCurveView(QWidget* parent = nullptr);

    void SetCurve(const TErrorCurve* curve) { curve_ = curve; }
    void SetColors(const QColor& background, const QColor& teach, const QColor& test, const QColor& axis);

    // Margins of the plot inside the widget.
    static constexpr int kLeft = 46, kRight = 10, kTop = 24, kBottom = 18;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintBuffer();
    const TErrorCurve* curve_ = nullptr;
    QColor background_ = Qt::black, teach_ = QColor(0, 255, 0), test_ = QColor(255, 0, 0), axis_ = Qt::white;
    QColor valid_ = QColor(255, 255, 0);
    QImage buffer_;
};

} // namespace nirvex

#include "controls/ConfusionView.h"

#include <QPainter>

#include <algorithm>

namespace nirvex {

TConfusionView::TConfusionView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TConfusionView::SetMatrices(const std::string& field, const std::vector<std::string>& classes,
                                 const TConfusion& teach, const TConfusion& test) {
    field_ = QString::fromStdString(field);
    classes_.clear();
    for (const std::string& c : classes)
        classes_.push_back(QString::fromStdString(c));
    teach_ = teach;
    test_ = test;
    update();
}

void TConfusionView::Clear() {
    field_.clear();
    classes_.clear();
    teach_ = test_ = TConfusion();
    update();
}

void TConfusionView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.setPen(Qt::white);
    const QFontMetrics fm(font());
    if (classes_.empty() || teach_.Classes != static_cast<int32_t>(classes_.size())) {
        p.drawText(rect(), Qt::AlignCenter, QString::fromUtf8("Матрица ошибок появится после обучения"));
        return;
    }
    p.drawText(QRect(4, 2, width() - 8, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
               field_ + QString::fromUtf8(": строки - факт, столбцы - ответ"));
    const int top = fm.height() + 6;
    const int half = width() / 2;
    PaintMatrix(p, QRect(4, top, half - 8, height() - top - 2), QString::fromUtf8("Обучение"), teach_);
    PaintMatrix(p, QRect(half + 4, top, half - 8, height() - top - 2), QString::fromUtf8("Тест"), test_);
}

void TConfusionView::PaintMatrix(QPainter& p, const QRect& area, const QString& title, const TConfusion& m) const {
    const QFontMetrics fm(font());
    const int right = m.Right(), total = m.Total();
    const QString accuracy = total > 0 ? QString::number(100.0 * right / total, 'f', 1) + QStringLiteral(" %") : "-";
    p.setPen(Qt::white);
    p.drawText(QRect(area.left(), area.top(), area.width(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
               title + QString::fromUtf8(": верно ") + accuracy);
    const int n = m.Classes;
    // Row labels take what the widest name needs, up to a third of the area.
    int labelWidth = 0;
    for (const QString& c : classes_)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(c) + 4);
    labelWidth = std::min(labelWidth, area.width() / 3);
    const int gridTop = area.top() + fm.height() + 2 + fm.height();
    const int cell =
        std::max(1, std::min((area.width() - labelWidth) / std::max(n, 1), (area.bottom() - gridTop) / std::max(n, 1)));
    const int left = area.left() + labelWidth;
    for (int k = 0; k < n; ++k) {
        const QString name = classes_[static_cast<std::size_t>(k)];
        p.setPen(Qt::white);
        p.drawText(QRect(area.left(), gridTop + k * cell, labelWidth - 2, cell), Qt::AlignRight | Qt::AlignVCenter,
                   fm.elidedText(name, Qt::ElideRight, labelWidth - 2));
        p.drawText(QRect(left + k * cell, gridTop - fm.height(), cell, fm.height()), Qt::AlignCenter,
                   fm.elidedText(name, Qt::ElideRight, cell));
    }
    for (int a = 0; a < n; ++a) {
        int rowTotal = 0;
        for (int b = 0; b < n; ++b)
            rowTotal += m.At(a, b);
        for (int b = 0; b < n; ++b) {
            const int count = m.At(a, b);
            const double share = rowTotal > 0 ? static_cast<double>(count) / rowTotal : 0.0;
            const int level = static_cast<int>(40 + 160 * share);
            const QColor fill = count == 0 ? QColor(24, 24, 24) : a == b ? QColor(0, level, 0) : QColor(level, 0, 0);
            const QRect r(left + b * cell, gridTop + a * cell, cell - 1, cell - 1);
            p.fillRect(r, fill);
            p.setPen(Qt::white);
            p.drawText(r, Qt::AlignCenter, QString::number(count));
        }
    }
}

} // namespace nirvex

#include "controls/TargetFiguresView.h"

#include "controls/BufferedPaint.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace nirvex {

namespace {

const QColor kTeachColor(0, 255, 0), kTestColor(255, 90, 90), kGridColor(70, 70, 70);

QString Figure(double value) {
    return QString::fromStdString(FormatFigure(value));
}

QString Percent(double value) {
    return value == value ? Figure(value) + " %" : Figure(value);
}

struct TLine {
    QString Field, Measure, Teach, Test;
};

// The table's lines: the field's name on its first line only.
std::vector<TLine> Lines(const std::vector<TTargetFigures>& figures) {
    std::vector<TLine> lines;
    for (const TTargetFigures& t : figures) {
        if (t.Teach.Count == 0 && t.Test.Count == 0) // nothing measured yet
            continue;
        const QString name = QString::fromStdString(t.Field);
        if (t.Category) {
            lines.push_back({name, QString::fromUtf8("верно"), Percent(t.Teach.Accuracy), Percent(t.Test.Accuracy)});
            continue;
        }
        lines.push_back({name, QString::fromUtf8("СКО"), Figure(t.Teach.Rmse), Figure(t.Test.Rmse)});
        lines.push_back({QString(), QString::fromUtf8("ср. абс. ошибка"), Figure(t.Teach.Mae), Figure(t.Test.Mae)});
    }
    return lines;
}

} // namespace

TTargetFiguresView::TTargetFiguresView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TTargetFiguresView::SetFigures(std::vector<TTargetFigures> figures) {
    figures_ = std::move(figures);
    update();
}

std::vector<TTargetFiguresView::TRow> TTargetFiguresView::Rows() const {
    const std::vector<TLine> lines = Lines(figures_);
    std::vector<TRow> rows;
    const QFontMetrics fm(font());
    const int rowHeight = fm.height() + 4;
    const int width = this->width() - kLeft - kRight;
    // The header takes the first row; the figures share what the two text columns leave.
    int room = (height() - kTop - kBottom) / rowHeight - 1;
    if (static_cast<int>(lines.size()) > room)
        --room; // the last row says how many more there are
    int fieldWidth = 0, measureWidth = 0;
    for (const TLine& l : lines) {
        fieldWidth = std::max(fieldWidth, fm.horizontalAdvance(l.Field) + 12); // 2 of them: the advance is rounded
        measureWidth = std::max(measureWidth, fm.horizontalAdvance(l.Measure) + 8);
    }
    fieldWidth = std::min(fieldWidth, width / 3);
    const int figureWidth = std::max(0, (width - fieldWidth - measureWidth) / 2);
    const int measureLeft = kLeft + fieldWidth, teachLeft = measureLeft + measureWidth;
    for (std::size_t i = 0; i < lines.size() && static_cast<int>(i) < room; ++i) {
        const int y = kTop + (static_cast<int>(i) + 1) * rowHeight;
        const TLine& l = lines[i];
        rows.push_back({l.Field, l.Measure, l.Teach, l.Test, QRect(kLeft, y, fieldWidth, rowHeight),
                        QRect(measureLeft, y, measureWidth, rowHeight), QRect(teachLeft, y, figureWidth, rowHeight),
                        QRect(teachLeft + figureWidth, y, figureWidth, rowHeight)});
    }
    return rows;
}

void TTargetFiguresView::paintEvent(QPaintEvent*) {
    PaintThroughBuffer(*this, buffer_, [this] { PaintBuffer(); });
}

void TTargetFiguresView::PaintBuffer() {
    QPainter p(&buffer_);
    p.fillRect(buffer_.rect(), Qt::black);
    p.setFont(font());
    const QFontMetrics fm(font());
    p.setPen(Qt::white);
    p.drawText(QRect(kLeft, 3, width() - kLeft - kRight, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("Ошибки в единицах полей"));
    const std::vector<TRow> rows = Rows();
    if (rows.empty()) {
        p.drawText(rect().adjusted(kLeft, kTop, -kRight, -kBottom), Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromUtf8("Ошибки в единицах полей появятся после первой эпохи обучения"));
        return;
    }
    const int rowHeight = rows.front().FieldCell.height();
    const int top = rows.front().FieldCell.top() - rowHeight;
    const QRect teachHead(rows.front().TeachCell.left(), top, rows.front().TeachCell.width(), rowHeight);
    const QRect testHead(rows.front().TestCell.left(), top, rows.front().TestCell.width(), rowHeight);
    p.setPen(kTeachColor);
    p.drawText(teachHead.adjusted(0, 0, -8, 0), Qt::AlignRight | Qt::AlignVCenter, QString::fromUtf8("Обучение"));
    p.setPen(kTestColor);
    p.drawText(testHead.adjusted(0, 0, -8, 0), Qt::AlignRight | Qt::AlignVCenter, QString::fromUtf8("Тест"));
    for (const TRow& r : rows) {
        if (!r.Field.isEmpty()) { // a target's first line: a rule above it
            p.setPen(kGridColor);
            p.drawLine(kLeft, r.FieldCell.top(), r.TestCell.right(), r.FieldCell.top());
        }
        p.setPen(Qt::white);
        p.drawText(r.FieldCell, Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(r.Field, Qt::ElideRight, r.FieldCell.width() - 8));
        p.setPen(QColor(190, 190, 190));
        p.drawText(r.MeasureCell, Qt::AlignLeft | Qt::AlignVCenter, r.Measure);
        p.setPen(kTeachColor);
        p.drawText(r.TeachCell.adjusted(0, 0, -8, 0), Qt::AlignRight | Qt::AlignVCenter, r.Teach);
        p.setPen(kTestColor);
        p.drawText(r.TestCell.adjusted(0, 0, -8, 0), Qt::AlignRight | Qt::AlignVCenter, r.Test);
    }
    const std::size_t shown = rows.size(), all = Lines(figures_).size();
    if (shown < all) {
        p.setPen(Qt::white);
        p.drawText(QRect(kLeft, rows.back().FieldCell.bottom() + 1, width() - kLeft - kRight, rowHeight),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8("… ещё строк: %1 (окно можно увеличить)").arg(all - shown));
    }
}

} // namespace nirvex

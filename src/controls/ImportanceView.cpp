#include "controls/ImportanceView.h"

#include "controls/BufferedPaint.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace nirvex {

namespace {

QString ShareText(double share) {
    return QString::fromStdString(FormatImportanceShare(share));
}

} // namespace

TImportanceView::TImportanceView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TImportanceView::SetColors(const QColor& background, const QColor& bar, const QColor& text) {
    background_ = background;
    bar_ = bar;
    text_ = text;
}

std::vector<TImportanceView::TRow> TImportanceView::Rows() const {
    std::vector<TRow> rows;
    const TImportance* m = Shown();
    if (!m || m->Fields.empty())
        return rows;
    const QFontMetrics fm(font());
    const int top = kTop, bottom = height() - kBottom, left = kLeft, right = width() - kRight;
    const int minRow = fm.height() + 2;
    const int count = std::min<int>(static_cast<int>(m->Fields.size()), std::max(0, (bottom - top) / minRow));
    if (count == 0)
        return rows;
    const int rowHeight = std::min((bottom - top) / count, 2 * fm.height());
    int nameWidth = 0, shareWidth = 0;
    for (int i = 0; i < count; ++i) {
        const TFieldImportance& f = m->Fields[static_cast<std::size_t>(i)];
        nameWidth = std::max(nameWidth, fm.horizontalAdvance(QString::fromStdString(f.Field)));
        shareWidth = std::max(shareWidth, fm.horizontalAdvance(ShareText(f.Share)));
    }
    nameWidth = std::min(nameWidth + 2, (right - left) * 2 / 5); // 2: the advance is rounded
    const int barLeft = left + nameWidth + 6;
    const int barRoom = std::max(0, right - shareWidth - 4 - barLeft);
    for (int i = 0; i < count; ++i) {
        const TFieldImportance& f = m->Fields[static_cast<std::size_t>(i)];
        const int y = top + i * rowHeight;
        TRow row{i, QRect(left, y, nameWidth, rowHeight), QRect(), QRect()};
        const int length =
            f.Share > 0 ? std::max(1, static_cast<int>(std::lround(barRoom * std::min(f.Share, 100.0) / 100))) : 0;
        const int barHeight = std::max(3, rowHeight - 4);
        if (length > 0)
            row.Bar = QRect(barLeft, y + (rowHeight - barHeight) / 2, length, barHeight);
        row.Share = QRect(barLeft + length + 4, y, shareWidth, rowHeight);
        rows.push_back(row);
    }
    return rows;
}

void TImportanceView::paintEvent(QPaintEvent*) {
    PaintThroughBuffer(*this, buffer_, [this] { PaintBuffer(); });
}

void TImportanceView::PaintBuffer() {
    QPainter p(&buffer_);
    p.fillRect(buffer_.rect(), background_);
    p.setFont(font());
    const QFontMetrics fm(font());
    const TImportance* m = Shown();
    const QRect plot(kLeft, kTop, width() - kLeft - kRight, height() - kTop - kBottom);
    p.setPen(text_);
    if (!m) {
        p.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromUtf8("Значимость входов появится по окончании обучения"));
        return;
    }
    const std::vector<TRow> rows = Rows();
    if (!rows.empty()) {
        const int axis = rows.front().Name.right() + 5;
        p.setPen(QColor(110, 110, 110));
        p.drawLine(axis, rows.front().Name.top(), axis, rows.back().Name.bottom());
    }
    for (const TRow& row : rows) {
        const TFieldImportance& f = m->Fields[static_cast<std::size_t>(row.Field)];
        p.setPen(text_);
        p.drawText(row.Name, Qt::AlignRight | Qt::AlignVCenter,
                   fm.elidedText(QString::fromStdString(f.Field), Qt::ElideRight, row.Name.width()));
        if (!row.Bar.isEmpty())
            p.fillRect(row.Bar, bar_);
        p.drawText(row.Share, Qt::AlignLeft | Qt::AlignVCenter, ShareText(f.Share));
    }
    QString note = QString::fromUtf8("Рост ошибки при перемешивании: %1, записей: %2")
                       .arg(QString::fromUtf8(SamplePartName(m->Part)))
                       .arg(m->RecordCount);
    if (rows.size() < m->Fields.size())
        note += QString::fromUtf8("; показано %1 из %2").arg(rows.size()).arg(m->Fields.size());
    p.setPen(text_);
    p.drawText(QRect(kLeft, height() - kBottom, width() - kLeft - kRight, kBottom), Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(note, Qt::ElideRight, width() - kLeft - kRight));
}

} // namespace nirvex

#include "ui/PageControls.h"

#include <QPainter>
#include <QWidget>

namespace nirvex {

void TGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QRect r = opt.rect;
    const QVariant fill = index.data(Qt::BackgroundRole);
    const bool selected = (opt.state & QStyle::State_Selected) && !fill.isValid();
    const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    if (fill.isValid())
        painter->fillRect(r, fill.value<QBrush>());
    else if (selected)
        painter->fillRect(r, opt.palette.brush(group, QPalette::Highlight));
    painter->setClipRect(r);
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect textRect = r.adjusted(2, 0, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      ShownText(QFontMetrics(opt.font), opt.text, textRect.width()));
    if (opt.state & QStyle::State_HasFocus)
        DrawFocusFrame(painter, r, painter->pen().color());
    painter->restore();
}

void DrawFocusFrame(QPainter* painter, const QRect& rect, const QColor& color) {
    painter->save();
    painter->setClipping(false);
    painter->setPen(QPen(color, 1, Qt::DotLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

QString TGridDelegate::ShownText(const QFontMetrics& metrics, const QString& text, int width) const {
    return elide_ ? metrics.elidedText(text, Qt::ElideRight, width) : text;
}

int TGridDelegate::CellWidthFor(const QFontMetrics& metrics, const QString& text) {
    return metrics.horizontalAdvance(text) + 6; // the 2-pixel indent, the grid line and some air
}

void CondenseFont(QWidget* w) {
    QFont f = w->font();
    f.setStretch(QFont::SemiCondensed);
    w->setFont(f);
}

void FitCaption(QWidget* w, int room) {
    for (int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
        if (w->sizeHint().width() <= room)
            return;
        QFont f = w->font();
        f.setStretch(stretch);
        w->setFont(f);
    }
}

} // namespace nirvex

#include "PageControls.h"

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
    painter->drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, opt.text);
    painter->restore();
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

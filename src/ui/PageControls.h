#pragma once

#include <QStyledItemDelegate>

class QWidget;

namespace nirvex {

// Cells of the pages' string grids as the system draws them: the text 2 pixels from the cell's
// left edge, clipped by the cell and never shortened with an ellipsis, fixed cells (those with a
// background of their own) in that colour.
class TGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The controls keep the system's pixel positions, which were laid out for a narrower font: a
// caption wider than `room` pixels is set in the condensed cut of its font so that it fits.
void FitCaption(QWidget* w, int room);

// The grids' columns were sized for that narrower font too: their text is set condensed, so a
// 5-digit error or a 15-digit result fits its column.
void CondenseFont(QWidget* w);

} // namespace nirvex

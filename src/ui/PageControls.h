#pragma once

#include <QStyledItemDelegate>

class QWidget;

namespace nirvex {

// Cells of the pages' string grids as the system draws them: the text 2 pixels from the cell's
// left edge, clipped by the cell, fixed cells (those with a background of their own) in that
// colour. With `elide`, a text wider than its cell ends in "…" instead of being cut.
class TGridDelegate : public QStyledItemDelegate {
public:
    explicit TGridDelegate(QObject* parent, bool elide = false) : QStyledItemDelegate(parent), elide_(elide) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The text as a cell `width` pixels wide shows it.
    QString ShownText(const QFontMetrics& metrics, const QString& text, int width) const;
    // Pixels a cell needs to show `text` whole.
    static int CellWidthFor(const QFontMetrics& metrics, const QString& text);

private:
    bool elide_;
};

// The dotted frame of the item that has the keyboard focus in a list or grid drawn by our delegates.
void DrawFocusFrame(QPainter* painter, const QRect& rect, const QColor& color);

// The controls keep the system's pixel positions, which were laid out for a narrower font: a
// caption wider than `room` pixels is set in the condensed cut of its font so that it fits.
void FitCaption(QWidget* w, int room);

// The grids' columns were sized for that narrower font too: their text is set condensed, so a
// 5-digit error or a 15-digit result fits its column.
void CondenseFont(QWidget* w);

} // namespace nirvex

#pragma once

#include "training/TargetFigures.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <vector>

namespace nirvex {

// Each target's errors in its own units as a table on the picture's background: a row per measure
// (root mean square and mean absolute error of a number target, the share answered right of a
// category target), a column for the training part and one for the test part, in the colours the
// histogram gives them.
class TTargetFiguresView : public QWidget {
    Q_OBJECT

public:
    explicit TTargetFiguresView(QWidget* parent = nullptr);

    // Empty parts show as "—"; no targets at all shows what will come.
    void SetFigures(std::vector<TTargetFigures> figures);
    const std::vector<TTargetFigures>& Figures() const { return figures_; }

    // Margins: the top band stays free for the page's switch.
    static constexpr int kLeft = 6, kRight = 8, kTop = 24, kBottom = 4;

    // One table row: its cells' places and texts. Rows that would not fit the height are left out.
    struct TRow {
        QString Field, Measure, Teach, Test;
        QRect FieldCell, MeasureCell, TeachCell, TestCell;
    };
    std::vector<TRow> Rows() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintBuffer();
    std::vector<TTargetFigures> figures_;
    QImage buffer_;
};

} // namespace nirvex

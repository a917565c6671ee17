#pragma once

#include "training/EpochStats.h"

#include <QWidget>

#include <string>
#include <vector>

namespace nirvex {

// How a category target's examples were answered: one matrix for the training part and one for the
// test part, a row per actual class and a column per answered class, right answers on the diagonal
// in green, wrong ones in red, both deeper the larger their share of the row.
class TConfusionView : public QWidget {
    Q_OBJECT

public:
    explicit TConfusionView(QWidget* parent = nullptr);

    // The target's name and classes, and its counts at the last refresh (empty: nothing to show).
    void SetMatrices(const std::string& field, const std::vector<std::string>& classes, const TConfusion& teach,
                     const TConfusion& test);
    void Clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintMatrix(class QPainter& p, const QRect& area, const QString& title, const TConfusion& m) const;

    QString field_;
    std::vector<QString> classes_;
    TConfusion teach_, test_;
};

} // namespace nirvex

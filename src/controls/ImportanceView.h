#pragma once

#include "training/Importance.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>

#include <optional>
#include <vector>

namespace nirvex {

// The inputs' importance as horizontal bars, most important first: each row the field's name, a bar
// as long as its share of the largest increase, and the share. A field that does not help (a share
// of 0 or below) has no bar, only its figure. The line under the bars names the part measured.
class TImportanceView : public QWidget {
    Q_OBJECT

public:
    explicit TImportanceView(QWidget* parent = nullptr);

    // The model's measurement, read at every repaint; empty shows what will come.
    void SetImportance(const std::optional<TImportance>* importance) { importance_ = importance; }
    void SetColors(const QColor& background, const QColor& bar, const QColor& text);

    // Margins: the top band stays free for the page's switch.
    static constexpr int kLeft = 6, kRight = 8, kTop = 24, kBottom = 18;

    // Where the row of Fields[Field] goes; rows that would not fit the height are left out.
    struct TRow {
        int Field;
        QRect Name, Bar, Share; // Bar is empty for a share of 0 or below
    };
    std::vector<TRow> Rows() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintBuffer();
    const TImportance* Shown() const { return importance_ && *importance_ ? &**importance_ : nullptr; }
    const std::optional<TImportance>* importance_ = nullptr;
    QColor background_ = Qt::black, bar_ = QColor(0, 190, 255), text_ = Qt::white;
    QImage buffer_;
};

} // namespace nirvex

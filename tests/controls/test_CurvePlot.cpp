#include "controls/CurvePlot.h"
#include "controls/ErrorCurveView.h"

#include <QImage>

#include <cstdlib>

#include <gtest/gtest.h>

namespace nirvex {
namespace {

TEST(CurvePlot, DecadesCoverTheValues) {
    struct {
        double lo, hi;
        int wantLo, wantHi;
    } cases[] = {
        {0.0034, 0.12, -3, 0}, {0.01, 0.1, -2, -1}, {0.05, 0.05, -2, -1},
        {2e-7, 3, -7, 1},      {0, 1, -3, 0}, // nothing positive: a default
    };
    for (const auto& c : cases) {
        TDecades d = DecadesFor(c.lo, c.hi);
        EXPECT_EQ(d.Lo, c.wantLo) << c.lo;
        EXPECT_EQ(d.Hi, c.wantHi) << c.hi;
    }
}

TEST(CurvePlot, ErrorRowsAreLogarithmicAndClamped) {
    const TDecades d{-3, 0}; // 0.001 at the bottom (row 100), 1 at the top (row 10)
    EXPECT_EQ(ErrorRow(1, d, 10, 100), 10);
    EXPECT_EQ(ErrorRow(0.001, d, 10, 100), 100);
    EXPECT_EQ(ErrorRow(0.01, d, 10, 100), 70);
    EXPECT_EQ(ErrorRow(0.1, d, 10, 100), 40);
    EXPECT_EQ(ErrorRow(std::sqrt(0.1), d, 10, 100), 25); // half a decade below the top: 15 rows
    EXPECT_EQ(ErrorRow(50, d, 10, 100), 10);
    EXPECT_EQ(ErrorRow(1e-9, d, 10, 100), 100);
    EXPECT_EQ(ErrorRow(0, d, 10, 100), 100);
}

TEST(CurvePlot, EpochColumnsAndTicks) {
    EXPECT_EQ(EpochColumn(0, 0, 100, 46, 384), 46);
    EXPECT_EQ(EpochColumn(100, 0, 100, 46, 384), 384);
    EXPECT_EQ(EpochColumn(50, 0, 100, 46, 384), 215);
    EXPECT_EQ(EpochColumn(7, 7, 7, 46, 384), 46); // one epoch
    EXPECT_EQ(EpochColumn(200, 0, 100, 46, 384), 384);
    EXPECT_EQ(EpochTickStep(1000, 5), 200);
    EXPECT_EQ(EpochTickStep(30, 5), 10);
    EXPECT_EQ(EpochTickStep(3, 5), 1); // never below one epoch
    EXPECT_EQ(EpochTickStep(99999, 5), 20000);
    EXPECT_EQ(DecadeLabelStep({-3, 0}, 150, 13), 1);
    EXPECT_EQ(DecadeLabelStep({-12, 0}, 100, 13), 2);
}

// A falling training error: its line is high at the left and low at the right.
TEST(ErrorCurveView, PaintsTheLinesWhereTheArithmeticPutsThem) {
    TErrorCurve curve;
    for (int32_t e = 0; e <= 100; ++e)
        curve.Add(e, 0.1 / (1 + e), 0);
    TErrorCurveView view;
    view.SetCurve(&curve);
    view.resize(394, 195);
    QImage img = view.grab().toImage();
    if (const char* keep = std::getenv("NIRVEX_KEEP_PICTURES"))
        img.save(QString::fromLocal8Bit(keep) + "/curve.png");
    const int top = TErrorCurveView::kTop, bottom = 195 - TErrorCurveView::kBottom;
    const int right = 394 - TErrorCurveView::kRight;
    const TDecades d = DecadesFor(0.1 / 101, 0.1);
    auto limeNear = [&](int x, int y) {
        for (int dy = -2; dy <= 2; ++dy) {
            QColor c = img.pixelColor(x, y + dy);
            if (c.green() > 150 && c.red() < 100)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(limeNear(EpochColumn(10, 0, 100, TErrorCurveView::kLeft, right), ErrorRow(0.1 / 11, d, top, bottom)));
    EXPECT_TRUE(limeNear(EpochColumn(50, 0, 100, TErrorCurveView::kLeft, right), ErrorRow(0.1 / 51, d, top, bottom)));
    EXPECT_TRUE(limeNear(EpochColumn(98, 0, 100, TErrorCurveView::kLeft, right), ErrorRow(0.1 / 99, d, top, bottom)));
    EXPECT_FALSE(limeNear(EpochColumn(98, 0, 100, TErrorCurveView::kLeft, right), ErrorRow(0.1 / 50, d, top, bottom)));
    // A test error of 0 has no place on the axis: no red line.
    int red = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = TErrorCurveView::kLeft + 1; x < right; ++x) {
            QColor c = img.pixelColor(x, y);
            red += c.red() > 150 && c.green() < 100;
        }
    EXPECT_EQ(red, 0);
}

} // namespace
} // namespace nirvex

#include "controls/GraphPanel.h"

#include "PaintCounter.h"
#include <QCoreApplication>
#include <QEvent>
#include <QImage>

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <vector>

namespace nirvex {
namespace {

using test::PaintCounter;

constexpr QRgb Black = 0xff000000;
constexpr QRgb Grey = 0xff808080;
constexpr QRgb Aqua = 0xff00ffff;
constexpr QRgb Lime = 0xff00ff00;

// The training page's panel: 97 x 97, lime dots.
class GraphPaint : public testing::Test {
protected:
    GraphPaint() {
        Panel.resize(97, 97);
        Panel.SetColor(Qt::green);
    }
    QImage Render() { return Panel.grab().toImage(); }
    // The dot is a tiny ellipse around (px, py): its four neighbours carry the pen colour.
    static void ExpectDotAt(const QImage& img, int px, int py, QRgb colour) {
        EXPECT_EQ(colour, img.pixel(px - 1, py)) << px << "," << py;
        EXPECT_EQ(colour, img.pixel(px + 1, py)) << px << "," << py;
        EXPECT_EQ(colour, img.pixel(px, py - 1)) << px << "," << py;
        EXPECT_EQ(colour, img.pixel(px, py + 1)) << px << "," << py;
    }
    TGraphPanel Panel;
};

TEST(GraphGeometry, GridLinesOfTheTrainingPagePanel) {
    const std::vector<int> expected{5, 14, 22, 31, 40, 48, 57, 66, 75, 83, 92};
    for (int i = 0; i <= 10; ++i)
        EXPECT_EQ(expected[i], GraphGridLine(i, 97 - 10)) << i;
}

TEST(GraphGeometry, CentreOfTheSquare) {
    // 0.5 * 87 + 5 = 48.5 rounds to the even 48 both ways; rows count from the top.
    EXPECT_EQ(48, GraphDotX(0.5, 97));
    EXPECT_EQ(49, GraphDotY(0.5, 97));
}

TEST(GraphGeometry, CornersOfTheSquareMeetTheMargins) {
    EXPECT_EQ(5, GraphDotX(0.0, 97));
    EXPECT_EQ(92, GraphDotX(1.0, 97));
    EXPECT_EQ(92, GraphDotY(0.0, 97));
    EXPECT_EQ(5, GraphDotY(1.0, 97));
    EXPECT_EQ(195, GraphDotX(1.0, 200));
    EXPECT_EQ(45, GraphDotY(0.0, 50));
}

TEST(GraphGeometry, ValuesOutsideTheSquareSitAtItsEdge) {
    EXPECT_EQ(GraphDotX(-0.5, 97), 5);
    EXPECT_EQ(GraphDotY(-0.5, 97), 92);
    EXPECT_EQ(GraphDotX(1e300, 97), 92);
    EXPECT_EQ(GraphDotY(1.5, 97), 5);
}

TEST(GraphPoints, DefaultsOfANewPanel) {
    TGraphPanel panel;
    EXPECT_EQ(0, panel.PountsCount());
    EXPECT_EQ(QColor(Qt::black), panel.Color());
    EXPECT_EQ(QSize(97, 97), panel.sizeHint());
}

TEST(GraphPoints, ShrinkingKeepsTheFirstPoints) {
    TGraphPanel panel;
    panel.SetPountsCount(3);
    for (int i = 0; i < 3; ++i) {
        panel.SetPointX(i, 0.1 * (i + 1));
        panel.SetPointY(i, 0.2 * (i + 1));
    }
    panel.SetPountsCount(2);
    EXPECT_EQ(2, panel.PountsCount());
    EXPECT_DOUBLE_EQ(0.1, panel.Point(0).X);
    EXPECT_DOUBLE_EQ(0.4, panel.Point(1).Y);
}

TEST(GraphPoints, GrowingAddsPointsAtTheOrigin) {
    TGraphPanel panel;
    panel.SetPountsCount(3);
    for (int i = 0; i < 3; ++i) {
        panel.SetPointX(i, 0.7);
        panel.SetPointY(i, 0.9);
    }
    panel.SetPountsCount(1);
    panel.SetPountsCount(4);
    EXPECT_EQ(4, panel.PountsCount());
    EXPECT_DOUBLE_EQ(0.7, panel.Point(0).X);
    EXPECT_DOUBLE_EQ(0.9, panel.Point(0).Y);
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(0.0, panel.Point(i).X) << i;
        EXPECT_EQ(0.0, panel.Point(i).Y) << i;
    }
}

TEST(GraphPoints, NegativeCountMeansNoPoints) {
    TGraphPanel panel;
    panel.SetPountsCount(2);
    panel.SetPountsCount(-5);
    EXPECT_EQ(0, panel.PountsCount());
}

TEST(GraphPoints, IndexOutsideThePointsIsIgnored) {
    TGraphPanel panel;
    panel.SetPountsCount(1);
    panel.SetPointX(1, 0.5);
    panel.SetPointY(-1, 0.5);
    panel.SetPointX(0, 0.25);
    EXPECT_DOUBLE_EQ(0.25, panel.Point(0).X);
    EXPECT_EQ(0.0, panel.Point(0).Y);
    EXPECT_EQ(0.0, panel.Point(1).X);
}

TEST(GraphPoints, PropertiesReachableByName) {
    TGraphPanel panel;
    EXPECT_TRUE(panel.setProperty("PountsCount", 5));
    EXPECT_TRUE(panel.setProperty("Color", QColor(Qt::red)));
    EXPECT_EQ(5, panel.PountsCount());
    EXPECT_EQ(QColor(Qt::red), panel.Color());
    EXPECT_EQ(5, panel.property("PountsCount").toInt());
}

TEST(GraphPoints, StoringNeverRepaints) {
    TGraphPanel panel;
    panel.show();
    PaintCounter counter;
    panel.installEventFilter(&counter);
    panel.update();
    QCoreApplication::processEvents();
    ASSERT_GT(counter.Count, 0);
    int before = counter.Count;
    panel.SetPountsCount(10);
    panel.SetPointX(3, 0.5);
    panel.SetPointY(3, 0.5);
    panel.SetColor(Qt::red);
    QCoreApplication::processEvents();
    EXPECT_EQ(before, counter.Count);
}

TEST_F(GraphPaint, EmptyPanelShowsGridAndDiagonalOnly) {
    QImage img = Render();
    std::set<QRgb> colours;
    for (int y = 0; y < 97; ++y)
        for (int x = 0; x < 97; ++x)
            colours.insert(img.pixel(x, y));
    EXPECT_EQ((std::set<QRgb>{Black, Grey, Aqua}), colours);
    EXPECT_EQ(Black, img.pixel(0, 0));
    EXPECT_EQ(Black, img.pixel(96, 96));
}

TEST_F(GraphPaint, GridLines) {
    QImage img = Render();
    for (int g : {5, 14, 22, 31, 40, 57, 66, 75, 83, 92}) {
        EXPECT_EQ(Grey, img.pixel(g, 10)) << g;
        EXPECT_EQ(Grey, img.pixel(10, g)) << g;
    }
    EXPECT_EQ(Black, img.pixel(13, 10));
    EXPECT_EQ(Black, img.pixel(15, 10));
    EXPECT_EQ(Black, img.pixel(10, 21));
    EXPECT_EQ(Black, img.pixel(4, 10));
}

TEST_F(GraphPaint, AquaDiagonal) {
    QImage img = Render();
    for (int x : {6, 20, 35, 70, 91})
        EXPECT_EQ(Aqua, img.pixel(x, 97 - x)) << x;
    EXPECT_EQ(Black, img.pixel(20, 76));
    EXPECT_EQ(Black, img.pixel(20, 78));
}

TEST_F(GraphPaint, DotsAtTheirComputedPositions) {
    Panel.SetPountsCount(2);
    Panel.SetPointX(0, 0.5);
    Panel.SetPointY(0, 0.5);
    Panel.SetPointX(1, 0.25);
    Panel.SetPointY(1, 0.75);
    QImage img = Render();
    ExpectDotAt(img, 48, 49, Lime);
    // Round(0.25 * 87 + 5) = 27 and 97 - Round(0.75 * 87 + 5) = 27.
    ExpectDotAt(img, 27, 27, Lime);
    EXPECT_EQ(Black, img.pixel(25, 27));
    EXPECT_EQ(Black, img.pixel(29, 27));
}

TEST_F(GraphPaint, AddedPointsSitAtTheBottomLeftCorner) {
    Panel.SetPountsCount(1);
    ExpectDotAt(Render(), 5, 92, Lime);
}

TEST_F(GraphPaint, DotColourFollowsTheProperty) {
    Panel.SetPountsCount(1);
    Panel.SetPointX(0, 0.25);
    Panel.SetPointY(0, 0.75);
    Panel.SetColor(Qt::red);
    ExpectDotAt(Render(), 27, 27, 0xffff0000);
}

TEST_F(GraphPaint, RepeatedPlacesPaintLikeSingleDots) {
    // Many points falling on the same few places (as a training pass does) and the same places
    // once each, in another order, must give the same picture.
    const double xs[] = {0.1, 0.5, 0.52, 0.9};
    Panel.SetPountsCount(4);
    for (int i = 0; i < 4; ++i) {
        Panel.SetPointX(i, xs[3 - i]);
        Panel.SetPointY(i, xs[i]);
    }
    const QImage once = Render();
    Panel.SetPountsCount(400);
    for (int i = 0; i < 400; ++i) {
        Panel.SetPointX(i, xs[i % 4]);
        Panel.SetPointY(i, xs[3 - i % 4]);
    }
    EXPECT_EQ(once, Render());
}

TEST_F(GraphPaint, PaintNowHoldsItsPictureWhileThePointsChange) {
    Panel.SetPountsCount(1);
    Panel.SetPointX(0, 0.5);
    Panel.SetPointY(0, 0.5);
    Panel.PaintNow();
    const QImage held = Render();
    ExpectDotAt(held, 48, 49, Lime);
    Panel.SetPointX(0, 0.25);
    Panel.SetPointY(0, 0.75);
    EXPECT_EQ(held, Render());
    Panel.PaintNow();
    ExpectDotAt(Render(), 27, 27, Lime);
}

TEST_F(GraphPaint, AResizeDrawsThePointsAgainAtTheNewSize) {
    Panel.SetPountsCount(1);
    Panel.SetPointX(0, 0.5);
    Panel.SetPointY(0, 0.5);
    Panel.PaintNow();
    Panel.resize(197, 197);
    const QImage grown = Render();
    ASSERT_EQ(grown.size(), QSize(197, 197));
    // The grid over the new square and the dot where the new size puts it, not the old picture stretched.
    EXPECT_EQ(Grey, grown.pixel(GraphGridLine(1, 187), 10));
    EXPECT_EQ(Aqua, grown.pixel(30, 197 - 30));
    ExpectDotAt(grown, GraphDotX(0.5, 197), GraphDotY(0.5, 197), Lime);
    // Held at the new size until the next refresh.
    Panel.SetPointX(0, 0.25);
    EXPECT_EQ(grown, Render());
}

TEST_F(GraphPaint, WildValuesDoNotBreakPainting) {
    Panel.SetPountsCount(3);
    Panel.SetPointX(0, 1e300);
    Panel.SetPointY(1, -1e300);
    Panel.SetPointX(2, std::numeric_limits<double>::quiet_NaN());
    QImage img = Render();
    EXPECT_EQ(Aqua, img.pixel(35, 62));
}

} // namespace
} // namespace nirvex

#include "common/RandomGen.h"
#include "controls/Histo.h"

#include "PaintCounter.h"
#include <QCoreApplication>
#include <QEvent>
#include <QImage>

#include <gtest/gtest.h>

#include <cfenv>
#include <set>
#include <vector>

namespace nirvex {
namespace {

using test::PaintCounter;

// The training page's histogram: 394 x 195, black, lime and red bars, white axes.
class HistoPaint : public testing::Test {
protected:
    HistoPaint() {
        Histo.resize(394, 195);
        Histo.SetColor(Qt::black);
        Histo.SetHistoColor1(Qt::green);
        Histo.SetHistoColor2(Qt::red);
        Histo.SetAxisColor(Qt::white);
        Histo.Clear();
    }
    QRgb At(int x, int y) { return Histo.grab().toImage().pixel(x, y); }

    static constexpr QRgb Black = 0xff000000;
    static constexpr QRgb Lime = 0xff00ff00;
    static constexpr QRgb Red = 0xffff0000;
    static constexpr QRgb White = 0xffffffff;
    THisto Histo;
};

TEST(HistoBin, BinEdges) {
    EXPECT_EQ(1, HistoBin(0.0));
    EXPECT_EQ(1, HistoBin(0.01));
    EXPECT_EQ(2, HistoBin(0.0101));
    EXPECT_EQ(2, HistoBin(0.02));
    EXPECT_EQ(49, HistoBin(0.97));
    EXPECT_EQ(50, HistoBin(0.9701));
    EXPECT_EQ(50, HistoBin(0.98));
}

TEST(HistoBin, HalvesGoToTheEvenNeighbour) {
    // 0.03 * 50 = 1.5 -> 2, 0.05 * 50 = 2.5 -> 2: both land in bin 3.
    EXPECT_EQ(3, HistoBin(0.03));
    EXPECT_EQ(3, HistoBin(0.05));
}

TEST(HistoBin, ErrorsRoundingTo50JoinBin50) {
    EXPECT_EQ(50, HistoBin(0.99));
    EXPECT_EQ(50, HistoBin(0.995));
    EXPECT_EQ(50, HistoBin(0.9999999));
}

TEST(HistoBin, OutsideTheUnitIntervalHasNoBin) {
    EXPECT_EQ(0, HistoBin(1.0));
    EXPECT_EQ(0, HistoBin(-1e-9));
    EXPECT_EQ(0, HistoBin(-3.0));
    EXPECT_EQ(0, HistoBin(7.0));
}

TEST(HistoGeometry, TrainingPageWidth) {
    double step = HistoStep(394);
    EXPECT_NEAR(7.33, step, 0.005);
    EXPECT_TRUE(HistoHasBars(step));
    int b = HistoBarWidth(step);
    EXPECT_EQ(3, b);
    EXPECT_EQ(12, HistoBarX(1, step));
    EXPECT_EQ(19, HistoBarX(2, step)); // Round(7.33) + 12
    EXPECT_EQ(371, HistoBarX(50, step));
    // The last test bar ends inside the right axis at x = 384.
    EXPECT_LT(HistoBarX(50, step) + 2 * b, 394 - 10);
}

TEST(HistoGeometry, NoBarsUpTo122Pixels) {
    EXPECT_FALSE(HistoHasBars(HistoStep(122)));
    EXPECT_FALSE(HistoHasBars(HistoStep(50)));
    EXPECT_FALSE(HistoHasBars(HistoStep(0)));
    EXPECT_TRUE(HistoHasBars(HistoStep(123)));
}

TEST(HistoGeometry, BarTops) {
    // H = 195: base line 170, full height 145.
    EXPECT_EQ(25, HistoBarTop(195, 10, 10));
    EXPECT_EQ(170, HistoBarTop(195, 0, 10));
    EXPECT_EQ(98, HistoBarTop(195, 1, 2));   // 170 - 72.5 = 97.5 -> 98
    EXPECT_EQ(122, HistoBarTop(195, 1, 3));  // 170 - 48.33
    EXPECT_EQ(-120, HistoBarTop(195, 2, 1)); // more than the set's total: taller than the axes
}

TEST(HistoGeometry, EmptySetGivesZeroHeight) {
    EXPECT_EQ(170, HistoBarTop(195, 0, 0));
    EXPECT_EQ(170, HistoBarTop(195, 5, 0));
    EXPECT_EQ(170, HistoBarTop(195, 5, -1));
}

TEST(HistoGeometry, ProductOfLargeCountsDoesNotOverflow) {
    EXPECT_EQ(25, HistoBarTop(195, 2000000000, 2000000000));
    EXPECT_EQ(98, HistoBarTop(195, 1000000000, 2000000000));
}

TEST(HistoData, NewControlHoldsFiftyRandomValuesPerSet) {
    SetRandSeed(12345);
    std::vector<double> drawn;
    for (int k = 0; k < 100; ++k)
        drawn.push_back(RandomFloat());
    uint32_t seedAfter = RandSeed();

    SetRandSeed(12345);
    THisto histo;
    EXPECT_EQ(seedAfter, RandSeed());
    EXPECT_EQ(50, histo.TeachTotal());
    EXPECT_EQ(50, histo.TestTotal());
    EXPECT_EQ(0, histo.BelowCount());
    EXPECT_EQ(0, histo.AboveCount());
    // Alternating: the 1st, 3rd, ... values are training errors, the 2nd, 4th, ... test errors.
    std::vector<int> teach(51), test(51);
    for (int k = 0; k < 100; ++k)
        ++(k % 2 == 0 ? teach : test)[HistoBin(drawn[k])];
    for (int i = 1; i <= HistoBinCount; ++i) {
        EXPECT_EQ(teach[i], histo.TeachBins(i)) << "bin " << i;
        EXPECT_EQ(test[i], histo.TestBins(i)) << "bin " << i;
    }
}

TEST(HistoData, ClearZeroesEverything) {
    THisto histo;
    histo.AddTeachErr(-1);
    histo.AddTestErr(2);
    histo.Clear();
    EXPECT_EQ(0, histo.TeachTotal());
    EXPECT_EQ(0, histo.TestTotal());
    EXPECT_EQ(0, histo.BelowCount());
    EXPECT_EQ(0, histo.AboveCount());
    for (int i = 1; i <= HistoBinCount; ++i) {
        EXPECT_EQ(0, histo.TeachBins(i));
        EXPECT_EQ(0, histo.TestBins(i));
    }
}

TEST(HistoData, EveryErrorCountsInItsSetsTotal) {
    THisto histo;
    histo.Clear();
    for (double x : {0.0, 0.01, 0.97, 0.98, 0.995, 1.0, -0.2})
        histo.AddTeachErr(x);
    EXPECT_EQ(7, histo.TeachTotal());
    EXPECT_EQ(0, histo.TestTotal());
    EXPECT_EQ(2, histo.TeachBins(1));
    EXPECT_EQ(1, histo.TeachBins(49));
    EXPECT_EQ(2, histo.TeachBins(50));
    EXPECT_EQ(1, histo.AboveCount());
    EXPECT_EQ(1, histo.BelowCount());
    for (int i = 1; i <= HistoBinCount; ++i)
        EXPECT_EQ(0, histo.TestBins(i));
}

TEST(HistoData, OutOfRangeCountsAreShared) {
    THisto histo;
    histo.Clear();
    histo.AddTeachErr(-0.5);
    histo.AddTestErr(-0.5);
    histo.AddTestErr(1.0);
    histo.AddTestErr(25.0);
    EXPECT_EQ(1, histo.TeachTotal());
    EXPECT_EQ(3, histo.TestTotal());
    EXPECT_EQ(2, histo.BelowCount());
    EXPECT_EQ(2, histo.AboveCount());
    for (int i = 1; i <= HistoBinCount; ++i)
        EXPECT_EQ(0, histo.TeachBins(i) + histo.TestBins(i));
}

TEST(HistoData, BinsOutsideOneToFiftyReadAsZero) {
    THisto histo;
    histo.AddTeachErr(0.0);
    EXPECT_EQ(0, histo.TeachBins(0));
    EXPECT_EQ(0, histo.TestBins(51));
}

TEST(HistoData, DefaultsOfTheProperties) {
    THisto histo;
    EXPECT_EQ(QColor(Qt::black), histo.HistoColor1());
    EXPECT_EQ(QColor(Qt::black), histo.HistoColor2());
    EXPECT_EQ(QColor(Qt::black), histo.AxisColor());
    EXPECT_EQ(THisto::bsNone, histo.BorderStyle());
    EXPECT_EQ(QSize(394, 195), histo.sizeHint());
}

TEST(HistoData, PropertiesReachableByName) {
    THisto histo;
    EXPECT_TRUE(histo.setProperty("HistoColor1", QColor(Qt::green)));
    EXPECT_TRUE(histo.setProperty("BorderStyle", THisto::bsSingle));
    EXPECT_EQ(QColor(Qt::green), histo.HistoColor1());
    EXPECT_EQ(THisto::bsSingle, histo.BorderStyle());
    EXPECT_EQ(QColor(Qt::green), histo.property("HistoColor1").value<QColor>());
}

TEST(HistoData, AddingAndStoringColoursNeverRepaint) {
    THisto histo;
    histo.show();
    PaintCounter counter;
    histo.installEventFilter(&counter);
    histo.update();
    QCoreApplication::processEvents();
    ASSERT_GT(counter.Count, 0);
    int before = counter.Count;
    histo.Clear();
    histo.AddTeachErr(0.3);
    histo.AddTestErr(0.7);
    histo.SetHistoColor1(Qt::blue);
    histo.SetHistoColor2(Qt::yellow);
    histo.SetAxisColor(Qt::white);
    QCoreApplication::processEvents();
    EXPECT_EQ(before, counter.Count);
}

TEST_F(HistoPaint, TrainingAndTestBarsOfBin1) {
    Histo.AddTeachErr(0.0);
    Histo.AddTestErr(0.0);
    Histo.AddTestErr(0.5);
    QImage img = Histo.grab().toImage();
    // Training bar: every training example, x 12..14, from the top of the axes down to the base.
    for (int x = 12; x <= 14; ++x) {
        EXPECT_EQ(Lime, img.pixel(x, 25)) << x;
        EXPECT_EQ(Lime, img.pixel(x, 169)) << x;
        EXPECT_EQ(Black, img.pixel(x, 24)) << x;
    }
    // Test bar: half of the test set, x 15..17, top at 98.
    for (int x = 15; x <= 17; ++x) {
        EXPECT_EQ(Red, img.pixel(x, 98)) << x;
        EXPECT_EQ(Black, img.pixel(x, 97)) << x;
    }
    EXPECT_EQ(Black, img.pixel(11, 100));
    EXPECT_EQ(Black, img.pixel(18, 100));
    // Bin 26 holds the other half of the test set: its test bar starts at Round(25 * 7.33) + 12 + 3.
    EXPECT_EQ(Red, img.pixel(198, 120));
    EXPECT_EQ(Black, img.pixel(197, 120));
}

TEST_F(HistoPaint, AxesAndBaseLine) {
    QImage img = Histo.grab().toImage();
    EXPECT_EQ(White, img.pixel(10, 25));
    EXPECT_EQ(White, img.pixel(10, 100));
    EXPECT_EQ(White, img.pixel(200, 170));
    EXPECT_EQ(White, img.pixel(384, 100));
    EXPECT_EQ(Black, img.pixel(200, 171));
    EXPECT_EQ(Black, img.pixel(10, 24));
}

TEST_F(HistoPaint, OutOfRangeBarsScaledByTheirOwnSet) {
    Histo.AddTeachErr(-1.0);
    Histo.AddTeachErr(0.5);
    Histo.AddTestErr(2.0);
    EXPECT_EQ(1, Histo.AboveCount());
    EXPECT_EQ(1, Histo.TestAboveCount());
    QImage img = Histo.grab().toImage();
    // One of two training errors: half height, top at 98, in the 3 pixels left of x = 40 ...
    for (int x = 37; x <= 39; ++x) {
        EXPECT_EQ(Red, img.pixel(x, 98)) << x;
        EXPECT_EQ(Black, img.pixel(x, 97)) << x;
    }
    EXPECT_EQ(Black, img.pixel(36, 120));
    EXPECT_EQ(Black, img.pixel(40, 120));
    // ... no training error of 1 or more right of x = W - 40 = 354, and beside it the one test
    // error, all of the test set: full height.
    for (int x = 354; x <= 356; ++x)
        EXPECT_EQ(Black, img.pixel(x, 120)) << x;
    for (int x = 357; x <= 359; ++x) {
        EXPECT_EQ(Red, img.pixel(x, 25)) << x;
        EXPECT_EQ(Black, img.pixel(x, 24)) << x;
    }
    EXPECT_EQ(Black, img.pixel(360, 120));
}

TEST_F(HistoPaint, PaintNowHoldsItsPictureWhileTheCountsChange) {
    Histo.AddTeachErr(0.0);
    Histo.AddTestErr(0.0);
    Histo.PaintNow();
    const QImage held = Histo.grab().toImage();
    EXPECT_EQ(Red, held.pixel(15, 25));
    Histo.Clear();
    Histo.AddTeachErr(0.5);
    EXPECT_EQ(held, Histo.grab().toImage());
    Histo.PaintNow();
    EXPECT_EQ(Black, At(15, 100));
}

TEST_F(HistoPaint, AResizeDrawsTheHeldCountsAgainAtTheNewSize) {
    Histo.AddTeachErr(0.0);
    Histo.AddTestErr(0.0);
    Histo.PaintNow();
    // The next epoch under way: a training error in bin 26.
    Histo.Clear();
    Histo.AddTeachErr(0.5);
    Histo.resize(600, 300);
    const QImage grown = Histo.grab().toImage();
    ASSERT_EQ(grown.size(), QSize(600, 300));
    // The held epoch's bars of bin 1, full height over the new base line 25 pixels above the bottom;
    // nothing of the epoch under way.
    const double step = HistoStep(600);
    const int b = HistoBarWidth(step);
    EXPECT_EQ(Lime, grown.pixel(12, 25));
    EXPECT_EQ(Lime, grown.pixel(12, 274));
    EXPECT_EQ(Red, grown.pixel(12 + b, 25));
    EXPECT_EQ(Black, grown.pixel(12 + 2 * b, 100));
    EXPECT_EQ(White, grown.pixel(300, 275));
    EXPECT_EQ(White, grown.pixel(590, 100));
    EXPECT_EQ(Black, grown.pixel(HistoBarX(26, step) + 1, 200));
    Histo.PaintNow();
    EXPECT_EQ(Lime, At(HistoBarX(26, step) + 1, 200));
}

TEST_F(HistoPaint, OutOfRangeBarsDrawnOverRegularBars) {
    // Bin 4 starts at Round(3 * 7.33) + 12 = 34: its test bar (37..39) lies under the below-zero bar.
    Histo.AddTestErr(0.06);
    Histo.SetHistoColor2(Qt::blue);
    Histo.AddTeachErr(-1.0);
    QImage img = Histo.grab().toImage();
    EXPECT_EQ(Red, img.pixel(38, 30));
}

TEST_F(HistoPaint, EmptyTrainingSetDrawsOnlyTestBars) {
    Histo.AddTestErr(0.0);
    Histo.AddTestErr(-0.5);
    Histo.AddTestErr(1.5);
    QImage img = Histo.grab().toImage();
    // A third of the test set each: top at Round(170 - 48.33), the out-of-range ones beside the
    // training places.
    for (int x : {15, 40, 357}) {
        EXPECT_EQ(Red, img.pixel(x, 122)) << x;
        EXPECT_EQ(Black, img.pixel(x, 121)) << x;
    }
    for (int y = 25; y < 170; ++y) {
        EXPECT_EQ(Black, img.pixel(12, y)) << y;
        EXPECT_EQ(Black, img.pixel(39, y)) << y;
        EXPECT_EQ(Black, img.pixel(354, y)) << y;
    }
}

TEST_F(HistoPaint, NarrowControlShowsBackgroundAndAxesOnly) {
    for (int width : {122, 60}) {
        SetRandSeed(7);
        THisto narrow;
        narrow.resize(width, 195);
        narrow.SetColor(Qt::black);
        narrow.SetHistoColor1(Qt::green);
        narrow.SetHistoColor2(Qt::red);
        narrow.SetAxisColor(Qt::white);
        narrow.AddTeachErr(-1.0);
        narrow.AddTestErr(3.0);
        QImage img = narrow.grab().toImage();
        std::set<QRgb> colours;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                colours.insert(img.pixel(x, y));
        EXPECT_EQ((std::set<QRgb>{Black, White}), colours) << width;
    }
}

TEST_F(HistoPaint, SingleBorderFramesTheControl) {
    Histo.SetColor(Qt::white);
    EXPECT_EQ(White, At(0, 0));
    EXPECT_EQ(White, At(393, 194));
    Histo.SetBorderStyle(THisto::bsSingle);
    EXPECT_EQ(Black, At(0, 0));
    EXPECT_EQ(Black, At(393, 100));
    EXPECT_EQ(Black, At(200, 194));
    EXPECT_EQ(White, At(1, 1));
}

TEST_F(HistoPaint, PaintingLeavesTheFloatFlagsAsFound) {
    Histo.AddTeachErr(0.3);
    std::feclearexcept(FE_ALL_EXCEPT);
    Histo.grab();
    EXPECT_EQ(0, std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW));
    std::feraiseexcept(FE_DIVBYZERO);
    Histo.grab();
    EXPECT_NE(0, std::fetestexcept(FE_DIVBYZERO));
    std::feclearexcept(FE_ALL_EXCEPT);
}

} // namespace
} // namespace nirvex

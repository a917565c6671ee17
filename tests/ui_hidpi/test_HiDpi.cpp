// On a screen of device pixel ratio 2 the window and its pictures are drawn in the screen's pixels:
// twice as many each way, not the ordinary picture enlarged.
#include "ui/UiTestSupport.h"

#include "controls/ErrorCurveView.h"
#include "controls/GraphPanel.h"
#include "controls/Histo.h"
#include "ui/Icons.h"
#include "ui/ProgramIcon.h"
#include "ui/fmAbout.h"
#include "ui/fmSplash.h"

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nirvex;
using namespace nirvex::test;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);

// How many pixels of `image` in row `y` between x0 and x1 (inclusive) have the colour `rgb`.
int CountInRow(const QImage& image, int y, int x0, int x1, QRgb rgb) {
    int n = 0;
    for (int x = x0; x <= x1; ++x)
        n += image.pixel(x, y) == rgb ? 1 : 0;
    return n;
}

// Aligned 2 x 2 blocks of `image` whose four pixels are not all alike: none in a picture drawn at
// half the density and enlarged.
int FineBlocks(const QImage& image) {
    int n = 0;
    for (int y = 0; y + 1 < image.height(); y += 2)
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb a = image.pixel(x, y);
            n += a != image.pixel(x + 1, y) || a != image.pixel(x, y + 1) || a != image.pixel(x + 1, y + 1) ? 1 : 0;
        }
    return n;
}

} // namespace

TEST(HiDpi, TheTestScreenIsDense) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0)
        << "run without QT_QPA_PLATFORM or with offscreen: the test sets up its own screens";
}

TEST(HiDpi, PaintedControlsDrawInTheScreensPixels) {
    THisto histo;
    histo.SetColor(Qt::black);
    histo.SetAxisColor(Qt::white);
    histo.resize(394, 195);
    const QImage h = histo.grab().toImage();
    ASSERT_EQ(h.size(), QSize(788, 390));
    // The left axis at x = 10 is one screen pixel wide, not a doubled one.
    EXPECT_EQ(CountInRow(h, 200, 16, 24, kWhite), 1);

    TGraphPanel panel;
    panel.resize(97, 97);
    const QImage p = panel.grab().toImage();
    ASSERT_EQ(p.size(), QSize(194, 194));
    // The grey grid line at x = 5, one screen pixel wide.
    EXPECT_EQ(CountInRow(p, 40, 6, 14, qRgb(128, 128, 128)), 1);

    TErrorCurveView curve;
    curve.resize(394, 195);
    const QImage c = curve.grab().toImage();
    ASSERT_EQ(c.size(), QSize(788, 390));
    // Its text and lines have the screen's detail.
    EXPECT_GT(FineBlocks(c), 100);
}

TEST(HiDpi, HeldPicturesAreDrawnAtTheScreensDensityToo) {
    THisto histo;
    histo.SetColor(Qt::black);
    histo.SetAxisColor(Qt::white);
    histo.resize(394, 195);
    histo.PaintNow();
    const QImage h = histo.grab().toImage();
    ASSERT_EQ(h.size(), QSize(788, 390));
    EXPECT_EQ(CountInRow(h, 200, 16, 24, kWhite), 1);
}

TEST(HiDpi, WindowPagePictureIconAndAboutAtTheScreensDensity) {
    TFakeDialogs dialogs;
    TfrmWizard window(&dialogs);
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(567, 385)); // the same size in the screen's units
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(1134, 770));

    // The page picture drawn twice as dense, shown at its own size.
    auto* picture = window.findChild<QLabel*>(QStringLiteral("imgPicture"));
    const QPixmap shown = picture->pixmap();
    ASSERT_FALSE(shown.isNull()) << "data/1.bmp";
    EXPECT_EQ(shown.devicePixelRatio(), 2.0);
    EXPECT_EQ(shown.size(), QSize(300, 600));
    EXPECT_EQ(shown.deviceIndependentSize().toSize(), QSize(150, 300));

    // The window icon at 16 units is the 32-pixel drawing, not the 16-pixel one enlarged.
    const QImage icon =
        window.windowIcon().pixmap(QSize(16, 16), 2.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(icon.size(), QSize(32, 32));
    QImage drawn = AnimationImage(0, 32);
    EXPECT_EQ(icon, drawn);
    EXPECT_NE(drawn, AnimationImage(0).scaled(32, 32));

    // The about window's icon.
    TfrmAbout* about = window.About();
    about->show();
    QCoreApplication::processEvents();
    const QPixmap aboutIcon = about->findChild<QLabel*>(QStringLiteral("imgAbout"))->pixmap();
    EXPECT_EQ(aboutIcon.devicePixelRatio(), 2.0);
    EXPECT_EQ(aboutIcon.size(), QSize(64, 64));
    EXPECT_EQ(aboutIcon.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
              DrawProgramIcon(64).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    about->hide();
}

TEST(HiDpi, SplashPictureAtTheScreensDensity) {
    TfrmSplash splash(QStringLiteral(NIRVEX_DATA_DIR));
    const QPixmap shown = splash.Image()->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.devicePixelRatio(), 2.0);
    EXPECT_EQ(shown.size(), QSize(800, 600));
    EXPECT_EQ(splash.Image()->size(), QSize(400, 300));
}

TEST(HiDpi, MovedToAnOrdinaryScreenThePagePictureFollows) {
    TFakeDialogs dialogs;
    TfrmWizard window(&dialogs);
    window.show();
    QCoreApplication::processEvents();
    window.move(1700, 100);
    QCoreApplication::processEvents();
    if (window.screen()->devicePixelRatio() != 1.0)
        GTEST_SKIP() << "the platform did not move the window to the second screen";
    const QPixmap shown = window.findChild<QLabel*>(QStringLiteral("imgPicture"))->pixmap();
    EXPECT_EQ(shown.devicePixelRatio(), 1.0);
    EXPECT_EQ(shown.size(), QSize(150, 300));
}

TEST(HiDpi, RememberedGeometryComesBackOnTheSecondScreen) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("nirvex.ini"));
    const QRect placed(1700, 80, 900, 600);
    {
        QSettings saved(file, QSettings::IniFormat);
        saved.setValue(QStringLiteral("Window/Geometry"), placed);
    }
    TFakeDialogs dialogs;
    TfrmWizard window(&dialogs);
    window.RememberGeometry(std::make_unique<QSettings>(file, QSettings::IniFormat));
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.geometry(), placed);
}

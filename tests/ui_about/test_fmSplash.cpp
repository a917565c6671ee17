#include "ui/fmSplash.h"

#include "common/RandomGen.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace nirvex;

namespace {

class SplashTest : public testing::Test {
protected:
    // A folder holding a Splash.bmp of the given size, filled with one colour.
    QString FolderWithPicture(QSize size, QColor color) {
        QImage image(size, QImage::Format_RGB888);
        image.fill(color);
        EXPECT_TRUE(image.save(dir_.filePath(QStringLiteral("Splash.bmp")), "BMP"));
        return dir_.path();
    }

    // Runs the splash modally with a guard that rejects it after `guardMs`, so a splash that never
    // closes fails instead of hanging. Returns the result and the time since `since` (by default
    // since the modal loop started).
    std::pair<int, qint64> RunModal(TfrmSplash& splash, QElapsedTimer since = {}, int guardMs = 6000) {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &splash, &QDialog::reject);
        guard.start(guardMs);
        if (!since.isValid())
            since.start();
        const int result = splash.exec();
        return {result, since.elapsed()};
    }
    static QElapsedTimer Started() {
        QElapsedTimer clock;
        clock.start();
        return clock;
    }
    // Waits, serving events, until the splash's own time has run out.
    static bool TimeRunsOut(TfrmSplash& splash) {
        return QTest::qWaitFor([&] { return !splash.Timer()->isActive(); }, 5000);
    }

    QTemporaryDir dir_;
};

bool AnyMessageBoxShown() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible())
            return true;
    return false;
}

} // namespace

// The size of the splash picture the program ships.
QSize ShippedSplashSize() {
    return QImage(QStringLiteral(NIRVEX_DATA_DIR "/Splash.bmp")).size();
}

TEST_F(SplashTest, IsABorderlessWindowOfTheShippedPicturesSize) {
    TfrmSplash splash(dir_.path());
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(splash.windowFlags() & Qt::WindowType_Mask, Qt::SplashScreen);
    ASSERT_FALSE(ShippedSplashSize().isEmpty());
    EXPECT_EQ(splash.minimumSize(), ShippedSplashSize());
    EXPECT_EQ(splash.maximumSize(), ShippedSplashSize());
    ASSERT_NE(splash.findChild<QLabel*>(QStringLiteral("imgSplash")), nullptr);
    EXPECT_EQ(splash.Image()->geometry(), splash.rect());
}

TEST_F(SplashTest, TimerRunsTwoSecondsOnceFromCreation) {
    TfrmSplash splash(dir_.path());
    auto* timer = splash.findChild<QTimer*>(QStringLiteral("tmrClose"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 2000);
}

// Its two seconds count from its creation (a coarse timer may end a little early); a splash still
// open after 6 s is rejected by the guard.
TEST_F(SplashTest, ClosesByItselfWithResultOkAfterTwoSeconds) {
    const QElapsedTimer created = Started();
    TfrmSplash splash(FolderWithPicture(QSize(400, 300), Qt::darkBlue));
    const auto [result, elapsed] = RunModal(splash, created);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_GE(elapsed, 1800);
    EXPECT_FALSE(splash.isVisible());
}

TEST_F(SplashTest, MissingPictureLeavesItEmptyAndShowsNoBox) {
    const QElapsedTimer created = Started();
    TfrmSplash splash(dir_.path());
    EXPECT_TRUE(splash.Image()->pixmap().isNull());
    bool boxSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { boxSeen = boxSeen || AnyMessageBoxShown(); });
    watch.start(50);
    const auto [result, elapsed] = RunModal(splash, created);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_GE(elapsed, 1800);
    EXPECT_FALSE(boxSeen);
}

TEST_F(SplashTest, EmptyFolderNameLeavesItEmpty) {
    TfrmSplash splash(QString{});
    EXPECT_TRUE(splash.Image()->pixmap().isNull());
}

TEST_F(SplashTest, UnreadablePictureLeavesItEmpty) {
    QFile bad(dir_.filePath(QStringLiteral("Splash.bmp")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("BM this is not a bitmap");
    bad.close();
    TfrmSplash splash(dir_.path());
    EXPECT_TRUE(splash.Image()->pixmap().isNull());
}

TEST_F(SplashTest, LoadsThePictureFromTheGivenFolder) {
    TfrmSplash splash(FolderWithPicture(QSize(400, 300), QColor(10, 200, 30)));
    const QPixmap shown = splash.Image()->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.size(), QSize(400, 300));
    EXPECT_EQ(shown.toImage().pixelColor(200, 150), QColor(10, 200, 30));
}

TEST_F(SplashTest, PictureTakesTheSizeOfTheBitmap) {
    TfrmSplash splash(FolderWithPicture(QSize(120, 80), Qt::red));
    EXPECT_EQ(splash.Image()->geometry(), QRect(0, 0, 120, 80));
    EXPECT_EQ(splash.size(), ShippedSplashSize());
}

TEST_F(SplashTest, ReadsNoPictureFromTheWorkingDirectory) {
    // The working directory has a picture, the program's folder has none.
    const QString cwd = QDir::currentPath();
    QTemporaryDir elsewhere;
    QImage(50, 50, QImage::Format_RGB888).save(elsewhere.filePath(QStringLiteral("Splash.bmp")), "BMP");
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    TfrmSplash splash(dir_.path());
    QDir::setCurrent(cwd);
    EXPECT_TRUE(splash.Image()->pixmap().isNull());
}

TEST_F(SplashTest, SeedsTheGeneratorFromTheClock) {
    // A clock seed is a millisecond of the day, never this value.
    SetRandSeed(0xFFFFFFFFu);
    TfrmSplash splash(dir_.path());
    EXPECT_LT(RandSeed(), 86400000u);
}

TEST_F(SplashTest, ShownAfterItsTimeRanOutClosesAtOnce) {
    TfrmSplash splash(dir_.path());
    ASSERT_TRUE(TimeRunsOut(splash));
    const auto [result, elapsed] = RunModal(splash);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_LT(elapsed, 1500); // not another two seconds
    EXPECT_FALSE(splash.isVisible());
}

TEST_F(SplashTest, ShownWithoutAModalLoopAfterItsTimeHidesAgain) {
    TfrmSplash splash(dir_.path());
    ASSERT_TRUE(TimeRunsOut(splash));
    splash.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !splash.isVisible(); }, 1500));
    EXPECT_EQ(splash.result(), QDialog::Accepted);
}

TEST_F(SplashTest, IsCentredOnTheScreen) {
    TfrmSplash splash(dir_.path());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(splash.geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(splash.geometry().center().y() - screen.center().y()), 1);
}

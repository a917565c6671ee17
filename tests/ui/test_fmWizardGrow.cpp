// The window grows: the page area takes what it grows by, the frame keeps its corners, and the
// window remembers its size, place and maximized state in the settings it is given.
#include "UiTestSupport.h"

#include "controls/ErrorCurveView.h"
#include "controls/GraphPanel.h"
#include "controls/Histo.h"
#include "support/WidgetGeometry.h"
#include "ui/PagePredict.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace nirvex;
using namespace nirvex::test;

namespace {

const QSize kFirst(567, 385);
const QSize kLarge(1280, 800);
const char* const kLongName = "Sepal.Length.in.centimetres.as.measured";

class GrowTest : public testing::Test, public TWindowFixture {
protected:
    void Resize(QSize size) {
        Window->resize(size);
        QCoreApplication::processEvents();
    }
    QWidget* Shown() { return Window->Page(Model().State()); }
    // The window as it looks once the style's animations (a slider's, say) have run out.
    QImage Settled() {
        QImage shot = Window->grab().toImage();
        for (int k = 0; k < 40; ++k) {
            QTest::qWait(25);
            QImage next = Window->grab().toImage();
            if (next == shot)
                break;
            shot = next;
        }
        return shot;
    }

    // The page shown and the frame at the window's size now: every control inside the window, no two
    // controls of one parent over each other (but the picture switch of page 6, which stands over the
    // picture's empty top band).
    ::testing::AssertionResult PageFits() {
        const QWidget* w = Window.get();
        if (Shown()->size() != Window->size() - kFirst + QSize(kPageClientWidth, kPageClientHeight))
            return ::testing::AssertionFailure() << "the page does not take what the window grew by";
        TWidgets all = NamedControls(w);
        if (auto inside = AllInside(w, all); !inside)
            return inside;
        std::map<const QWidget*, TWidgets> siblings;
        for (const QWidget* c : all)
            if (c->objectName() != QLatin1String("bvlPicture") && c->objectName() != QLatin1String("btnView"))
                siblings[c->parentWidget()].push_back(c);
        for (const auto& [parent, controls] : siblings)
            if (auto apart = NoneOverlap(w, controls); !apart)
                return apart << " (page " << Model().State() + 1 << ")";
        return ::testing::AssertionSuccess();
    }

    // The frame's controls relative to the corner each keeps.
    struct TCorners {
        QRect Picture, About, Prev, Next, Quit;
        bool operator==(const TCorners&) const = default;
    };
    TCorners Corners() {
        const QPoint bottomRight(Window->width(), Window->height()), bottomLeft(0, Window->height());
        return {Find("imgPicture")->geometry(), Find("btnAbout")->geometry().translated(-bottomLeft),
                Find("btnPrev")->geometry().translated(-bottomRight),
                Find("btnNext")->geometry().translated(-bottomRight),
                Find("btnQuit")->geometry().translated(-bottomRight)};
    }
};

} // namespace

TEST_F(GrowTest, ResizableAndMaximizableFromTheFirstSizeUp) {
    EXPECT_EQ(Window->size(), kFirst);
    EXPECT_EQ(Window->minimumSize(), kFirst);
    EXPECT_GT(Window->maximumWidth(), 4000);
    EXPECT_GT(Window->maximumHeight(), 4000);
    EXPECT_TRUE(Window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Window->windowFlags() & Qt::WindowMinimizeButtonHint);
    Resize(QSize(400, 300));
    EXPECT_EQ(Window->size(), kFirst);
    EXPECT_EQ(Window->Page(0)->size(), QSize(kPageClientWidth, kPageClientHeight));
}

TEST_F(GrowTest, PictureAndButtonsKeepTheirCorners) {
    const TCorners first = Corners();
    Resize(kLarge);
    EXPECT_TRUE(Corners() == first);
    EXPECT_EQ(Find("imgPicture")->size(), QSize(150, 300));
    // The status bar and the line above the buttons along the bottom, as wide as the window.
    EXPECT_EQ(RectIn(Find("sbStatus"), Window.get()), QRect(0, kLarge.height() - 19, kLarge.width(), 19));
    EXPECT_EQ(Find("Bevel2")->width(), kLarge.width());
    Resize(QSize(900, 385)); // wider only
    EXPECT_TRUE(Corners() == first);
}

TEST_F(GrowTest, EveryPageFitsALargeWindow) {
    auto check = [&] {
        Resize(kLarge);
        EXPECT_TRUE(PageFits());
        Resize(QSize(kLarge.width(), kFirst.height())); // and only wider, and only taller
        EXPECT_TRUE(PageFits());
        Resize(QSize(kFirst.width(), kLarge.height()));
        EXPECT_TRUE(PageFits());
        Resize(kFirst);
        EXPECT_TRUE(PageFits());
    };
    check();
    LoadIris();
    for (int page = 1; page <= 6; ++page) {
        ASSERT_EQ(Model().State(), page) << Dialogs.Errors.join(QLatin1Char('\n')).toStdString();
        check();
        if (page == 3) {
            Click("cbEpoch");
            Find<QSpinBox>("seEpoch")->setValue(20);
        }
        if (page == 5)
            Click("btnLearn");
        if (page < 6)
            Click("btnNext");
    }
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(GrowTest, BackAtTheFirstSizeEveryPageLooksAsBefore) {
    LoadIris();
    for (int page = 1; page <= 4; ++page) {
        const QImage before = Settled();
        Resize(kLarge);
        Resize(kFirst);
        EXPECT_EQ(Settled(), before) << "page " << page + 1;
        Click("btnNext");
    }
}

TEST_F(GrowTest, TrainingPicturesGrowAndAreDrawnAtTheirSize) {
    ToTrainingPage(30);
    Click("btnLearn");
    auto* histo = Find<THisto>("hErrors");
    auto* curve = Find<TErrorCurveView>("crvErrors");
    QWidget *teach = Find("gpTeach"), *test = Find("gpTest"), *grid = Find("sgStat");
    const QSize histoFirst = histo->size(), panelFirst = teach->size(), gridFirst = grid->size();
    Resize(kLarge);
    EXPECT_TRUE(PageFits());
    EXPECT_GT(histo->width(), histoFirst.width());
    EXPECT_GT(histo->height(), histoFirst.height());
    EXPECT_GT(teach->width(), panelFirst.width());
    EXPECT_GT(teach->height(), panelFirst.height());
    EXPECT_EQ(teach->width(), teach->height());
    EXPECT_EQ(test->size(), teach->size());
    EXPECT_GT(grid->width(), gridFirst.width());
    // The histogram drawn anew at its size, not its old picture stretched: the base line 25 pixels
    // above its bottom edge, the axes 10 pixels in from its sides.
    const QImage shown = histo->grab().toImage();
    ASSERT_EQ(shown.size(), histo->size());
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(shown.pixel(histo->width() / 2, histo->height() - 25), white);
    EXPECT_NE(shown.pixel(histo->width() / 2, histo->height() - 24), white);
    EXPECT_EQ(shown.pixel(10, histo->height() / 2), white);
    EXPECT_EQ(shown.pixel(histo->width() - 10, histo->height() / 2), white);
    Window->findChild<QAction*>(QStringLiteral("actShowCurve"))->trigger();
    EXPECT_EQ(curve->size(), histo->size());
    EXPECT_EQ(curve->grab().toImage().size(), curve->size());
    // The statistics cells fill the wider grid.
    auto* table = Find<QTableWidget>("sgStat");
    int cells = 0;
    for (int c = 0; c < table->columnCount(); ++c)
        cells += table->columnWidth(c);
    EXPECT_LE(cells, table->viewport()->width());
    EXPECT_GT(cells, table->viewport()->width() - 8);
}

TEST_F(GrowTest, LongFieldNamesShowWholeInALargeWindow) {
    QTemporaryDir dir;
    const QString sample = dir.filePath(QStringLiteral("long.txt"));
    {
        std::ofstream out(sample.toStdString(), std::ios::binary);
        out << kLongName << "\tB\tY\r\n";
        for (int r = 0; r < 30; ++r)
            out << r % 7 << '\t' << r % 5 << '\t' << (r % 7) + 2 * (r % 5) << "\r\n";
    }
    LoadSample(sample);
    ASSERT_EQ(Model().State(), 1);
    auto* list = Find<QListWidget>("lbAvailableFields");
    const QString name = QString::fromLatin1(kLongName);
    ASSERT_EQ(list->item(0)->text(), name);
    // The list's entries: the name 2 pixels in from the left edge, in the list's font (an input, not bold).
    const int needed = 2 + list->fontMetrics().horizontalAdvance(name);
    EXPECT_LT(list->visualItemRect(list->item(0)).width(), needed); // cut at the first size
    Resize(kLarge);
    EXPECT_GE(list->visualItemRect(list->item(0)).width(), needed);
    EXPECT_GE(list->viewport()->width(), needed);

    // Page 7's grids show it whole too.
    Click("btnNext");
    Click("btnNext");
    Click("cbEpoch");
    Find<QSpinBox>("seEpoch")->setValue(5);
    Click("btnNext");
    Click("btnNext");
    Click("btnLearn");
    Click("btnNext");
    ASSERT_EQ(Model().State(), 6);
    auto* predict = static_cast<TPagePredict*>(Window->Page(6));
    EXPECT_EQ(predict->ShownText(false, 1, 0), name);
    Resize(kFirst);
    EXPECT_NE(predict->ShownText(false, 1, 0), name); // "Sepal.Le…" in the narrow grid
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(QLatin1Char('\n')).toStdString();
}

namespace {

// A window over fake dialogs that remembers its geometry in `file`, shown.
struct TRemembering {
    TFakeDialogs Dialogs;
    TfrmWizard Window{&Dialogs};
    explicit TRemembering(const QString& file) {
        Window.RememberGeometry(std::make_unique<QSettings>(file, QSettings::IniFormat));
        Window.show();
        QCoreApplication::processEvents();
    }
};

QRect Available() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

TEST(RememberedGeometry, FirstStartAtTheFirstSizeCentred) {
    QTemporaryDir dir;
    TRemembering first(dir.filePath(QStringLiteral("nirvex.ini")));
    EXPECT_EQ(first.Window.size(), kFirst);
    EXPECT_LE((first.Window.frameGeometry().center() - Available().center()).manhattanLength(), 2);
}

TEST(RememberedGeometry, SizePlaceAndMaximizedStateComeBack) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("nirvex.ini"));
    const QRect placed(Available().topLeft() + QPoint(40, 50), QSize(700, 480));
    {
        TRemembering run(file);
        run.Window.setGeometry(placed);
        QCoreApplication::processEvents();
        ASSERT_TRUE(run.Window.close());
    }
    {
        TRemembering run(file);
        EXPECT_EQ(run.Window.geometry(), placed);
        EXPECT_FALSE(run.Window.isMaximized());
        run.Window.showMaximized();
        QCoreApplication::processEvents();
        ASSERT_TRUE(run.Window.isMaximized());
        ASSERT_TRUE(run.Window.close());
    }
    {
        TRemembering run(file);
        EXPECT_TRUE(run.Window.isMaximized());
        // Unmaximized, it takes the size and place it had before.
        run.Window.showNormal();
        QCoreApplication::processEvents();
        EXPECT_EQ(run.Window.geometry(), placed);
    }
    QSettings saved(file, QSettings::IniFormat);
    EXPECT_EQ(saved.value(QStringLiteral("Window/Geometry")).toRect(), placed);
    EXPECT_TRUE(saved.value(QStringLiteral("Window/Maximized")).toBool());
}

TEST(RememberedGeometry, APlaceOffEveryScreenComesBackOntoOne) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("nirvex.ini"));
    {
        QSettings saved(file, QSettings::IniFormat);
        // As left on a second screen that is gone now, larger than the screen there is.
        saved.setValue(QStringLiteral("Window/Geometry"), QRect(5000, 4000, 3000, 2000));
    }
    // On the screen there is, as large as it (the window frame may stand out by its border).
    TRemembering run(file);
    EXPECT_TRUE(Available().contains(run.Window.geometry().topLeft()));
    EXPECT_EQ(run.Window.size(), Available().size());
    {
        QSettings saved(file, QSettings::IniFormat);
        saved.setValue(QStringLiteral("Window/Geometry"), QRect(-900, 100, 600, 400));
    }
    TRemembering again(file);
    EXPECT_TRUE(Available().contains(again.Window.geometry()));
    EXPECT_EQ(again.Window.size(), QSize(600, 400));
}

TEST(RememberedGeometry, AWindowNotGivenSettingsWritesNone) {
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    {
        TFakeDialogs dialogs;
        TfrmWizard window(&dialogs);
        window.show();
        window.resize(800, 500);
        ASSERT_TRUE(window.close());
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    // The program's own settings live in the user's settings folder.
    EXPECT_TRUE(TfrmWizard::UserSettings()->fileName().startsWith(dir.path()));
}

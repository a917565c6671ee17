#include "UiTestSupport.h"

#include "common/Errors.h"
#include "sample/table/SampleFile.h"
#include "support/WidgetGeometry.h"
#include "ui/HelpViewer.h"
#include "ui/fmAbout.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace nirvex;
using namespace nirvex::test;

namespace {

class FrameTest : public testing::Test, public TWindowFixture {
protected:
    int ShownPage() { return Find<QStackedWidget>("pcHost")->currentIndex(); }
    bool Enabled(const char* name) { return Find(name)->isEnabled(); }
};

} // namespace

TEST_F(FrameTest, FirstSizeIsTheSmallestAndTheWindowCanGrow) {
    EXPECT_EQ(Window->size(), QSize(567, 385));
    EXPECT_EQ(Window->size(), Window->minimumSize());
    EXPECT_GT(Window->maximumWidth(), Window->minimumWidth());
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("Nirvex"));
    Qt::WindowFlags flags = Window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
}

TEST_F(FrameTest, FrameControlsKeepTheirArrangement) {
    const QWidget* w = Window.get();
    QWidget *bevel = Find("bvlPicture"), *picture = Find("imgPicture"), *host = Find("pcHost"), *line = Find("Bevel2"),
            *status = Find("sbStatus"), *page = Window->Page(0);
    struct {
        const char* name;
        const char* caption;
        const char* hint;
    } buttons[] = {{"btnAbout", "О программе...", ""},
                   {"btnPrev", "<< Назад", "Переход к предыдущему этапу"},
                   {"btnNext", "Далее >>", "Переход к следующему этапу"},
                   {"btnQuit", "Отмена", "Завершение работы с системой"}};
    TWidgets row;
    for (const auto& b : buttons) {
        auto* button = Find<QPushButton>(b.name);
        row.push_back(button);
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(b.hint)) << b.name;
        EXPECT_EQ(button->geometry().top(), Find(buttons[0].name)->geometry().top()) << b.name;
        EXPECT_EQ(button->size(), Find(buttons[0].name)->size()) << b.name;
        // below the page and its line, above the status bar
        EXPECT_TRUE(InOrder(w, {host, line, button, status}, Qt::Vertical));
    }
    EXPECT_TRUE(InOrder(w, row, Qt::Horizontal));
    EXPECT_TRUE(AllInside(w, NamedControls(w)));
    // The picture in its bevel beside the page; the page shown gets the client area the page
    // layouts are drawn for.
    EXPECT_TRUE(RectIn(bevel, w).contains(RectIn(picture, w)));
    EXPECT_EQ(page->size(), QSize(kPageClientWidth, kPageClientHeight));
    EXPECT_TRUE(RectIn(host, w).contains(RectIn(page, w)));
    EXPECT_TRUE(InOrder(w, {bevel, page}, Qt::Horizontal));
    // The line and the status bar span the window, the status bar along its bottom.
    EXPECT_EQ(line->width(), w->width());
    EXPECT_EQ(RectIn(status, w), QRect(0, w->height() - status->height(), w->width(), status->height()));
}

TEST_F(FrameTest, StartsOnPageOneWithBackDisabled) {
    EXPECT_EQ(ShownPage(), 0);
    EXPECT_EQ(Find<QStackedWidget>("pcHost")->currentWidget()->objectName(), QStringLiteral("tsLearnSample"));
    EXPECT_FALSE(Enabled("btnPrev"));
    EXPECT_TRUE(Enabled("btnNext"));
    EXPECT_TRUE(Enabled("btnQuit"));
    EXPECT_EQ(Model().HelpContext(), 61);
    Find("btnNext")->setFocus();
    EXPECT_EQ(Window->CurrentHelpContext(), 61);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(FrameTest, NextWithoutFileNameShowsTheMessageAndStays) {
    Click("btnNext");
    EXPECT_EQ(Dialogs.Errors, QStringList{QStringLiteral("Не указано имя файла БД")});
    EXPECT_EQ(ShownPage(), 0);
    EXPECT_EQ(Model().State(), 0);
    EXPECT_FALSE(Enabled("btnPrev"));
    EXPECT_TRUE(Enabled("btnNext"));
}

TEST_F(FrameTest, NextWithABadFileShowsTheReaderMessageAndCanRepeat) {
    QTemporaryDir dir;
    QString bad = dir.filePath(QStringLiteral("empty.txt"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    LoadSample(bad);
    EXPECT_EQ(Dialogs.Errors, QStringList{QString::fromUtf8(msgFileEmpty) + bad});
    EXPECT_EQ(ShownPage(), 0);
    EXPECT_TRUE(Window->StatusText().isEmpty());
    // The page is still marked changed, so the step runs again.
    Click("btnNext");
    EXPECT_EQ(Dialogs.Errors.size(), 2);
    EXPECT_EQ(ShownPage(), 0);
}

TEST_F(FrameTest, NextWithTheExampleMovesToTheFieldPage) {
    LoadIris();
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(ShownPage(), 1);
    EXPECT_TRUE(Enabled("btnPrev"));
    EXPECT_TRUE(Enabled("btnNext"));
    EXPECT_EQ(Model().HelpContext(), 62);
    EXPECT_EQ(Find<QListWidget>("lbAvailableFields")->count(), 5);
    EXPECT_EQ(Window->StatusText(), QStringLiteral("Поле : SepalLength  MIN = 4.3 MAX = 7.9"));
    EXPECT_TRUE(Model().Modified());
}

TEST_F(FrameTest, FieldPageTellsOfSkippedLinesUntilAFieldIsPicked) {
    QTemporaryDir dir;
    QString name = dir.filePath(QStringLiteral("utf8.txt"));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("Цена;Вес\n-1.5 2e3\n7\n3 4\n").toUtf8());
    file.close();
    LoadSample(name);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    ASSERT_EQ(ShownPage(), 1);
    EXPECT_EQ(Find<QListWidget>("lbAvailableFields")->item(0)->text(), QStringLiteral("Цена"));
    EXPECT_EQ(Find<QLabel>("sbStatusText")->text(),
              QStringLiteral("Пропущено строк с неверным числом значений: 1 (первая — строка 3)"));
    QRect r = Find<QListWidget>("lbAvailableFields")->visualItemRect(Find<QListWidget>("lbAvailableFields")->item(1));
    QTest::mouseClick(Find<QListWidget>("lbAvailableFields")->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(Find<QLabel>("sbStatusText")->text(), QStringLiteral("Поле : Вес  MIN = 4 MAX = 2000"));
}

TEST_F(FrameTest, BackOnPageOneDoesNothing) {
    Type("edtLearnSampleFileName", QStringLiteral("x.txt"));
    Window->btnPrevClick();
    EXPECT_EQ(ShownPage(), 0);
    EXPECT_TRUE(Model().PageChanged());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(FrameTest, BackAndForthKeepsTheFieldSettings) {
    LoadIris();
    QTest::mouseClick(Find<QAbstractButton>("rgUseFieldAs_2"), Qt::LeftButton, {}, QPoint(5, 8));
    ASSERT_EQ(Model().Fields()[0].FieldType, TFieldRole::Unused);
    Click("btnPrev");
    EXPECT_EQ(ShownPage(), 0);
    EXPECT_FALSE(Enabled("btnPrev"));
    Click("btnNext");
    EXPECT_EQ(ShownPage(), 1);
    EXPECT_EQ(Model().Fields()[0].FieldType, TFieldRole::Unused);
}

TEST_F(FrameTest, WalksToThePredictPageWhereNextIsDisabled) {
    LoadIris();
    for (int page = 2; page < 7; ++page) {
        Click("btnNext");
        ASSERT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(ShownPage(), page);
        EXPECT_EQ(Model().HelpContext(), 61 + page);
    }
    EXPECT_FALSE(Enabled("btnNext"));
    Window->btnNextClick();
    EXPECT_EQ(ShownPage(), 6);
}

TEST_F(FrameTest, GuardShowsAnyErrorAndReportsIt) {
    EXPECT_TRUE(Window->Guard([] {}));
    EXPECT_FALSE(Window->Guard([] { throw EError("Деление на ноль"); }));
    EXPECT_FALSE(Window->Guard([] { throw std::runtime_error("other"); }));
    EXPECT_EQ(Dialogs.Errors, (QStringList{QStringLiteral("Деление на ноль"), QStringLiteral("other")}));
}

TEST_F(FrameTest, StatusTextFromTheModelIsShown) {
    Model().SetStatus("Индексация данных");
    EXPECT_EQ(Find<QLabel>("sbStatusText")->text(), QStringLiteral("Индексация данных"));
    Model().SetStatus("");
    EXPECT_TRUE(Window->StatusText().isEmpty());
}

TEST_F(FrameTest, QuitClosesTheWindow) {
    Click("btnQuit");
    EXPECT_FALSE(Window->isVisible());
}

TEST_F(FrameTest, AboutOpensModallyAgainAndAgainAndChangesNothing) {
    for (int i = 0; i < 3; ++i) {
        bool wasShown = false;
        QTimer::singleShot(50, Window.get(), [&] {
            wasShown = Window->About()->isVisible();
            QTest::mouseClick(Window->About()->findChild<QAbstractButton*>(QStringLiteral("btnOk")), Qt::LeftButton);
        });
        Click("btnAbout");
        EXPECT_TRUE(wasShown);
        EXPECT_FALSE(Window->About()->isVisible());
    }
    EXPECT_EQ(ShownPage(), 0);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_FALSE(Model().PageChanged());
}

namespace {

QString WriteProject(const QTemporaryDir& dir, const QByteArray& text) {
    QString name = dir.filePath(QStringLiteral("work.qvx"));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return name;
}

} // namespace

TEST_F(FrameTest, StartUpProjectOpensOnItsSavedPage) {
    QTemporaryDir dir;
    QString project = WriteProject(
        dir, "[Main]\r\nState=1\r\n[Phase1]\r\nLearnSampleFileName=" + ExampleFile("iris.txt").toLocal8Bit() + "\r\n");
    Window->OpenProject(project);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(ShownPage(), 1);
    EXPECT_TRUE(Enabled("btnPrev"));
    EXPECT_EQ(Find<QListWidget>("lbAvailableFields")->count(), 5);
    EXPECT_FALSE(Model().Modified());
}

TEST_F(FrameTest, StartUpProjectThatFailsIsShownAndTheWindowGoesOn) {
    QTemporaryDir dir;
    Window->OpenProject(WriteProject(dir, "[Main]\r\nState=2\r\n"));
    EXPECT_EQ(Dialogs.Errors, QStringList{QStringLiteral("Не указано имя файла БД")});
    EXPECT_EQ(ShownPage(), 0);
    EXPECT_FALSE(Enabled("btnPrev"));
    // A missing project reads as an empty one.
    Window->OpenProject(dir.filePath(QStringLiteral("none.qvx")));
    EXPECT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_EQ(ShownPage(), 0);
}

TEST_F(FrameTest, TypedSampleNameIsReadyForNext) {
    Window->TypeSampleFileName(ExampleFile("iris.txt"));
    EXPECT_EQ(Find<QLineEdit>("edtLearnSampleFileName")->text(), ExampleFile("iris.txt"));
    Window->btnNextClick();
    EXPECT_EQ(ShownPage(), 1);
}

TEST_F(FrameTest, F1OpensHelpAtTheFocusedControlsContext) {
    Find("btnNext")->setFocus();
    QTest::keyClick(Window.get(), Qt::Key_F1);
    ASSERT_NE(Window->HelpViewer(), nullptr);
    EXPECT_TRUE(Window->HelpViewer()->isVisible());
    EXPECT_EQ(Window->HelpViewer()->Context(), 61);

    // The load serves events, the help window's activation among them: close it first.
    Window->HelpViewer()->close();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    LoadIris();
    Find("lbAvailableFields")->setFocus();
    EXPECT_EQ(Window->CurrentHelpContext(), 62);
    Find("edtParmMin")->setFocus();
    EXPECT_EQ(Window->CurrentHelpContext(), 204);
    Find("btnPrev")->setFocus();
    EXPECT_EQ(Window->CurrentHelpContext(), 62);
    Click("btnNext");
    Find("edtAlpha")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    EXPECT_EQ(Window->HelpViewer()->Context(), 63);
}

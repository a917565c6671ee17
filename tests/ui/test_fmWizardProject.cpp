// Projects in the window: the store button, the close question (also during a run), a project
// chosen on page 1, and the icon animation.
#include "UiTestSupport.h"
#include "support/WizardTestPeer.h"

#include "engine/IniFile.h"
#include "project/ProjectFile.h"
#include "wizard/Messages.h"

#include <QFile>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace nirvex;
using namespace nirvex::test;

namespace {

class ProjectWindowTest : public ::testing::Test, public TWindowFixture {
protected:
    int ShownPage() { return Find<QStackedWidget>("pcHost")->currentIndex(); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(ProjectWindowTest, ClosingRightAfterStartUpAsksNothing) {
    EXPECT_TRUE(Window->close());
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
}

TEST_F(ProjectWindowTest, TypingOnPageOneThenClosingAsks) {
    Type("edtLearnSampleFileName", QStringLiteral("x.txt"));
    Dialogs.NextAnswer = IDialogs::TAnswer::Cancel;
    EXPECT_FALSE(Window->close());
    EXPECT_EQ(Dialogs.Questions, QStringList{QStringLiteral("Имеются несохраненные изменения. Сохранить их?")});
    EXPECT_TRUE(Window->isVisible());
    EXPECT_FALSE(Model().StopRequested()); // "Отмена" asks for nothing to stop
    Dialogs.NextAnswer = IDialogs::TAnswer::No;
    EXPECT_TRUE(Window->close());
}

TEST_F(ProjectWindowTest, YesWithATxtNameWritesTheProjectAndCloses) {
    LoadIris();
    Dialogs.NextAnswer = IDialogs::TAnswer::Yes;
    Dialogs.NextSaveFile = dir.filePath(QStringLiteral("mine.txt"));
    EXPECT_TRUE(Window->close());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("mine.qvx"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("mine.txt"))));
}

TEST_F(ProjectWindowTest, YesThenCancellingTheSaveDialogKeepsTheWindow) {
    LoadIris();
    Dialogs.NextAnswer = IDialogs::TAnswer::Yes;
    Dialogs.NextSaveFile.clear();
    EXPECT_FALSE(Window->close());
    EXPECT_TRUE(Window->isVisible());
    EXPECT_FALSE(Model().StopRequested());
}

TEST_F(ProjectWindowTest, FailedSaveFromTheQuestionKeepsTheWindowAndShowsTheError) {
    LoadIris();
    Dialogs.NextAnswer = IDialogs::TAnswer::Yes;
    Dialogs.NextSaveFile = QStringLiteral("/nonexistent-dir/x.qvx");
    EXPECT_FALSE(Window->close());
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors[0].startsWith(QStringLiteral("Unable to write to"))) << Dialogs.Errors[0].toStdString();
    EXPECT_FALSE(Model().StopRequested());
}

TEST_F(ProjectWindowTest, StoreThenClosingAsksNothing) {
    ToTrainingPage(0);
    Click("btnNext");
    ASSERT_EQ(ShownPage(), 6);
    Dialogs.NextSaveFile = dir.filePath(QStringLiteral("stored"));
    Click("btnStore");
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("stored.qvx"))));
    EXPECT_TRUE(Window->close());
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
}

// "Отмена" in the close question carries on: the run trains every epoch up to its limit.
TEST_F(ProjectWindowTest, CancelDuringARunLetsTheRunFinishItsEpochs) {
    ToTrainingPage(2000);
    Dialogs.NextAnswer = IDialogs::TAnswer::Cancel;
    bool closed = true, askedWhileRunning = false;
    QTimer::singleShot(0, Window.get(), [&] {
        askedWhileRunning = Model().Training();
        closed = Window->close();
    });
    Click("btnLearn"); // returns when the run ends
    ASSERT_TRUE(askedWhileRunning);
    EXPECT_FALSE(closed);
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(Model().Network().Epoch, 2001);
    EXPECT_EQ(Dialogs.Messages, QStringList{QStringLiteral("Остановка обучения\n\rИсчерпан лимит эпох.")});
    EXPECT_EQ(Model().LearnState(), TLearnState::Idle);
    EXPECT_TRUE(Find("btnNext")->isEnabled());
}

TEST_F(ProjectWindowTest, NoDuringARunEndsTheRunAndCloses) {
    ToTrainingPage(100000);
    Dialogs.NextAnswer = IDialogs::TAnswer::No;
    QTimer::singleShot(100, Window.get(), [&] { Window->close(); });
    Click("btnLearn");
    EXPECT_FALSE(Window->isVisible());
    EXPECT_LT(Model().Network().Epoch, 100000);
}

TEST_F(ProjectWindowTest, IconAnimationStopsDuringARun) {
    EXPECT_TRUE(Window->IconTimer()->isActive());
    int before = Window->IconFrame();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Window->IconFrame() != before; }, 5000));
    ToTrainingPage(100000);
    bool activeDuringRun = true;
    QTimer::singleShot(100, Window.get(), [&] {
        activeDuringRun = Window->IconTimer()->isActive();
        Click("btnLearn"); // stop
    });
    Click("btnLearn");
    EXPECT_FALSE(activeDuringRun);
    EXPECT_TRUE(Window->IconTimer()->isActive());
}

TEST_F(ProjectWindowTest, ProjectChosenOnPageOneOpensOnItsPage) {
    // A project saved on the training settings page, made through the model of another window.
    TFakeDialogs otherDialogs;
    TfrmWizard other(&otherDialogs);
    TWizard& m = other.Model();
    m.SampleFileTextChanged(ExampleFile("iris.txt").toStdString());
    m.Next();
    m.Next();
    m.Next();
    std::string saved = SaveProject(m, dir.filePath(QStringLiteral("p.qvx")).toStdString());

    Type("edtLearnSampleFileName", QString::fromStdString(saved));
    Click("btnNext");
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(';').toStdString();
    EXPECT_EQ(ShownPage(), 3);
    EXPECT_EQ(Model().State(), 3);
    EXPECT_FALSE(Model().Modified());
    EXPECT_TRUE(Find("btnPrev")->isEnabled());
    EXPECT_EQ(Model().FieldCount(), 5);
}

TEST_F(ProjectWindowTest, FailingProjectOnPageOneKeepsTheWindowUsable) {
    QString name = dir.filePath(QStringLiteral("bad.qvx"));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Main]\r\nState=3\r\n[Phase1]\r\nLearnSampleFileName=/no/such/file.txt\r\n");
    f.close();
    Type("edtLearnSampleFileName", name);
    Click("btnNext");
    EXPECT_EQ(Dialogs.Errors, QStringList{QStringLiteral("Файл не найден: /no/such/file.txt")});
    EXPECT_EQ(ShownPage(), 0);
    LoadIris();
    EXPECT_EQ(ShownPage(), 1);
}

TEST_F(ProjectWindowTest, StartUpWithoutSplashOpensTheProject) {
    TFakeDialogs otherDialogs;
    TfrmWizard other(&otherDialogs);
    other.Model().SampleFileTextChanged(ExampleFile("iris.txt").toStdString());
    other.Model().Next();
    std::string saved = SaveProject(other.Model(), dir.filePath(QStringLiteral("s.qvx")).toStdString());
    Window->FormActivate(QString::fromStdString(saved), false);
    EXPECT_EQ(ShownPage(), 1);
    EXPECT_FALSE(Model().Modified());
    EXPECT_TRUE(Window->isVisible());
}

TEST_F(ProjectWindowTest, SampleFoundBesideTheProjectIsAnnouncedInABox) {
    const QString sample = dir.filePath(QStringLiteral("iris.txt"));
    ASSERT_TRUE(QFile::copy(ExampleFile("iris.txt"), sample));
    TFakeDialogs otherDialogs;
    TfrmWizard other(&otherDialogs);
    other.Model().SampleFileTextChanged(sample.toStdString());
    other.Model().Next();
    TWizardTestPeer::LearnSampleFileName(other.Model()) = "/gone/iris.txt"; // as if saved on another machine
    std::string saved = SaveProject(other.Model(), dir.filePath(QStringLiteral("p.qvx")).toStdString());

    Window->FormActivate(QString::fromStdString(saved), false);
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(';').toStdString();
    EXPECT_EQ(
        Dialogs.Messages,
        QStringList{QString::fromUtf8("Файл выборки не найден: /gone/iris.txt. Используется файл ") + sample + "."});
    EXPECT_EQ(ShownPage(), 1);
    EXPECT_EQ(Model().NoticeCount(), 0u);
    // The new place is the user's to save: closing asks.
    Dialogs.NextAnswer = IDialogs::TAnswer::Cancel;
    EXPECT_FALSE(Window->close());
    EXPECT_EQ(Dialogs.Questions.size(), 1);
}

// The title names the project's file and marks unsaved work; "Сохранить" on an opened project writes
// into its file without asking, "Сохранить как..." proposes that name, and the close question's "Да"
// saves there too.
TEST_F(ProjectWindowTest, OpenedProjectIsSavedIntoItsOwnFile) {
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("Nirvex"));
    LoadIris();
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("*Nirvex"));
    for (int page = 1; page < 6; ++page)
        Click("btnNext");
    ASSERT_EQ(ShownPage(), 6);
    const QString first = dir.filePath(QStringLiteral("first.qvx"));
    Dialogs.NextSaveFile = dir.filePath(QStringLiteral("first.txt"));
    Click("btnStore"); // a new project: asks
    EXPECT_EQ(Dialogs.LastFilter, QStringLiteral("Файлы Nirvex (*.qvx)"));
    ASSERT_TRUE(QFile::exists(first));
    EXPECT_EQ(Window->windowTitle(), QString::fromUtf8("first.qvx — Nirvex"));
    EXPECT_EQ(Window->StatusText(), QString::fromUtf8(kStatusSaved) + first);

    TFakeDialogs otherDialogs;
    TfrmWizard other(&otherDialogs);
    other.OpenProject(first);
    EXPECT_EQ(other.windowTitle(), QString::fromUtf8("first.qvx — Nirvex"));
    other.Model().SetLearnValue(&TLearnPage::MiuText, "0.5");
    other.Model().UpdateNavigation();
    other.RefreshFrame();
    EXPECT_EQ(other.windowTitle(), QString::fromUtf8("*first.qvx — Nirvex"));
    otherDialogs.NextSaveFile = dir.filePath(QStringLiteral("never.qvx"));
    other.findChild<QAbstractButton*>(QStringLiteral("btnStore"))->click();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("never.qvx")))); // no dialog
    EXPECT_EQ(TIniFile(first.toStdString()).ReadString("Phase4", "Miu", ""), "0.5");
    EXPECT_EQ(other.windowTitle(), QString::fromUtf8("first.qvx — Nirvex"));

    other.findChild<QAbstractButton*>(QStringLiteral("btnStoreAs"))->click();
    EXPECT_EQ(otherDialogs.LastFilter, QStringLiteral("Файлы Nirvex (*.qvx)"));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("never.qvx")))); // "as" always asks
    EXPECT_EQ(other.windowTitle(), QString::fromUtf8("never.qvx — Nirvex"));

    other.Model().SetLearnValue(&TLearnPage::MiuText, "0.25");
    other.Model().UpdateNavigation();
    otherDialogs.NextAnswer = IDialogs::TAnswer::Yes;
    otherDialogs.NextSaveFile = dir.filePath(QStringLiteral("asked.qvx"));
    EXPECT_TRUE(other.close());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("asked.qvx"))));
    EXPECT_EQ(TIniFile(dir.filePath(QStringLiteral("never.qvx")).toStdString()).ReadString("Phase4", "Miu", ""),
              "0.25");
}

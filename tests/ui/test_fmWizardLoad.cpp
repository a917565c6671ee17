#include "UiTestSupport.h"

#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>

using namespace nirvex;
using namespace nirvex::test;

namespace {

// A load long enough to report many times; what the window shows is looked at from inside it,
// through events it serves while it loads.
class WindowLoadTest : public testing::Test, public TWindowFixture {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        std::ofstream out(dir_->filePath(QStringLiteral("large.txt")).toStdString(), std::ios::binary);
        out << "x y t\r\n";
        for (int r = 0; r < 300000; ++r)
            out << r % 101 << ' ' << r % 7 << '.' << r % 3 << ' ' << r << "\r\n";
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static QString Large() { return dir_->filePath(QStringLiteral("large.txt")); }

    // Runs `fn` the first time the window serves its events during the next load.
    void DuringTheLoad(std::function<void()> fn) { QTimer::singleShot(0, Window.get(), std::move(fn)); }
    bool Enabled(const char* name) { return Find(name)->isEnabled(); }

    static QTemporaryDir* dir_;
};

QTemporaryDir* WindowLoadTest::dir_ = nullptr;

} // namespace

TEST_F(WindowLoadTest, ShowsProgressAndDisablesThePagesAndButtonsWhileItLoads) {
    auto* bar = Find<QProgressBar>("pbProgress");
    EXPECT_FALSE(bar->isVisible());
    bool seen = false;
    DuringTheLoad([&] {
        seen = true;
        EXPECT_TRUE(bar->isVisible());
        EXPECT_FALSE(Enabled("btnNext"));
        EXPECT_FALSE(Enabled("btnPrev"));
        EXPECT_TRUE(Enabled("btnQuit")); // it calls the load off
        EXPECT_EQ(Find("btnQuit")->toolTip(), QStringLiteral("Прервать загрузку"));
        EXPECT_FALSE(Enabled("pcHost"));
        EXPECT_TRUE(Enabled("btnAbout"));
    });
    LoadSample(Large());
    EXPECT_TRUE(seen);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_EQ(Model().State(), 1);
    EXPECT_EQ(Model().RecordCount(), 300000);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(Enabled("btnNext"));
    EXPECT_TRUE(Enabled("pcHost"));
}

TEST_F(WindowLoadTest, CancelInTheCloseQuestionLetsTheLoadGoOn) {
    Dialogs.NextAnswer = IDialogs::TAnswer::Cancel;
    DuringTheLoad([&] { Window->close(); });
    LoadSample(Large());
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(Model().State(), 1);
    EXPECT_EQ(Model().RecordCount(), 300000);
}

TEST_F(WindowLoadTest, QuitButtonCallsTheLoadOffWithoutAQuestionAndKeepsThePreviousSample) {
    LoadIris();
    Click("btnPrev");
    const std::vector<int32_t> order = Model().RecordIndex();
    DuringTheLoad([&] { Click("btnQuit"); });
    LoadSample(Large());
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
    EXPECT_TRUE(Dialogs.Errors.isEmpty()); // called off by the user: nothing to show
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(Model().State(), 0);
    EXPECT_EQ(Model().RecordCount(), 150);
    EXPECT_EQ(Model().RecordIndex(), order);
    EXPECT_FALSE(Find<QProgressBar>("pbProgress")->isVisible());
    EXPECT_TRUE(Enabled("btnNext"));
    EXPECT_TRUE(Window->StatusText().isEmpty());
    // Still marked changed: the next "Далее >>" loads it.
    Click("btnNext");
    EXPECT_EQ(Model().State(), 1);
    EXPECT_EQ(Model().RecordCount(), 300000);
}

TEST_F(WindowLoadTest, ClosingDuringTheLoadClosesTheWindowWithoutAMessage) {
    Dialogs.NextAnswer = IDialogs::TAnswer::No;
    DuringTheLoad([&] { Window->close(); });
    LoadSample(Large());
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(Model().RecordCount(), 0);
}

// The window as desktop programs behave: Enter presses what has the focus, and whatever has the focus
// shows it.
#include "UiTestSupport.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

using namespace nirvex;
using namespace nirvex::test;

namespace {

class KeysTest : public ::testing::Test, public TWindowFixture {
protected:
    int ShownPage() { return Find<QStackedWidget>("pcHost")->currentIndex(); }

    // Goes round the page and the frame with Tab, as the keyboard does, and returns the controls
    // that look the same with the focus as without it.
    QStringList UnmarkedControls() {
        Find("btnAbout")->setFocus(Qt::OtherFocusReason);
        QStringList unmarked;
        std::set<QWidget*> seen;
        for (int step = 0; step < 60; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* now = QApplication::focusWidget();
            if (!seen.insert(now).second)
                return unmarked;
            const QImage focused = now->grab().toImage();
            QTest::keyClick(now, Qt::Key_Tab);
            const QImage left = now->grab().toImage();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            if (focused == left)
                unmarked << now->objectName() + QLatin1Char(' ') + QString::fromLatin1(now->metaObject()->className());
        }
        ADD_FAILURE() << "Tab never came round";
        return unmarked;
    }
};

} // namespace

TEST_F(KeysTest, EnterInTheFileBoxActsAsNext) {
    Type("edtLearnSampleFileName", ExampleFile("iris.txt"));
    QTest::keyClick(Find("edtLearnSampleFileName"), Qt::Key_Return);
    EXPECT_EQ(ShownPage(), 1);
    EXPECT_EQ(Model().FieldCount(), 5);
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(KeysTest, EnterOnAFocusedButtonPressesIt) {
    Type("edtLearnSampleFileName", ExampleFile("iris.txt"));
    auto* next = Find<QPushButton>("btnNext");
    next->setFocus(Qt::TabFocusReason);
    QTest::keyClick(next, Qt::Key_Return);
    EXPECT_EQ(ShownPage(), 1);
    auto* prev = Find<QPushButton>("btnPrev");
    prev->setFocus(Qt::TabFocusReason);
    QTest::keyClick(prev, Qt::Key_Enter); // the keypad's Enter too
    EXPECT_EQ(ShownPage(), 0);
    // A disabled button takes no focus and is pressed by nothing.
    EXPECT_FALSE(prev->isEnabled());
}

// Every control Tab reaches, on every page, looks different while it has the focus.
TEST_F(KeysTest, EveryFocusableControlShowsTheFocus) {
    ToTrainingPage(0);
    Click("btnLearn");
    Click("btnNext");
    for (int page = 6; page >= 0; --page) {
        ASSERT_EQ(ShownPage(), page);
        EXPECT_EQ(UnmarkedControls(), QStringList()) << page;
        if (page > 0)
            Click("btnPrev");
    }
}

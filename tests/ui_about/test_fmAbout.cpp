#include "ui/fmAbout.h"

#include "support/WidgetGeometry.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace nirvex;

namespace {

class AboutTest : public testing::Test {
protected:
    template <class T> T* Child(const char* name) {
        T* child = about_.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    // Runs the window modally; `act` runs once it is on screen. A guard rejects it after 3 s so a
    // window that does not close fails the test instead of hanging it.
    int RunModal(const std::function<void()>& act) {
        QTimer::singleShot(0, &about_, [this, act] {
            shownModal_ = QApplication::activeModalWidget() == &about_;
            act();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [this] {
            timedOut_ = true;
            about_.done(-1);
        });
        guard.start(3000);
        return about_.exec();
    }

    TfrmAbout about_;
    bool shownModal_ = false;
    bool timedOut_ = false;
};

} // namespace

TEST_F(AboutTest, CaptionAndFixedClientSize) {
    EXPECT_EQ(about_.windowTitle(), QStringLiteral("О программе..."));
    EXPECT_EQ(about_.minimumSize(), about_.maximumSize());
    EXPECT_EQ(about_.size(), about_.minimumSize());
    EXPECT_TRUE(test::AllInside(&about_, test::NamedControls(&about_)));
}

TEST_F(AboutTest, HasASystemMenuButNoMinimizeOrMaximizeBox) {
    const Qt::WindowFlags flags = about_.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(about_.isModal());
}

TEST_F(AboutTest, ShowsTheIconProductNameAndVersion) {
    auto* image = Child<QLabel>("imgAbout");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width(), image->height());
    ASSERT_FALSE(image->pixmap().isNull());
    // the icon's amber body sits in the middle of the tile
    const QImage icon = image->pixmap().toImage();
    const QColor middle = icon.pixelColor(icon.width() * 34 / 64, icon.height() / 2);
    EXPECT_GT(middle.red(), 200);
    EXPECT_LT(middle.blue(), 120);

    auto* name = Child<QLabel>("lblProduct");
    auto* version = Child<QLabel>("lblVersion");
    ASSERT_TRUE(name != nullptr && version != nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("Nirvex"));
    EXPECT_EQ(version->text(), QStringLiteral("Версия 1.5"));
    // right of the icon, the version under the name
    EXPECT_TRUE(test::InOrder(&about_, {image, name}, Qt::Horizontal));
    EXPECT_TRUE(test::InOrder(&about_, {name, version}, Qt::Vertical));
    EXPECT_EQ(version->x(), name->x());
}

// The program has no site or mailbox: the window names none and offers nothing to click.
TEST_F(AboutTest, ShowsNoAddressAndNoLink) {
    const QList<QLabel*> labels = about_.findChildren<QLabel*>();
    ASSERT_FALSE(labels.isEmpty());
    for (const QLabel* label : labels) {
        const QString text = label->text();
        for (const char* mark : {"@", "http", "www", ".org", ".com", "example"})
            EXPECT_FALSE(text.contains(QString::fromLatin1(mark), Qt::CaseInsensitive)) << text.toStdString();
        EXPECT_NE(label->cursor().shape(), Qt::PointingHandCursor) << text.toStdString();
        EXPECT_FALSE(label->font().underline()) << text.toStdString();
    }
    auto* purpose = Child<QLabel>("lblPurpose");
    ASSERT_NE(purpose, nullptr);
    EXPECT_TRUE(test::AllInside(&about_, {purpose}));
    EXPECT_TRUE(test::InOrder(&about_, {Child<QLabel>("lblVersion"), purpose}, Qt::Vertical));
}

TEST_F(AboutTest, SeparatorAndOkButtonSitAtTheBottom) {
    auto* bevel = Child<QFrame>("bvlAbout");
    ASSERT_NE(bevel, nullptr);
    EXPECT_EQ(bevel->frameShape(), QFrame::HLine);
    auto* ok = Child<QPushButton>("btnOk");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("Ok"));
    EXPECT_TRUE(ok->isDefault());
    // The separator under the text, across it; the button under the separator, at the right.
    EXPECT_TRUE(test::InOrder(&about_, {Child<QLabel>("lblPurpose"), bevel, ok}, Qt::Vertical));
    for (const QWidget* w : test::NamedControls(&about_))
        if (w != bevel && w != ok) {
            EXPECT_LE(bevel->geometry().left(), w->geometry().left()) << w->objectName().toStdString();
            EXPECT_GE(bevel->geometry().right(), w->geometry().right()) << w->objectName().toStdString();
        }
    EXPECT_GT(ok->geometry().left(), about_.width() / 2);
    EXPECT_TRUE(test::AllInside(&about_, {bevel, ok}));
}

TEST_F(AboutTest, OkClosesWithResultOk) {
    const int result = RunModal([this] { QTest::mouseClick(Child<QPushButton>("btnOk"), Qt::LeftButton); });
    EXPECT_TRUE(shownModal_);
    EXPECT_FALSE(timedOut_);
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(about_.isVisible());
}

TEST_F(AboutTest, EnterPressesOk) {
    const int result = RunModal([this] { QTest::keyClick(&about_, Qt::Key_Return); });
    EXPECT_FALSE(timedOut_);
    EXPECT_EQ(result, QDialog::Accepted);
}

TEST_F(AboutTest, OpensAndClosesRepeatedlyWithOkAndTheCloseBox) {
    const QSize size = about_.size();
    const QRect okPlace = Child<QPushButton>("btnOk")->geometry();
    for (int round = 0; round < 3; ++round) {
        shownModal_ = false;
        int result = RunModal([this] { Child<QPushButton>("btnOk")->click(); });
        EXPECT_TRUE(shownModal_) << round;
        EXPECT_EQ(result, QDialog::Accepted) << round;
        EXPECT_FALSE(about_.isVisible()) << round;

        shownModal_ = false;
        result = RunModal([this] { about_.close(); });
        EXPECT_TRUE(shownModal_) << round;
        EXPECT_EQ(result, QDialog::Rejected) << round;
        EXPECT_FALSE(about_.isVisible()) << round;
    }
    EXPECT_FALSE(timedOut_);
    // unchanged after all that
    EXPECT_EQ(about_.windowTitle(), QStringLiteral("О программе..."));
    EXPECT_EQ(about_.size(), size);
    EXPECT_EQ(Child<QPushButton>("btnOk")->geometry(), okPlace);
}

TEST_F(AboutTest, EscapeClosesLikeTheCloseBox) {
    const int result = RunModal([this] { QTest::keyClick(&about_, Qt::Key_Escape); });
    EXPECT_FALSE(timedOut_);
    EXPECT_EQ(result, QDialog::Rejected);
}

TEST_F(AboutTest, IsCentredOnTheScreenWhenShown) {
    QRect shownAt;
    RunModal([this, &shownAt] {
        shownAt = about_.frameGeometry();
        about_.accept();
    });
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(shownAt.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(shownAt.center().y() - screen.center().y()), 1);
}

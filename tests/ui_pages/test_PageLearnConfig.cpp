#include "PagesFixture.h"
#include "support/WizardTestPeer.h"
#include "ui/PageLearnConfig.h"

#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "support/WidgetGeometry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>

namespace nirvex {
namespace {

using test::TTestHost;

const char* const kCriteria[7][2] = {
    {"cbEpoch", "seEpoch"},           {"cbMaxTeachErr", "edtMaxTeachErr"}, {"cbMidTeachErr", "edtMidTeachErr"},
    {"cbTeachIdent", "seTeachIdent"}, {"cbMaxTestErr", "edtMaxTestErr"},   {"cbMidTestErr", "edtMidTestErr"},
    {"cbTestIdent", "seTestIdent"}};

class PageLearnConfigTest : public testing::Test {
protected:
    void SetUp() override {
        SetRandSeed(7);
        ASSERT_TRUE(dir.isValid());
        sample = dir.filePath("s.txt").toStdString();
        test::WriteSample(sample, 40);
        test::ConfigureUpToLearnPage(host.Wizard, sample);
        ASSERT_EQ(host.Wizard.State(), 3);
        page = std::make_unique<TPageLearnConfig>(host, nullptr);
        page->resize(kPageClientWidth, kPageClientHeight);
        page->show();
        page->ShowPage();
    }

    template <class T> T* Find(const char* name) {
        T* w = page->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    QSpinBox* Spin(const char* name) { return Find<QSpinBox>(name); }
    QCheckBox* Box(const char* name) { return Find<QCheckBox>(name); }

    // The frame's round trip "<< Назад" then "Далее >>", which shows this page again.
    void LeaveBackAndReturn() {
        page->SyncToModel();
        host.Wizard.Prev();
        host.Wizard.Next();
        ASSERT_EQ(host.Wizard.State(), 3);
        page->ShowPage();
    }

    static void Retype(QLineEdit* edit, const char* text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }

    // Where the controls stand relative to each other and to the page.
    void ExpectPlacesKeepTheirOrder() {
        const QWidget* p = page.get();
        QWidget* group = Box("cbEpoch")->parentWidget();
        test::TWidgets controls;
        for (const QWidget* w : test::NamedControls(p))
            if (w != group)
                controls.push_back(w);
        EXPECT_TRUE(test::AllInside(p, controls));
        EXPECT_TRUE(test::NoneOverlap(p, controls));
        // The group spans the page along its bottom, below the settings and the two check boxes,
        // which reach the page's right edge.
        EXPECT_EQ(test::RectIn(group, p), QRect(0, p->height() - group->height(), p->width(), group->height()));
        EXPECT_TRUE(test::InOrder(p,
                                  {Spin("seUseForTeach"), Spin("seValidShare"), Edit("edtTS"), Edit("edtMiu"),
                                   Edit("edtIdentErr"), Box("cbValidate"), Box("cbKeepBest"), group},
                                  Qt::Vertical));
        for (const char* name : {"cbValidate", "cbKeepBest"})
            EXPECT_EQ(test::RectIn(Box(name), p).right(), p->rect().right()) << name;
        // In the group, one criterion a row, equally spaced, each box left of its value.
        const int pitch = Box(kCriteria[1][0])->y() - Box(kCriteria[0][0])->y();
        for (std::size_t r = 0; r < std::size(kCriteria); ++r) {
            QWidget* value = page->findChild<QWidget*>(kCriteria[r][1]);
            EXPECT_TRUE(test::InOrder(p, {Box(kCriteria[r][0]), value}, Qt::Horizontal));
            EXPECT_EQ(Box(kCriteria[r][0])->y(), Box(kCriteria[0][0])->y() + static_cast<int>(r) * pitch);
            EXPECT_LE(
                std::abs(test::RectIn(value, p).center().y() - test::RectIn(Box(kCriteria[r][0]), p).center().y()), 2)
                << kCriteria[r][1];
        }
        EXPECT_GT(pitch, 0);
        // The values in two columns of one width, the error limits under the settings' column.
        const QWidget* first = Spin("seUseForTeach");
        for (const char* name : {"seValidShare", "edtTS", "edtMiu", "edtIdentErr", "edtMaxTeachErr", "edtMidTeachErr",
                                 "edtMaxTestErr", "edtMidTestErr", "seEpoch", "seTeachIdent", "seTestIdent"}) {
            const QWidget* w = page->findChild<QWidget*>(name);
            EXPECT_EQ(w->width(), first->width()) << name;
            const QWidget* column = name[0] == 'e' || name[2] == 'V' ? first : Spin("seEpoch");
            EXPECT_EQ(test::RectIn(w, p).x(), test::RectIn(column, p).x()) << name;
        }
    }

    QTemporaryDir dir;
    std::string sample;
    TTestHost host;
    std::unique_ptr<TPageLearnConfig> page;
};

TEST_F(PageLearnConfigTest, FirstVisitShowsTheDefaults) {
    for (const char* name : {"edtIdentErr", "edtMaxTeachErr", "edtMidTeachErr", "edtMaxTestErr", "edtMidTestErr"})
        EXPECT_EQ(Edit(name)->text(), "0.05") << name;
    EXPECT_EQ(Spin("seUseForTeach")->value(), 80);
    EXPECT_EQ(Spin("seEpoch")->value(), 10000);
    EXPECT_EQ(Spin("seTeachIdent")->value(), 80);
    EXPECT_EQ(Spin("seTestIdent")->value(), 80);
    for (const auto& c : kCriteria) {
        EXPECT_FALSE(Box(c[0])->isChecked()) << c[0];
        EXPECT_FALSE(page->findChild<QWidget*>(c[1])->isEnabled()) << c[1];
    }
    EXPECT_FALSE(Box("cbValidate")->isChecked());
    for (const char* name : {"seUseForTeach", "edtTS", "edtMiu", "edtIdentErr", "cbValidate"})
        EXPECT_TRUE(page->findChild<QWidget*>(name)->isEnabled()) << name;
    // learning rate and momentum are the network's, in the 5-digit general format
    EXPECT_EQ(Edit("edtTS")->text().toStdString(), FormatGeneral(host.Wizard.Network().TeachSpeed, 5));
    EXPECT_EQ(Edit("edtMiu")->text().toStdString(), FormatGeneral(host.Wizard.Network().Miu, 5));
}

TEST_F(PageLearnConfigTest, ControlsHaveTheirRangesPlacesAndHints) {
    EXPECT_EQ(Spin("seUseForTeach")->minimum(), 1);
    EXPECT_EQ(Spin("seUseForTeach")->maximum(), 100);
    EXPECT_EQ(Spin("seEpoch")->minimum(), 0);
    EXPECT_EQ(Spin("seEpoch")->maximum(), 100000);
    for (const char* name : {"seTeachIdent", "seTestIdent"}) {
        EXPECT_EQ(Spin(name)->minimum(), 0);
        EXPECT_EQ(Spin(name)->maximum(), 100);
    }
    // The two check boxes above the group keep the other captions' size and end above the group's title.
    auto* group = Box("cbEpoch")->parentWidget();
    for (const char* name : {"cbValidate", "cbKeepBest"})
        EXPECT_EQ(Box(name)->font(), Box("cbEpoch")->font()) << name;
    EXPECT_EQ(qobject_cast<QGroupBox*>(group)->title(), QString::fromUtf8(" Критерии остановки обучения"));
    // every caption fits its box
    for (const char* name : {"cbValidate", "cbKeepBest", "cbMidTestErr"})
        EXPECT_LE(Box(name)->sizeHint().width(), Box(name)->width()) << name;
    ExpectPlacesKeepTheirOrder();
    EXPECT_EQ(Spin("seUseForTeach")->toolTip(), QString::fromUtf8("Процент выборки, используемый при обучении"));
    EXPECT_EQ(Edit("edtIdentErr")->toolTip(), QString::fromUtf8("Порог верного распознания примера"));
    EXPECT_EQ(Box("cbValidate")->toolTip(),
              QString::fromUtf8("Остановка обучения при увеличении ошибки по тестовой выборке"));
    EXPECT_EQ(Spin("seEpoch")->toolTip(), QString::fromUtf8("Максимальное число эпох, используемое при обучении"));
    EXPECT_EQ(Box("cbMidTeachErr")->text(), QString::fromUtf8("Средняя ошибка при обучении <"));
    EXPECT_EQ(Box("cbTestIdent")->text(), QString::fromUtf8("Распознано "));
}

TEST_F(PageLearnConfigTest, KeyboardOrderRunsThroughTheGroupBeforeValidate) {
    const std::vector<std::string> expected = {
        "seUseForTeach", "seValidShare",  "edtTS",          "edtMiu",        "edtIdentErr",    "cbEpoch",
        "seEpoch",       "cbMaxTeachErr", "edtMaxTeachErr", "cbMidTeachErr", "edtMidTeachErr", "cbTeachIdent",
        "seTeachIdent",  "cbMaxTestErr",  "edtMaxTestErr",  "cbMidTestErr",  "edtMidTestErr",  "cbTestIdent",
        "seTestIdent",   "cbValidate",    "cbKeepBest"};
    std::vector<std::string> seen;
    QWidget* start = Spin("seUseForTeach");
    QWidget* w = start;
    do {
        std::string name = w->objectName().toStdString();
        if (std::find(expected.begin(), expected.end(), name) != expected.end() &&
            std::find(seen.begin(), seen.end(), name) == seen.end())
            seen.push_back(name);
        w = w->nextInFocusChain();
    } while (w != start);
    EXPECT_EQ(seen, expected);
}

TEST_F(PageLearnConfigTest, CheckBoxClickMarksChangedAndSwitchesItsValueControl) {
    for (const auto& c : kCriteria) {
        TWizardTestPeer::PageChanged(host.Wizard) = false;
        QTest::mouseClick(Box(c[0]), Qt::LeftButton);
        EXPECT_TRUE(host.Wizard.PageChanged()) << c[0];
        EXPECT_TRUE(page->findChild<QWidget*>(c[1])->isEnabled()) << c[1];
        QTest::mouseClick(Box(c[0]), Qt::LeftButton);
        EXPECT_FALSE(page->findChild<QWidget*>(c[1])->isEnabled()) << c[1];
    }
    QTest::mouseClick(Box("cbMaxTestErr"), Qt::LeftButton);
    EXPECT_TRUE(host.Wizard.LearnPage()[TCriterion::MaxTestErr].On);
    EXPECT_FALSE(host.Wizard.LearnPage()[TCriterion::MaxTeachErr].On);
}

TEST_F(PageLearnConfigTest, KeepBestBoxIsStoredMarksChangedAndNeedsTestExamples) {
    QCheckBox* box = Box("cbKeepBest");
    EXPECT_EQ(box->text(), QString::fromUtf8("Сохранить сеть с наименьшей ошибкой на тесте"));
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->isEnabled());
    TWizardTestPeer::PageChanged(host.Wizard) = false;
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(host.Wizard.LearnPage().KeepBest);
    EXPECT_TRUE(host.Wizard.PageChanged());
    // 100 % for training leaves no test example: the box is disabled, and enabled again below.
    QSpinBox* share = Spin("seUseForTeach");
    share->setValue(100);
    EXPECT_FALSE(box->isEnabled());
    share->setValue(97); // 38 of 40 records: two test examples
    EXPECT_TRUE(box->isEnabled());
    share->setValue(100);
    LeaveBackAndReturn();
    EXPECT_TRUE(box->isChecked());
    EXPECT_FALSE(box->isEnabled());
}

// The boxes that choose say what they choose by: the validation part while the shares make one.
TEST_F(PageLearnConfigTest, ValidShareTurnsTheChoosingBoxesToTheValidationPart) {
    QSpinBox* valid = Spin("seValidShare");
    EXPECT_EQ(valid->minimum(), 0);
    EXPECT_EQ(valid->maximum(), 50);
    EXPECT_EQ(valid->value(), 0);
    Spin("seUseForTeach")->setValue(100);
    EXPECT_FALSE(Box("cbKeepBest")->isEnabled());
    TWizardTestPeer::PageChanged(host.Wizard) = false;
    valid->setValue(20);
    EXPECT_EQ(host.Wizard.LearnPage().ValidShare, 20);
    EXPECT_TRUE(host.Wizard.PageChanged());
    EXPECT_TRUE(Box("cbKeepBest")->isEnabled()); // 8 of the 40 records choose
    EXPECT_EQ(Box("cbKeepBest")->text(), QString::fromUtf8("Сохранить сеть с наименьшей ошибкой на контрольной части"));
    EXPECT_EQ(Box("cbValidate")->text(),
              QString::fromUtf8("Остановить обучение при росте ошибки на контрольной части"));
    for (const char* name : {"cbValidate", "cbKeepBest"})
        EXPECT_LE(Box(name)->sizeHint().width(), Box(name)->width()) << name;
    ExpectPlacesKeepTheirOrder();
    // A share that sets no record aside chooses by the test part again.
    Spin("seUseForTeach")->setValue(4);
    EXPECT_EQ(Box("cbKeepBest")->text(), QString::fromUtf8("Сохранить сеть с наименьшей ошибкой на тесте"));
    EXPECT_EQ(Box("cbKeepBest")->font(), Box("cbEpoch")->font());
}

// Every control of the page: a changed value marks the page changed, and leaving it forward the
// project modified; showing the page's values is no change.
TEST_F(PageLearnConfigTest, EveryChangedValueMarksTheProjectModified) {
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"cbValidate", [&] { QTest::mouseClick(Box("cbValidate"), Qt::LeftButton); }},
        {"cbKeepBest", [&] { QTest::mouseClick(Box("cbKeepBest"), Qt::LeftButton); }},
        {"edtTS", [&] { Retype(Edit("edtTS"), "0.3"); }},
        {"edtMiu", [&] { Retype(Edit("edtMiu"), "0.5"); }},
        {"edtIdentErr", [&] { Retype(Edit("edtIdentErr"), "0.1"); }},
        {"seUseForTeach", [&] { Spin("seUseForTeach")->setValue(60); }},
        {"seTestIdent", [&] { Spin("seTestIdent")->stepUp(); }},
        {"seValidShare", [&] { Spin("seValidShare")->stepUp(); }},
    };
    for (const auto& [name, change] : changes) {
        TWizardTestPeer::PageChanged(host.Wizard) = false;
        TWizardTestPeer::Modified(host.Wizard) = false;
        page->ShowPage();
        EXPECT_FALSE(host.Wizard.PageChanged()) << name;
        change();
        EXPECT_TRUE(host.Wizard.PageChanged()) << name;
        page->SyncToModel();
        host.Wizard.Next();
        EXPECT_TRUE(host.Wizard.Modified()) << name;
        host.Wizard.Prev();
    }
    EXPECT_TRUE(host.Wizard.LearnPage().Validate);
    EXPECT_EQ(host.Wizard.LearnPage().MiuText, "0.5");
    EXPECT_EQ(host.Wizard.LearnPage().UseForTeach, 60);
}

TEST_F(PageLearnConfigTest, ClearedThresholdIsRefilledWhenShownAgain) {
    for (const char* box : {"cbMaxTestErr", "cbMidTeachErr"}) // a disabled edit takes no typing
        QTest::mouseClick(Box(box), Qt::LeftButton);
    Retype(Edit("edtMaxTestErr"), "");
    Retype(Edit("edtIdentErr"), "");
    Retype(Edit("edtMidTeachErr"), "0.2");
    LeaveBackAndReturn();
    EXPECT_EQ(Edit("edtMaxTestErr")->text(), "0.05");
    EXPECT_EQ(Edit("edtIdentErr")->text(), "0.05");
    EXPECT_EQ(Edit("edtMidTeachErr")->text(), "0.2");
}

TEST_F(PageLearnConfigTest, ValuesApplyOnlyWhenLeftForward) {
    const double speedBefore = host.Wizard.Network().TeachSpeed;
    Retype(Edit("edtIdentErr"), "0.125");
    Retype(Edit("edtTS"), "0.3");
    Spin("seUseForTeach")->setValue(50);
    LeaveBackAndReturn();
    EXPECT_EQ(TWizardTestPeer::IdentErrLimit(host.Wizard), 0.0);
    EXPECT_EQ(host.Wizard.Network().TeachSpeed, speedBefore);
    // the unapplied rate is replaced by the network's; the threshold keeps its text
    EXPECT_EQ(Edit("edtTS")->text().toStdString(), FormatGeneral(speedBefore, 5));
    EXPECT_EQ(Edit("edtIdentErr")->text(), "0.125");

    Retype(Edit("edtTS"), "0.3");
    page->SyncToModel();
    ASSERT_TRUE(host.Guard([&] { host.Wizard.Next(); }));
    EXPECT_EQ(host.Wizard.State(), 4);
    EXPECT_EQ(TWizardTestPeer::IdentErrLimit(host.Wizard), 0.125);
    EXPECT_EQ(host.Wizard.Network().TeachSpeed, 0.3);
    EXPECT_EQ(host.Wizard.TeachCount(), 20); // 50 % of 40 records
    EXPECT_EQ(host.Wizard.TestCount(), 20);
}

TEST_F(PageLearnConfigTest, TextStillBeingTypedInASpinBoxIsTakenOnSync) {
    QSpinBox* spin = Spin("seUseForTeach");
    spin->findChild<QLineEdit*>()->setText("30");
    page->SyncToModel();
    EXPECT_EQ(host.Wizard.LearnPage().UseForTeach, 30);
}

TEST_F(PageLearnConfigTest, NumberOutsideTheRangeIsBroughtBackIntoIt) {
    QSpinBox* spin = Spin("seUseForTeach");
    spin->findChild<QLineEdit*>()->setText("0"); // below the minimum of 1
    page->SyncToModel();
    EXPECT_EQ(host.Wizard.LearnPage().UseForTeach, 1);
}

TEST_F(PageLearnConfigTest, NonNumericThresholdStopsTheForwardStepWithTheReadersMessage) {
    QTest::mouseClick(Box("cbMidTeachErr"), Qt::LeftButton);
    Retype(Edit("edtIdentErr"), "0.07");
    Retype(Edit("edtMidTeachErr"), "abc");
    page->SyncToModel();
    EXPECT_FALSE(host.Guard([&] { host.Wizard.Next(); }));
    ASSERT_EQ(host.Boxes.Errors.size(), 1u);
    EXPECT_EQ(host.Boxes.Errors[0], "Средняя ошибка при обучении: «abc» — не число");
    EXPECT_EQ(host.Wizard.State(), 3);
    EXPECT_EQ(TWizardTestPeer::IdentErrLimit(host.Wizard), 0.07); // taken before the faulty field
}

} // namespace
} // namespace nirvex

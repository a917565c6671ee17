// The window never drops what the user did and shows the numbers it uses: driven through its
// controls as a user would (type, tab, click, close).
#include "UiTestSupport.h"
#include "support/WizardTestPeer.h"

#include "controls/GraphPanel.h"
#include "controls/Histo.h"
#include "project/ProjectFile.h"

#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace nirvex;
using namespace nirvex::test;

namespace {

class KeepsWorkTest : public ::testing::Test, public TWindowFixture {
protected:
    QString Iris() const { return ExampleFile("iris.txt"); }
    // A sample of three fields written into the test's folder.
    QString SmallSample() {
        QString name = dir.filePath(QStringLiteral("small.txt"));
        QFile f(name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("a\tb\tc\r\n1\t2\t3\r\n2\t3\t4\r\n3\t5\t6\r\n");
        return name;
    }
    // Focus leaves page 1 for the frame's buttons and comes back, as Tab does.
    void TabRound() {
        Find("btnNext")->setFocus(Qt::TabFocusReason);
        Find("edtLearnSampleFileName")->setFocus(Qt::TabFocusReason);
    }
    int ListedFields() { return Find<QListWidget>("lbAvailableFields")->count(); }
    // Clicks the radio item of `group` that is checked now.
    void ClickChecked(const char* group) {
        for (QRadioButton* b : Find(group)->findChildren<QRadioButton*>())
            if (b->isChecked()) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        ADD_FAILURE() << "nothing checked in " << group;
    }
    QTemporaryDir dir;
};

// Pixels of exactly `colour` in `img` left of x = `right`.
int CountPixels(const QImage& img, QRgb colour, int right) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < std::min(right, img.width()); ++x)
            n += img.pixel(x, y) == colour ? 1 : 0;
    return n;
}

} // namespace

TEST_F(KeepsWorkTest, TypedNameIsLoadedAfterTabbingRound) {
    Type("edtLearnSampleFileName", Iris());
    TabRound();
    Click("btnNext");
    ASSERT_EQ(Model().State(), 1);
    EXPECT_EQ(ListedFields(), 5);
    // Another name typed after going back replaces the loaded sample, tabbing or not.
    Click("btnPrev");
    const QString small = SmallSample();
    Type("edtLearnSampleFileName", small);
    TabRound();
    Click("btnNext");
    EXPECT_EQ(ListedFields(), 3);
    EXPECT_EQ(Model().LearnSampleFileName(), small.toStdString());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(KeepsWorkTest, FailedLoadIsRetriedAfterAClickIntoTheEdit) {
    const QString later = dir.filePath(QStringLiteral("later.txt"));
    LoadSample(later);
    EXPECT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_EQ(Model().State(), 0);
    QFile::copy(Iris(), later);
    QTest::mouseClick(Find("edtLearnSampleFileName"), Qt::LeftButton);
    Click("btnNext");
    EXPECT_EQ(Model().State(), 1);
    EXPECT_EQ(ListedFields(), 5);
}

TEST_F(KeepsWorkTest, ProjectSavedOnPageOneLoadsItsSampleOnNext) {
    TFakeDialogs otherDialogs;
    TfrmWizard other(&otherDialogs);
    other.Model().SampleFileTextChanged(Iris().toStdString());
    other.Model().Next();
    other.Model().Prev();
    std::string saved = SaveProject(other.Model(), dir.filePath(QStringLiteral("p1.qvx")).toStdString());
    Window->OpenProject(QString::fromStdString(saved));
    ASSERT_EQ(Model().State(), 0);
    EXPECT_EQ(Find<QLineEdit>("edtLearnSampleFileName")->text(), Iris());
    Click("btnNext");
    EXPECT_EQ(Model().State(), 1);
    EXPECT_EQ(ListedFields(), 5);
}

TEST_F(KeepsWorkTest, ClicksAndVisitsThatChangeNothingKeepTheTrainedWeights) {
    LoadIris();
    Click("btnNext");
    const double weight = Model().Network().GetWeight(0, 0, 0);
    Click("btnPrev");
    TWizardTestPeer::Modified(Model()) = false;
    for (int round = 0; round < 2; ++round) {
        // Page 2: the role and the method already checked, clicked again.
        ClickChecked("rgUseFieldAs");
        ClickChecked("rgNormalizeFieldAs");
        EXPECT_FALSE(Model().PageChanged());
        Click("btnNext");
        // Page 3: a cell selected, the slope edit entered and left, nothing typed.
        auto* grid = Find<QTableWidget>("sgHideLayerConfig");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(1, 1)).center());
        Find("edtAlpha")->setFocus(Qt::MouseFocusReason);
        Find("seHideLayerCount")->setFocus(Qt::TabFocusReason);
        EXPECT_FALSE(Model().PageChanged());
        Click("btnNext");
        ASSERT_EQ(Model().State(), 3);
        EXPECT_EQ(Model().Network().GetWeight(0, 0, 0), weight);
        EXPECT_FALSE(Model().Modified());
        Click("btnPrev");
        Click("btnPrev");
    }
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(KeepsWorkTest, ChangedLearningRateMakesClosingAsk) {
    LoadIris();
    Click("btnNext");
    Click("btnNext");
    ASSERT_EQ(Model().State(), 3);
    TWizardTestPeer::Modified(Model()) = false;
    Type("edtTS", QStringLiteral("0.3"));
    Dialogs.NextAnswer = IDialogs::TAnswer::Cancel;
    EXPECT_FALSE(Window->close());
    EXPECT_EQ(Dialogs.Questions.size(), 1);
    Click("btnNext");
    EXPECT_TRUE(Model().Modified());
    EXPECT_EQ(Model().Network().TeachSpeed, 0.3);
}

TEST_F(KeepsWorkTest, PicturesDuringARunShowTheRefreshedEpoch) {
    ToTrainingPage(100000);
    auto* histo = Find<THisto>("hErrors");
    auto* teach = Find<TGraphPanel>("gpTeach");
    // Grabbed from inside the run, whenever the event loop is served: with the refreshed epoch
    // held, each picture carries the test bars, whatever the pass under way.
    std::vector<int> redPixels;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (Window->StatusText().isEmpty())
            return;
        QImage bars = histo->grab().toImage().copy(0, 25, histo->width(), histo->height() - 50);
        redPixels.push_back(CountPixels(bars, 0xffff0000, bars.width()));
        if (redPixels.size() == 8)
            Click("btnLearn"); // stop
    });
    tick.start(5);
    Click("btnLearn");
    tick.stop();
    ASSERT_EQ(redPixels.size(), 8u);
    for (std::size_t k = 0; k < redPixels.size(); ++k)
        EXPECT_GT(redPixels[k], 0) << k;
    // Species 0 is a target of 0: its dots lie at the panel's left edge, not in the middle.
    EXPECT_GT(CountPixels(teach->grab().toImage(), 0xff00ff00, 40), 0);
}

TEST_F(KeepsWorkTest, FailedRunShowsTheStartButtonBeforeItsErrorBox) {
    LoadIris();
    // SepalLength with MAX = MIN: its normalization divides by zero as the run starts.
    Type("edtParmMax", Find<QLineEdit>("edtParmMin")->text());
    Find("lbAvailableFields")->setFocus(Qt::TabFocusReason);
    for (int page = 1; page < 5; ++page)
        Click("btnNext");
    ASSERT_EQ(Model().State(), 5);
    QString caption, hint;
    bool animated = false, backEnabled = false;
    Dialogs.OnError = [&] {
        caption = Find<QAbstractButton>("btnLearn")->text();
        hint = Find("btnLearn")->toolTip();
        animated = Window->IconTimer()->isActive();
        backEnabled = Find("btnPrev")->isEnabled();
    };
    Click("btnLearn");
    ASSERT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_EQ(caption, QStringLiteral("Пуск обучения"));
    EXPECT_EQ(hint, QStringLiteral("Начало обучения системы"));
    EXPECT_TRUE(animated);
    EXPECT_TRUE(backEnabled);
}

TEST_F(KeepsWorkTest, CommandLineSampleIsNoChangeAndNextLoadsIt) {
    TFakeDialogs otherDialogs;
    TfrmWizard other(&otherDialogs);
    other.show();
    other.StartWithSample(Iris());
    EXPECT_EQ(other.findChild<QLineEdit*>(QStringLiteral("edtLearnSampleFileName"))->text(), Iris());
    EXPECT_TRUE(other.close());
    EXPECT_TRUE(otherDialogs.Questions.isEmpty());

    Window->StartWithSample(Iris());
    Click("btnNext");
    EXPECT_EQ(Model().State(), 1);
    EXPECT_EQ(ListedFields(), 5);
}

TEST_F(KeepsWorkTest, IconAnimationRunsAfterTheSplash) {
    Window->FormActivate(QString(), true); // the splash shows for its two seconds
    EXPECT_TRUE(Window->IconTimer()->isActive());
}

TEST_F(KeepsWorkTest, CaptionsAndHintsAreSpelledRight) {
    const struct {
        const char* Control;
        bool Hint;
        const char* Text;
    } expected[] = {
        {"mReport", true, "Информация о конфигурации нейросистемы"},
        {"seHideLayerCount", true, "Количество скрытых слоев НС"},
        {"btnPredict", false, "Расчёт"},
        {"btnPredict", true, "Проведение нейросетевого расчёта"},
        {"sgInp", true, "Значения входов нейросети, при которых надо провести расчёт"},
        {"sgOut", true, "Результат нейросетевого расчёта"},
        {"cbMidTeachErr", false, "Средняя ошибка при обучении <"},
        {"cbMidTestErr", false, "Средняя ошибка при тестировании <"},
        {"btnLearn", true, "Начало обучения системы"},
    };
    for (const auto& e : expected) {
        QWidget* w = Find(e.Control);
        QString shown = e.Hint ? w->toolTip() : qobject_cast<QAbstractButton*>(w)->text();
        EXPECT_EQ(shown, QString::fromUtf8(e.Text)) << e.Control;
    }
}

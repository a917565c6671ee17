// The window never drops what the user did and shows the numbers it uses: driven through its
// controls as a user would (type, tab, click, close).
#include "UiTestSupport.h"
#include "support/WizardTestPeer.h"

#include "common/NumberText.h"
#include "controls/GraphPanel.h"
#include "controls/Histo.h"
#include "project/ProjectFile.h"
#include "support/TestFiles.h"
#include "wizard/Messages.h"

#include <QDir>
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
    // A CSV of values the five-digit display rounds: x and y inputs, z the target.
    QString OddSample() {
        QString name = dir.filePath(QStringLiteral("odd.csv"));
        QFile f(name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x;y;z\r\n");
        for (int r = 0; r < 24; ++r)
            f.write(QStringLiteral("%1;%2;%3\r\n")
                        .arg(-542.896123 + r * 17.0312347, 0, 'g', 12)
                        .arg(0.0001234567 * (r % 7 + 1), 0, 'g', 12)
                        .arg((r * 5 % 11) / 3.0, 0, 'g', 12)
                        .toUtf8());
        return name;
    }
    // Clicks into `edit` and presses Tab `times`, typing nothing.
    void ClickAndTab(const char* edit, int times) {
        QTest::mouseClick(Find(edit), Qt::LeftButton, {}, QPoint(5, 8));
        for (int k = 0; k < times; ++k)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    void ClickEntry(int row) {
        auto* list = Find<QListWidget>("lbAvailableFields");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
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
        if (!Window->StatusText().startsWith(QStringLiteral("Эпоха: "))) // not refreshed yet
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

// Clicking into every MIN, MAX, a, slope and rate edit and leaving it with Tab, typing nothing,
// changes nothing: the project saved again is the same file and the network is still the trained one.
TEST_F(KeepsWorkTest, TabbingThroughEveryEditChangesNothing) {
    LoadSample(OddSample());
    Click("btnNext");
    Click("btnNext");
    Type("edtTS", QStringLiteral("0.123456789"));
    Click("cbEpoch");
    Find<QSpinBox>("seEpoch")->setValue(3);
    Click("btnNext");
    Click("btnNext");
    Click("btnLearn");
    Click("btnNext");
    ASSERT_EQ(Model().State(), 6);
    ASSERT_EQ(Model().Network().Epoch, 4);
    const QString project = dir.filePath(QStringLiteral("odd.qvx"));
    Dialogs.NextSaveFile = project;
    Click("btnStore");
    const std::string saved = ReadBytes(project.toStdString());
    ASSERT_FALSE(saved.empty());

    Dialogs.NextSaveFile = dir.filePath(QStringLiteral("other.qvx")); // no dialog is expected now
    Click("btnPrev");
    Click("btnPrev");
    Click("btnPrev");
    ASSERT_EQ(Model().State(), 3);
    ClickAndTab("edtTS", 14); // the rates, the threshold and every criterion's value
    Click("btnPrev");
    ClickAndTab("edtAlpha", 2);
    Click("btnPrev");
    for (int row = 0; row < 3; ++row) {
        ClickEntry(row);
        ClickAndTab("edtParmMin", 2);
        ClickAndTab("edtParmMax", 2);
    }
    EXPECT_EQ(Find<QLineEdit>("edtParmMin")->text(), QStringLiteral("0")); // z as shown
    ClickEntry(0);
    EXPECT_EQ(Find<QLineEdit>("edtParmMin")->text(), QStringLiteral("-542.9")); // rounded for the eye only
    for (int page = 1; page < 6; ++page)
        Click("btnNext");
    ASSERT_EQ(Model().State(), 6);
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(' ').toStdString();
    EXPECT_EQ(Model().Network().Epoch, 4);
    EXPECT_FALSE(Model().HasUnsavedChanges());
    Click("btnStore");
    EXPECT_EQ(ReadBytes(project.toStdString()), saved);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("other.qvx"))));
}

// Page 3 rebuilds the network: page 6 shows nothing of the trained one, page 7 refuses to compute,
// export or predict over a file with it.
TEST_F(KeepsWorkTest, RebuiltNetworkLeavesPagesSixAndSevenEmptyAndRefusing) {
    ToTrainingPage(5);
    Click("btnLearn");
    Click("btnNext");
    auto* inputs = Find<QTableWidget>("sgInp");
    for (int r = 1; r <= 4; ++r)
        inputs->item(r, 1)->setText(QStringLiteral("5"));
    Click("btnPredict");
    auto* outputs = Find<QTableWidget>("sgOut");
    ASSERT_FALSE(outputs->item(1, 1)->text().isEmpty());
    for (int page = 6; page > 2; --page)
        Click("btnPrev");
    Find<QTableWidget>("sgHideLayerConfig")->item(1, 1)->setText(QStringLiteral("6"));
    for (int page = 2; page < 5; ++page)
        Click("btnNext");
    ASSERT_EQ(Model().State(), 5);
    auto* stats = Find<QTableWidget>("sgStat");
    for (int r = 1; r < 4; ++r)
        for (int c = 1; c < 3; ++c)
            EXPECT_TRUE(stats->item(r, c)->text().isEmpty()) << r << " " << c;
    EXPECT_EQ(Find<THisto>("hErrors")->TeachTotal() + Find<THisto>("hErrors")->TestTotal(), 0);
    EXPECT_EQ(Find<TGraphPanel>("gpTeach")->PountsCount(), 0);
    EXPECT_EQ(Find<TGraphPanel>("gpTest")->PountsCount(), 0);
    EXPECT_TRUE(Model().Curve().Empty());
    EXPECT_EQ(Window->StatusText(), QString::fromUtf8(kStatusNewNetwork));
    Click("btnNext");
    EXPECT_TRUE(outputs->item(1, 1)->text().isEmpty());
    Dialogs.NextOpenFile = ExampleFile("iris.txt");
    Dialogs.NextSaveFile = dir.filePath(QStringLiteral("out.onnx"));
    for (const char* button : {"btnPredict", "btnPredictFile", "btnExport"}) {
        Dialogs.Errors.clear();
        Dialogs.LastFilter.clear();
        Click(button);
        EXPECT_EQ(Dialogs.Errors, QStringList{QString::fromUtf8(msgNotTrained)}) << button;
        EXPECT_TRUE(Dialogs.LastFilter.isEmpty()) << button; // refused before any file is asked for
    }
    EXPECT_TRUE(outputs->item(1, 1)->text().isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

// A run that takes back an earlier epoch shows that epoch's network everywhere: the grid, and the
// panels' points are what the network now computes.
TEST_F(KeepsWorkTest, NetworkTakenBackIsWhatPageSixShows) {
    LoadIris();
    Model().RestoreRecordSeed(20240611); // the same run every time
    Click("btnNext");
    Click("btnNext");
    Type("edtTS", QStringLiteral("4"));
    Click("cbEpoch");
    Find<QSpinBox>("seEpoch")->setValue(2); // the second of three epochs has the least test error
    Click("cbKeepBest");
    Click("btnNext");
    Click("btnNext");
    Click("btnLearn");
    const int32_t restored = Model().RestoredEpoch();
    ASSERT_GT(restored, 0) << "the fixture needs a best epoch before the last";
    ASSERT_LT(restored, 3);
    EXPECT_EQ(Window->StatusText(), QString::fromStdString(BestRestoredMessage(restored)));
    auto* stats = Find<QTableWidget>("sgStat");
    for (int r = 1; r < 4; ++r)
        for (int c = 1; c < 3; ++c)
            EXPECT_EQ(stats->item(r, c)->text().toStdString(),
                      Model().StatCells()[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)]);
    const TCurvePoint& best = Model().Curve().Points()[static_cast<std::size_t>(restored - 1)];
    ASSERT_EQ(best.Epoch, restored - 1);
    EXPECT_EQ(stats->item(1, 2)->text().toStdString(), FormatGeneral(best.TestMean, 5));
    // Each test point: the target against what the network taken back computes for that record.
    auto* panel = Find<TGraphPanel>("gpTest");
    ASSERT_EQ(panel->PountsCount(), Model().TestCount());
    const TFieldInfo& species = Model().Fields()[4];
    for (int32_t k = 0; k < Model().TestCount(); ++k) {
        const auto record =
            static_cast<std::size_t>(Model().RecordIndex()[static_cast<std::size_t>(Model().TeachCount() + k)]);
        std::vector<double> in;
        for (int f = 0; f < 4; ++f)
            in.push_back(Model().Fields()[static_cast<std::size_t>(f)].Values[record]);
        const double plotted = (Model().PredictValues(in)[0] - species.Min) / (species.Max - species.Min);
        EXPECT_NEAR(panel->Point(k).Y, plotted, 1e-12) << k;
    }
    EXPECT_EQ(Find<THisto>("hErrors")->TeachTotal(), Model().TeachCount());
    EXPECT_EQ(Find<THisto>("hErrors")->TestTotal(), Model().TestCount());
}

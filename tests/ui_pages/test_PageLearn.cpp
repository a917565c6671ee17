#include "PagesFixture.h"
#include "support/WizardTestPeer.h"
#include "ui/PageLearn.h"

#include "common/RandomGen.h"
#include "controls/ErrorCurveView.h"
#include "controls/GraphPanel.h"
#include "controls/Histo.h"
#include "controls/ImportanceView.h"
#include "controls/TargetFiguresView.h"
#include "project/ProjectFile.h"
#include "support/WidgetGeometry.h"

#include <QAction>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace nirvex {
namespace {

using test::TTestHost;

const QString kStart = QString::fromUtf8("Пуск обучения");
const QString kStartHint = QString::fromUtf8("Начало обучения системы");
const QString kStop = QString::fromUtf8("Остановка обучения");
const QString kStopHint = QString::fromUtf8("Остановка обучения системы");
const QString kWait = QString::fromUtf8("Ждите...");

class PageLearnTest : public testing::Test {
protected:
    void SetUp() override {
        SetRandSeed(11);
        ASSERT_TRUE(dir.isValid());
        sample = dir.filePath("s.txt").toStdString();
        test::WriteSample(sample, 50);
        test::ConfigureUpToLearnPage(host.Wizard, sample, 4);
    }

    // Leaves page 4 forward with the settings made so far and shows the training page.
    void OpenLearnPage() {
        ASSERT_TRUE(host.Guard([&] { host.Wizard.Next(); }));
        ASSERT_TRUE(host.Guard([&] { host.Wizard.Next(); }));
        ASSERT_EQ(host.Wizard.State(), 5);
        page = std::make_unique<TPageLearn>(host, nullptr);
        page->resize(kPageClientWidth, kPageClientHeight);
        page->show();
        page->ShowPage();
        btn = page->findChild<QPushButton*>("btnLearn");
        grid = page->findChild<QTableWidget*>("sgStat");
        histo = page->findChild<THisto*>("hErrors");
        teach = page->findChild<TGraphPanel*>("gpTeach");
        testPanel = page->findChild<TGraphPanel*>("gpTest");
        ASSERT_TRUE(btn && grid && histo && teach && testPanel);
    }

    void Tick(TCriterion which) { host.Wizard.CriterionClicked(which, true); }

    QString Cell(int column, int row) const { return grid->item(row, column)->text(); }

    // Every value cell shows what the model computed for the last refresh.
    void ExpectGridShowsModel() const {
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 4; ++r)
                EXPECT_EQ(Cell(c, r).toStdString(), host.Wizard.StatCells()[c][r]) << c << "," << r;
    }

    void ExpectIdle() const {
        EXPECT_EQ(btn->text(), kStart);
        EXPECT_EQ(btn->toolTip(), kStartHint);
        EXPECT_FALSE(host.Wizard.Training());
        ASSERT_FALSE(host.Frames.empty());
        const test::TFrameState& f = host.Frames.back();
        EXPECT_TRUE(f.Next && f.Prev && f.Quit && f.IconTimer);
    }

    QTemporaryDir dir;
    std::string sample;
    TTestHost host;
    std::unique_ptr<TPageLearn> page;
    QPushButton* btn = nullptr;
    QTableWidget* grid = nullptr;
    THisto* histo = nullptr;
    TGraphPanel* teach = nullptr;
    TGraphPanel* testPanel = nullptr;
};

TEST_F(PageLearnTest, ShowsHeadingsIdleButtonAndLayout) {
    OpenLearnPage();
    EXPECT_EQ(Cell(1, 0), QString::fromUtf8("Обуч."));
    EXPECT_EQ(Cell(2, 0), QString::fromUtf8("Тест."));
    EXPECT_EQ(Cell(0, 1), QString::fromUtf8("Error ср."));
    EXPECT_EQ(Cell(0, 2), QString::fromUtf8("Error макс."));
    EXPECT_EQ(Cell(0, 3), QString::fromUtf8("Распознано"));
    EXPECT_EQ(Cell(1, 1), "");
    EXPECT_EQ(grid->rowCount(), 4);
    EXPECT_EQ(grid->columnCount(), 3);
    EXPECT_FALSE(grid->isEnabled());
    EXPECT_EQ(btn->text(), kStart);
    EXPECT_EQ(btn->toolTip(), kStartHint);
    // The histogram across the top; below it the two panels, square and alike, then the grid with
    // the button under it.
    const QWidget* p = page.get();
    EXPECT_EQ(test::RectIn(histo, p), QRect(0, 0, p->width(), histo->height()));
    EXPECT_TRUE(test::InOrder(p, {teach, testPanel, grid}, Qt::Horizontal));
    EXPECT_TRUE(test::InOrder(p, {histo, grid, btn}, Qt::Vertical));
    for (const QWidget* w : {teach, testPanel})
        EXPECT_TRUE(test::InOrder(p, {histo, w}, Qt::Vertical));
    EXPECT_EQ(teach->width(), teach->height());
    EXPECT_EQ(testPanel->size(), teach->size());
    EXPECT_EQ(test::RectIn(grid, p).top(), test::RectIn(teach, p).top());
    EXPECT_TRUE(test::NoneOverlap(p, {histo, teach, testPanel, grid, btn}));
    // Not the grid: its frame ends 3 pixels past the page's right edge. Its cells are on the page,
    // all of them visible without scrolling.
    test::TWidgets controls;
    for (const QWidget* w : test::NamedControls(p))
        if (w != grid)
            controls.push_back(w);
    EXPECT_TRUE(test::AllInside(p, controls));
    int cellsWidth = 0, cellsHeight = 0;
    for (int c = 0; c < grid->columnCount(); ++c)
        cellsWidth += grid->columnWidth(c);
    for (int r = 0; r < grid->rowCount(); ++r)
        cellsHeight += grid->rowHeight(r);
    EXPECT_LE(cellsWidth, grid->viewport()->width());
    EXPECT_LE(cellsHeight, grid->viewport()->height());
    EXPECT_LE(test::RectIn(grid->viewport(), p).x() + cellsWidth, p->width());
    EXPECT_EQ(histo->Color(), QColor(Qt::black));
    EXPECT_EQ(histo->HistoColor1(), QColor(0, 255, 0));
    EXPECT_EQ(histo->HistoColor2(), QColor(255, 0, 0));
    EXPECT_EQ(teach->Color(), QColor(0, 255, 0));
    EXPECT_EQ(testPanel->Color(), QColor(255, 0, 0));
}

TEST_F(PageLearnTest, RunEndedByTheEpochLimit) {
    Tick(TCriterion::Epoch);
    host.Wizard.SetCriterionCount(TCriterion::Epoch, 12);
    OpenLearnPage();
    QTest::mouseClick(btn, Qt::LeftButton);

    ASSERT_EQ(host.Boxes.Messages.size(), 1u);
    EXPECT_EQ(host.Boxes.Messages[0], QString::fromUtf8("Остановка обучения\n\rИсчерпан лимит эпох."));
    EXPECT_TRUE(host.Boxes.Errors.empty());
    EXPECT_EQ(host.Wizard.Network().Epoch, 13); // counters 0..12 before the increase
    // refreshed after the epochs counted 0 and 10: the status shows the latter
    EXPECT_EQ(host.Wizard.StatusText(), "Эпоха: 10");
    ExpectGridShowsModel();
    EXPECT_FALSE(Cell(1, 1).isEmpty());
    EXPECT_TRUE(Cell(1, 3).endsWith('%'));
    EXPECT_EQ(teach->PountsCount(), host.Wizard.TeachCount());
    EXPECT_EQ(testPanel->PountsCount(), host.Wizard.TestCount());
    EXPECT_EQ(histo->TeachTotal(), host.Wizard.TeachCount()); // cleared every epoch
    EXPECT_EQ(histo->TestTotal(), host.Wizard.TestCount());
    // Targets and outputs are plotted as they are, both within 0..1.
    for (int k = 0; k < teach->PountsCount(); ++k) {
        EXPECT_GE(teach->Point(k).X, 0.0);
        EXPECT_LE(teach->Point(k).X, 1.0);
        EXPECT_GT(teach->Point(k).Y, 0.0);
        EXPECT_LT(teach->Point(k).Y, 1.0);
    }
    // Running while the run lasted, idle at its end
    ASSERT_GE(host.Frames.size(), 2u);
    const test::TFrameState& first = host.Frames.front();
    EXPECT_FALSE(first.Next || first.Prev || first.Quit || first.IconTimer);
    EXPECT_EQ(QString::fromStdString(first.Caption), kStop);
    EXPECT_EQ(QString::fromStdString(first.Hint), kStopHint);
    ExpectIdle();
}

// Lime (training) and red (test) pixels of a picture, by column band.
int CountColor(const QImage& img, QColor color, int x0, int x1) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x) {
            const QColor c = img.pixelColor(x, y);
            n += std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                     std::abs(c.blue() - color.blue()) <
                 60;
        }
    return n;
}

TEST_F(PageLearnTest, SwitchShowsTheErrorCurveOfTheRunInTheHistogramsPlace) {
    Tick(TCriterion::Epoch);
    host.Wizard.SetCriterionCount(TCriterion::Epoch, 30);
    OpenLearnPage();
    auto* curve = page->findChild<QWidget*>("crvErrors");
    auto* view = page->findChild<QToolButton*>("btnView");
    auto* showCurve = page->findChild<QAction*>("actShowCurve");
    auto* showHisto = page->findChild<QAction*>("actShowHisto");
    ASSERT_TRUE(curve && view && showCurve && showHisto);
    EXPECT_TRUE(histo->isVisible());
    EXPECT_FALSE(curve->isVisible());
    EXPECT_TRUE(showHisto->isChecked());
    EXPECT_EQ(view->text(), QString::fromUtf8("Гистограмма"));
    QTest::mouseClick(btn, Qt::LeftButton);
    ASSERT_EQ(host.Wizard.Curve().Points().size(), 31u);

    showCurve->trigger();
    EXPECT_TRUE(curve->isVisible());
    EXPECT_FALSE(histo->isVisible());
    EXPECT_TRUE(showCurve->isChecked());
    EXPECT_FALSE(showHisto->isChecked());
    EXPECT_EQ(view->text(), QString::fromUtf8("Кривая ошибки"));
    EXPECT_EQ(curve->geometry(), histo->geometry());
    // Both lines are drawn inside the plot (and their legend above it).
    const QImage img = curve->grab().toImage();
    const int left = TErrorCurveView::kLeft + 2, right = img.width() - TErrorCurveView::kRight;
    const QImage plot = img.copy(0, TErrorCurveView::kTop, img.width(), img.height() - TErrorCurveView::kTop);
    EXPECT_GT(CountColor(plot, QColor(0, 255, 0), left, right), 30);
    EXPECT_GT(CountColor(plot, QColor(255, 0, 0), left, right), 30);

    showHisto->trigger();
    EXPECT_TRUE(histo->isVisible());
    EXPECT_FALSE(curve->isVisible());
}

// The three parts down the grid, its cells whole within the page, and the validation line on the curve.
TEST_F(PageLearnTest, ValidationPartShowsInTheGridAndOnTheCurve) {
    Tick(TCriterion::Epoch);
    host.Wizard.SetCriterionCount(TCriterion::Epoch, 30);
    host.Wizard.SetLearnValue(&TLearnPage::ValidShare, 25);
    OpenLearnPage();
    QTest::mouseClick(btn, Qt::LeftButton);
    ASSERT_EQ(host.Wizard.ValidCount(), 10);
    ASSERT_EQ(grid->columnCount(), 4);
    const auto& cells = host.Wizard.StatCells();
    const std::size_t parts[] = {0, 1, 3, 2}; // down the grid: training, validation, test
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(Cell(c, r).toStdString(), cells[parts[r]][static_cast<std::size_t>(c)]) << c << "," << r;
            EXPECT_LE(grid->fontMetrics().horizontalAdvance(Cell(c, r)) + 2, grid->columnWidth(c)) << c << "," << r;
        }
    EXPECT_EQ(Cell(0, 2), QString::fromUtf8("Контр."));
    const QWidget* p = page.get();
    EXPECT_LE(test::RectIn(grid, p).right(), p->rect().right());
    EXPECT_TRUE(test::NoneOverlap(p, {teach, testPanel, grid, btn}));
    EXPECT_TRUE(test::InOrder(p, {teach, testPanel, grid}, Qt::Horizontal));

    page->ShowCurve(true);
    const QImage img = page->findChild<QWidget*>("crvErrors")->grab().toImage();
    const QImage plot = img.copy(0, TErrorCurveView::kTop, img.width(), img.height() - TErrorCurveView::kTop);
    EXPECT_GT(CountColor(plot, QColor(255, 255, 0), TErrorCurveView::kLeft + 2, img.width()), 30);
}

TEST_F(PageLearnTest, ImportanceMeasuredWhenTheRunEndsShownInOrderAndClearedByARebuild) {
    Tick(TCriterion::Epoch);
    host.Wizard.SetCriterionCount(TCriterion::Epoch, 300);
    OpenLearnPage();
    auto* bars = page->findChild<TImportanceView*>("impInputs");
    auto* show = page->findChild<QAction*>("actShowImportance");
    ASSERT_TRUE(bars && show);
    EXPECT_TRUE(bars->Rows().empty());
    QTest::mouseClick(btn, Qt::LeftButton);
    ASSERT_TRUE(host.Wizard.Importance());
    show->trigger();
    EXPECT_TRUE(bars->isVisible());
    EXPECT_FALSE(histo->isVisible());
    EXPECT_EQ(bars->geometry(), histo->geometry());
    // The sample's target is A + 2B, C is noise: C's bar last and short.
    const TImportance& m = *host.Wizard.Importance();
    ASSERT_EQ(m.Fields.size(), 3u);
    EXPECT_EQ(m.Fields[2].Field, "C");
    const std::vector<TImportanceView::TRow> rows = bars->Rows();
    ASSERT_EQ(rows.size(), 3u);
    for (std::size_t k = 0; k + 1 < rows.size(); ++k) {
        EXPECT_LT(rows[k].Name.top(), rows[k + 1].Name.top());
        EXPECT_GE(rows[k].Bar.width(), rows[k + 1].Bar.width());
    }
    EXPECT_GT(rows[0].Bar.width(), 4 * std::max(1, rows[2].Bar.width()));
    const QRect inside(QPoint(0, 0), bars->size());
    for (const TImportanceView::TRow& row : rows)
        EXPECT_TRUE(inside.contains(row.Share) && inside.contains(row.Name));
    // the longest bar is painted in the bars' colour
    const QImage img = bars->grab().toImage();
    EXPECT_GT(CountColor(img.copy(rows[0].Bar), QColor(0, 190, 255), 0, rows[0].Bar.width()),
              rows[0].Bar.width() * rows[0].Bar.height() / 2);

    // Rebuilding the network on page 3 takes the figures away.
    host.Wizard.Prev();
    host.Wizard.Prev();
    host.Wizard.Prev();
    host.Wizard.SetLayerCell(1, "3");
    ASSERT_TRUE(host.Guard([&] { host.Wizard.Next(); }));
    EXPECT_FALSE(host.Wizard.Importance());
    EXPECT_TRUE(host.Boxes.Errors.empty());
}

// The figures in units come at the refresh, as the model counted them, and go with a rebuilt network.
TEST_F(PageLearnTest, ErrorsInUnitsFollowTheRefreshAndFitThePicture) {
    Tick(TCriterion::Epoch);
    host.Wizard.SetCriterionCount(TCriterion::Epoch, 20);
    OpenLearnPage();
    auto* table = page->findChild<TTargetFiguresView*>("tfErrors");
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->Rows().empty());
    QTest::mouseClick(btn, Qt::LeftButton);
    page->findChild<QAction*>("actShowFigures")->trigger();
    EXPECT_TRUE(table->isVisible());
    EXPECT_FALSE(histo->isVisible());
    const std::vector<TTargetFiguresView::TRow> rows = table->Rows();
    ASSERT_EQ(rows.size(), 2u); // one number target: its RMSE and its mean absolute error
    const TTargetFigures f = host.Wizard.TargetFigures().at(0);
    EXPECT_GT(f.Test.Rmse, 0);
    EXPECT_EQ(rows[0].Field.toStdString(), f.Field);
    EXPECT_EQ(rows[0].Teach.toStdString(), FormatFigure(f.Teach.Rmse));
    EXPECT_EQ(rows[1].Test.toStdString(), FormatFigure(f.Test.Mae));
    const QRect inside(QPoint(0, 0), table->size());
    for (const TTargetFiguresView::TRow& r : rows)
        EXPECT_TRUE(inside.contains(r.TestCell) && inside.contains(r.FieldCell) &&
                    !r.TeachCell.intersects(r.MeasureCell));
    // Many targets in a small picture: the rows that fit, and a line that says there are more.
    std::vector<TTargetFigures> many(20, f);
    table->SetFigures(many);
    EXPECT_LT(table->Rows().size(), 40u);
    EXPECT_LE(table->Rows().back().TestCell.bottom() + table->Rows().back().TestCell.height(), table->height());

    host.Wizard.Prev();
    host.Wizard.Prev();
    host.Wizard.Prev();
    host.Wizard.SetLayerCell(1, "3");
    ASSERT_TRUE(host.Guard([&] { host.Wizard.Next(); }));
    host.Wizard.Next();
    host.Wizard.Next();
    page->ShowPage();
    EXPECT_TRUE(table->Rows().empty());
}

TEST_F(PageLearnTest, ImportanceOfARestoredNetworkIsMeasuredWhenItsViewIsShown) {
    Tick(TCriterion::Epoch);
    host.Wizard.SetCriterionCount(TCriterion::Epoch, 5);
    OpenLearnPage();
    QTest::mouseClick(btn, Qt::LeftButton);
    ASSERT_TRUE(host.Wizard.Importance());
    // The project saved and opened again: its trained network comes without figures.
    const std::string project = dir.filePath("p.qvx").toStdString();
    ASSERT_TRUE(host.Guard([&] { SaveProject(host.Wizard, project); }));
    ASSERT_TRUE(host.Guard([&] { LoadProject(host.Wizard, project); }));
    page->ShowPage();
    ASSERT_TRUE(host.Wizard.NetworkTrained());
    EXPECT_FALSE(host.Wizard.Importance());
    page->findChild<QAction*>("actShowImportance")->trigger();
    EXPECT_TRUE(host.Wizard.Importance());
    EXPECT_EQ(host.Wizard.Importance()->Fields.size(), 3u);
}

TEST_F(PageLearnTest, RunEndedByACriterion) {
    Tick(TCriterion::MaxTeachErr);
    host.Wizard.SetCriterionText(TCriterion::MaxTeachErr, "10"); // every example's error is below 1
    OpenLearnPage();
    QTest::mouseClick(btn, Qt::LeftButton);
    ASSERT_EQ(host.Boxes.Messages.size(), 1u);
    EXPECT_EQ(host.Boxes.Messages[0], QString::fromUtf8("Обучение завершено успешно"));
    EXPECT_EQ(host.Wizard.Network().Epoch, 1);
    EXPECT_EQ(host.Wizard.StatusText(), "Эпоха: 0");
    ExpectGridShowsModel();
    ExpectIdle();
}

TEST_F(PageLearnTest, StopButtonPressedDuringTheRunThroughThePumpedEventLoop) {
    OpenLearnPage(); // no criterion: only the stop button ends this run
    QString captionRunning, hintRunning, captionStopping;
    bool navDuringRun = true, stopFlag = false, timedOut = false;
    QTimer stopper, watchdog;
    stopper.setSingleShot(true);
    watchdog.setSingleShot(true);
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        captionRunning = btn->text();
        hintRunning = btn->toolTip();
        navDuringRun = host.Wizard.NextEnabled() || host.Wizard.PrevEnabled() || host.Wizard.QuitEnabled();
        QTest::mouseClick(btn, Qt::LeftButton);
        captionStopping = btn->text();
        stopFlag = host.Wizard.StopRequested();
    });
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        host.Wizard.RequestStop();
    });
    stopper.start(60);
    watchdog.start(20000);
    EXPECT_EQ(btn->text(), kStart);
    QTest::mouseClick(btn, Qt::LeftButton);

    EXPECT_FALSE(timedOut);
    EXPECT_EQ(captionRunning, kStop);
    EXPECT_EQ(hintRunning, kStopHint);
    EXPECT_FALSE(navDuringRun);
    EXPECT_EQ(captionStopping, kWait);
    EXPECT_TRUE(stopFlag);
    EXPECT_TRUE(host.Boxes.Messages.empty()); // a user stop ends without a message
    EXPECT_GE(host.Wizard.Network().Epoch, 1);
    ExpectIdle();
    std::vector<std::string> captions;
    for (const auto& f : host.Frames)
        if (captions.empty() || captions.back() != f.Caption)
            captions.push_back(f.Caption);
    EXPECT_EQ(captions, (std::vector<std::string>{"Остановка обучения", "Ждите...", "Пуск обучения"}));
}

TEST_F(PageLearnTest, ErrorDuringARunRestoresTheButtons) {
    OpenLearnPage();
    TFieldInfo& input = TWizardTestPeer::Fields(host.Wizard)[0];
    ASSERT_EQ(input.FieldType, TFieldRole::Input);
    const double min = input.Min, max = input.Max;
    input.Min = input.Max = input.DataMax + 1000; // every example divides by Max - Min = 0
    QTest::mouseClick(btn, Qt::LeftButton);

    ASSERT_FALSE(host.Frames.empty());
    const test::TFrameState& running = host.Frames.front(); // the run had started
    EXPECT_EQ(QString::fromStdString(running.Caption), kStop);
    EXPECT_FALSE(running.Next || running.Prev || running.Quit || running.IconTimer);
    ASSERT_EQ(host.Boxes.Errors.size(), 1u);
    EXPECT_EQ(host.Boxes.Errors[0], QString::fromUtf8("Деление на ноль"));
    EXPECT_TRUE(host.Boxes.Messages.empty());
    ExpectIdle();

    // the page is usable again: with the field repaired the next run trains to the epoch limit
    input.Min = min;
    input.Max = max;
    host.Wizard.CriterionClicked(TCriterion::Epoch, true);
    host.Wizard.SetCriterionCount(TCriterion::Epoch, host.Wizard.Network().Epoch);
    QTest::mouseClick(btn, Qt::LeftButton);
    ASSERT_EQ(host.Boxes.Messages.size(), 1u);
    EXPECT_EQ(host.Boxes.Messages[0], QString::fromUtf8("Остановка обучения\n\rИсчерпан лимит эпох."));
    EXPECT_EQ(host.Boxes.Errors.size(), 1u);
    ExpectIdle();
}

} // namespace
} // namespace nirvex

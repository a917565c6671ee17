#include "PagesFixture.h"
#include "ui/PageLearnConfig.h"
#include "ui/PageReport.h"

#include "common/RandomGen.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace nirvex {
namespace {

using test::TTestHost;

class PageReportTest : public testing::Test {
protected:
    void SetUp() override {
        SetRandSeed(3);
        ASSERT_TRUE(dir.isValid());
        sample = dir.filePath("s.txt").toStdString();
        test::WriteSample(sample, 40);
        test::ConfigureUpToLearnPage(host.Wizard, sample, 10);
        learn = std::make_unique<TPageLearnConfig>(host, nullptr);
        learn->ShowPage();
        report = std::make_unique<TPageReport>(host, nullptr);
        report->resize(kPageClientWidth, kPageClientHeight);
        report->show();
        memo = report->findChild<QPlainTextEdit*>("mReport");
        ASSERT_NE(memo, nullptr);
    }

    // "Далее >>" from page 4, as the frame does it.
    void NextToReport() {
        learn->SyncToModel();
        ASSERT_TRUE(host.Guard([&] { host.Wizard.Next(); }));
        ASSERT_EQ(host.Wizard.State(), 4);
        report->ShowPage();
    }

    QStringList Lines() const { return memo->toPlainText().split('\n'); }

    QTemporaryDir dir;
    std::string sample;
    TTestHost host;
    std::unique_ptr<TPageLearnConfig> learn;
    std::unique_ptr<TPageReport> report;
    QPlainTextEdit* memo = nullptr;
};

TEST_F(PageReportTest, ShowsTheModelsReportReadOnlyWithTheCaretAtTheStart) {
    QTest::mouseClick(learn->findChild<QCheckBox*>("cbEpoch"), Qt::LeftButton);
    NextToReport();
    const QStringList lines = Lines();
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(host.Wizard.Report().size()));
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].toStdString(), host.Wizard.Report()[static_cast<std::size_t>(i)]) << i;
    // 3 inputs, 1 target, one hidden layer, only the epoch limit: 25 lines ending in the limit
    EXPECT_EQ(lines.size(), 25);
    EXPECT_EQ(lines.front(), QString::fromUtf8("Конфигурация нейросистемы"));
    EXPECT_EQ(lines.back(), QString::fromUtf8("   прошло 10000 эпох"));
    EXPECT_TRUE(lines.contains(QString::fromUtf8("   Слой 1 - число нейронов:10")));
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->textCursor().position(), 0);
    EXPECT_TRUE(memo->isVisibleTo(report.get()));
    EXPECT_EQ(memo->geometry(), report->rect()); // fills the page
    EXPECT_EQ(memo->toolTip(), QString::fromUtf8("Информация о конфигурации нейросистемы"));
}

TEST_F(PageReportTest, ShowingAgainReplacesTheTextAndReturnsTheCaret) {
    NextToReport();
    EXPECT_EQ(Lines().back(), QString::fromUtf8("Критерии остановки обучения"));
    memo->moveCursor(QTextCursor::End);
    memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());

    host.Wizard.Prev();
    learn->ShowPage();
    QTest::mouseClick(learn->findChild<QCheckBox*>("cbTestIdent"), Qt::LeftButton);
    NextToReport();
    EXPECT_EQ(Lines().back(), QString::fromUtf8("   Распознано не менее 80% тестовой выборки"));
    EXPECT_EQ(memo->textCursor().position(), 0);
    EXPECT_EQ(memo->verticalScrollBar()->value(), 0);
}

} // namespace
} // namespace nirvex

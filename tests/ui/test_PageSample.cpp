#include "UiTestSupport.h"
#include "support/WizardTestPeer.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace nirvex;
using namespace nirvex::test;

namespace {

class PageSampleTest : public testing::Test, public TWindowFixture {};

} // namespace

TEST_F(PageSampleTest, MemoHoldsTheSevenLines) {
    QStringList lines = Find<QPlainTextEdit>("Memo1")->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[0], QStringLiteral("Нейросети  являются программами, работающими по самообучающи-"));
    EXPECT_EQ(lines[3], QStringLiteral("ного набора данных - обучающей  выборки.  Для  обучения  нейросети "));
    // The kinds of file the page opens, CSV among them.
    EXPECT_EQ(lines[5], QStringLiteral("лены выходные значения. Эти данные находятся в текстовом файле,"));
    EXPECT_EQ(lines[6], QStringLiteral("файле CSV (из электронной таблицы, R или pandas) или таблице БД"));
    EXPECT_TRUE(Find<QPlainTextEdit>("Memo1")->isReadOnly());
}

TEST_F(PageSampleTest, ControlsCarryTheirCaptionsAndHints) {
    EXPECT_EQ(Find<QGroupBox>("gbSampleFile")->title(), QStringLiteral(" Файл с обучающей выборкой "));
    EXPECT_EQ(Find("edtLearnSampleFileName")->toolTip(), QStringLiteral("Укажите имя файла с обучающей выборкой"));
    EXPECT_EQ(Find<QPushButton>("btnBrowseLearnSampleFile")->text(), QStringLiteral("Обзор"));
    EXPECT_EQ(Find("btnBrowseLearnSampleFile")->toolTip(), QStringLiteral("Выбор доступных файлов"));
}

TEST_F(PageSampleTest, TypingMarksThePageChanged) {
    Type("edtLearnSampleFileName", QStringLiteral("a.txt"));
    EXPECT_EQ(Model().SampleFileText(), "a.txt");
    EXPECT_TRUE(Model().PageChanged());
}

TEST_F(PageSampleTest, BrowsePutsTheChosenNameInAndMarksTheChange) {
    Dialogs.NextOpenFile = ExampleFile("boston.txt");
    Click("btnBrowseLearnSampleFile");
    // Every kind the page opens first, so the dialog starts on all of them; then one per kind.
    EXPECT_EQ(Dialogs.LastFilter,
              QStringLiteral("Выборки и проекты (*.txt *.csv *.dbf *.db *.qvx);;Текстовые файлы (*.txt);;"
                             "Файлы CSV (*.csv);;Таблицы dBase (*.dbf);;Таблицы Paradox (*.db);;"
                             "Проекты Nirvex (*.qvx)"));
    EXPECT_EQ(Find<QLineEdit>("edtLearnSampleFileName")->text(), ExampleFile("boston.txt"));
    EXPECT_EQ(Model().SampleFileText(), ExampleFile("boston.txt").toStdString());
    EXPECT_TRUE(Model().PageChanged());
    Click("btnNext");
    EXPECT_EQ(Model().FieldCount(), 14);
}

TEST_F(PageSampleTest, CancelledBrowseChangesNothing) {
    Type("edtLearnSampleFileName", QStringLiteral("kept.txt"));
    Find("btnNext")->setFocus();
    Find("edtLearnSampleFileName")->setFocus();
    ASSERT_FALSE(Model().PageChanged());
    Dialogs.NextOpenFile.clear();
    Click("btnBrowseLearnSampleFile");
    EXPECT_EQ(Find<QLineEdit>("edtLearnSampleFileName")->text(), QStringLiteral("kept.txt"));
    EXPECT_FALSE(Model().PageChanged());
}

TEST_F(PageSampleTest, FocusEnteringFromOutsideClearsTheChangeButMovesInsideDoNot) {
    Type("edtLearnSampleFileName", QStringLiteral("a.txt"));
    Find("btnBrowseLearnSampleFile")->setFocus();
    EXPECT_TRUE(Model().PageChanged());
    Find("edtLearnSampleFileName")->setFocus();
    EXPECT_TRUE(Model().PageChanged());
    Find("btnQuit")->setFocus();
    EXPECT_TRUE(Model().PageChanged());
    Find("edtLearnSampleFileName")->setFocus();
    EXPECT_FALSE(Model().PageChanged());
}

TEST_F(PageSampleTest, UnchangedNameKeepsTheLoadedSample) {
    LoadIris();
    TWizardTestPeer::Fields(Model())[1].FieldType = TFieldRole::Target;
    Click("btnPrev");
    Find("edtLearnSampleFileName")->setFocus();
    Click("btnNext");
    EXPECT_EQ(Model().Fields()[1].FieldType, TFieldRole::Target);
}

TEST_F(PageSampleTest, CsvExampleOpensWithItsLongTextColumnNamedInTheStatusBar) {
    Dialogs.NextOpenFile = ExampleFile("statecrime.csv");
    Click("btnBrowseLearnSampleFile");
    Click("btnNext");
    ASSERT_EQ(Model().State(), 1);
    auto* list = Find<QListWidget>("lbAvailableFields");
    ASSERT_EQ(list->count(), 7);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("violent"));
    EXPECT_EQ(Window->StatusText(),
              QStringLiteral("Пропущены текстовые столбцы (слишком много различных значений): state"));
}

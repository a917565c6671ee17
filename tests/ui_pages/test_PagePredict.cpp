#include "PagesFixture.h"
#include "support/WizardTestPeer.h"
#include "ui/PageControls.h"
#include "ui/PagePredict.h"

#include "app/cli/Cli.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "export/ExportNet.h"
#include "project/ProjectFile.h"
#include "support/TestFiles.h"
#include "support/WidgetGeometry.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace nirvex {
namespace {

using test::TTestHost;

class PagePredictTest : public testing::Test {
protected:
    void SetUp() override {
        SetRandSeed(5);
        ASSERT_TRUE(dir.isValid());
        sample = dir.filePath("s.txt").toStdString();
        test::WriteSample(sample, 30);
        test::ConfigureUpToLearnPage(host.Wizard, sample, 3);
        host.Wizard.CriterionClicked(TCriterion::Epoch, true);
        host.Wizard.SetCriterionCount(TCriterion::Epoch, 2);
        for (int i = 0; i < 2; ++i)
            ASSERT_TRUE(host.Guard([&] { host.Wizard.Next(); }));
        host.Wizard.LearnClicked({}); // prediction takes a taught network only
        ASSERT_TRUE(host.Guard([&] { host.Wizard.Next(); }));
        ASSERT_EQ(host.Wizard.State(), 6);
        page = std::make_unique<TPagePredict>(host, nullptr);
        page->resize(kPageClientWidth, kPageClientHeight);
        page->show();
        page->ShowPage();
        inp = page->findChild<QTableWidget*>("sgInp");
        out = page->findChild<QTableWidget*>("sgOut");
        btnPredict = page->findChild<QPushButton*>("btnPredict");
        btnStore = page->findChild<QPushButton*>("btnStore");
        btnExport = page->findChild<QPushButton*>("btnExport");
        ASSERT_TRUE(inp && out && btnPredict && btnStore && btnExport);
    }

    void Type(int row, const char* text) { inp->item(row, 1)->setText(QString::fromUtf8(text)); }
    QString Output(int row) const { return out->item(row, 1)->text(); }

    QTemporaryDir dir;
    std::string sample;
    TTestHost host;
    std::unique_ptr<TPagePredict> page;
    QTableWidget* inp = nullptr;
    QTableWidget* out = nullptr;
    QPushButton* btnPredict = nullptr;
    QPushButton* btnStore = nullptr;
    QPushButton* btnExport = nullptr;
};

TEST_F(PagePredictTest, GridsAreNamedFromTheFields) {
    ASSERT_EQ(inp->rowCount(), 4); // header and the inputs A, B, C
    ASSERT_EQ(out->rowCount(), 2); // header and the target Y
    EXPECT_EQ(inp->item(1, 0)->text(), "A");
    EXPECT_EQ(inp->item(3, 0)->text(), "C");
    EXPECT_EQ(out->item(1, 0)->text(), "Y");
    EXPECT_EQ(inp->item(0, 1)->text(), "");
    EXPECT_FALSE(inp->item(1, 0)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(inp->item(0, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(inp->item(1, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_FALSE(out->item(1, 1)->flags() & Qt::ItemIsEditable);
    // Names in equally wide columns; every row as high as the others and as a line of text; the
    // columns fit their grid.
    EXPECT_EQ(out->columnWidth(0), inp->columnWidth(0));
    for (const QTableWidget* grid : {inp, out}) {
        EXPECT_LE(grid->columnWidth(0) + grid->columnWidth(1), grid->viewport()->width())
            << grid->objectName().toStdString();
        for (int r = 0; r < grid->rowCount(); ++r) {
            EXPECT_EQ(grid->rowHeight(r), inp->rowHeight(0)) << r;
            EXPECT_GE(grid->rowHeight(r), QFontMetrics(grid->font()).height()) << r;
        }
    }
    EXPECT_EQ(btnPredict->text(), QString::fromUtf8("Расчёт"));
    EXPECT_EQ(btnPredict->toolTip(), QString::fromUtf8("Проведение нейросетевого расчёта"));
    EXPECT_EQ(btnStore->text(), QString::fromUtf8("Сохранить"));
    EXPECT_EQ(btnExport->text(), QString::fromUtf8("Экспорт..."));
    EXPECT_EQ(inp->toolTip(), QString::fromUtf8("Значения входов нейросети, при которых надо провести расчёт"));
    EXPECT_EQ(out->toolTip(), QString::fromUtf8("Результат нейросетевого расчёта"));
    // The input grid beside the output grid, both under their titles; the buttons lie wholly on
    // the page, below the output grid, in their order.
    const QWidget* p = page.get();
    auto* titles = page->findChild<QWidget*>("lblTitles");
    auto* btnPredictFile = page->findChild<QPushButton*>("btnPredictFile");
    ASSERT_TRUE(titles && btnPredictFile);
    EXPECT_TRUE(test::AllInside(p, test::NamedControls(p)));
    EXPECT_TRUE(test::InOrder(p, {inp, out}, Qt::Horizontal));
    EXPECT_EQ(test::RectIn(out, p).top(), test::RectIn(inp, p).top());
    EXPECT_TRUE(test::InOrder(p, {titles, inp}, Qt::Vertical));
    EXPECT_TRUE(test::InOrder(p, {out, btnPredictFile, btnPredict, btnStore, btnExport}, Qt::Vertical));
    auto* btnStoreAs = page->findChild<QPushButton*>("btnStoreAs");
    ASSERT_TRUE(btnStoreAs);
    EXPECT_EQ(btnStoreAs->text(), QString::fromUtf8("Сохранить как..."));
    EXPECT_TRUE(test::InOrder(p, {btnStore, btnStoreAs}, Qt::Horizontal));
    EXPECT_TRUE(test::NoneOverlap(p, {titles, inp, out, btnPredictFile, btnPredict, btnStore, btnStoreAs, btnExport}));
}

TEST_F(PagePredictTest, CalculationFillsTheOutputInTheTargetsUnits) {
    Type(1, "3");
    Type(2, "1.5");
    Type(3, "2");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    EXPECT_TRUE(host.Boxes.Errors.empty());
    const QString first = Output(1);
    ASSERT_FALSE(first.isEmpty());
    const TFieldInfo& y = host.Wizard.Fields()[3];
    const double v = StrToFloat(first.toStdString());
    EXPECT_GT(v, y.Min);
    EXPECT_LT(v, y.Max);
    // the rows reach the inputs by NetIndex, and the text is the 15-digit general format
    EXPECT_EQ(first.toStdString(), FormatGeneral(host.Wizard.PredictValues({3, 1.5, 2})[0], 15));
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    EXPECT_EQ(Output(1), first);
    EXPECT_FALSE(host.Wizard.PageChanged());
}

TEST_F(PagePredictTest, LongValuesShowWholeAndLongNamesEndInAnEllipsis) {
    TFieldInfo& y = TWizardTestPeer::Fields(host.Wizard)[3];
    y.NormType = TNormMethod::Linear;
    y.Min = 0;
    y.Max = 1.23456789012345e-5;
    const QString name = QString::fromUtf8("Очень длинное имя целевого поля");
    y.FieldName = name.toStdString();
    host.Wizard.PredictShow();
    page->ShowPage();
    const int laidOut = out->columnWidth(1);
    Type(1, "3");
    Type(2, "1.5");
    Type(3, "2");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    const QString value = Output(1);
    // 15 digits and an exponent: more than the column's laid-out width holds
    const QFontMetrics metrics(out->font());
    ASSERT_GT(TGridDelegate::CellWidthFor(metrics, value), laidOut) << value.toStdString();
    EXPECT_EQ(page->ShownText(true, 1, 1), value);
    EXPECT_EQ(out->item(1, 1)->toolTip(), value);
    const QString shownName = page->ShownText(true, 1, 0);
    EXPECT_EQ(shownName.back(), QChar(0x2026));
    EXPECT_EQ(out->item(1, 0)->toolTip(), name);
    // Drawn 2 pixels into its cell, the value ends inside its column, the name inside its own, and
    // both columns are on the grid's screen.
    EXPECT_LE(2 + metrics.horizontalAdvance(value), out->columnWidth(1) - 1);
    EXPECT_LE(2 + metrics.horizontalAdvance(shownName), out->columnWidth(0));
    EXPECT_LE(out->columnViewportPosition(1) + out->columnWidth(1), out->viewport()->width());
}

TEST_F(PagePredictTest, ColumnsResizeByDraggingTheirEdgeInTheFixedRow) {
    QWidget* grid = out->viewport();
    const int width = out->columnWidth(0), inputWidth = inp->columnWidth(0);
    const int y = out->rowHeight(0) / 2;
    QTest::mousePress(grid, Qt::LeftButton, {}, QPoint(width - 1, y));
    QTest::mouseMove(grid, QPoint(width + 26, y));
    QTest::mouseRelease(grid, Qt::LeftButton, {}, QPoint(width + 26, y));
    EXPECT_EQ(out->columnWidth(0), width + 27);
    // a press elsewhere selects as before
    QTest::mouseClick(inp->viewport(), Qt::LeftButton, {}, inp->visualItemRect(inp->item(1, 1)).center());
    EXPECT_EQ(inp->columnWidth(0), inputWidth);
    EXPECT_EQ(inp->currentRow(), 1);
}

TEST_F(PagePredictTest, TextStillInTheCellEditorIsUsed) {
    Type(1, "3");
    Type(2, "1.5");
    Type(3, "9");
    inp->setCurrentCell(3, 1);
    inp->editItem(inp->item(3, 1));
    auto* editor = inp->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("2");
    page->SyncToModel();
    EXPECT_EQ(host.Wizard.PredictPage().InputTexts[2], "2");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    EXPECT_EQ(Output(1).toStdString(), FormatGeneral(host.Wizard.PredictValues({3, 1.5, 2})[0], 15));
}

TEST_F(PagePredictTest, EmptyOrCommaInputIsRefusedAndNothingIsWritten) {
    Type(1, "3");
    Type(2, "1.5");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    ASSERT_EQ(host.Boxes.Errors.size(), 1u);
    EXPECT_EQ(host.Boxes.Errors[0], "Вход C: значение не указано");
    EXPECT_EQ(Output(1), "");

    Type(3, "2");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    const QString good = Output(1);
    Type(2, "1,5"); // a decimal comma reads as the full stop
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    EXPECT_EQ(host.Boxes.Errors.size(), 1u);
    EXPECT_EQ(Output(1), good);
    Type(2, "1,5x");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    ASSERT_EQ(host.Boxes.Errors.size(), 2u);
    EXPECT_EQ(host.Boxes.Errors[1], "Вход B: «1,5x» — не число");
    EXPECT_EQ(Output(1), good);
}

TEST_F(PagePredictTest, LinearInputWithMaxEqualToMinDividesByZero) {
    TWizardTestPeer::Fields(host.Wizard)[0].Max = TWizardTestPeer::Fields(host.Wizard)[0].Min;
    Type(1, QByteArray::fromStdString(test::Num(host.Wizard.Fields()[0].Min + 1)).constData());
    Type(2, "1");
    Type(3, "1");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    ASSERT_EQ(host.Boxes.Errors.size(), 1u);
    EXPECT_EQ(host.Boxes.Errors[0], QString::fromUtf8("Деление на ноль"));
    EXPECT_EQ(Output(1), "");
}

TEST_F(PagePredictTest, ValuesStayWhenThePageIsLeftAndShownAgain) {
    Type(1, "3");
    Type(2, "1.5");
    Type(3, "2");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    const QString result = Output(1);
    host.Wizard.Prev();
    host.Wizard.Next();
    ASSERT_EQ(host.Wizard.State(), 6);
    page->ShowPage();
    EXPECT_EQ(inp->item(2, 1)->text(), "1.5");
    EXPECT_EQ(Output(1), result);
    EXPECT_EQ(inp->item(3, 0)->text(), "C");
}

TEST_F(PagePredictTest, StoreSavesTheProjectAndClearsTheChangeMarks) {
    TWizardTestPeer::Modified(host.Wizard) = true;
    host.Boxes.NextSaveName = dir.filePath("proj");
    QTest::mouseClick(btnStore, Qt::LeftButton);
    EXPECT_TRUE(host.Boxes.Errors.empty());
    ASSERT_EQ(host.Boxes.SaveFilters.size(), 1u);
    EXPECT_EQ(host.Boxes.SaveFilters[0], QString::fromUtf8("Файлы Nirvex (*.qvx)"));
    EXPECT_EQ(host.Boxes.SaveProposed[0], dir.filePath("s.qvx")); // the sample's name as a project
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("proj.qvx")));
    EXPECT_FALSE(host.Wizard.Modified());
    EXPECT_FALSE(host.Wizard.PageChanged());
}

TEST_F(PagePredictTest, CancelledStoreChangesNothing) {
    TWizardTestPeer::Modified(host.Wizard) = true;
    host.Boxes.NextSaveName.clear();
    QTest::mouseClick(btnStore, Qt::LeftButton);
    EXPECT_TRUE(host.Wizard.Modified());
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.qvx"}).isEmpty());
}

TEST_F(PagePredictTest, FailedStoreIsShownAndKeepsTheMarks) {
    TWizardTestPeer::Modified(host.Wizard) = true;
    host.Boxes.NextSaveName = dir.filePath("missing/sub/proj");
    QTest::mouseClick(btnStore, Qt::LeftButton);
    EXPECT_EQ(host.Boxes.Errors.size(), 1u);
    EXPECT_TRUE(host.Wizard.Modified());
}

// The window's prediction over a file is the command line's: the same bytes for text and CSV, and (the
// sample holds the target) the same figures, the window's in a message box after the count.
TEST_F(PagePredictTest, PredictionOverAFileWritesWhatTheCommandLineWrites) {
    const std::string project = SaveProject(host.Wizard, dir.filePath("p.qvx").toStdString());
    LoadProject(host.Wizard, project); // both sides predict with the network as the file holds it
    page->ShowPage();
    auto* button = page->findChild<QPushButton*>("btnPredictFile");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QString::fromUtf8("Расчёт по файлу..."));
    TWizardTestPeer::Modified(host.Wizard) = false;
    for (const char* name : {"w.txt", "w.csv"}) {
        SCOPED_TRACE(name);
        host.Boxes.NextOpenName = QString::fromStdString(sample);
        host.Boxes.NextSaveName = dir.filePath(name);
        host.Boxes.Messages.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(host.Boxes.Errors.empty()) << host.Boxes.Errors[0].toStdString();
        const std::string cli = dir.filePath(QString::fromLatin1("cli_") + name).toStdString();
        std::ostringstream out, err;
        ASSERT_EQ(RunCli({"predict", project, sample, "-o", cli}, out, err), 0) << err.str();
        EXPECT_EQ(test::ReadBytes(dir.filePath(name).toStdString()), test::ReadBytes(cli));
        std::string figures = out.str();
        ASSERT_EQ(figures.find(':'), 1u) << figures; // one number target, and its one line
        figures.pop_back();
        EXPECT_EQ(host.Boxes.Messages,
                  std::vector<QString>{QString::fromUtf8("<p>Записано записей: 30</p><p>" + figures + "</p>")});
    }
    EXPECT_EQ(host.Boxes.OpenFilters[0],
              QString::fromUtf8("Файлы выборки (*.txt *.csv *.dbf *.db);;Текстовые файлы (*.txt);;Файлы CSV (*.csv);;"
                                "Файлы БД (*.dbf *.db)"));
    EXPECT_EQ(host.Boxes.SaveProposed.back(), dir.filePath(QString::fromUtf8("s_расчёт.txt")));
    EXPECT_EQ(host.Wizard.StatusText(), "");
    EXPECT_FALSE(host.Wizard.Modified()); // predicting changes nothing of the project
}

TEST_F(PagePredictTest, PredictionOverAFileNamesAMissingFieldAndWritesNothing) {
    auto* button = page->findChild<QPushButton*>("btnPredictFile");
    const QString input = dir.filePath("in.txt");
    std::ofstream(input.toStdString(), std::ios::binary) << "A\tC\r\n1\t2\r\n";
    host.Boxes.NextOpenName = input;
    host.Boxes.NextSaveName = dir.filePath("out.txt");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(host.Boxes.Errors, std::vector<QString>{QString::fromUtf8("Во входном файле нет поля B")});
    EXPECT_TRUE(host.Boxes.Messages.empty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out.txt")));
    // A value the input's normalization cannot take is named with its field and record.
    TWizardTestPeer::Fields(host.Wizard)[0].Max =
        TWizardTestPeer::Fields(host.Wizard)[0].Min; // A: linear over an empty range
    std::ofstream(input.toStdString(), std::ios::binary) << "A\tB\tC\r\n1\t2\t3\r\n";
    host.Boxes.Errors.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(host.Boxes.Errors.size(), 1u);
    EXPECT_TRUE(host.Boxes.Errors[0].endsWith(QString::fromUtf8(", поле A, запись 1")))
        << host.Boxes.Errors[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out.txt")));
    // Cancelling either dialog does nothing.
    host.Boxes.Errors.clear();
    host.Boxes.NextOpenName.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(host.Boxes.SaveProposed.size(), 2u);
    EXPECT_TRUE(host.Boxes.Errors.empty());
}

TEST_F(PagePredictTest, ExportWritesTheFormatOfTheChosenName) {
    const bool modified = host.Wizard.Modified(), pageChanged = host.Wizard.PageChanged();
    for (const char* file : {"net.onnx", "net.c"}) {
        host.Boxes.NextSaveName = dir.filePath(file);
        QTest::mouseClick(btnExport, Qt::LeftButton);
        EXPECT_TRUE(host.Boxes.Errors.empty()) << file;
        const std::string expected = dir.filePath(QString("expected.") + QFileInfo(file).suffix()).toStdString();
        ExportProject(host.Wizard.NetModel(), expected);
        EXPECT_EQ(test::ReadBytes(dir.filePath(file).toStdString()), test::ReadBytes(expected)) << file;
    }
    EXPECT_NE(test::ReadBytes(dir.filePath("net.c").toStdString()).find("void nirvex_predict("), std::string::npos);
    ASSERT_EQ(host.Boxes.SaveFilters.size(), 2u);
    EXPECT_EQ(host.Boxes.SaveFilters[0], QString::fromUtf8("Модель ONNX (*.onnx);;Исходный текст на C (*.c)"));
    EXPECT_EQ(host.Boxes.SaveProposed[0], "nirvex");
    // exporting is not saving: the project's change marks stay
    EXPECT_EQ(host.Wizard.Modified(), modified);
    EXPECT_EQ(host.Wizard.PageChanged(), pageChanged);

    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    host.Boxes.NextSaveName.clear();
    QTest::mouseClick(btnExport, Qt::LeftButton);
    host.Boxes.NextSaveName = dir.filePath("net.txt");
    QTest::mouseClick(btnExport, Qt::LeftButton);
    ASSERT_EQ(host.Boxes.Errors.size(), 1u);
    EXPECT_EQ(host.Boxes.Errors[0].toStdString(), msgExportFormat);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
}

} // namespace
} // namespace nirvex

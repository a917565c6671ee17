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
        for (int i = 0; i < 3; ++i)
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
    EXPECT_EQ(inp->columnWidth(0), 64);
    EXPECT_EQ(inp->columnWidth(1), 113);
    EXPECT_EQ(out->columnWidth(1), 101);
    EXPECT_EQ(inp->rowHeight(2), 18);
    EXPECT_EQ(inp->geometry(), QRect(0, 13, 201, 279));
    EXPECT_EQ(out->mapTo(page.get(), QPoint(0, 0)), QPoint(201, 13));
    EXPECT_EQ(btnPredict->text(), QString::fromUtf8("Расчёт"));
    EXPECT_EQ(btnPredict->toolTip(), QString::fromUtf8("Проведение нейросетевого расчёта"));
    EXPECT_EQ(btnStore->text(), QString::fromUtf8("Сохранить"));
    EXPECT_EQ(btnExport->text(), QString::fromUtf8("Экспорт..."));
    EXPECT_EQ(inp->toolTip(), QString::fromUtf8("Значения входов нейросети, при которых надо провести расчёт"));
    EXPECT_EQ(out->toolTip(), QString::fromUtf8("Результат нейросетевого расчёта"));
    // the buttons lie wholly on the page, below the output grid
    EXPECT_LE(out->geometry().bottom(), btnPredict->geometry().top());
    for (QPushButton* b : {btnPredict, btnStore, btnExport})
        EXPECT_TRUE(page->rect().contains(QRect(b->mapTo(page.get(), QPoint(0, 0)), b->size())));
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
    Type(1, "3");
    Type(2, "1.5");
    Type(3, "2");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    const QString value = Output(1);
    // 15 digits and an exponent: more than the column's laid-out 101 pixels hold
    ASSERT_GT(TGridDelegate::CellWidthFor(QFontMetrics(out->font()), value), 101) << value.toStdString();
    EXPECT_EQ(page->ShownText(true, 1, 1), value);
    EXPECT_EQ(out->item(1, 1)->toolTip(), value);
    EXPECT_EQ(page->ShownText(true, 1, 0).back(), QChar(0x2026));
    EXPECT_EQ(out->item(1, 0)->toolTip(), name);
    // The painted value ends inside its column, the name inside its own.
    const QImage img = out->viewport()->grab().toImage();
    const int top = out->rowViewportPosition(1), left = out->columnViewportPosition(1);
    int lastInk = -1;
    for (int x = 0; x < img.width(); ++x)
        for (int dy = 3; dy < 15; ++dy)
            if (qGray(img.pixel(x, top + dy)) < 128)
                lastInk = x;
    EXPECT_GT(lastInk, left + 90);
    EXPECT_LT(lastInk, left + out->columnWidth(1) - 1);
}

TEST_F(PagePredictTest, ColumnsResizeByDraggingTheirEdgeInTheFixedRow) {
    QWidget* grid = out->viewport();
    QTest::mousePress(grid, Qt::LeftButton, {}, QPoint(63, 9));
    QTest::mouseMove(grid, QPoint(90, 9));
    QTest::mouseRelease(grid, Qt::LeftButton, {}, QPoint(90, 9));
    EXPECT_EQ(out->columnWidth(0), 91);
    // a press elsewhere selects as before
    QTest::mouseClick(inp->viewport(), Qt::LeftButton, {}, QPoint(100, 27));
    EXPECT_EQ(inp->columnWidth(0), 64);
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
    EXPECT_EQ(host.Boxes.Errors[0], "'' is not a valid floating point value");
    EXPECT_EQ(Output(1), "");

    Type(3, "2");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    const QString good = Output(1);
    Type(2, "1,5");
    QTest::mouseClick(btnPredict, Qt::LeftButton);
    ASSERT_EQ(host.Boxes.Errors.size(), 2u);
    EXPECT_EQ(host.Boxes.Errors[1], "'1,5' is not a valid floating point value");
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
    EXPECT_EQ(host.Boxes.SaveProposed[0], "Default");
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

// The window's prediction over a file is the command line's: the same bytes for text and CSV.
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
        EXPECT_EQ(host.Boxes.Messages, std::vector<QString>{QString::fromUtf8("Записано записей: 30")});
        const std::string cli = dir.filePath(QString::fromLatin1("cli_") + name).toStdString();
        std::ostringstream out, err;
        ASSERT_EQ(RunCli({"predict", project, sample, "-o", cli}, out, err), 0) << err.str();
        EXPECT_EQ(test::ReadBytes(dir.filePath(name).toStdString()), test::ReadBytes(cli));
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

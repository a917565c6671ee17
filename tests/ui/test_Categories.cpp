// A table with text columns and gaps, driven through the window: page 2 offers the categories' own
// method and the filling of gaps, page 6 the confusion matrix, page 7 a drop-down of values.
#include "UiTestSupport.h"

#include "common/NumberText.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <fstream>

using namespace nirvex;
using namespace nirvex::test;

namespace {

class CategoriesTest : public ::testing::Test, public TWindowFixture {
protected:
    QTemporaryDir dir;
    // x with a gap in its second record, colour (text) and the class, which follows colour.
    QString WriteSample() {
        const QString path = dir.filePath(QStringLiteral("c.csv"));
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << "x,colour,class\n";
        const char* colours[] = {"red", "green", "blue"};
        for (int r = 0; r < 60; ++r)
            out << (r == 1 ? std::string("NA") : std::to_string(r % 7)) << ',' << colours[r % 3] << ','
                << (r % 3 == 0 ? "warm" : "cold") << '\n';
        return path;
    }
    QRadioButton* Method(TNormMethod m) {
        return Window->findChild<QRadioButton*>(QStringLiteral("rgNormalizeFieldAs_%1").arg(static_cast<int>(m)));
    }
};

TEST_F(CategoriesTest, FieldPageOffersTheCategoriesMethodAndFillingGaps) {
    LoadSample(WriteSample());
    ASSERT_EQ(Model().State(), 1);
    auto* list = Find<QListWidget>("lbAvailableFields");
    auto* fill = Find<QCheckBox>("cbFillGaps");
    list->setCurrentRow(1); // colour
    EXPECT_TRUE(Method(TNormMethod::Category)->isVisible());
    EXPECT_TRUE(Method(TNormMethod::Category)->isChecked());
    EXPECT_FALSE(Method(TNormMethod::Linear)->isVisible());
    EXPECT_FALSE(fill->isVisible());
    EXPECT_NE(Window->StatusText().indexOf(QStringLiteral("red, green, blue")), -1);
    list->setCurrentRow(0); // x: a number with one gap
    EXPECT_TRUE(Method(TNormMethod::Linear)->isVisible());
    EXPECT_FALSE(Method(TNormMethod::Category)->isVisible());
    ASSERT_TRUE(fill->isVisible() && fill->isEnabled());
    EXPECT_EQ(Model().UsableRecordCount(), 59);
    QTest::mouseClick(fill, Qt::LeftButton);
    EXPECT_TRUE(Model().Fields()[0].FillGaps);
    EXPECT_EQ(Model().UsableRecordCount(), 60);
}

TEST_F(CategoriesTest, ConfusionMatrixAndADropDownOfValues) {
    LoadSample(WriteSample());
    Click("btnNext");
    Click("btnNext");
    Click("cbEpoch");
    Find<QSpinBox>("seEpoch")->setValue(200);
    Find<QSpinBox>("seValidShare")->setValue(25);
    Click("btnNext");
    Click("btnNext");
    ASSERT_EQ(Model().State(), 5);
    auto* offer = Window->findChild<QAction*>(QStringLiteral("actShowConfusion"));
    ASSERT_NE(offer, nullptr);
    EXPECT_TRUE(offer->isVisible());
    Click("btnLearn");
    ASSERT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(QStringLiteral("; ")).toStdString();
    ASSERT_EQ(Model().TestConfusion().size(), 1u);
    // 59 records (one has a gap in x): 36 taught, 11 to choose, 12 tested, every one counted once.
    EXPECT_EQ(Model().TeachCount() + Model().ValidCount() + Model().TestCount(), 59);
    EXPECT_EQ(Model().TeachConfusion()[0].Total(), Model().TeachCount());
    EXPECT_EQ(Model().TestConfusion()[0].Total(), Model().TestCount());
    // The inputs' importance is measured on the test part behind the validation part, over the
    // records the run took: its base error is the test part's.
    ASSERT_TRUE(Model().Importance());
    EXPECT_EQ(Model().Importance()->RecordCount, Model().TestCount());
    EXPECT_EQ(FormatGeneral(Model().Importance()->BaseError, 5), Model().StatCells()[2][1]);
    offer->trigger();
    EXPECT_TRUE(Find("cmErrors")->isVisible());

    Click("btnNext");
    ASSERT_EQ(Model().State(), 6);
    auto* grid = Find<QTableWidget>("sgInp");
    auto* combo = qobject_cast<QComboBox*>(grid->cellWidget(2, 1));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 3);
    EXPECT_EQ(grid->cellWidget(1, 1), nullptr); // x is typed
    grid->item(1, 1)->setText(QStringLiteral("3"));
    combo->setCurrentText(QStringLiteral("blue"));
    Click("btnPredict");
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join(QStringLiteral("; ")).toStdString();
    const std::string answer = Model().PredictPage().OutputTexts.at(0);
    EXPECT_TRUE(answer.rfind("cold (", 0) == 0 || answer.rfind("warm (", 0) == 0) << answer;
}

} // namespace

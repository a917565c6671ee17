// CSV samples through the wizard: the note on the field page, and training identical to the same
// numbers as a sample text file.
#include "WizardFixture.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "sample/TextSample.h"
#include "support/WizardTestPeer.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace nirvex;
using namespace nirvex::test;

TEST_F(WizardTest, CsvSampleInAnyCaseLoadsAndNamesItsTextColumnsOnTheFieldPage) {
    std::string csv = "id;city;x;kind;y\r\n";
    for (int r = 0; r < 51; ++r)
        csv += std::to_string(r) + ";c" + std::to_string(r) + ";" + std::to_string(r % 3) + ",5;" +
               (r % 2 ? "a" : "b") + ";" + std::to_string(r % 5) + "\r\n";
    Type(WriteSample("cities.CsV", csv));
    w.Next();
    ASSERT_EQ(w.State(), 1);
    ASSERT_EQ(w.FieldCount(), 4);
    EXPECT_EQ(w.Fields()[1].FieldName, "x");
    EXPECT_EQ(w.Fields()[1].DataMin, 0.5);
    EXPECT_EQ(w.Fields()[2].Categories, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(w.StatusText(), "Пропущены текстовые столбцы (слишком много различных значений): city");
    w.SelectField(2); // picking a field shows its own line
    EXPECT_EQ(w.StatusText(), "Поле : kind  значения: b, a");
    EXPECT_TRUE(w.FieldPage().Category);
}

TEST_F(WizardTest, CsvSampleRefusalLeavesPageOneWithItsMessage) {
    Type(WriteSample("gap.csv", "x;y\n1;2\n3;1e999\n"));
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Неверное значение или пропуск в файле. Поле y, строка 3");
    EXPECT_EQ(w.State(), 0);
}

// Ten records; x has gaps in records 2 and 5, the class c one in record 7, u (unused) in record 0.
TEST_F(WizardTest, GapRecordsAreLeftOutUntilTheInputsGapsAreFilled) {
    const std::string csv = "u;x;c\n?;1;p\n1;2;q\n2;NA;p\n3;4;q\n4;5;p\n5;;q\n6;7;p\n7;8;\n8;9;q\n9;10;p\n";
    Type(WriteSample("gaps.csv", csv));
    w.Next();
    EXPECT_EQ(w.StatusText(), "Записей с пропусками (не используются): 4");
    w.SelectField(0);
    w.RoleClicked(TFieldRole::Unused);
    w.SelectField(1);
    EXPECT_TRUE(w.FieldPage().GapsEnabled);
    EXPECT_EQ(w.StatusText(), "Поле : x  MIN = 1 MAX = 10  пропусков: 2");
    w.SelectField(2);
    EXPECT_FALSE(w.FieldPage().GapsEnabled); // a target's gap always leaves its record out
    EXPECT_EQ(w.Fields()[2].FieldType, TFieldRole::Target);
    EXPECT_EQ(w.UsableRecordCount(), 7);
    w.Next();
    w.Next();
    w.SetLearnValue(&TLearnPage::UseForTeach, 60);
    w.Next();
    EXPECT_EQ(w.TeachCount() + w.TestCount(), 7);
    EXPECT_EQ(w.TeachCount(), 4);
    for (int32_t r : w.TrainingIndex())
        EXPECT_TRUE(r != 2 && r != 5 && r != 7) << r;

    w.Prev();
    w.Prev();
    w.Prev();
    ASSERT_EQ(w.State(), 1);
    w.SelectField(1);
    w.FillGapsClicked(true);
    EXPECT_TRUE(w.Fields()[1].FillGaps);
    EXPECT_EQ(w.UsableRecordCount(), 9);
    w.Next();
    w.Next();
    w.Next();
    EXPECT_EQ(w.TeachCount() + w.TestCount(), 9);
    EXPECT_EQ(std::count(w.TrainingIndex().begin(), w.TrainingIndex().end(), 7), 0);
    EXPECT_EQ(std::count(w.TrainingIndex().begin(), w.TrainingIndex().end(), 2), 1);
}

namespace {

// Trains to a fixed epoch on `fileName` with fixed seeds for the record order and the weights.
TWizard TrainFixed(const std::string& fileName) {
    TWizard w;
    w.SampleFileTextChanged(fileName);
    w.Next();
    TWizardTestPeer::IndexSeed(w) = 4242;
    SetRandSeed(w.IndexSeed());
    w.BuildRecordIndex();
    w.Next();
    w.SetLayerCell(1, "4");
    SetRandSeed(99);
    w.Next();
    w.CriterionClicked(TCriterion::Epoch, true);
    w.SetCriterionCount(TCriterion::Epoch, 15);
    w.Next();
    w.Next();
    EXPECT_EQ(w.State(), 5);
    TWizard::TRunHooks hooks;
    w.LearnClicked(hooks);
    return w;
}

} // namespace

TEST_F(WizardTest, TrainingOnACsvSampleGivesTheWeightsOfTheSameTextSample) {
    // The iris numbers as a spreadsheet would export them: ";" with decimal commas, quoted names,
    // a text column in front.
    const TSampleTable text = ReadTextSample(Iris());
    std::string csv = "\"Row\"";
    for (const auto& f : text.Fields)
        csv += ";\"" + f.FieldName + "\"";
    csv += "\r\n";
    for (int32_t r = 0; r < text.RecordCount; ++r) {
        csv += "r" + std::to_string(r);
        for (const auto& f : text.Fields) {
            std::string v = FormatGeneral(f.Values[static_cast<std::size_t>(r)], 15);
            for (char& c : v)
                if (c == '.')
                    c = ',';
            csv += ";" + v;
        }
        csv += "\r\n";
    }
    TWizard a = TrainFixed(Iris());
    TWizard b = TrainFixed(WriteSample("iris.csv", csv));
    ASSERT_EQ(a.Network().Epoch, 16);
    ASSERT_EQ(b.Network().Epoch, 16);
    ASSERT_EQ(a.Network().CountLayers(), b.Network().CountLayers());
    int32_t compared = 0;
    for (int32_t l = 1; l < a.Network().CountLayers(); ++l)
        for (int32_t j = 0; j < a.Network().GetLayerSize(l); ++j) {
            EXPECT_EQ(a.Network().GetThreshold(l - 1, j), b.Network().GetThreshold(l - 1, j));
            for (int32_t i = 0; i < a.Network().GetLayerSize(l - 1); ++i, ++compared)
                EXPECT_EQ(a.Network().GetWeight(l - 1, i, j), b.Network().GetWeight(l - 1, i, j));
        }
    EXPECT_EQ(compared, 4 * 4 + 4 * 1);
    EXPECT_NE(a.Network().GetWeight(0, 0, 0), 0.0);
}

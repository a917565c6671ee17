// CSV samples through the wizard: the note on the field page, and training identical to the same
// numbers as a sample text file.
#include "WizardFixture.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "sample/TextSample.h"
#include "support/WizardTestPeer.h"

#include <string>
#include <vector>

using namespace nirvex;
using namespace nirvex::test;

TEST_F(WizardTest, CsvSampleInAnyCaseLoadsAndNamesItsTextColumnsOnTheFieldPage) {
    Type(WriteSample("cities.CsV", "id;city;x;y\r\n1;Москва;1,5;2\r\n2;Казань;3;4\r\n"));
    w.Next();
    ASSERT_EQ(w.State(), 1);
    ASSERT_EQ(w.FieldCount(), 3);
    EXPECT_EQ(w.Fields()[1].FieldName, "x");
    EXPECT_EQ(w.Fields()[1].DataMin, 1.5);
    EXPECT_EQ(w.StatusText(), "Пропущены текстовые столбцы: city");
    w.SelectField(0); // picking a field shows its own line
    EXPECT_EQ(w.StatusText().rfind("Поле : id", 0), 0u);
}

TEST_F(WizardTest, CsvSampleRefusalLeavesPageOneWithItsMessage) {
    Type(WriteSample("gap.csv", "x;y\n1;2\n3;\n"));
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Неверное значение или пропуск в файле. Поле y, строка 3");
    EXPECT_EQ(w.State(), 0);
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

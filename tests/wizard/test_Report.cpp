#include "WizardFixture.h"
#include "common/NumberText.h"

#include <algorithm>

using namespace nirvex;
using nirvex::test::WizardTest;

namespace {
std::string Join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\n";
    return s;
}
} // namespace

TEST_F(WizardTest, ReportOfThreeInputsOneTargetAndAnEpochLimit) {
    std::string file = WriteSample("rep.txt", "a b c Price\r\n1 2 3 10\r\n2 3 4 35\r\n3 4 5 60\r\n");
    Type(file);
    w.Next();
    w.Next();
    w.Next();
    w.CriterionClicked(TCriterion::Epoch, true);
    w.Next();
    ASSERT_EQ(w.State(), 4);
    EXPECT_EQ(w.Report().size(), 25u) << Join(w.Report());
    const std::vector<std::string> expected = {
        "Конфигурация нейросистемы",
        "Для обучения используется файл:",
        "    " + file,
        "",
        "В качестве входных полей используются",
        "    a: x= (X-1.00)/2.00 вход:0",
        "    b: x= (X-2.00)/2.00 вход:1",
        "    c: x= (X-3.00)/2.00 вход:2",
        "",
        "В качестве целевых полей используются",
        "    Price: x= (X-10.00)/50.00 вход:0",
        "",
        "Конфигурация нейросети",
        "   Параметр сигмоиды:0.5",
        "   Число входов:3",
        "   Количество скрытых слоев:1",
        "   Слой 1 - число нейронов:10",
        "   Число выходов:1",
        "",
        "Для обучения используется:80% записей",
        "Скорость обучения:0.1",
        "Момент: 0.9",
        "",
        "Критерии остановки обучения",
        "   прошло 10000 эпох",
    };
    EXPECT_EQ(w.Report(), expected);
}

TEST_F(WizardTest, ReportFieldFormulasAndCriteria) {
    Type(WriteSample("rep2.txt", "x y z w\r\n0 -2 1 5\r\n5 2 2 6\r\n"));
    w.Next();
    w.SelectField(1);
    w.ParamExit(TWizard::TParam::Min, "-2"); // text samples hold no negatives; a typed bound may be one
    w.ParamExit(TWizard::TParam::Max, "2");
    w.SelectField(2);
    w.MethodClicked(TNormMethod::Sigmoid);
    w.ParamExit(TWizard::TParam::Alpha, "0.5");
    w.RoleClicked(TFieldRole::Target);
    w.SelectField(3);
    w.RoleClicked(TFieldRole::Unused);
    w.SelectField(0);
    w.MethodClicked(TNormMethod::Auto);
    w.Next();
    w.HideLayerCountChanged("3");
    w.SetLayerCell(2, "4");
    w.SetLayerCell(3, "2");
    w.Next();
    w.CriterionClicked(TCriterion::MaxTestErr, true);
    w.SetCriterionText(TCriterion::MaxTestErr, "0.01");
    w.CriterionClicked(TCriterion::TestIdent, true);
    w.SetCriterionCount(TCriterion::TestIdent, 95);
    w.Next();
    const auto& r = w.Report();
    std::string all = Join(r);
    // "авто" shows its sigmoid with the column's mean and spread, written as the other methods' numbers.
    const TFieldInfo& x = w.Fields()[0];
    EXPECT_NE(
        all.find("    x: x= 1/1+exp(-(X-" + FormatFixed(x.Mid, 5, 2) + ")/" + FormatFixed(x.Disp, 5, 2) + " вход:0\n"),
        std::string::npos)
        << all;
    EXPECT_GT(x.Disp, 0);
    EXPECT_NE(all.find("    y: x= (X--2.00)/4.00 вход:1\n"), std::string::npos);
    EXPECT_NE(all.find("    z: x= 1/1+exp(-0.50*X вход:0\n"), std::string::npos);
    EXPECT_EQ(all.find("    w:"), std::string::npos); // unused fields are in neither part
    EXPECT_NE(all.find("   Слой 1 - число нейронов:10\n   Слой 2 - число нейронов:4\n   Слой 3 - число нейронов:2\n"),
              std::string::npos);
    EXPECT_EQ(r.back(), "   Распознано не менее 95% тестовой выборки");
    EXPECT_EQ(r[r.size() - 2], "   максимальная ошибка при тестировании<0.01");
    EXPECT_EQ(r[r.size() - 3], "Критерии остановки обучения");
}

TEST_F(WizardTest, ReportWithoutCriteriaEndsWithItsHeading) {
    Type(Iris());
    w.Next();
    w.SelectField(0);
    w.ParamExit(TWizard::TParam::Min, "0");
    w.ParamExit(TWizard::TParam::Max, "5");
    w.Next();
    w.Next();
    w.Next();
    EXPECT_EQ(w.Report().back(), "Критерии остановки обучения");
    EXPECT_EQ(w.Report()[5], "    SepalLength: x= X/5.00 вход:0");
}

// The validation part follows the share of the records; the best network is then chosen on it.
TEST_F(WizardTest, ReportNamesTheValidationPartAndWhatTheBestNetworkIsChosenOn) {
    Type(Iris());
    w.Next();
    w.Next();
    w.Next();
    w.KeepBestClicked(true);
    w.SetLearnValue(&TLearnPage::ValidShare, 25);
    w.Next();
    const auto& r = w.Report();
    const auto share = std::find(r.begin(), r.end(), "Для обучения используется:80% записей");
    ASSERT_NE(share, r.end());
    EXPECT_EQ(*(share + 1), "Контрольная часть обучающей выборки:25% (записей: 30)");
    EXPECT_EQ(r.back(), "   сохранить сеть с наименьшей ошибкой на контрольной части");
    EXPECT_EQ(w.TeachCount() + w.ValidCount() + w.TestCount(), 150);
    EXPECT_EQ(w.ValidCount(), 30);
    // A share too small to set a record aside makes no validation part.
    w.Prev();
    w.SetLearnValue(&TLearnPage::UseForTeach, 2);
    w.Next();
    EXPECT_EQ(w.ValidCount(), 0);
    EXPECT_EQ(w.Report().back(), "   сохранить сеть с наименьшей ошибкой на тесте");
}

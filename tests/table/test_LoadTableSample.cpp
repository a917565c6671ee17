// The table branch of the sample load: a ".dbf" or ".db" named on page 1 reaches the field table.
#include "TableBuilders.h"
#include "common/Errors.h"
#include "wizard/Wizard.h"

#include <gtest/gtest.h>

using namespace nirvex;
using namespace tabletest;

namespace {

class LoadTableSample : public ::testing::Test {
protected:
    void SetUp() override {
        w.SetStatusHandler([this](const std::string& s) { status.push_back(s); });
    }
    std::string Load(const std::string& fileName) {
        w.SampleFileTextChanged(fileName);
        try {
            w.LoadSample();
        } catch (const EError& e) {
            return e.what();
        }
        return "";
    }

    TScratch dir;
    TWizard w;
    std::vector<std::string> status;
};

} // namespace

TEST_F(LoadTableSample, DbaseTableBecomesTheSample) {
    std::vector<TDbfField> f = {{"X", 'N', 5, 1}, {"NAME", 'C', 10}, {"Y", 'N', 3}};
    const auto file = dir.Write("SALES.DBF", BuildDbfSpec([&](TDbfSpec& s) {
                                    s.Fields = f;
                                    s.Records = {Record(f, {"1.5", "a", "10"}), Record(f, {"2.5", "b", "30"})};
                                }));
    ASSERT_EQ(Load(file), "");
    ASSERT_EQ(w.FieldCount(), 3);
    EXPECT_EQ(w.Fields()[0].FieldName, "X");
    EXPECT_EQ(w.Fields()[1].Categories, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(w.Fields()[2].TableFieldNo, 2);
    EXPECT_EQ(w.RecordCount(), 2);
    EXPECT_EQ(w.Fields()[2].Values, (std::vector<double>{10, 30}));
    EXPECT_EQ(w.Fields()[2].DataMax, 30);
    EXPECT_EQ(w.Fields()[2].Mid, 20);
    EXPECT_EQ(w.Fields()[0].FieldType, TFieldRole::Input);
    EXPECT_EQ(w.Fields()[1].FieldType, TFieldRole::Input);
    EXPECT_EQ(w.Fields()[2].FieldType, TFieldRole::Target);
    EXPECT_EQ(w.LearnSampleFileName(), file);
    ASSERT_FALSE(status.empty());
    EXPECT_NE(std::find(status.begin(), status.end(), "загрузка данных"), status.end());
    EXPECT_EQ(status.back(), "");
}

TEST_F(LoadTableSample, ParadoxTableBecomesTheSample) {
    const auto file =
        dir.Write("prices.Db", BuildParadoxSpec([&](TPxSpec& s) {
                      s.CodePage = 1251;
                      s.Fields = {{"\xD6\xE5\xED\xE0", pxCurrency, 8}, // Цена, Штук
                                  {"\xD8\xF2\xF3\xEA", pxShort, 2}};
                      s.Records = {SortableDouble(12.34) + SortableInt(3, 2), SortableDouble(0.5) + SortableInt(-1, 2)};
                  }));
    ASSERT_EQ(Load(file), "");
    ASSERT_EQ(w.FieldCount(), 2);
    EXPECT_EQ(w.Fields()[0].FieldName, "Цена");
    EXPECT_EQ(w.Fields()[1].FieldName, "Штук");
    EXPECT_EQ(w.Fields()[0].Values, (std::vector<double>{12.34, 0.5}));
    EXPECT_EQ(w.Fields()[1].Values, (std::vector<double>{3, -1}));
}

TEST_F(LoadTableSample, TableErrorReachesTheUserAndClearsTheStatus) {
    std::vector<TDbfField> f = {{"P", 'N', 3}};
    const auto file = dir.Write("empty.dbf", BuildDbfSpec([&](TDbfSpec& s) { s.Fields = f; }));
    EXPECT_EQ(Load(file), "Неверное значение или пропуск в таблице. Поле P");
    EXPECT_EQ(status.back(), "");
    EXPECT_TRUE(w.PageChanged()); // the next "Далее >>" tries again
    EXPECT_EQ(Load(dir.Dir() + "none.dbf"), "Файл таблицы не найден: " + dir.Dir() + "none.dbf");
}

TEST_F(LoadTableSample, RealCensusTable) {
    REQUIRE_TESTDATA();
    ASSERT_EQ(Load(TestData + "/dbf/blockgroups.dbf"), "");
    EXPECT_EQ(w.RecordCount(), 663);
    EXPECT_EQ(w.FieldCount(), 42);
    EXPECT_EQ(w.Fields().back().FieldType, TFieldRole::Target);
    EXPECT_EQ(w.RecordIndex().size(), 663u);
}

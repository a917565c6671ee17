#include "common/Errors.h"
#include "sample/CsvSample.h"

#include "support/ErrorCatch.h"
#include "support/TableColumns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace nirvex;

namespace {

using test::Names;
using test::Row;

std::string ErrorOf(std::string_view bytes) {
    return test::ErrorOf([&] { ParseCsvSample(bytes); });
}

struct TGoodCase {
    const char* What;
    std::string Bytes;
    std::vector<std::string> Names;
    std::vector<double> FirstRow;
};

} // namespace

TEST(CsvSample, DelimitersDecimalsQuotingAndEncodings) {
    const TGoodCase cases[] = {
        {"semicolon, decimal comma", "a;b\n1,5;2\n", {"a", "b"}, {1.5, 2}},
        {"semicolon, decimal point", "a;b\n1.5;+3\n", {"a", "b"}, {1.5, 3}},
        {"tab, decimal comma, exponent", "a\tb\n1,5\t-2e3\n", {"a", "b"}, {1.5, -2000}},
        {"comma, decimal point, exponent", "a,b\n1.5,2E-1\n", {"a", "b"}, {1.5, 0.2}},
        {"semicolon wins a tie with comma", "a;b,c\n1;2,3\n", {"a", "b,c"}, {1, 2.3}},
        {"tab wins a tie with comma", "a\tb,c\n1\t2,3\n", {"a", "b,c"}, {1, 2.3}},
        {"blanks around cells", " a , b \n 1 , \" 2 \" \n", {"a", "b"}, {1, 2}},
        {"quoted delimiter and quote in names",
         "\"a,b\",\"say \"\"hi\"\"\"\n\"1\",\"2\"\n",
         {"a,b", "say \"hi\""},
         {1, 2}},
        {"quoted line break", "\"multi\r\nline\";x\n1;2\n", {"multi\r\nline", "x"}, {1, 2}},
        {"byte order mark", "\xEF\xBB\xBF\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0;x\n1;2\n", {"Цена", "x"}, {1, 2}},
        {"UTF-8 header", "\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0;x\n1;2\n", {"Цена", "x"}, {1, 2}},
        {"broken UTF-8 after a byte order mark",
         "\xEF\xBB\xBF"
         "a\xED\xA0\x80;x\n1;2\n",
         {"a\xEF\xBF\xBD", "x"},
         {1, 2}},
        {"Windows-1251 header", "\xD6\xE5\xED\xE0;x\n1;2\n", {"Цена", "x"}, {1, 2}},
        {"empty names", ";x;\n1;2;3\n", {"Столбец 1", "x", "Столбец 3"}, {1, 2, 3}},
        {"one column", "x\n1,5\n", {"x"}, {1.5}},
        {"bare points", "x;y;z\n.5;5.;-0,25e+2\n", {"x", "y", "z"}, {0.5, 5, -25}},
        {"blank lines skipped", "\nx;y\n\n  \n1;2\n\n", {"x", "y"}, {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const TSampleTable t = ParseCsvSample(c.Bytes);
        EXPECT_EQ(Names(t), c.Names);
        ASSERT_EQ(t.RecordCount, 1);
        EXPECT_EQ(Row(t, 0), c.FirstRow);
        EXPECT_TRUE(t.TextColumns.empty());
    }
}

TEST(CsvSample, LineEndsCrLfAndCrLfReadAlikeAndCountLinesAlike) {
    for (const char* eol : {"\n", "\r", "\r\n"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(eol)));
        const std::string e = eol;
        const TSampleTable t = ParseCsvSample("x;y" + e + "1;2" + e + e + "3;4");
        EXPECT_EQ(t.RecordCount, 2);
        EXPECT_EQ(Row(t, 1), (std::vector<double>{3, 4}));
        EXPECT_EQ(ErrorOf("x;y" + e + "1;2" + e + e + "3;1e999" + e),
                  "Неверное значение или пропуск в файле. Поле y, строка 4");
        EXPECT_EQ(ErrorOf("x;y" + e + "1;2" + e + e + "3;4;5" + e), "Неверное число значений в строке 4");
    }
}

TEST(CsvSample, TextColumnsBecomeCategoryFields) {
    const TSampleTable t = ParseCsvSample("id;city;v;\"kind\"\n1;Москва;2,5;\"a\"\n2;\"Казань\";3;b\n");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"id", "city", "v", "kind"}));
    EXPECT_TRUE(t.TextColumns.empty());
    EXPECT_EQ(t.Fields[1].Kind, TFieldKind::Category);
    EXPECT_EQ(t.Fields[1].NormType, TNormMethod::Category);
    EXPECT_EQ(t.Fields[1].Categories, (std::vector<std::string>{"Москва", "Казань"}));
    EXPECT_EQ(t.Fields[3].Categories, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(t.Fields[2].Kind, TFieldKind::Number);
    EXPECT_EQ(Row(t, 1), (std::vector<double>{2, 1, 3, 1}));
    EXPECT_EQ(TextColumnsNote(t), "");
}

TEST(CsvSample, RefusedContentNamesFieldAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"x;x\n1;2\n", "Повторяется имя поля в файле: x"},
        {"Столбец 2;\n1;2\n", "Повторяется имя поля в файле: Столбец 2"},
        {"x;y\n1;2\n1e999;2\n", "Неверное значение или пропуск в файле. Поле x, строка 3"},
        {"x;y\nNA;2\n-1e999;2\n", "Неверное значение или пропуск в файле. Поле x, строка 3"},
        {"\"a\nb\";y\n1;2\n3;1e999\n", "Неверное значение или пропуск в файле. Поле y, строка 4"},
        {"x;y;z\n1;2;3\n4;5\n", "Неверное число значений в строке 3"},
        {"x;y\n1;2\n4;5;6\n", "Неверное число значений в строке 3"},
        {"x;y\n1;2\n\"4\n\";5;6\n", "Неверное число значений в строке 3"},
        {"", "Ошибка во входном файле"},
        {"\xEF\xBB\xBF", "Ошибка во входном файле"},
    };
    for (const auto& [bytes, message] : cases)
        EXPECT_EQ(ErrorOf(bytes), message) << testing::PrintToString(std::string(bytes));
}

TEST(CsvSample, HeaderOnlyGivesTheColumnsWithoutRecords) {
    const TSampleTable t = ParseCsvSample("x;y\n");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(t.RecordCount, 0);
}

TEST(CsvSample, MissingFileIsABadInputFile) {
    test::ExpectError([] { ReadCsvSample("/nonexistent/sample.csv"); }, "Ошибка во входном файле");
}

// Files written by R and pandas, and the bundled example.
TEST(CsvSample, FilesOfOtherPrograms) {
    struct TFileCase {
        const char* File;
        std::size_t Fields;
        int32_t Records;
        std::vector<std::string> TextColumns;
        const char* FirstName;
        std::vector<double> LastRow;
    };
    const TFileCase cases[] = {
        {NIRVEX_EXAMPLES_DIR "/statecrime.csv",
         7,
         51,
         {"state"},
         "violent",
         {219.3, 2.0, 91.8, 9.8, 18.9, 91.3, 24.51}},
        // the car names: 32 values, the last one the 32nd
        {"mtcars_write.csv.csv", 12, 32, {}, "Столбец 1", {31, 21.4, 4, 121, 109, 4.11, 2.78, 18.6, 1, 1, 4, 2}},
        {"iris_write.csv.csv", 5, 150, {}, "Sepal.Length", {5.9, 3, 5.1, 1.8, 2}},
        {"airquality_write.csv2.csv", 6, 153, {}, "Ozone", {20, 223, 11.5, 68, 9, 30}},
        {"iris_ru_write.csv2_utf8.csv", 3, 150, {}, "Длина", {5.9, 3, 3}},
        {"iris_ru_write.table_cp1251.csv", 3, 150, {}, "Длина", {5.9, 3, 3}},
        {"wine_pandas_utf8sig.csv",
         14,
         178,
         {},
         "Алкоголь",
         {14.13, 4.1, 2.74, 24.5, 96, 2.05, 0.76, 0.56, 1.35, 9.2, 0.61, 1.6, 560, 2}},
        {"wine_pandas_tab.csv",
         14,
         60,
         {},
         "Алкоголь",
         {12.37, 0.94, 1.36, 10.6, 88, 1.98, 0.57, 0.28, 0.42, 1.95, 1.05, 1.82, 520, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const std::string file = c.File;
        const TSampleTable t = ReadCsvSample(file[0] == '/' ? file : NIRVEX_CSV_DIR "/" + file);
        ASSERT_EQ(t.Fields.size(), c.Fields);
        EXPECT_EQ(t.RecordCount, c.Records);
        EXPECT_EQ(t.TextColumns, c.TextColumns);
        EXPECT_EQ(t.Fields[0].FieldName, c.FirstName);
        EXPECT_EQ(Row(t, c.Records - 1), c.LastRow);
    }
    EXPECT_EQ(ReadCsvSample(NIRVEX_CSV_DIR "/wine_pandas_utf8sig.csv").Fields[3].FieldName, "Щёлочность_золы");
    const TSampleTable iris = ReadCsvSample(NIRVEX_CSV_DIR "/iris_write.csv.csv");
    EXPECT_EQ(iris.Fields[4].Categories, (std::vector<std::string>{"setosa", "versicolor", "virginica"}));
    // NA gaps leave Ozone and Solar.R number fields; the first is in the fifth record.
    const TSampleTable air = ReadCsvSample(NIRVEX_CSV_DIR "/airquality_write.csv2.csv");
    EXPECT_EQ(air.Fields[0].Kind, TFieldKind::Number);
    EXPECT_TRUE(IsGap(air.Fields[0].Values[4]));
    EXPECT_EQ(std::count_if(air.Fields[0].Values.begin(), air.Fields[0].Values.end(), IsGap), 37);
    EXPECT_EQ(std::count_if(air.Fields[1].Values.begin(), air.Fields[1].Values.end(), IsGap), 7);
}

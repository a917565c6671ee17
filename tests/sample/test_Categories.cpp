// Column kinds decided over the whole column, gaps, and the network columns of category fields.
#include "sample/Categories.h"
#include "sample/CsvSample.h"
#include "sample/Normalize.h"
#include "sample/SampleStats.h"

#include "support/ErrorCatch.h"
#include "support/TableColumns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace nirvex;

namespace {

// Column "n" numbering the records beside column "s" of `values`.
std::string Numbered(const std::vector<std::string>& values) {
    std::string csv = "n;s\n";
    for (std::size_t i = 0; i < values.size(); ++i)
        csv += std::to_string(i) + ";" + values[i] + "\n";
    return csv;
}

std::vector<std::string> Distinct(int n, std::vector<std::string> before = {}) {
    for (int i = 0; i < n; ++i)
        before.push_back("v" + std::to_string(i));
    return before;
}

} // namespace

TEST(Categories, GapWordsInAnyCaseWithBlanks) {
    for (const char* gap : {"", " ", "\t", "NA", "na", "Na", "N/A", "n/a", "NaN", "NAN", "nan", "null", "NULL", "Null",
                            "?", " NA ", "\tnull\t", "  ?"})
        EXPECT_TRUE(IsGapText(gap)) << '"' << gap << '"';
    for (const char* value : {"N", "A", "NA1", "N A", "none", "nil", "-", "??", "0", "nulls", "N/A/"})
        EXPECT_FALSE(IsGapText(value)) << '"' << value << '"';
    // In a number column each of them is a gap, never text.
    const TSampleTable t = ParseCsvSample("x;y\n1;NA\n2; n/a \n3;NaN\n4;null\n5;?\n6;\n7;8\n");
    ASSERT_EQ(t.Fields.size(), 2u);
    EXPECT_EQ(t.Fields[1].Kind, TFieldKind::Number);
    for (int r = 0; r < 6; ++r)
        EXPECT_TRUE(IsGap(t.Fields[1].Values[static_cast<std::size_t>(r)])) << r;
    EXPECT_EQ(t.Fields[1].Values[6], 8);
}

TEST(Categories, KindIsDecidedOverTheWholeColumn) {
    struct TCase {
        const char* What;
        std::string Csv;
        TFieldKind Kind;
        std::vector<std::string> Categories;
        std::vector<double> Values; // NaN for a gap
    };
    const double gap = std::nan("");
    const TCase cases[] = {
        {"first record NA", "x\nNA\n1,5\n2\n", TFieldKind::Number, {}, {gap, 1.5, 2}},
        {"only gaps", "x\n?\nNA\n", TFieldKind::Number, {}, {gap, gap}},
        {"text after numbers: the numbers are values too",
         "x\n1\n2\nNA\nb\n1\n",
         TFieldKind::Category,
         {"1", "2", "b"},
         {0, 1, gap, 2, 0}},
        {"numbers after text", "x\na\n 7 \nNA\na\n", TFieldKind::Category, {"a", "7"}, {0, 1, gap, 0}},
        {"trimmed, compared exactly, first appearance",
         "x\n b\n\ta \nb \nB\na\n",
         TFieldKind::Category,
         {"b", "a", "B"},
         {0, 1, 0, 2, 1}},
        {"a value with \";\" and \"=\" quoted", "x\n\"a;b=c\"\nd\n", TFieldKind::Category, {"a;b=c", "d"}, {0, 1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const TSampleTable t = ParseCsvSample(c.Csv);
        ASSERT_EQ(t.Fields.size(), 1u);
        const TFieldInfo& f = t.Fields[0];
        EXPECT_EQ(f.Kind, c.Kind);
        EXPECT_EQ(f.NormType, c.Kind == TFieldKind::Category ? TNormMethod::Category : TNormMethod::Linear);
        EXPECT_EQ(f.Categories, c.Categories);
        ASSERT_EQ(f.Values.size(), c.Values.size());
        for (std::size_t r = 0; r < c.Values.size(); ++r)
            if (IsGap(c.Values[r]))
                EXPECT_TRUE(IsGap(f.Values[r])) << r;
            else
                EXPECT_EQ(f.Values[r], c.Values[r]) << r;
    }
}

TEST(Categories, FiftyValuesAreCategoriesFiftyOneAreLeftOut) {
    std::vector<std::string> fifty = Distinct(50);
    fifty.push_back("v0");
    TSampleTable t = ParseCsvSample(Numbered(fifty));
    ASSERT_EQ(t.Fields.size(), 2u);
    EXPECT_EQ(t.Fields[1].Categories.size(), 50u);
    EXPECT_EQ(t.Fields[1].NetWidth(), 50);
    EXPECT_EQ(t.Fields[1].Values.back(), 0);
    // Numbers before the text count among the values in the second pass.
    t = ParseCsvSample(Numbered(Distinct(48, {"1", "2"})));
    ASSERT_EQ(t.Fields.size(), 2u);
    EXPECT_EQ(t.Fields[1].Categories.front(), "1");

    for (const std::vector<std::string>& many : {Distinct(51), Distinct(49, {"1", "2"})}) {
        t = ParseCsvSample(Numbered(many));
        EXPECT_EQ(test::Names(t), std::vector<std::string>{"n"});
        EXPECT_EQ(t.TextColumns, std::vector<std::string>{"s"});
        EXPECT_EQ(TextColumnsNote(t), "Пропущены текстовые столбцы (слишком много различных значений): s");
    }
    std::string only = "s\n";
    for (const std::string& v : Distinct(51))
        only += v + "\n";
    test::ExpectError([&] { ParseCsvSample(only); }, "Неверное значение или пропуск в файле. Поле s, строка 2");
}

TEST(Categories, StatisticsAreOverTheValuesPresent) {
    TSampleTable t = ParseCsvSample("x;c\n1;b\nNA;a\n3;\n5;a\nnull;NA\n");
    InitFieldDefaults(t.Fields, t.RecordCount);
    const TFieldInfo& x = t.Fields[0];
    EXPECT_EQ(x.GapCount, 2);
    EXPECT_EQ(x.DataMin, 1);
    EXPECT_EQ(x.DataMax, 5);
    EXPECT_DOUBLE_EQ(x.Mid, 3);
    EXPECT_DOUBLE_EQ(x.Disp, 2);
    EXPECT_DOUBLE_EQ(x.GapFill, 3);
    const TFieldInfo& c = t.Fields[1];
    EXPECT_EQ(c.NormType, TNormMethod::Category);
    EXPECT_EQ(c.GapCount, 2);
    EXPECT_EQ(c.GapFill, 1); // "a" twice, "b" once
    EXPECT_EQ(GapRecords(t.Fields, t.RecordCount), 3);
}

namespace {

// Input "c" of three values at inputs 1..3 after number input "x", target "k" of two classes at
// outputs 0..1 before number target "y" at 2.
std::vector<TFieldInfo> MixedFields() {
    const double gap = std::nan("");
    std::vector<TFieldInfo> f(4);
    f[0].FieldName = "x";
    f[0].NormType = TNormMethod::None;
    f[0].Values = {0.75, gap, 0.25};
    f[0].GapFill = 0.5;
    f[1].FieldName = "c";
    f[1].Kind = TFieldKind::Category;
    f[1].NormType = TNormMethod::Category;
    f[1].Categories = {"p", "q", "r"};
    f[1].NetIndex = 1;
    f[1].Values = {2, 0, gap};
    f[1].GapFill = 1;
    f[2].FieldName = "y";
    f[2].FieldType = TFieldRole::Target;
    f[2].NormType = TNormMethod::Linear;
    f[2].Min = 0;
    f[2].Max = 10;
    f[2].NetIndex = 2;
    f[2].Values = {5, 10, 0};
    f[3].FieldName = "k";
    f[3].FieldType = TFieldRole::Target;
    f[3].Kind = TFieldKind::Category;
    f[3].NormType = TNormMethod::Category;
    f[3].Categories = {"no", "yes"};
    f[3].Values = {1, 0, gap};
    for (TFieldInfo& field : f)
        for (double v : field.Values)
            field.GapCount += IsGap(v) ? 1 : 0;
    return f;
}

} // namespace

TEST(Categories, OneHotColumnsFilledGapsAndUsableRecords) {
    std::vector<TFieldInfo> f = MixedFields();
    double in[4], out[3];
    BuildExample(f, 0, in, out);
    EXPECT_EQ(std::vector<double>(in, in + 4), (std::vector<double>{0.5, 0, 0, 1}));
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{0, 1, 0.5}));
    // Gaps of inputs and targets leave records 1 and 2 out until the inputs fill theirs.
    EXPECT_EQ((std::vector<bool>{RecordUsable(f, 0), RecordUsable(f, 1), RecordUsable(f, 2)}),
              (std::vector<bool>{true, false, false}));
    f[0].FillGaps = true;
    f[1].FillGaps = true;
    EXPECT_TRUE(RecordUsable(f, 1));
    EXPECT_FALSE(RecordUsable(f, 2)); // the target's gap
    BuildExample(f, 1, in, out);
    EXPECT_EQ(std::vector<double>(in, in + 4), (std::vector<double>{0, 1, 0, 0}));
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{1, 0, 1}));
    f[3].FieldType = TFieldRole::Unused;
    EXPECT_TRUE(RecordUsable(f, 2));
    BuildExample(f, 2, in, out);
    EXPECT_EQ(std::vector<double>(in, in + 4), (std::vector<double>{-0.5, 0, 1, 0}));
    // Raw values by slot: a category as its position, a gap of a filled field as its fill.
    EXPECT_EQ(NormalizeInputs(f, {0.25, 2}, 4), (std::vector<double>{-0.5, 0, 0, 1}));
    EXPECT_EQ(NormalizeInputs(f, {std::nan(""), std::nan("")}, 4), (std::vector<double>{0, 0, 1, 0}));
}

TEST(Categories, AnswerIsTheLargestOutputWithEachClassShare) {
    const std::vector<TFieldInfo> f = MixedFields();
    struct TCase {
        std::vector<double> Outputs;
        std::vector<double> Values;
        std::vector<double> Shares;
    };
    const TCase cases[] = {
        {{0.2, 0.6, 0.5}, {1, 5}, {0.25, 0.75}},
        {{0.9, 0.1, 1}, {0, 10}, {0.9, 0.1}},
        {{0.4, 0.4, 0}, {0, 0}, {0.5, 0.5}}, // equals: the first class
        {{0, 0, 0.3}, {0, 3}, {0, 0}},
    };
    for (const TCase& c : cases) {
        std::vector<std::vector<double>> shares;
        // Target slots by network order: k (outputs 0..1) first, then y.
        EXPECT_EQ(DenormalizeOutputs(f, c.Outputs, &shares), c.Values);
        ASSERT_EQ(shares.size(), 2u);
        ASSERT_EQ(shares[0].size(), 2u);
        EXPECT_DOUBLE_EQ(shares[0][0], c.Shares[0]);
        EXPECT_DOUBLE_EQ(shares[0][1], c.Shares[1]);
        EXPECT_TRUE(shares[1].empty());
    }
}

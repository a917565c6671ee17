#include "common/Errors.h"
#include "sample/TextSample.h"

#include "support/ErrorCatch.h"
#include "support/TableColumns.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace nirvex;

namespace {

using test::Names;
using test::Row;

void ExpectBadFile(std::string_view bytes) {
    SCOPED_TRACE(bytes);
    test::ExpectError([&] { ParseTextSample(bytes); }, "Ошибка во входном файле");
}

std::vector<double> Values(std::string_view line, int expected, bool* ok = nullptr) {
    std::vector<double> v;
    bool r = ParseValues(line, expected, v);
    if (ok)
        *ok = r;
    return v;
}

} // namespace

TEST(ParseValues, FormatRulesOfADataLine) {
    const struct {
        const char* line;
        std::vector<double> values;
    } cases[] = {
        {"1.5;2;3", {1.5, 2, 3}},
        {"1.5\t2  3", {1.5, 2, 3}},
        {"A12 7", {12, 7}}, // letters are separators
        {"12.", {12}},
        {".5", {5}}, // a full stop before the first digit is skipped
        {"-2.5 4", {-2.5, 4}},
        {"1-2", {1, 2}}, // a sign right after a digit or a full stop separates
        {"1.-2", {1, 2}},
        {"-.5", {-0.5}},
        {"+3", {3}},
        {"A-12;x+7", {-12, 7}},
        {"- 5 -x", {5}},
        {"1e5", {100000}},
        {"1.5E3", {1500}},
        {"1e-3", {0.001}},
        {"3e+2;-1", {300, -1}},
        {"12.e1", {120}},
        {"2e", {2}}, // no exponent digits: the E separates
        {"1.5E 7", {1.5, 7}},
        {"2e-x", {2}},
        {"1e5-3", {100000, 3}},
        {"1e-400", {0}},
    };
    for (const auto& c : cases) {
        bool ok = false;
        EXPECT_EQ(Values(c.line, static_cast<int>(c.values.size()), &ok), c.values) << c.line;
        EXPECT_TRUE(ok) << c.line;
    }
}

TEST(ParseValues, WrongCountIsRejectedWithoutStoringTheExtra) {
    bool ok = true;
    auto v = Values("1 2 3", 2, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(v, (std::vector<double>{1, 2}));
    Values("1", 2, &ok);
    EXPECT_FALSE(ok);
    Values("no digits here", 1, &ok);
    EXPECT_FALSE(ok);
}

TEST(ParseValues, MalformedOrOverflowingNumberFailsTheRead) {
    for (const char* line :
         {"1,5", "1.2.3", "remark 1.2.3 with five values 1 2 3 4 5", "1e400", "-1e400", "1e5.3", "-1.5e2,5"}) {
        std::vector<double> v;
        EXPECT_THROW(ParseValues(line, 1, v), EError) << line;
    }
}

TEST(ParseHeader, NameCharacters) {
    EXPECT_EQ(ParseHeader("x1 x2 y"), (std::vector<std::string>{"x1", "x2", "y"}));
    EXPECT_EQ(ParseHeader("Sales_2001;Price"), (std::vector<std::string>{"Sales", "2001", "Price"}));
    EXPECT_EQ(ParseHeader("\xCE\xE1\xFA\xB8\xEC"), (std::vector<std::string>{"Объ", "м"})); // ё separates
    EXPECT_EQ(ParseHeader("  a\t\tb  \t"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ParseHeader("a.b,c"), (std::vector<std::string>{"a.b,c"}));
    EXPECT_TRUE(ParseHeader(" ;-_\"'").empty());
}

TEST(TextSample, HeaderEncoding) {
    const struct {
        std::string bytes;
        std::vector<std::string> names;
    } cases[] = {
        {"\xD6\xE5\xED\xE0 x\r\n1 2\r\n", {"Цена", "x"}},                 // Windows-1251
        {"\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0 x\r\n1 2\r\n", {"Цена", "x"}}, // UTF-8 without a mark
        {"\xEF\xBB\xBFprice x\r\n1 2\r\n", {"price", "x"}},               // mark before plain ASCII
        {"\xEF\xBB\xBF\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0 x\n1 2\n", {"Цена", "x"}},
        {"\xD0\x9E\xD0\xB1\xD1\x8A\xD1\x91\xD0\xBC;y\r\n1 2\r\n", {"Объ", "м", "y"}}, // ё separates
        {"Gr\xC3\xB6\xC3\x9F\x65\xC2\xABx\r\n1 2\r\n", {"Größe", "x"}}, // letters Windows-1251 lacks join; « separates
        {"Gr\xC3\xB6\xC3\x9F\x65 \xE6\x95\xB0\r\n1 2\r\n", {"Größe", "数"}},
        {"\xEF\xBB\xBF"
         "a\xF6\x99\x99\x99"
         "b \xED\xA0\x80"
         "x\r\n1 2\r\n",
         {"a", "b", "x"}},                                  // past U+10FFFF, surrogate
        {"\xEF\xBB\xBF\xE0\x80\xC1 ab\r\n1 2\r\n", {"ab"}}, // broken UTF-8 after a mark makes no name
    };
    for (const auto& c : cases) {
        auto t = ParseTextSample(c.bytes);
        EXPECT_EQ(Names(t), c.names) << c.bytes;
        EXPECT_EQ(t.RecordCount, c.names.size() == 2 ? 1 : 0) << c.bytes;
    }
    EXPECT_FALSE(IsUtf8Header("plain ascii"));
    EXPECT_FALSE(IsUtf8Header("\xD6\xE5\xED\xE0"));
    EXPECT_TRUE(IsUtf8Header("\xD0\xA6"));
}

TEST(TextSample, AllThreeLineEndsGiveTheSameSample) {
    auto crlf = ParseTextSample("x y\r\n1 2\r\n3 4\r\n");
    auto cr = ParseTextSample("x y\r1 2\r3 4\r");
    auto lf = ParseTextSample("x y\n1 2\n3 4\n");
    for (const auto* t : {&crlf, &cr, &lf}) {
        EXPECT_EQ(Names(*t), (std::vector<std::string>{"x", "y"}));
        ASSERT_EQ(t->RecordCount, 2);
        EXPECT_EQ(Row(*t, 0), (std::vector<double>{1, 2}));
        EXPECT_EQ(Row(*t, 1), (std::vector<double>{3, 4}));
    }
}

TEST(TextSample, SkipsLinesOfTheWrongWidthAndReadsTheLastLineWithoutEnd) {
    auto t = ParseTextSample("a b c \t\r\n1 2 3\r\n\r\n1 2\r\nlabel 7 1 2 3\r\ntext only\r\n4 5 6");
    EXPECT_EQ(Names(t), (std::vector<std::string>{"a", "b", "c"}));
    ASSERT_EQ(t.RecordCount, 2);
    EXPECT_EQ(Row(t, 1), (std::vector<double>{4, 5, 6}));
    for (const auto& f : t.Fields)
        EXPECT_EQ(f.Values.size(), 2u);
}

TEST(TextSample, CountsSkippedLinesWithValuesInEveryLineEnd) {
    // Lines 4 and 6 have values but the wrong count; blank and word-only lines are no records.
    for (const char* eol : {"\r\n", "\r", "\n"}) {
        std::string text;
        for (const char* line : {"a b", "1 2", "", "7", "words", "1 2 3", "3 4"})
            text += std::string(line) + eol;
        auto t = ParseTextSample(text);
        EXPECT_EQ(t.RecordCount, 2) << eol[0];
        EXPECT_EQ(t.SkippedLines, 2) << eol[0];
        EXPECT_EQ(t.FirstSkippedLine, 4) << eol[0];
        EXPECT_EQ(SkippedLinesNotice(t), "Пропущено строк с неверным числом значений: 2 (первая — строка 4)");
    }
    auto clean = ParseTextSample("a\r\n1\r\n\r\nno values\r\n");
    EXPECT_EQ(clean.SkippedLines, 0);
    EXPECT_EQ(SkippedLinesNotice(clean), "");
}

TEST(TextSample, HeaderWithoutRecordsIsNotAReadError) {
    auto t = ParseTextSample("a b\r\ntext\r\n1\r\n");
    EXPECT_EQ(t.Fields.size(), 2u);
    EXPECT_EQ(t.RecordCount, 0);
}

TEST(TextSample, FailuresGiveTheOneMessage) {
    ExpectBadFile("");
    ExpectBadFile(" ;\t-\r\n1 2\r\n");
    ExpectBadFile("\r\nx y\r\n");
    ExpectBadFile("x\r\n1,5\r\n");
    ExpectBadFile("x y\r\n1 2\r\nremark 1.2.3\r\n");
    ExpectBadFile("x\r\n99999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
                  "99999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
                  "99999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
                  "99999999999999999999999999999999999999999999999999999999999999999\r\n");
}

TEST(TextSample, LongFractionsUnderflowToZero) {
    std::string tiny = "0." + std::string(400, '0') + "1";
    auto t = ParseTextSample("x\r\n" + tiny + "\r\n");
    ASSERT_EQ(t.RecordCount, 1);
    EXPECT_EQ(t.Fields[0].Values[0], 0.0);
}

TEST(TextSample, ReadsFromDiskAcrossBufferBoundaries) {
    auto path = std::filesystem::temp_directory_path() / "nirvex_text_sample_test.txt";
    std::string content = "\xEF\xE5\xF0\xE2 second\r\n";
    const int n = 200000; // several read chunks, lines and CR LF pairs crossing their ends
    for (int i = 0; i < n; ++i)
        content += std::to_string(i) + ".25\t" + std::to_string(n - i) + "\r\n";
    content += "-1 2 3\r\n";
    { std::ofstream(path, std::ios::binary) << content; }
    auto t = ReadTextSample(path.string());
    EXPECT_EQ(Names(t), (std::vector<std::string>{"перв", "second"}));
    ASSERT_EQ(t.RecordCount, n);
    EXPECT_EQ(Row(t, 0), (std::vector<double>{0.25, n}));
    EXPECT_EQ(Row(t, n - 1), (std::vector<double>{n - 1 + 0.25, 1}));
    EXPECT_EQ(Row(t, 123456), (std::vector<double>{123456.25, n - 123456}));
    EXPECT_EQ(t.SkippedLines, 1);
    EXPECT_EQ(t.FirstSkippedLine, n + 2);

    { std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0\r\n-1e2\r\n"; }
    auto marked = ReadTextSample(path.string());
    std::filesystem::remove(path);
    EXPECT_EQ(Names(marked), (std::vector<std::string>{"Цена"}));
    ASSERT_EQ(marked.RecordCount, 1);
    EXPECT_EQ(marked.Fields[0].Values[0], -100);
}

TEST(TextSample, MissingFileFails) {
    test::ExpectError([] { ReadTextSample("/nonexistent/dir/sample.txt"); }, "Ошибка во входном файле");
}

TEST(TextSample, BundledExampleLoads) {
    auto t = ReadTextSample(std::string(NIRVEX_EXAMPLES_DIR) + "/iris.txt");
    EXPECT_EQ(t.Fields.size(), 5u);
    EXPECT_EQ(t.RecordCount, 150);
}

#include "Errors.h"
#include "TextSample.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace nirvex;

namespace {

std::vector<std::string> Names(const TSampleTable& t) {
    std::vector<std::string> out;
    for (const auto& f : t.Fields)
        out.push_back(f.FieldName);
    return out;
}

std::vector<double> Row(const TSampleTable& t, int r) {
    std::vector<double> out;
    for (const auto& f : t.Fields)
        out.push_back(f.Values.at(static_cast<std::size_t>(r)));
    return out;
}

void ExpectBadFile(std::string_view bytes) {
    try {
        ParseTextSample(bytes);
        ADD_FAILURE() << "accepted: " << bytes;
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), "Ошибка во входном файле");
    }
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
    bool ok = false;
    EXPECT_EQ(Values("1.5;2;3", 3, &ok), (std::vector<double>{1.5, 2, 3}));
    EXPECT_TRUE(ok);
    EXPECT_EQ(Values("1.5\t2  3", 3), (std::vector<double>{1.5, 2, 3}));
    EXPECT_EQ(Values("-2.5 4", 2), (std::vector<double>{2.5, 4})); // a sign is a separator
    EXPECT_EQ(Values("1e5", 2), (std::vector<double>{1, 5}));      // no exponent notation
    EXPECT_EQ(Values("A12 7", 2), (std::vector<double>{12, 7}));
    EXPECT_EQ(Values("12.", 1), (std::vector<double>{12}));
    EXPECT_EQ(Values(".5", 1), (std::vector<double>{5}));
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

TEST(ParseValues, CommaOrSecondFullStopFailsTheRead) {
    std::vector<double> v;
    EXPECT_THROW(ParseValues("1,5", 1, v), EError);
    EXPECT_THROW(ParseValues("1.2.3", 1, v), EError);
    EXPECT_THROW(ParseValues("remark 1.2.3 with five values 1 2 3 4 5", 1, v), EError);
}

TEST(ParseHeader, NameCharacters) {
    EXPECT_EQ(ParseHeader("x1 x2 y"), (std::vector<std::string>{"x1", "x2", "y"}));
    EXPECT_EQ(ParseHeader("Sales_2001;Price"), (std::vector<std::string>{"Sales", "2001", "Price"}));
    EXPECT_EQ(ParseHeader("\xCE\xE1\xFA\xB8\xEC"), (std::vector<std::string>{"Объ", "м"})); // ё separates
    EXPECT_EQ(ParseHeader("  a\t\tb  \t"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ParseHeader("a.b,c"), (std::vector<std::string>{"a.b,c"}));
    EXPECT_TRUE(ParseHeader(" ;-_\"'").empty());
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
    const int n = 200000; // several read chunks, lines crossing their ends
    for (int i = 0; i < n; ++i)
        content += std::to_string(i) + ".25\t" + std::to_string(n - i) + "\r\n";
    { std::ofstream(path, std::ios::binary) << content; }
    auto t = ReadTextSample(path.string());
    std::filesystem::remove(path);
    EXPECT_EQ(Names(t), (std::vector<std::string>{"перв", "second"}));
    ASSERT_EQ(t.RecordCount, n);
    EXPECT_EQ(Row(t, 0), (std::vector<double>{0.25, n}));
    EXPECT_EQ(Row(t, n - 1), (std::vector<double>{n - 1 + 0.25, 1}));
    EXPECT_EQ(Row(t, 123456), (std::vector<double>{123456.25, n - 123456}));
}

TEST(TextSample, MissingFileFails) {
    try {
        ReadTextSample("/nonexistent/dir/sample.txt");
        ADD_FAILURE();
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), "Ошибка во входном файле");
    }
}

TEST(TextSample, BundledExampleLoads) {
    auto t = ReadTextSample(std::string(NIRVEX_EXAMPLES_DIR) + "/iris.txt");
    EXPECT_EQ(t.Fields.size(), 5u);
    EXPECT_EQ(t.RecordCount, 150);
}

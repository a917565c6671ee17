#include "common/Cp1251.h"

#include <gtest/gtest.h>

using namespace nirvex;

TEST(Cp1251, CyrillicLettersBothWays) {
    const std::string bytes = "\xCE\xE1\xFA\xB8\xEC \xA8\xEB\xEA\xE0"; // "Объём Ёлка"
    EXPECT_EQ(Cp1251ToUtf8(bytes), "Объём Ёлка");
    EXPECT_EQ(Utf8ToCp1251("Объём Ёлка"), bytes);
}

TEST(Cp1251, EveryByteSurvivesTheRoundTripExceptTheUndefinedOne) {
    for (int b = 0; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        std::string back = Utf8ToCp1251(Cp1251ToUtf8(one));
        if (b == 0x98)
            EXPECT_EQ(back, "?");
        else
            EXPECT_EQ(back, one) << b;
    }
}

TEST(Cp1251, UnmappableAndBrokenUtf8BecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xAD"
                           "b"),
              "a?b");                     // a CJK letter
    EXPECT_EQ(Utf8ToCp1251("\xC3"), "?"); // cut sequence
    EXPECT_EQ(Utf8ToCp1251("\xFF\xFE"), "??");
}

TEST(Utf8, ValidityIsStrict) {
    struct Case {
        const char* bytes;
        bool valid;
    };
    const Case cases[] = {
        {"plain ascii", true},
        {"Цена Größe", true},
        {"\xEF\xBF\xBD", true},          // U+FFFD written out is a character like any other
        {"\xF0\x9F\x98\x80", true},      // four bytes
        {"\xCE\xE1\xFA\xB8\xEC", false}, // Windows-1251 "Объём"
        {"\xC3", false},                 // cut
        {"\xC0\xAF", false},             // overlong
        {"\xE0\x80\xAF", false},         // overlong, three bytes
        {"\xED\xA0\x80", false},         // surrogate
        {"\xF4\x90\x80\x80", false},     // past U+10FFFF
        {"\x80", false},                 // continuation without a lead
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(Utf8, ByteOrderMarkIsStrippedOnce) {
    std::string_view bytes = "\xEF\xBB\xBF\xEF\xBB\xBFx";
    EXPECT_TRUE(StripUtf8Bom(bytes));
    EXPECT_EQ(bytes, "\xEF\xBB\xBFx");
    std::string_view plain = "x";
    EXPECT_FALSE(StripUtf8Bom(plain));
    EXPECT_EQ(plain, "x");
}

TEST(Utf8, TextFilesStayWindows1251WhenEverythingFits) {
    EXPECT_EQ(EncodeTextFile("Объём=1"), "\xCE\xE1\xFA\xB8\xEC=1");
    EXPECT_TRUE(FitsCp1251("№ € Ё"));
    for (const char* text : {"Données", "Größe", "Müller", "数据"}) {
        EXPECT_FALSE(FitsCp1251(text)) << text;
        EXPECT_EQ(EncodeTextFile(text), std::string("\xEF\xBB\xBF") + text);
    }
}

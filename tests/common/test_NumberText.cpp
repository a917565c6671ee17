#include "common/Errors.h"
#include "common/NumberText.h"
#include "support/ErrorCatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <vector>

using namespace nirvex;

TEST(FormatGeneral, WorkedExamplesOfThePages) {
    EXPECT_EQ(FormatGeneral(2.5, 5), "2.5");
    EXPECT_EQ(FormatGeneral(1234.5678, 5), "1234.6");
    EXPECT_EQ(FormatGeneral(123456, 5), "1.2346E5");
    EXPECT_EQ(FormatGeneral(0.00001234, 5), "1.234E-5");
    EXPECT_EQ(FormatGeneral(-0.5, 5), "-0.5");
    EXPECT_EQ(FormatGeneral(0.0123456, 5), "0.012346");
    EXPECT_EQ(FormatGeneral(66.66667, 3), "66.7");
    EXPECT_EQ(FormatGeneral(100, 3), "100");
    EXPECT_EQ(FormatGeneral(80, 3), "80");
    EXPECT_EQ(FormatGeneral(0, 5), "0");
    EXPECT_EQ(FormatGeneral(-0.0, 5), "0");
}

TEST(FormatGeneral, ProjectFileReals) {
    EXPECT_EQ(FormatGeneral(0.1, 15), "0.1");
    EXPECT_EQ(FormatGeneral(12.5, 15), "12.5");
    EXPECT_EQ(FormatGeneral(-0.000123, 15), "-0.000123");
    EXPECT_EQ(FormatGeneral(1.5E-5, 15), "1.5E-5");
    EXPECT_EQ(FormatGeneral(2E20, 15), "2E20");
    EXPECT_EQ(FormatGeneral(0.00001, 15), "1E-5");
    EXPECT_EQ(FormatGeneral(0.0001, 15), "0.0001");
    EXPECT_EQ(FormatGeneral(0.95, 15), "0.95");
    EXPECT_EQ(FormatGeneral(12, 15), "12");
    EXPECT_EQ(FormatGeneral(3.3166247903554, 15), "3.3166247903554");
}

TEST(FormatGeneral, ExponentBoundariesAfterRounding) {
    // 5 digits before the point still fit fixed notation with P = 5; 6 do not.
    EXPECT_EQ(FormatGeneral(12345, 5), "12345");
    EXPECT_EQ(FormatGeneral(99999.7, 5), "1E5"); // rounding carries into a sixth digit
    EXPECT_EQ(FormatGeneral(1E15, 15), "1E15");
    EXPECT_EQ(FormatGeneral(123456789012345.0, 15), "123456789012345");
    EXPECT_EQ(FormatGeneral(0.000999999, 3), "0.001");
}

TEST(FormatFixed, ReportExamples) {
    EXPECT_EQ(FormatFixed(10, 5, 2), "10.00");
    EXPECT_EQ(FormatFixed(0.5, 5, 2), "0.50");
    EXPECT_EQ(FormatFixed(0.123456, 5, 2), "0.12");
    EXPECT_EQ(FormatFixed(12345.678, 5, 2), "12346.00");
    EXPECT_EQ(FormatFixed(-2, 5, 2), "-2.00");
    EXPECT_EQ(FormatFixed(50, 5, 2), "50.00");
    EXPECT_EQ(FormatFixed(0, 5, 2), "0.00");
    EXPECT_EQ(FormatFixed(0.001, 5, 2), "0.00");
    EXPECT_EQ(FormatFixed(0.006, 5, 2), "0.01");
    // More than five digits before the point falls back to the general format.
    EXPECT_EQ(FormatFixed(123456, 5, 2), "1.2346E5");
}

// A negative number that rounds to zero loses its sign; one that rounds to the last digit keeps it.
TEST(NumberFormats, SmallNegativesRoundToZeroWithoutASign) {
    struct Case {
        double value;
        const char* fixed2;   // FormatFixed(v, 5, 2), as the report prints a field's Min
        const char* general3; // FormatGeneral(v, 3)
    };
    const Case cases[] = {
        {-0.001, "0.00", "-0.001"},  {-0.004999, "0.00", "-0.005"},  {-0.005, "-0.01", "-0.005"},
        {-0.006, "-0.01", "-0.006"}, {-0.0099999, "-0.01", "-0.01"}, {-0.994, "-0.99", "-0.994"},
        {-0.9996, "-1.00", "-1"},    {-1e-300, "0.00", "-1E-300"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatFixed(c.value, 5, 2), c.fixed2) << c.value;
        EXPECT_EQ(FormatGeneral(c.value, 3), c.general3) << c.value;
    }
}

TEST(StrToFloat, AcceptsBlanksSignAndExponent) {
    EXPECT_DOUBLE_EQ(StrToFloat("0.5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat(" 2.5 "), 2.5);
    EXPECT_DOUBLE_EQ(StrToFloat("1e-3"), 0.001);
    EXPECT_DOUBLE_EQ(StrToFloat("-1.5E+2"), -150);
    EXPECT_DOUBLE_EQ(StrToFloat("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("12."), 12);
    EXPECT_EQ(StrToFloat("1e-400"), 0.0);
}

TEST(StrToFloat, RefusesWithTheConversionMessage) {
    for (const char* bad : {"1,5", "", " ", "abc", "1.2.3", "1e", "--1", "1 2", ".", "e5", "1e400", "inf", "nan"}) {
        test::ExpectError([&] { StrToFloat(bad); }, std::string("'") + bad + "' is not a valid floating point value");
    }
}

TEST(ScanNumber, ValueStatusAndWhereTheNumberEnds) {
    struct Case {
        const char* text;
        bool decimalComma;
        TNumberScan status;
        double value;
        std::size_t used; // bytes taken when Ok
    };
    const Case cases[] = {
        {"12", false, TNumberScan::Ok, 12, 2},
        {"-2.5 4", false, TNumberScan::Ok, -2.5, 4},
        {"+3;", false, TNumberScan::Ok, 3, 2},
        {"-.5", false, TNumberScan::Ok, -0.5, 3},
        {"12.", false, TNumberScan::Ok, 12, 3},
        {"1.5E3", false, TNumberScan::Ok, 1500, 5},
        {"1e-3x", false, TNumberScan::Ok, 0.001, 4},
        {"2e+2", false, TNumberScan::Ok, 200, 4},
        {"12.e1", false, TNumberScan::Ok, 120, 5},
        {"1.5E", false, TNumberScan::Ok, 1.5, 3}, // no exponent digits: the E is left
        {"2e-x", false, TNumberScan::Ok, 2, 1},
        {"1-2", false, TNumberScan::Ok, 1, 1},
        {"1e-400", false, TNumberScan::Ok, 0, 6},
        {"0.0000e999999999999", false, TNumberScan::Ok, 0, 19},
        {"1,5", true, TNumberScan::Ok, 1.5, 3},
        {"-1,5e2", true, TNumberScan::Ok, -150, 6},
        {"1,5", false, TNumberScan::Malformed, 0, 0},
        {"1.2.3", false, TNumberScan::Malformed, 0, 0},
        {"1.2,3", true, TNumberScan::Malformed, 0, 0},
        {"1e5.3", false, TNumberScan::Malformed, 0, 0},
        {"-", false, TNumberScan::Malformed, 0, 0},
        {"+.", false, TNumberScan::Malformed, 0, 0},
        {"e5", false, TNumberScan::Malformed, 0, 0},
        {"", false, TNumberScan::Malformed, 0, 0},
        {"1e400", false, TNumberScan::Overflow, 0, 0},
        {"-1e309", false, TNumberScan::Overflow, 0, 0},
        {"0.01e311", false, TNumberScan::Overflow, 0, 0},
    };
    for (const Case& c : cases) {
        const std::string text = c.text;
        const TScannedNumber n = ScanNumber(text.data(), text.data() + text.size(), c.decimalComma);
        EXPECT_EQ(n.Status, c.status) << text;
        if (c.status != TNumberScan::Ok || n.Status != TNumberScan::Ok)
            continue;
        EXPECT_EQ(n.Value, c.value) << text;
        EXPECT_EQ(static_cast<std::size_t>(n.End - text.data()), c.used) << text;
    }
    const std::string huge = "1" + std::string(400, '0');
    EXPECT_EQ(ScanNumber(huge.data(), huge.data() + huge.size()).Status, TNumberScan::Overflow);
    const std::string tiny = "0." + std::string(400, '0') + "1";
    EXPECT_EQ(ScanNumber(tiny.data(), tiny.data() + tiny.size()).Value, 0.0);
}

TEST(StrToInt, DecimalAndHex) {
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt(" -7 "), -7);
    EXPECT_EQ(StrToInt("0x1F"), 31);
    EXPECT_EQ(StrToInt("0XfF"), 255);
    EXPECT_EQ(StrToInt("$10"), 16);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("0xFFFFFFFF"), -1);
    EXPECT_FALSE(TryStrToInt("2147483648"));
    EXPECT_FALSE(TryStrToInt("1.5"));
    EXPECT_FALSE(TryStrToInt("0x"));
    EXPECT_FALSE(TryStrToInt(""));
    test::ExpectError([] { StrToInt("x5"); }, "'x5' is not a valid integer value");
}

TEST(DisplayMessage, AppendsAFullStopAfterLettersOnly) {
    EXPECT_EQ(DisplayMessage("Не указано имя файла БД"), "Не указано имя файла БД.");
    EXPECT_EQ(DisplayMessage("Ready"), "Ready.");
    EXPECT_EQ(DisplayMessage("Done."), "Done.");
    EXPECT_EQ(DisplayMessage("Stop!"), "Stop!");
    EXPECT_EQ(DisplayMessage("Why?"), "Why?."); // "?" sorts after "."
    EXPECT_EQ(DisplayMessage("'x' is not a valid integer value"), "'x' is not a valid integer value.");
    EXPECT_EQ(DisplayMessage("Остановка обучения\n\rИсчерпан лимит эпох."),
              "Остановка обучения\n\rИсчерпан лимит эпох.");
}

// The fewest digits from 15 up that read back as the same double: what an edit shows so that leaving
// it untouched gives the value back, and what a project file holds of a weight.
TEST(FormatExact, GivesTheSameDoubleBackWithAsFewDigitsAsFifteenAllow) {
    struct TCase {
        double Value;
        const char* Text;
    };
    for (const TCase& c : std::vector<TCase>{{0.1, "0.1"},
                                             {0.1 + 0.2, "0.30000000000000004"},
                                             {1.0 / 3, "0.3333333333333333"},
                                             {-542.896, "-542.896"},
                                             {123456789012345678.0, "1.2345678901234568E17"},
                                             {2.5e-7, "2.5E-7"},
                                             {0, "0"}}) {
        EXPECT_EQ(FormatExact(c.Value), c.Text);
        EXPECT_EQ(StrToFloat(FormatExact(c.Value)), c.Value) << c.Text;
    }
    std::mt19937_64 gen(3);
    std::uniform_real_distribution<double> u(-1e6, 1e6);
    for (int k = 0; k < 2000; ++k) {
        const double v = u(gen) / (1 + k);
        EXPECT_EQ(StrToFloat(FormatExact(v)), v);
    }
}

// Numbers typed into the window: a decimal comma too, and messages that name what was typed into.
TEST(ReadTypedNumber, TakesACommaAndNamesTheControlOfABadText) {
    struct TCase {
        const char* Text;
        double Value;
    };
    for (const TCase& c :
         std::vector<TCase>{{"4,0", 4}, {" -1,5e3 ", -1500}, {"0.25", 0.25}, {",5", 0.5}, {"7", 7}, {"1e-3", 0.001}}) {
        EXPECT_EQ(ReadTypedNumber(c.Text, "MIN"), c.Value) << c.Text;
        EXPECT_EQ(TryReadTypedNumber(c.Text), c.Value) << c.Text;
    }
    struct TBad {
        const char* Text;
        const char* Message;
    };
    for (const TBad& c : std::vector<TBad>{{"4,0x", "MIN поля A: «4,0x» — не число"},
                                           {"1,5,2", "MIN поля A: «1,5,2» — не число"},
                                           {"1.000,5", "MIN поля A: «1.000,5» — не число"},
                                           {"", "MIN поля A: значение не указано"},
                                           {"  ", "MIN поля A: значение не указано"}}) {
        test::ExpectError([&] { ReadTypedNumber(c.Text, "MIN поля A"); }, c.Message);
        EXPECT_THROW(ReadTypedNumber(c.Text, "x"), EConvertError) << c.Text;
    }
    EXPECT_EQ(ReadTypedInt(" 12 ", "Слой 1"), 12);
    test::ExpectError([] { ReadTypedInt("", "Слой 2"); }, "Слой 2: значение не указано");
    test::ExpectError([] { ReadTypedInt("4,5", "Слой 2"); }, "Слой 2: «4,5» — не целое число");
    // The text an accepted number keeps: with the full stop the program writes.
    EXPECT_EQ(TypedNumberText("1,5"), "1.5");
    EXPECT_EQ(TypedNumberText("2.5"), "2.5");
    EXPECT_EQ(TypedNumberText(" 3 "), " 3 ");
}

// A plain decimal's general form worked out from its digits is the general form of the double it
// reads as: for texts at every edge of the layout and for random decimals of 1 to 15 digits.
TEST(AppendPlainDecimal15, GivesTheGeneralFormOfTheValueRead) {
    std::vector<std::string> texts;
    std::istringstream edges("0 -0 +5 007 12. 12.50 1,5 0.0001 0.00001 -0.000123 100 1200.000 999999999999999 "
                             "123456789012345.0 1000000000000000 0.1000000000000001 99999999999999.9 "
                             "0.00099999999999999 3.3166247903554 5e1");
    for (std::string t; edges >> t;)
        texts.push_back(t);
    std::mt19937_64 gen(5);
    for (int i = 0; i < 20000; ++i) {
        std::string digits = std::to_string(gen() % 1000000000000000ull);
        const auto point = static_cast<std::size_t>(gen() % (digits.size() + 3));
        if (point <= digits.size())
            digits.insert(point, ".");
        else
            digits = "0." + std::string(point - digits.size(), '0') + digits;
        texts.push_back((gen() % 4 == 0 ? "-" : "") + digits);
    }
    for (const std::string& text : texts) {
        const TScannedNumber n = ScanNumber(text.data(), text.data() + text.size(), true);
        const bool plain =
            n.Status == TNumberScan::Ok && text.find('e') == std::string::npos && text != "0.1000000000000001";
        std::string out = "x";
        EXPECT_EQ(AppendPlainDecimal15(out, text), plain) << text;
        EXPECT_EQ(out, plain ? "x" + FormatGeneral(n.Value, 15) : "x") << text;
    }
}

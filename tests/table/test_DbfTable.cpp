#include "TableBuilders.h"
#include "common/Errors.h"
#include "sample/table/DbfTable.h"
#include "support/ErrorCatch.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace nirvex;
using namespace tabletest;

namespace {

class DbfTable : public ::testing::Test {
protected:
    // Opens the bytes as "t.dbf" in a scratch directory.
    void Open(const std::string& bytes) {
        scratch_.Write("t.dbf", bytes);
        table_.Open(scratch_.Dir(), "t.dbf");
    }
    std::string OpenError(const std::string& bytes) {
        try {
            Open(bytes);
        } catch (const EError& e) {
            return e.what();
        }
        return "(opened)";
    }
    std::string Path() const { return scratch_.Dir() + "t.dbf"; }
    // Every record's value of one field; NAN marks a null.
    std::vector<double> Column(int32_t field) {
        std::vector<double> out;
        TDbfTable t;
        t.Open(scratch_.Dir(), "t.dbf");
        for (; !t.Eof(); t.Next()) {
            bool isNull = false;
            double v = t.GetFloat(field, isNull);
            out.push_back(isNull ? NAN : v);
        }
        return out;
    }

    TTexts Texts(int32_t field) {
        TDbfTable t;
        t.Open(scratch_.Dir(), "t.dbf");
        return TextColumn(t, field);
    }

    TScratch scratch_;
    TDbfTable table_;
};

constexpr std::nullopt_t null = std::nullopt;

std::vector<bool> Nulls(const std::vector<double>& values) {
    std::vector<bool> out;
    for (double v : values)
        out.push_back(std::isnan(v));
    return out;
}

} // namespace

TEST_F(DbfTable, FieldListWithTypesAndTheNumberRuleForN) {
    std::vector<TDbfField> f = {{"S4", 'N', 4},   {"I5", 'N', 5},   {"I9", 'N', 9},
                                {"F10", 'N', 10}, {"D", 'N', 5, 1}, {"FL", 'F', 8, 2},
                                {"NAME", 'C', 6}, {"WHEN", 'D', 8}, {"OK", 'L', 1}};
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"1", "2", "3", "4", "5.5", "6.25", "x", "20240101", "T"})};
    }));
    ASSERT_EQ(table_.FieldCount(), 9);
    const TDbFieldType expect[] = {TDbFieldType::SmallInt, TDbFieldType::Integer, TDbFieldType::Integer,
                                   TDbFieldType::Float,    TDbFieldType::Float,   TDbFieldType::Float,
                                   TDbFieldType::Text,     TDbFieldType::Other,   TDbFieldType::Logical};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(table_.FieldName(i), f[static_cast<std::size_t>(i)].Name);
        EXPECT_EQ(table_.FieldType(i), expect[i]) << i;
    }
    EXPECT_EQ(table_.FieldType(9), TDbFieldType::Other);
    EXPECT_EQ(table_.FieldName(-1), "");
    bool isNull = true;
    EXPECT_EQ(table_.GetFloat(4, isNull), 5.5);
    EXPECT_FALSE(isNull);
    EXPECT_EQ(table_.GetFloat(5, isNull), 6.25);
    table_.GetFloat(6, isNull); // a character field is no number
    EXPECT_TRUE(isNull);
}

TEST_F(DbfTable, BlanksAndAsterisksAreNullsAndBadTextIsNoNumber) {
    std::vector<TDbfField> f = {{"V", 'N', 8, 2}};
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"-12.50"}), Record(f, {""}),      Record(f, {"********"}),
                     Record(f, {"1,5"}),    Record(f, {"  ** "}), Record(f, {std::string("\0\0 7\0\0\0\0", 8)}),
                     Record(f, {"1e400"})};
    }));
    EXPECT_EQ(Nulls(Column(0)), (std::vector<bool>{false, true, true, true, true, false, true}));
    EXPECT_EQ(Column(0)[0], -12.5);
    EXPECT_EQ(Column(0)[5], 7);
}

TEST_F(DbfTable, DeletedRecordsAreSkippedAndNotCounted) {
    std::vector<TDbfField> f = {{"N", 'N', 3}};
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"1"}, true), Record(f, {"2"}), Record(f, {"3"}, true), Record(f, {"4"}),
                     Record(f, {"5"}, true)};
    }));
    EXPECT_EQ(table_.RecordCount(), 2);
    EXPECT_EQ(Column(0), (std::vector<double>{2, 4}));
}

// Read a window at a time: records and deletions across the windows' edges come back in order.
TEST_F(DbfTable, TableOfSeveralReadingWindowsGivesEveryRecord) {
    std::vector<TDbfField> f = {{"N", 'N', 6}};
    std::vector<double> live;
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        for (int r = 0; r < 400000; ++r) {
            s.Records.push_back(Record(f, {std::to_string(r)}, r % 7 == 3));
            if (r % 7 != 3)
                live.push_back(r);
        }
    }));
    EXPECT_EQ(table_.RecordCount(), static_cast<int32_t>(live.size()));
    EXPECT_EQ(Column(0), live);
}

TEST_F(DbfTable, HeaderCountIsCutToTheRecordsPresent) {
    std::vector<TDbfField> f = {{"N", 'N', 3}};
    const auto r = Record(f, {"7"});
    Open(BuildDbfSpec([&](TDbfSpec& s) {
             s.Fields = f;
             s.Records = {r, r};
             s.CountInHeader = 1000;
             s.EndMark = false;
         }) +
         "  ");
    EXPECT_EQ(table_.RecordCount(), 2); // the two bytes left over are no record
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {r, r};
        s.CountInHeader = 1;
    }));
    EXPECT_EQ(table_.RecordCount(), 1); // the header's count wins when smaller
}

TEST_F(DbfTable, EndMarkWhereTheHeaderPromisesMoreRecordsEndsTheTable) {
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Records = {" ", " ", "\x1A", " "};
        s.CountInHeader = 4;
        s.EndMark = false;
    }));
    EXPECT_EQ(table_.RecordCount(), 2);
    EXPECT_EQ(table_.FieldCount(), 0);
}

TEST_F(DbfTable, VisualFoxProBinaryNumbersAreLittleEndian) {
    std::vector<TDbfField> f = {{"I", 'I', 4}, {"B", 'B', 8}, {"Y", 'Y', 8}, {"_NullFlags", '0', 1}};
    const double b = -0.001;
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Version = 0x30;
        s.Fields = f;
        s.Records = {" " + LE(static_cast<uint32_t>(-5), 4) + LE(std::bit_cast<uint64_t>(b), 8) + LE(123400, 8) + '\0',
                     " " + LE(0, 4) + LE(0, 8) + LE(static_cast<uint64_t>(-9'223'372'036'854'775'807LL), 8) + '\0'};
    }));
    EXPECT_EQ(table_.FieldType(0), TDbFieldType::Integer);
    EXPECT_EQ(table_.FieldType(1), TDbFieldType::Float);
    EXPECT_EQ(table_.FieldType(2), TDbFieldType::Currency);
    EXPECT_EQ(table_.FieldType(3), TDbFieldType::Other);
    EXPECT_EQ(Column(0), (std::vector<double>{-5, 0})); // zero is a value here, not a null
    EXPECT_EQ(Column(1), (std::vector<double>{b, 0}));
    EXPECT_EQ(Column(2), (std::vector<double>{12.34, -922337203685477.5807}));
}

TEST_F(DbfTable, Dbase7NumbersAreSortableBigEndianWithZeroBytesNull) {
    std::vector<TDbfField> f = {{"Id", '+', 4}, {"Count", 'I', 4}, {"Mass", 'O', 8}, {"Blob", 'B', 10}, {"Y", 'Y', 8}};
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Version = 0x04;
        s.DriverName = "DBWINUS0";
        s.Fields = f;
        s.Records = {" " + SortableInt(1) + SortableInt(-2147483647) + SortableDouble(-199.99) + "         1" +
                         Zeros(8),
                     " " + SortableInt(2) + Zeros(4) + Zeros(8) + Zeros(10) + Zeros(8),
                     " " + SortableInt(3) + SortableInt(0) + SortableDouble(0.0) + Zeros(10) + Zeros(8)};
    }));
    EXPECT_EQ(table_.FieldType(0), TDbFieldType::AutoInc);
    EXPECT_EQ(table_.FieldType(1), TDbFieldType::Integer);
    EXPECT_EQ(table_.FieldType(2), TDbFieldType::Float);
    EXPECT_EQ(table_.FieldType(3), TDbFieldType::Other); // a binary memo block number in dBase 7
    EXPECT_EQ(table_.FieldType(4), TDbFieldType::Other);
    EXPECT_EQ(Column(0), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(Nulls(Column(1)), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Column(1)[0], -2147483647);
    EXPECT_EQ(Column(1)[2], 0);
    EXPECT_EQ(Nulls(Column(2)), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Column(2)[0], -199.99);
    EXPECT_EQ(Column(2)[2], 0);
}

TEST_F(DbfTable, LongCharacterFieldWrittenWithALengthHighByte) {
    // C with length 4 and "decimals" 1 holds 260 bytes when that is what fills the record.
    std::vector<TDbfField> f = {{"TEXT", 'C', 4, 1}, {"N", 'N', 3}};
    TDbfSpec s;
    s.Fields = f;
    s.Records = {" " + std::string(260, 'x') + " 42"};
    std::string bytes = BuildDbf(s);
    bytes.replace(10, 2, LE(1 + 260 + 3, 2));
    Open(bytes);
    EXPECT_EQ(Column(1), (std::vector<double>{42}));
    EXPECT_EQ(Texts(0), (TTexts{std::string(260, 'x')}));
}

TEST_F(DbfTable, FieldNamesFollowTheLanguageDriver) {
    auto names = [&](uint8_t version, uint8_t driver, const std::string& driverName, const std::string& raw) {
        std::vector<TDbfField> f = {{raw, 'N', 2}};
        Open(BuildDbfSpec([&](TDbfSpec& s) {
            s.Version = version;
            s.DriverId = driver;
            s.DriverName = driverName;
            s.Fields = f;
        }));
        return table_.FieldName(0);
    };
    EXPECT_EQ(names(0x03, 0xC9, "", "\xD6\xE5\xED\xE0"), "Цена");                 // Windows-1251
    EXPECT_EQ(names(0x03, 0x00, "", "\xD6\xE5\xED\xE0"), "Цена");                 // says nothing: Windows-1251
    EXPECT_EQ(names(0x03, 0x57, "", "\xD6\xE5\xED\xE0"), "Цена");                 // the system's ANSI page
    EXPECT_EQ(names(0x03, 0x26, "", "\x96\xA5\xAD\xA0"), "Цена");                 // cp866
    EXPECT_EQ(names(0x03, 0x65, "", "\x96\xA5\xAD\xA0"), "Цена");                 // cp866
    EXPECT_EQ(names(0x03, 0x03, "", "Caf\xE9"), "Café");                          // cp1252
    EXPECT_EQ(names(0x03, 0x01, "", "\x82t\x82"), "été");                         // cp437
    EXPECT_EQ(names(0x04, 0x00, "DB866RU0", "\x96\xA5\xAD\xA0"), "Цена");         // dBase 7 driver name
    EXPECT_EQ(names(0x04, 0x00, "DBWINRU0", "\xD6\xE5\xED\xE0"), "Цена");         // dBase 7 Russian ANSI
    EXPECT_EQ(names(0x03, 0xF0, "", "\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0"), "Цена"); // unknown page, UTF-8 names
}

TEST_F(DbfTable, NameLookupIgnoresLatinCaseAndTakesTheFirstOfTwins) {
    std::vector<TDbfField> f = {{"Point_ID", 'C', 3}, {"Value", 'N', 3}, {"Point_ID", 'N', 3}};
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"abc", "5", "9"})};
    }));
    EXPECT_EQ(table_.FieldIndex("VALUE"), 1);
    EXPECT_EQ(table_.FieldIndex("point_id"), 0);
    EXPECT_EQ(table_.FieldIndex("none"), -1);
    bool isNull = true;
    EXPECT_EQ(table_.GetFloat(std::string("value"), isNull), 5);
    EXPECT_FALSE(isNull);
    table_.GetFloat(std::string("none"), isNull);
    EXPECT_TRUE(isNull);
}

TEST_F(DbfTable, CursorEndsAndCloseEmptiesTheTable) {
    std::vector<TDbfField> f = {{"N", 'N', 3}};
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"1"})};
    }));
    EXPECT_TRUE(table_.Active());
    EXPECT_FALSE(table_.Eof());
    table_.Next();
    EXPECT_TRUE(table_.Eof());
    table_.Next();
    EXPECT_TRUE(table_.Eof());
    bool isNull = false;
    table_.GetFloat(0, isNull);
    EXPECT_TRUE(isNull);
    table_.Close();
    EXPECT_FALSE(table_.Active());
    EXPECT_EQ(table_.FieldCount(), 0);
    EXPECT_EQ(table_.RecordCount(), 0);
}

TEST_F(DbfTable, OpeningErrorsNameTheFile) {
    std::vector<TDbfField> f = {{"N", 'N', 3}};
    const std::string good = BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"1"})};
    });
    EXPECT_EQ(OpenError(good), "(opened)");

    EXPECT_EQ(OpenError(good.substr(0, 31)), "Файл не является таблицей dBase: " + Path());
    EXPECT_EQ(OpenError(""), "Файл не является таблицей dBase: " + Path());
    EXPECT_EQ(OpenError("\x07" + good.substr(1)), "Файл не является таблицей dBase: " + Path());

    const std::string damaged = "Повреждён заголовок таблицы: " + Path();
    EXPECT_EQ(OpenError(good.substr(0, 40)), damaged); // header longer than the file
    std::string b = good;
    b.replace(10, 2, LE(0, 2)); // record length 0
    EXPECT_EQ(OpenError(b), damaged);
    b = good;
    b.replace(10, 2, LE(3, 2)); // fields longer than the record
    EXPECT_EQ(OpenError(b), damaged);
    b = good;
    b.replace(8, 2, LE(50, 2)); // a descriptor cut by the header's end
    EXPECT_EQ(OpenError(b), damaged);
    b = good;
    b.replace(8, 2, LE(20, 2)); // header shorter than its fixed part
    EXPECT_EQ(OpenError(b), damaged);

    std::filesystem::create_directory(scratch_.Dir() + "dir.dbf");
    test::ExpectError([&] { table_.Open(scratch_.Dir(), "dir.dbf"); },
                      "Не удалось прочитать файл таблицы: " + scratch_.Dir() + "dir.dbf");
    test::ExpectError([&] { table_.Open(scratch_.Dir(), "missing.dbf"); },
                      "Файл таблицы не найден: " + scratch_.Dir() + "missing.dbf");
    EXPECT_FALSE(table_.Active());
}

TEST_F(DbfTable, CharacterAndLogicalValuesTrimmedWithBlanksNull) {
    struct TRow {
        std::string Chars;
        char Logical;
        std::string Number;
        std::optional<std::string> Text, Truth;
        double Value; // NAN for a null
    };
    const TRow rows[] = {
        {"  a b ", 'T', "1.25", "a b", "T", 1.25},
        {"", 't', "", null, "T", NAN},                              // blank number: a gap
        {std::string("\0\0ab\0\0", 6), 'Y', "abc", "ab", "T", NAN}, // text in a number: a gap too
        {std::string(6, '\0'), 'y', "  ** ", null, "T", NAN},
        {"x", 'F', "-3", "x", "F", -3},
        {"x", 'f', "0", "x", "F", 0},
        {"x", 'N', "1e3", "x", "F", 1000},
        {"abcdef", 'n', "7", "abcdef", "F", 7},
        {"x", '?', "7", "x", null, 7},
        {"x", ' ', "7", "x", null, 7},
    };
    std::vector<TDbfField> f = {{"NAME", 'C', 6}, {"OK", 'L', 1}, {"V", 'N', 6, 2}};
    TTexts text, truth;
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        for (const TRow& r : rows) {
            s.Records.push_back(Record(f, {r.Chars, std::string(1, r.Logical), r.Number}));
            text.push_back(r.Text);
            truth.push_back(r.Truth);
        }
    }));
    EXPECT_EQ(Texts(0), text);
    EXPECT_EQ(Texts(1), truth);
    const auto numbers = Column(2);
    ASSERT_EQ(numbers.size(), std::size(rows));
    auto orGap = [](double v) { return std::isnan(v) ? -999.0 : v; };
    for (std::size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(orGap(numbers[i]), orGap(rows[i].Value)) << i;
}

TEST_F(DbfTable, CharacterValuesFollowTheLanguageDriverOrReadAsUtf8WhenTheyAllAre) {
    struct TCase {
        uint8_t Version, Driver;
        std::string DriverName, Raw, Expect;
    };
    const std::string utf8 = "\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0";
    const TCase cases[] = {
        {0x03, 0xC9, "", "\xD6\xE5\xED\xE0", "Цена"},
        {0x03, 0x00, "", "\xD6\xE5\xED\xE0", "Цена"}, // says nothing: Windows-1251
        {0x03, 0x26, "", "\x96\xA5\xAD\xA0", "Цена"},
        {0x03, 0x03, "", "Caf\xE9", "Café"},
        {0x04, 0x00, "DB866RU0", "\x96\xA5\xAD\xA0", "Цена"},
        {0x03, 0x00, "", utf8, "Цена"},
        {0x03, 0x00, "", utf8.substr(0, 7), "Цен"}, // a character cut by the field's width
        {0x03, 0x00, "", "Ab \xD0", "Ab"},          // and the blanks before such a cut
        {0x03, 0xC9, "", utf8, "Р¦РµРЅР°"},         // a named page wins over UTF-8
    };
    for (const TCase& c : cases) {
        std::vector<TDbfField> f = {{"NAME", 'C', static_cast<uint8_t>(c.Raw.size())}};
        Open(BuildDbfSpec([&](TDbfSpec& s) {
            s.Version = c.Version;
            s.DriverId = c.Driver;
            s.DriverName = c.DriverName;
            s.Fields = f;
            s.Records = {Record(f, {c.Raw})};
        }));
        EXPECT_EQ(Texts(0), (TTexts{c.Expect})) << c.Expect;
    }
    // One value that is no UTF-8 makes the whole table Windows-1251.
    std::vector<TDbfField> f = {{"NAME", 'C', 8}};
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {utf8}), Record(f, {"\xD6\xE5\xED\xE0"})};
    }));
    EXPECT_EQ(Texts(0), (TTexts{"Р¦РµРЅР°", "Цена"}));
}

TEST_F(DbfTable, GetTextRefusesNumbersOtherFieldsAndTheEnd) {
    std::vector<TDbfField> f = {{"NAME", 'C', 3}, {"V", 'N', 3}, {"WHEN", 'D', 8}};
    Open(BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"abc", "5", "20240101"})};
    }));
    for (int32_t field : {1, 2, -1, 3}) {
        std::string text = "stale";
        EXPECT_FALSE(table_.GetText(field, text)) << field;
        EXPECT_EQ(text, "") << field;
    }
    std::string text;
    EXPECT_TRUE(table_.GetText(0, text));
    table_.Next();
    EXPECT_FALSE(table_.GetText(0, text));
    EXPECT_EQ(text, "");
}

TEST(DbfCodePage, DriverBytesAndNames) {
    EXPECT_EQ(DbfCodePage(0xC9, ""), 1251);
    EXPECT_EQ(DbfCodePage(0x26, ""), 866);
    EXPECT_EQ(DbfCodePage(0x03, ""), 1252);
    EXPECT_EQ(DbfCodePage(0x57, ""), 0);
    EXPECT_EQ(DbfCodePage(0xF0, ""), 0);
    EXPECT_EQ(DbfCodePage(0xC9, "DB437US0"), 437);
    EXPECT_EQ(DbfCodePage(0x00, "DBWINWE0"), 1252);
    EXPECT_EQ(DbfCodePage(0x00, "DBX"), 0);
}

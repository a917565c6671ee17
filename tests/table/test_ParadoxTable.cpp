#include "TableBuilders.h"
#include "common/Errors.h"
#include "sample/table/ParadoxTable.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace nirvex;
using namespace tabletest;

namespace {

class ParadoxTable : public ::testing::Test {
protected:
    void Open(const std::string& bytes) {
        scratch_.Write("t.db", bytes);
        table_.Open(scratch_.Dir(), "t.db");
    }
    std::string OpenError(const std::string& bytes) {
        try {
            Open(bytes);
        } catch (const EError& e) {
            return e.what();
        }
        return "(opened)";
    }
    std::string Path() const { return scratch_.Dir() + "t.db"; }
    // Every record's value of one field of the open table; NAN marks a null. Leaves the table at its end.
    std::vector<double> Column(int32_t field) {
        std::vector<double> out;
        table_.Open(scratch_.Dir(), "t.db");
        for (; !table_.Eof(); table_.Next()) {
            bool isNull = false;
            double v = table_.GetFloat(field, isNull);
            out.push_back(isNull ? NAN : v);
        }
        return out;
    }
    static std::string Real(const std::string& name) {
        std::ifstream in(TestData + "/paradox/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Every record's text of one field; nullopt marks a null. Leaves the table at its end.
    TTexts Texts(int32_t field) {
        table_.Open(scratch_.Dir(), "t.db");
        return TextColumn(table_, field);
    }

    TScratch scratch_;
    TParadoxTable table_;
};

constexpr std::nullopt_t null = std::nullopt;

const std::vector<TPxField> everyNumber = {{"Id", pxAutoInc, 4}, {"Name", pxAlpha, 5}, {"Small", pxShort, 2},
                                           {"Big", pxLong, 4},   {"Num", pxNumber, 8}, {"Money", pxCurrency, 8}};

std::string Row(int32_t id, int16_t small, int32_t big, double num, double money) {
    return SortableInt(id) + std::string("abc\0\0", 5) + SortableInt(small, 2) + SortableInt(big) +
           SortableDouble(num) + SortableDouble(money);
}

} // namespace

TEST_F(ParadoxTable, AcceptedTypesAndValues) {
    Open(BuildParadoxSpec([&](TPxSpec& s) {
        s.Fields = everyNumber;
        s.Records = {Row(1, -222, -2147483647, -0.5, 12.34), Row(2, 32767, 0, 1e300, 0)};
    }));
    ASSERT_EQ(table_.FieldCount(), 6);
    EXPECT_EQ(table_.RecordCount(), 2);
    const TDbFieldType expect[] = {TDbFieldType::AutoInc, TDbFieldType::Text,  TDbFieldType::SmallInt,
                                   TDbFieldType::Integer, TDbFieldType::Float, TDbFieldType::Currency};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(table_.FieldType(i), expect[i]);
        EXPECT_EQ(table_.FieldName(i), everyNumber[static_cast<std::size_t>(i)].Name);
    }
    EXPECT_EQ(Column(0), (std::vector<double>{1, 2}));
    EXPECT_EQ(Column(2), (std::vector<double>{-222, 32767}));
    EXPECT_EQ(Column(3), (std::vector<double>{-2147483647, 0}));
    EXPECT_EQ(Column(4), (std::vector<double>{-0.5, 1e300}));
    EXPECT_EQ(Column(5), (std::vector<double>{12.34, 0}));
    EXPECT_TRUE(std::isnan(Column(1)[0])); // alpha is no number
}

TEST_F(ParadoxTable, ZeroBytesAreNullInEveryNumericTypeLongIncluded) {
    Open(BuildParadoxSpec([&](TPxSpec& s) {
        s.Fields = everyNumber;
        s.Records = {Row(1, 1, 1, 1, 1), std::string(4 + 5, '\0') + Zeros(22)};
    }));
    for (int32_t f : {0, 2, 3, 4, 5}) {
        auto c = Column(f);
        EXPECT_FALSE(std::isnan(c[0]));
        EXPECT_TRUE(std::isnan(c[1])) << f; // pxlib itself reads a zero Long as -2147483648
    }
}

TEST_F(ParadoxTable, RecordsFollowTheBlockChain) {
    std::vector<std::string> rows;
    for (int i = 1; i <= 7; ++i)
        rows.push_back(Row(i, 0, 0, 0, 0));
    Open(BuildParadoxSpec([&](TPxSpec& s) {
        s.Fields = everyNumber;
        s.Records = rows;
        s.RecordsPerBlock = 3;
    }));
    EXPECT_EQ(Column(0), (std::vector<double>{1, 2, 3, 4, 5, 6, 7}));

    // Blocks 1 and 2 swapped in the chain: 2 -> 1 -> 3.
    std::string b = BuildParadoxSpec([&](TPxSpec& s) {
        s.Fields = everyNumber;
        s.Records = rows;
        s.RecordsPerBlock = 3;
    });
    b.replace(0x0E, 2, LE(2, 2));
    b.replace(2048 + 0, 2, LE(3, 2));
    b.replace(2048 + 1024, 2, LE(1, 2));
    Open(b);
    EXPECT_EQ(Column(0), (std::vector<double>{4, 5, 6, 1, 2, 3, 7}));
}

TEST_F(ParadoxTable, FieldNamesAndAlphaValuesInTheTablesCodePage) {
    auto name = [&](uint8_t version, uint16_t codePage, const std::string& raw) {
        Open(BuildParadoxSpec([&](TPxSpec& s) {
            s.Version = version;
            s.CodePage = codePage;
            s.Fields = {{raw, pxShort, 2}, {"A", pxAlpha, 6}};
            s.Records = {Zeros(2) + raw + Zeros(6 - raw.size())};
        }));
        EXPECT_EQ(Texts(1), (TTexts{table_.FieldName(0)})) << "the value as the name";
        return table_.FieldName(0);
    };
    EXPECT_EQ(name(12, 866, "\x96\xA5\xAD\xA0"), "Цена");
    EXPECT_EQ(name(12, 1251, "\xD6\xE5\xED\xE0"), "Цена");
    EXPECT_EQ(name(9, 1252, "Caf\xE9"), "Café");
    EXPECT_EQ(name(10, 850, "\x82t\x82"), "été");
    EXPECT_EQ(name(12, 0, "\x96\xA5\xAD\xA0"), "Цена"); // no code page: the Russian DOS page
}

TEST_F(ParadoxTable, AlphaAndLogicalValuesWithZeroBytesNull) {
    struct TRow {
        std::string Alpha;
        uint8_t Logical;
        std::string Short;
        std::optional<std::string> Text, Truth;
    };
    const TRow rows[] = {
        {std::string("  ab\0\0\0\0", 8), 0x81, SortableInt(5, 2), "ab", "T"},
        {Zeros(8), 0x80, SortableInt(-1, 2), null, "F"},
        {std::string("abc\0junk", 8), 0x00, Zeros(2), "abc", null}, // what follows the end mark is no text
        {"12345678", 0x05, SortableInt(0, 2), "12345678", null},
    };
    TTexts text, truth;
    Open(BuildParadoxSpec([&](TPxSpec& s) {
        s.Fields = {{"Name", pxAlpha, 8}, {"Ok", pxLogical, 1}, {"N", pxShort, 2}};
        for (const TRow& r : rows) {
            s.Records.push_back(r.Alpha + static_cast<char>(r.Logical) + r.Short);
            text.push_back(r.Text);
            truth.push_back(r.Truth);
        }
    }));
    EXPECT_EQ(table_.FieldType(0), TDbFieldType::Text);
    EXPECT_EQ(table_.FieldType(1), TDbFieldType::Logical);
    EXPECT_EQ(Texts(0), text);
    EXPECT_EQ(Texts(1), truth);
    const auto numbers = Column(2);
    ASSERT_EQ(numbers.size(), 4u);
    EXPECT_EQ(numbers[0], 5);
    EXPECT_EQ(numbers[1], -1);
    EXPECT_TRUE(std::isnan(numbers[2]));
    EXPECT_EQ(numbers[3], 0);
    EXPECT_EQ(Texts(2), (TTexts{null, null, null, null})); // a number is no text
    EXPECT_TRUE(std::isnan(Column(0)[0]));                 // nor a text a number
}

TEST_F(ParadoxTable, EmptyTableHasNoRecords) {
    Open(BuildParadoxSpec([&](TPxSpec& s) { s.Fields = everyNumber; }));
    EXPECT_EQ(table_.RecordCount(), 0);
    EXPECT_TRUE(table_.Eof());
    EXPECT_EQ(table_.FieldCount(), 6);
}

TEST_F(ParadoxTable, DamagedFilesEndInMessages) {
    const std::string good = BuildParadoxSpec([&](TPxSpec& s) {
        s.Fields = everyNumber;
        s.Records = {Row(1, 1, 1, 1, 1)};
    });
    EXPECT_EQ(OpenError(good), "(opened)");
    const std::string notParadox = "Файл не является таблицей Paradox: " + Path();
    const std::string header = "Повреждён заголовок таблицы: " + Path();
    const std::string data = "Повреждены данные таблицы: " + Path();
    auto patched = [&](std::size_t at, const std::string& bytes) {
        std::string b = good;
        b.replace(at, bytes.size(), bytes);
        return OpenError(b);
    };
    EXPECT_EQ(OpenError(""), notParadox);
    EXPECT_EQ(OpenError(good.substr(0, 0x57)), notParadox);
    EXPECT_EQ(patched(0x04, "\x01"), notParadox); // a primary index, not a table
    EXPECT_EQ(patched(0x39, "\x02"), notParadox);
    EXPECT_EQ(patched(0x39, "\x0D"), notParadox);

    EXPECT_EQ(OpenError(good.substr(0, 1000)), header);     // header cut
    EXPECT_EQ(patched(0x00, LE(30, 2)), header);            // record size disagrees with the fields
    EXPECT_EQ(patched(0x05, std::string(1, '\0')), header); // no block size
    EXPECT_EQ(patched(0x05, "\x21"), header);               // blocks above 32 KB
    EXPECT_EQ(patched(0x21, LE(0, 2)), header);             // no fields
    EXPECT_EQ(patched(0x21, LE(300, 2)), header);           // more fields than the header holds
    EXPECT_EQ(patched(0x78, "\x07"), header);               // unknown field type
    EXPECT_EQ(patched(0x78 + 5, "\x03"), header);           // a Short of 3 bytes
    EXPECT_EQ(patched(0x02, LE(430, 2)), header);           // names beyond the header
    EXPECT_EQ(patched(0x78 + 12 + 4 + 24 + 261, std::string(2048 - 0x78 - 12 - 4 - 24 - 261, 'x')), header);

    EXPECT_EQ(patched(0x0E, LE(2, 2)), data);               // first block beyond the file
    EXPECT_EQ(patched(2048, LE(1, 2)), data);               // a block pointing to itself
    EXPECT_EQ(patched(2048 + 4, LE(30, 2)), data);          // last record offset not a whole record
    EXPECT_EQ(patched(2048 + 4, LE(31 * 40, 2)), data);     // more records than the block holds
    EXPECT_EQ(OpenError(good.substr(0, 2048 + 512)), data); // block cut
    EXPECT_FALSE(table_.Active());
}

TEST_F(ParadoxTable, HeaderCountThatDisagreesWithTheBlocksGivesWayToThem) {
    std::string b = BuildParadoxSpec([&](TPxSpec& s) {
        s.Fields = everyNumber;
        s.Records = {Row(1, 1, 1, 1, 1), Row(2, 1, 1, 1, 1)};
    });
    b.replace(0x06, 4, LE(9, 4));
    Open(b);
    EXPECT_EQ(table_.RecordCount(), 2);
}

TEST_F(ParadoxTable, RealTablesOfEveryVersion) {
    REQUIRE_TESTDATA();
    // 3.0 with its short header, 3.5 encrypted, 4.x, 5.x, 7.x with 16 KB blocks.
    Open(Real("PCL.DB"));
    EXPECT_EQ(table_.RecordCount(), 161);
    EXPECT_EQ(table_.FieldName(16), "Support");
    EXPECT_EQ(table_.FieldType(16), TDbFieldType::SmallInt);
    Open(Real("encrypted35.db"));
    EXPECT_EQ(Column(0), (std::vector<double>{1, 2}));
    Open(Real("joina.db"));
    EXPECT_EQ(Column(0), (std::vector<double>{1, 2, 3}));
    Open(Real("tblsttes.DB"));
    EXPECT_EQ(table_.RecordCount(), 58);
    int nulls[13] = {};
    for (; !table_.Eof(); table_.Next())
        for (int32_t f = 6; f < 13; ++f) {
            bool isNull = false;
            table_.GetFloat(f, isNull);
            nulls[f] += isNull;
        }
    EXPECT_EQ(std::vector<int>(nulls + 6, nulls + 13), (std::vector<int>{8, 10, 9, 7, 7, 7, 7}));
}

TEST_F(ParadoxTable, EveryTypeTableWithNullsInRecordFour) {
    REQUIRE_TESTDATA();
    Open(Real("testtab.DB"));
    ASSERT_EQ(table_.FieldCount(), 14);
    EXPECT_EQ(table_.FieldName(6), "BCD");
    EXPECT_EQ(table_.FieldType(6), TDbFieldType::Other);
    const auto n = NAN;
    auto same = [](const std::vector<double>& a, const std::vector<double>& b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
                return false;
        return true;
    };
    EXPECT_EQ(Column(0), (std::vector<double>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(same(Column(2), {111.11, -222.22, 333.33, n, 555.55}));
    EXPECT_TRUE(same(Column(3), {111.11, -222.22, 333.33, n, 555.55}));
    EXPECT_TRUE(same(Column(4), {111, -222, 333, n, 555}));
    EXPECT_TRUE(same(Column(5), {111, -222, 333, n, 555}));
    EXPECT_EQ(table_.FieldType(1), TDbFieldType::Text);
    EXPECT_EQ(table_.FieldType(10), TDbFieldType::Logical);
    EXPECT_EQ(Texts(1), (TTexts{"AAA", "BBB", "CCC", "DDD", "EEE"}));
    EXPECT_EQ(Texts(10), (TTexts{"T", "F", "T", null, "T"}));
}

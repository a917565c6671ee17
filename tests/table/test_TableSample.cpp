#include "TableBuilders.h"
#include "common/Errors.h"
#include "sample/table/DbTable.h"
#include "sample/table/TableSample.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace nirvex;
using namespace tabletest;

namespace {

struct TLoad {
    TSampleTable Sample;
    std::vector<std::string> Status;
    std::string Error; // empty when the load succeeded
};

TLoad Load(const std::string& fileName) {
    TLoad out;
    try {
        out.Sample = ReadTableSample(fileName, [&](const std::string& s) { out.Status.push_back(s); });
    } catch (const EError& e) {
        out.Error = e.what();
    }
    return out;
}

std::vector<std::string> Names(const TSampleTable& t) {
    std::vector<std::string> out;
    for (const auto& f : t.Fields)
        out.push_back(f.FieldName);
    return out;
}

std::vector<int32_t> Positions(const TSampleTable& t) {
    std::vector<int32_t> out;
    for (const auto& f : t.Fields)
        out.push_back(f.TableFieldNo);
    return out;
}

const TFieldInfo& Field(const TSampleTable& t, const std::string& name) {
    for (const auto& f : t.Fields)
        if (f.FieldName == name)
            return f;
    throw std::runtime_error("no field " + name);
}

const std::string badValue = "Неверное значение или пропуск в таблице. Поле ";

} // namespace

// ---- tables built here ----

TEST(ReadTableSample, CharacterFieldBetweenTwoNumbersBecomesCategories) {
    TScratch dir;
    std::vector<TDbfField> f = {{"X", 'N', 5, 1}, {"NAME", 'C', 10}, {"Y", 'N', 3}};
    const auto file = dir.Write("mix.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                                    s.Fields = f;
                                    s.Records = {Record(f, {"1.5", "one", "10"}), Record(f, {"-2", "two", "20"}),
                                                 Record(f, {"3.25", "three", "30"})};
                                }));
    const TLoad l = Load(file);
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample), (std::vector<std::string>{"X", "NAME", "Y"}));
    EXPECT_EQ(Positions(l.Sample), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(l.Sample.RecordCount, 3);
    EXPECT_EQ(l.Sample.Fields[0].Values, (std::vector<double>{1.5, -2, 3.25}));
    EXPECT_EQ(l.Sample.Fields[1].Kind, TFieldKind::Category);
    EXPECT_EQ(l.Sample.Fields[1].NormType, TNormMethod::Category);
    EXPECT_EQ(l.Sample.Fields[1].Categories, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(l.Sample.Fields[1].Values, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(l.Sample.Fields[2].Values, (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(l.Status, (std::vector<std::string>{"загрузка данных"})); // once, and never cleared here
}

TEST(ReadTableSample, BlankNumbersInALaterRecordAreGaps) {
    TScratch dir;
    std::vector<TDbfField> f = {{"A", 'N', 3}, {"B", 'N', 3}, {"C", 'N', 3}};
    const auto file =
        dir.Write("null.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                      s.Fields = f;
                      s.Records = {Record(f, {"1", "2", "3"}), Record(f, {"4", "5", "6"}), Record(f, {"7", "", ""})};
                  }));
    const TLoad l = Load(file);
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.Fields[0].Values, (std::vector<double>{1, 4, 7}));
    for (std::size_t k : {1u, 2u}) {
        EXPECT_EQ(l.Sample.Fields[k].Kind, TFieldKind::Number);
        EXPECT_FALSE(IsGap(l.Sample.Fields[k].Values[1]));
        EXPECT_TRUE(IsGap(l.Sample.Fields[k].Values[2]));
    }
    EXPECT_EQ(l.Status, (std::vector<std::string>{"загрузка данных"}));
}

TEST(ReadTableSample, AsteriskNullInTheFirstRecordIsAGap) {
    TScratch dir;
    std::vector<TDbfField> f = {{"A", 'N', 3}, {"B", 'N', 3}};
    const auto file = dir.Write("n.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                                    s.Fields = f;
                                    s.Records = {Record(f, {"1", "***"})};
                                }));
    const TLoad l = Load(file);
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.Fields[1].Kind, TFieldKind::Number);
    EXPECT_TRUE(IsGap(l.Sample.Fields[1].Values[0]));
    EXPECT_EQ(l.Status, (std::vector<std::string>{"загрузка данных"}));
}

TEST(ReadTableSample, FieldNameInTheDriversCodePage) {
    TScratch dir;
    std::vector<TDbfField> f = {{"Цена", 'N', 6, 2}};
    const auto file = dir.Write("c.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                                    s.DriverId = 0xC9;
                                    s.Fields = {{"\xD6\xE5\xED\xE0", 'N', 6, 2}};
                                    s.Records = {Record(f, {"1.25"})};
                                }));
    const TLoad l = Load(file);
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample), std::vector<std::string>{"Цена"});
    EXPECT_EQ(l.Sample.Fields[0].Values, std::vector<double>{1.25});
}

TEST(ReadTableSample, TableWithoutRecordsNamesItsFirstField) {
    TScratch dir;
    std::vector<TDbfField> f = {{"DAY", 'D', 8}, {"NAME", 'C', 4}, {"P", 'N', 3}};
    EXPECT_EQ(Load(dir.Write("e.dbf", BuildDbfSpec([&](TDbfSpec& s) { s.Fields = f; }))).Error, badValue + "NAME");
    // Records that are all deleted leave none either.
    EXPECT_EQ(Load(dir.Write("d.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                                 s.Fields = f;
                                 s.Records = {Record(f, {"20240101", "a", "2"}, true)};
                             })))
                  .Error,
              badValue + "NAME");
}

TEST(ReadTableSample, TableWithoutNumericFieldsGivesItsCharacterField) {
    TScratch dir;
    std::vector<TDbfField> f = {{"NAME", 'C', 4}, {"DAY", 'D', 8}};
    TLoad l = Load(dir.Write("t.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                                 s.Fields = f;
                                 s.Records = {Record(f, {"a", "20240101"})};
                             })));
    EXPECT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample), std::vector<std::string>{"NAME"});
    EXPECT_EQ(l.Sample.Fields[0].Categories, std::vector<std::string>{"a"});
    EXPECT_EQ(l.Sample.RecordCount, 1);
    l = Load(dir.Write("u.dbf", BuildDbfSpec([&](TDbfSpec& s) { s.Fields = f; })));
    EXPECT_EQ(l.Error, badValue + "NAME");
}

TEST(ReadTableSample, CurrencyAndLargeValues) {
    TScratch dir;
    std::vector<TDbfField> f = {{"PRICE", 'Y', 8}};
    const TLoad l = Load(dir.Write("y.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                                       s.Version = 0x30;
                                       s.Fields = f;
                                       s.Records = {" " + LE(123400, 8), " " + LE(-5, 8)};
                                   })));
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.Fields[0].Values, (std::vector<double>{12.34, -0.0005}));
}

TEST(ReadTableSample, RepeatedNameKeepsReadingTheNumericField) {
    TScratch dir;
    std::vector<TDbfField> f = {{"ID", 'C', 3}, {"ID", 'N', 3}};
    const TLoad l =
        Load(dir.Write("twin.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                           s.Fields = f;
                           s.Records = {Record(f, {"a", "1"}), Record(f, {"b", "2"}), Record(f, {"c", "3"})};
                       })));
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Positions(l.Sample), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(l.Sample.Fields[0].Categories, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(l.Sample.Fields[1].Values, (std::vector<double>{1, 2, 3}));
}

TEST(ReadTableSample, ExtensionDecidesWithoutRegardToCase) {
    TScratch dir;
    std::vector<TDbfField> f = {{"N", 'N', 3}};
    const std::string dbf = BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"8"})};
    });
    const std::string db = BuildParadoxSpec([&](TPxSpec& s) {
        s.Fields = {{"N", pxNumber, 8}}; // record size 8: no dBase version byte
        s.Records = {SortableDouble(8)};
    });
    for (const char* name : {"a.dbf", "b.DBF", "c.Dbf"})
        EXPECT_EQ(Load(dir.Write(name, dbf)).Sample.Fields.at(0).Values, std::vector<double>{8}) << name;
    for (const char* name : {"a.db", "b.DB", "c.dB"})
        EXPECT_EQ(Load(dir.Write(name, db)).Sample.Fields.at(0).Values, std::vector<double>{8}) << name;
    // The extension, not the contents, chooses the reader.
    EXPECT_EQ(Load(dir.Write("p.dbf", db)).Error, "Файл не является таблицей dBase: " + dir.Dir() + "p.dbf");
    EXPECT_EQ(Load(dir.Write("d.db", dbf)).Error, "Файл не является таблицей Paradox: " + dir.Dir() + "d.db");
    EXPECT_EQ(Load(dir.Dir() + "x.csv").Error, "Неизвестный формат таблицы: " + dir.Dir() + "x.csv");
    EXPECT_EQ(Load(dir.Dir() + "x.dbf/").Error, "Неизвестный формат таблицы: " + dir.Dir() + "x.dbf/");
    EXPECT_THROW(CreateDbTable("a.dbx"), EError);
}

TEST(ReadTableSample, OpeningErrorsPassUnchanged) {
    TScratch dir;
    EXPECT_EQ(Load(dir.Dir() + "none.dbf").Error, "Файл таблицы не найден: " + dir.Dir() + "none.dbf");
    EXPECT_EQ(Load(dir.Dir() + "none.db").Error, "Файл таблицы не найден: " + dir.Dir() + "none.db");
    std::vector<TDbfField> f = {{"N", 'N', 3}};
    std::string truncated = BuildDbfSpec([&](TDbfSpec& s) {
                                s.Fields = f;
                                s.Records = {Record(f, {"1"})};
                            }).substr(0, 50);
    EXPECT_EQ(Load(dir.Write("cut.dbf", truncated)).Error, "Повреждён заголовок таблицы: " + dir.Dir() + "cut.dbf");
    std::string corrupt = BuildDbfSpec([&](TDbfSpec& s) {
        s.Fields = f;
        s.Records = {Record(f, {"1"})};
    });
    corrupt[16 + 32] = 100; // a field longer than the record
    EXPECT_EQ(Load(dir.Write("bad.dbf", corrupt)).Error, "Повреждён заголовок таблицы: " + dir.Dir() + "bad.dbf");
}

TEST(ReadTableSample, FileNameWithoutDirectory) {
    TScratch dir;
    std::vector<TDbfField> f = {{"N", 'N', 3}};
    dir.Write("here.dbf", BuildDbfSpec([&](TDbfSpec& s) {
                  s.Fields = f;
                  s.Records = {Record(f, {"4"})};
              }));
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.Dir());
    const TLoad l = Load("here.dbf");
    std::filesystem::current_path(old);
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.Fields[0].Values, std::vector<double>{4});
}

// ---- tables written by other programs ----

class RealTables : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_TESTDATA(); }
    static TLoad Dbf(const std::string& name) { return Load(TestData + "/dbf/" + name); }
    static TLoad Px(const std::string& name) { return Load(TestData + "/paradox/" + name); }
};

TEST_F(RealTables, DbaseIIIWithDeletedRecordsAndBlanks) {
    const TLoad l = Dbf("dbase_03.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.Fields.size(), 29u); // the 13 numbers and the 16 character fields
    const std::vector<double>& dev = Field(l.Sample, "Std_Dev").Values;
    EXPECT_EQ(dev[0], 0.897088);
    EXPECT_EQ(std::count_if(dev.begin(), dev.end(), IsGap), 10);
    EXPECT_EQ(Field(l.Sample, "Condition").Categories, (std::vector<std::string>{"Good", "Plugged"}));
    auto table = CreateDbTable("dbase_03.dbf");
    table->Open(TestData + "/dbf/", "dbase_03.dbf");
    EXPECT_EQ(table->RecordCount(), 12); // 14 in the header, 2 deleted
    EXPECT_EQ(table->FieldCount(), 31);
    int numeric = 0, text = 0;
    for (int32_t i = 0; i < 31; ++i) {
        const TDbFieldType type = table->FieldType(i);
        text += type == TDbFieldType::Text;
        numeric += type != TDbFieldType::Other && type != TDbFieldType::Text && type != TDbFieldType::Logical;
    }
    EXPECT_EQ(numeric, 13);
    EXPECT_EQ(text, 16);
    EXPECT_EQ(table->FieldName(30), "Point_ID");
    EXPECT_EQ(table->FieldType(30), TDbFieldType::Integer);
    bool isNull = true;
    EXPECT_EQ(table->GetFloat(std::string("Std_Dev"), isNull), 0.897088);
    EXPECT_FALSE(isNull);
    table->Next();
    table->GetFloat(std::string("Std_Dev"), isNull);
    EXPECT_TRUE(isNull);
}

TEST_F(RealTables, SidsTwelveNumbersAroundTwoCharacterFields) {
    const TLoad l = Dbf("sids.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample), (std::vector<std::string>{"AREA", "PERIMETER", "CNTY_", "CNTY_ID", "FIPSNO", "CRESS_ID",
                                                         "BIR74", "SID74", "NWBIR74", "BIR79", "SID79", "NWBIR79"}));
    EXPECT_EQ(Positions(l.Sample), (std::vector<int32_t>{0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 12, 13}));
    EXPECT_EQ(l.Sample.RecordCount, 100);
    for (const auto& f : l.Sample.Fields)
        EXPECT_EQ(f.Values.size(), 100u);
}

TEST_F(RealTables, BlockGroupsCensus) {
    const TLoad l = Dbf("blockgroups.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.RecordCount, 663);
    ASSERT_EQ(l.Sample.Fields.size(), 42u); // AREA and the 41 numbers after BKG_KEY
    EXPECT_EQ(l.Sample.Fields[0].FieldName, "AREA");
    EXPECT_EQ(l.Sample.Fields[1].TableFieldNo, 2);
    EXPECT_EQ(l.Sample.Fields[1].FieldName, "POP1990");
    EXPECT_EQ(l.Sample.Fields.back().FieldName, "MOBILEHOME");
    EXPECT_EQ(Field(l.Sample, "MEDIAN_VAL").TableFieldNo, 34);
}

TEST_F(RealTables, DbaseIVFloatBlankInRecordNine) {
    for (const char* name : {"dbase_8b.dbf", "dbase_8b_incorrect_record_count.dbf"}) {
        const TLoad l = Dbf(name);
        ASSERT_EQ(l.Error, "") << name;
        EXPECT_TRUE(IsGap(Field(l.Sample, "FLOAT").Values.at(8))) << name;
        EXPECT_EQ(Field(l.Sample, "LOGICAL").Categories, std::vector<std::string>{"T"}) << name;
        auto t = CreateDbTable(name);
        t->Open(TestData + "/dbf/", name);
        EXPECT_EQ(t->RecordCount(), 10) << name; // the second claims 15
        std::vector<double> numerical, flt;
        for (; !t->Eof(); t->Next()) {
            bool isNull = false;
            numerical.push_back(t->GetFloat(1, isNull));
            const double v = t->GetFloat(4, isNull);
            flt.push_back(isNull ? -1 : v);
        }
        EXPECT_EQ(numerical, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        EXPECT_EQ(flt, (std::vector<double>{1.23456789012346, 2, 3, 4, 5, 6, 7, 8, -1, 0.1}));
    }
}

TEST_F(RealTables, Dbase7WithoutItsMemoFile) {
    const TLoad l = Dbf("dbase_8c.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample), (std::vector<std::string>{"ID", "Name", "Species", "Length CM"}));
    EXPECT_EQ(Positions(l.Sample), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(l.Sample.Fields[0].Values, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(l.Sample.Fields[2].Categories.size(), 10u);
    EXPECT_EQ(l.Sample.Fields[3].Values, (std::vector<double>{100, 228, 30, 19, 150, 400, 200, 75, 28, 15}));
}

TEST_F(RealTables, Dbase7BinaryNumbers) {
    TLoad l = Dbf("dBaseVII_int.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.Fields.at(0).Values, (std::vector<double>{1, -1, 5000000, -5000000, 2147483647, -2147483647}));
    l = Dbf("dBaseVII_double.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.Fields.at(0).Values, (std::vector<double>{-199.99, -74.62, 43.65, 150.48, 0}));
    l = Dbf("inventory.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample), (std::vector<std::string>{"Item ID", "Supplier ID", "Description", "Qty",
                                                         "CacheID"})); // Picture B is a memo
    EXPECT_EQ(Positions(l.Sample), (std::vector<int32_t>{0, 1, 2, 3, 5}));
    EXPECT_EQ(l.Sample.Fields[0].Values, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST_F(RealTables, Dbase7NullDoublesAreGaps) {
    const TLoad l = Dbf("bug102.dbf");
    ASSERT_EQ(l.Error, "");
    const std::vector<double>& message = Field(l.Sample, "ErrorMessa").Values;
    EXPECT_EQ(std::count_if(message.begin(), message.end(), IsGap), 18); // null in all 18 records
    auto t = CreateDbTable("bug102.dbf");
    t->Open(TestData + "/dbf/", "bug102.dbf");
    EXPECT_EQ(t->RecordCount(), 18);
    EXPECT_EQ(t->FieldCount(), 103);
    int doubles = 0;
    double maxPeakMin = 0;
    const int32_t peak = t->FieldIndex("MaxPeakNoUnit");
    ASSERT_GE(peak, 0);
    for (int32_t i = 0; i < 103; ++i)
        doubles += t->FieldType(i) == TDbFieldType::Float;
    EXPECT_EQ(doubles, 23);
    int errorNulls = 0;
    for (; !t->Eof(); t->Next()) {
        bool isNull = false;
        t->GetFloat(std::string("ErrorMessa"), isNull);
        errorNulls += isNull;
        const double v = t->GetFloat(peak, isNull);
        if (!isNull)
            maxPeakMin = std::min(maxPeakMin, v);
    }
    EXPECT_EQ(errorNulls, 18);
    EXPECT_NEAR(maxPeakMin, -110488.58, 0.005); // quoted to two decimals
}

TEST_F(RealTables, VisualFoxProNorthwind) {
    const TLoad l = Dbf("dbase_31.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample),
              (std::vector<std::string>{"PRODUCTID", "SUPPLIERID", "CATEGORYID", "UNITPRICE", "UNITSINSTO",
                                        "UNITSONORD", "REORDERLEV", "DISCONTINU", "FLOAT", "DOUBLE"}));
    EXPECT_EQ(Positions(l.Sample), (std::vector<int32_t>{0, 2, 3, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(l.Sample.TextColumns, (std::vector<std::string>{"PRODUCTNAM", "QUANTITYPE"}));
    EXPECT_EQ(Field(l.Sample, "DISCONTINU").Categories, (std::vector<std::string>{"F", "T"})); // logical
    EXPECT_EQ(l.Sample.RecordCount, 77);
    const auto& price = Field(l.Sample, "UNITPRICE").Values;
    EXPECT_EQ(std::vector<double>(price.begin(), price.begin() + 5), (std::vector<double>{18, 19, 10, 22, 21.35}));
}

TEST_F(RealTables, VisualFoxProEveryNumberType) {
    const TLoad l = Dbf("numbers2.dbf");
    ASSERT_EQ(l.Error, "");
    const std::vector<double>& double2 = Field(l.Sample, "DOUBLE2").Values;
    EXPECT_EQ(std::count_if(double2.begin(), double2.end(), IsGap), 1); // its 0 is all zero bytes
    auto t = CreateDbTable("numbers2.dbf");
    t->Open(TestData + "/dbf/", "numbers2.dbf");
    const std::vector<double> values = {1, -1, 193786, 105.539, 2, -2, 0, -143.74};
    const std::vector<double> integers = {1, -1, 1937, 105, 2, -2, 0, -143};
    EXPECT_EQ(t->FieldType(t->FieldIndex("CURRENCY")), TDbFieldType::Currency);
    std::size_t r = 0;
    for (; !t->Eof(); t->Next(), ++r) {
        bool isNull = true;
        for (const char* name : {"DOUBLE1", "NUMERIC", "CURRENCY", "FLOAT"}) {
            EXPECT_EQ(t->GetFloat(std::string(name), isNull), values.at(r)) << name << " " << r;
            EXPECT_FALSE(isNull);
        }
        EXPECT_EQ(t->GetFloat(std::string("INTEGER"), isNull), integers.at(r));
        if (r == 1) {
            EXPECT_NEAR(t->GetFloat(std::string("DOUBLE2"), isNull), -4, 1e-12); // -1 written sign-flipped only
        }
    }
    EXPECT_EQ(r, 8u);
}

TEST_F(RealTables, FoxProManyBlanks) {
    const TLoad l = Dbf("dbase_f5.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_TRUE(IsGap(Field(l.Sample, "NFC2").Values[0])); // NF..NFC1 filled in record 1, NFC2 blank
    EXPECT_EQ(l.Sample.TextColumns, (std::vector<std::string>{"NOM", "COG1", "COG2", "LLON", "OFIC", "GHD"}));
    auto t = CreateDbTable("dbase_f5.dbf");
    t->Open(TestData + "/dbf/", "dbase_f5.dbf");
    EXPECT_EQ(t->RecordCount(), 975);
    EXPECT_EQ(t->FieldCount(), 59);
    int blanks = 0;
    for (; !t->Eof(); t->Next()) {
        bool isNull = false;
        t->GetFloat(std::string("NFC3"), isNull);
        blanks += isNull;
    }
    EXPECT_EQ(blanks, 967);
}

TEST_F(RealTables, CodePagesOfFieldNames) {
    TLoad l = Dbf("cp1251.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample), (std::vector<std::string>{"RN", "NAME"}));
    EXPECT_EQ(l.Sample.Fields[0].Values, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(l.Sample.Fields[1].Categories.at(2), "НИИ");
    l = Dbf("dbase_03_cyrillic.dbf");
    ASSERT_EQ(l.Error, "");
    // UTF-8 bytes under an unknown driver
    EXPECT_EQ(Names(l.Sample), (std::vector<std::string>{"ШАР", "ПЛОЩА"}));
    EXPECT_EQ(Positions(l.Sample), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(l.Sample.Fields[0].Categories, (std::vector<std::string>{"Номер", "Культ"}));
    EXPECT_EQ(l.Sample.Fields[1].Values, (std::vector<double>{36.3, 99.99}));
}

TEST_F(RealTables, AsteriskNullsAndExcelCharacterField) {
    TLoad l = Dbf("NullTest.dbf");
    ASSERT_EQ(l.Error, "");
    const std::vector<double>& myInt = Field(l.Sample, "MY_INT").Values;
    EXPECT_EQ(std::count_if(myInt.begin(), myInt.end(), IsGap), 2);
    l = Dbf("wrong-exented-character-field.dbf");
    ASSERT_EQ(l.Error, "");
    EXPECT_TRUE(IsGap(Field(l.Sample, "KURVFORM").Values.at(1))); // blank in record 2
    auto t = CreateDbTable("x.dbf");
    t->Open(TestData + "/dbf/", "wrong-exented-character-field.dbf");
    EXPECT_EQ(t->RecordCount(), 16);
    EXPECT_EQ(t->FieldName(9), "FLUGHOEHE");
    EXPECT_EQ(t->FieldType(9), TDbFieldType::Text);
    EXPECT_EQ(t->FieldType(8), TDbFieldType::Logical);
    int blanks = 0;
    for (; !t->Eof(); t->Next()) {
        bool isNull = false;
        t->GetFloat(std::string("KURSAENDER"), isNull);
        blanks += isNull;
    }
    EXPECT_EQ(blanks, 11);
}

TEST_F(RealTables, EmptyAndFieldlessTables) {
    EXPECT_EQ(Dbf("agencias.dbf").Error, badValue + "AG_CODI");
    const TLoad l = Dbf("polygon.dbf");
    EXPECT_EQ(l.Error, "");
    EXPECT_TRUE(l.Sample.Fields.empty());
    EXPECT_EQ(l.Sample.RecordCount, 1);
}

TEST_F(RealTables, ParadoxTables) {
    TLoad l = Px("ORDERS.DB");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample),
              (std::vector<std::string>{"Order No", "Customer No", "Ship VIA", "Total Invoice", "Amount Paid",
                                        "Balance Due", "Terms", "Payment Method", "Month"}));
    EXPECT_EQ(Positions(l.Sample), (std::vector<int32_t>{0, 1, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Field(l.Sample, "Ship VIA").Categories.size(), 5u);
    EXPECT_EQ(l.Sample.RecordCount, 224);
    const auto& order = l.Sample.Fields[0].Values;
    EXPECT_EQ(*std::min_element(order.begin(), order.end()), 1001);
    EXPECT_EQ(*std::max_element(order.begin(), order.end()), 1669);
    double most = 0;
    for (std::size_t k = 3; k < 6; ++k)
        for (double v : l.Sample.Fields[k].Values)
            most = std::max(most, v);
    EXPECT_EQ(most, 158922.65);

    l = Px("PCL.DB");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.TextColumns, (std::vector<std::string>{"Function", "Parameter", "Command"}));
    EXPECT_EQ(Field(l.Sample, "Support").TableFieldNo, 16);
    EXPECT_EQ(Field(l.Sample, "TJ").Categories, std::vector<std::string>{"X"}); // blank elsewhere: gaps
    EXPECT_EQ(l.Sample.RecordCount, 161);
    for (double v : Field(l.Sample, "Support").Values)
        EXPECT_TRUE(v >= 1 && v <= 9) << v;

    l = Px("encrypted35.db");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(Names(l.Sample), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(l.Sample.Fields[0].Values, (std::vector<double>{1, 2}));
    EXPECT_EQ(l.Sample.Fields[1].Categories, (std::vector<std::string>{"Test 1", "Test2"})); // decrypted alpha

    l = Px("joina.db");
    ASSERT_EQ(l.Error, "");
    EXPECT_EQ(l.Sample.Fields.at(0).Values, (std::vector<double>{1, 2, 3}));

    l = Px("bcd.db");
    EXPECT_EQ(l.Error, "");
    EXPECT_TRUE(l.Sample.Fields.empty());
    EXPECT_EQ(l.Sample.RecordCount, 3);

    EXPECT_EQ(Px("fk1.db").Error, badValue + "ID");
    l = Px("testtab.DB");
    ASSERT_EQ(l.Error, "");
    const std::vector<double>& number = Field(l.Sample, "NUMBER").Values;
    EXPECT_EQ(std::count_if(number.begin(), number.end(), IsGap), 1);
    l = Px("tblsttes.DB");
    ASSERT_EQ(l.Error, "");
    EXPECT_TRUE(IsGap(Field(l.Sample, "Long").Values[0])); // the Short named so, null in record 1
}

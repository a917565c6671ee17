#include "common/Errors.h"
#include "common/RandomGen.h"
#include "sample/Normalize.h"
#include "sample/SampleStats.h"
#include "training/Importance.h"
#include "training/TrainingRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

using namespace nirvex;

namespace {

// Inputs A, B, C uniform on [0, 1] and the target Y = 0.8 A + 0.2 B: A matters much, B a little, C
// not at all. A small network is trained on the first 240 records; the other 60 are the test part.
class ImportanceTest : public ::testing::Test {
protected:
    static constexpr int32_t kRecords = 300, kTeach = 240;

    void SetUp() override {
        fields.assign(4, TFieldInfo{});
        const char* names[] = {"A", "B", "C", "Y"};
        SetRandSeed(5);
        for (int32_t r = 0; r < kRecords; ++r) {
            const double a = RandomFloat(), b = RandomFloat(), c = RandomFloat();
            fields[0].Values.push_back(a);
            fields[1].Values.push_back(b);
            fields[2].Values.push_back(c);
            fields[3].Values.push_back(0.8 * a + 0.2 * b);
        }
        InitFieldDefaults(fields, kRecords);
        for (int32_t k = 0; k < 4; ++k) {
            fields[k].FieldName = names[k];
            fields[k].FieldType = k < 3 ? TFieldRole::Input : TFieldRole::Target;
            fields[k].NetIndex = k < 3 ? k : 0;
        }
        index = BuildRecordIndex(kRecords);
        net.SetCountLayers(3);
        net.SetLayerSize(0, 3);
        net.SetLayerSize(1, 6);
        net.SetLayerSize(2, 1);
        net.Alpha = 1;
        net.TeachSpeed = 0.3;
        net.Miu = 0.5;
        TTrainingContext ctx;
        ctx.Network = &net;
        ctx.Fields = &fields;
        ctx.RecordIndex = &index;
        ctx.InputCount = 3;
        ctx.OutputCount = 1;
        ctx.TeachCount = kTeach;
        ctx.TestCount = kRecords - kTeach;
        int32_t cursor = 0;
        double prev = 0;
        bool stop = false;
        ctx.ExampleCursor = &cursor;
        ctx.PrevTestErr = &prev;
        ctx.StopRequested = &stop;
        ctx.Rules[TCriterion::Epoch] = {true, 400};
        ITrainingView quiet;
        RunTrainingLoop(ctx, quiet);
    }

    TImportanceInput Input(TPartSpan part = {TSamplePart::Test, kTeach, kRecords - kTeach}) {
        TImportanceInput in;
        in.Network = &net;
        in.Fields = &fields;
        in.RecordIndex = &index;
        in.InputCount = 3;
        in.OutputCount = 1;
        in.Part = part;
        return in;
    }

    std::vector<TFieldInfo> fields;
    std::vector<int32_t> index;
    TNeuralNetwork net;
};

TEST_F(ImportanceTest, StrongWeakAndUnusedInputsComeInOrder) {
    const TImportance m = MeasureImportance(Input());
    SCOPED_TRACE(FormatImportanceText(m));
    ASSERT_EQ(m.Fields.size(), 3u);
    EXPECT_EQ(m.Fields[0].Field, "A");
    EXPECT_EQ(m.Fields[1].Field, "B");
    EXPECT_EQ(m.Fields[2].Field, "C");
    EXPECT_EQ(m.Fields[0].Share, 100.0);
    EXPECT_GT(m.Fields[1].Share, 2.0); // about 5 %: 0.2² against 0.8²
    EXPECT_LT(m.Fields[1].Share, 40.0);
    EXPECT_LT(std::abs(m.Fields[2].Share), 1.0);
    EXPECT_GT(m.Fields[0].Increase, 10 * m.BaseError);
    EXPECT_EQ(m.Part, TSamplePart::Test);
    EXPECT_EQ(m.RecordCount, kRecords - kTeach);
}

TEST_F(ImportanceTest, SameFiguresEveryTimeOnAnyNumberOfThreadsAndTheProgramsGeneratorUntouched) {
    SetRandSeed(1234);
    setenv("NIRVEX_THREADS", "1", 1);
    const TImportance one = MeasureImportance(Input());
    setenv("NIRVEX_THREADS", "3", 1);
    const TImportance again = MeasureImportance(Input());
    unsetenv("NIRVEX_THREADS");
    EXPECT_EQ(RandSeed(), 1234u);
    ASSERT_EQ(one.Fields.size(), again.Fields.size());
    for (std::size_t k = 0; k < one.Fields.size(); ++k) {
        EXPECT_EQ(one.Fields[k].Field, again.Fields[k].Field);
        EXPECT_EQ(one.Fields[k].Increase, again.Fields[k].Increase);
    }
    EXPECT_EQ(one.BaseError, again.BaseError);
}

TEST_F(ImportanceTest, MeasuresThePartItIsGiven) {
    // The base error is the mean error of exactly the part's records.
    for (const TPartSpan& part :
         {TPartSpan{TSamplePart::Test, kTeach, kRecords - kTeach}, TPartSpan{TSamplePart::Training, 0, kTeach},
          TPartSpan{TSamplePart::Validation, kTeach - 40, 40}}) {
        double sum = 0;
        for (int32_t p = part.From; p < part.From + part.Count; ++p) {
            double in[3], target[1];
            BuildExample(fields, index[static_cast<std::size_t>(p)], in, target);
            sum += net.RunExample(in, 3, target, 1, false).Error;
        }
        const TImportance m = MeasureImportance(Input(part));
        EXPECT_EQ(m.Part, part.Part);
        EXPECT_EQ(m.RecordCount, part.Count);
        EXPECT_DOUBLE_EQ(m.BaseError, sum / part.Count);
    }
}

TEST(ImportancePart, FirstPartWithRecordsIsChosen) {
    const TPartSpan test{TSamplePart::Test, 80, 20}, emptyTest{TSamplePart::Test, 100, 0};
    const TPartSpan valid{TSamplePart::Validation, 70, 10}, emptyValid{TSamplePart::Validation, 80, 0};
    const TPartSpan training{TSamplePart::Training, 0, 80}, emptyTraining{TSamplePart::Training, 0, 0};
    struct TCase {
        std::vector<TPartSpan> Preference;
        TSamplePart Chosen;
    } cases[] = {
        {{test, valid, training}, TSamplePart::Test},
        {{emptyTest, valid, training}, TSamplePart::Validation},
        {{emptyTest, emptyValid, training}, TSamplePart::Training},
        {{emptyTest, training}, TSamplePart::Training},
        {{emptyTest, emptyValid, emptyTraining}, TSamplePart::Training},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ChooseMeasuredPart(c.Preference).Part, c.Chosen);
    EXPECT_STREQ(SamplePartName(TSamplePart::Test), "тестовая часть");
    EXPECT_STREQ(SamplePartName(TSamplePart::Training), "обучающая часть");
}

TEST_F(ImportanceTest, AFieldOfSeveralInputsIsShuffledAsOneUnit) {
    // One category of two values on two inputs, (1, -1) or (-1, 1). The network adds both inputs
    // with the same weight: every whole row sums to 0 and gives exactly the target 0.5, while rows
    // mixed from two records (1, 1) or (-1, -1) would not.
    std::vector<TFieldInfo> cat(3);
    for (int32_t r = 0; r < kRecords; ++r) {
        cat[0].Values.push_back(r % 2);
        cat[1].Values.push_back(1 - r % 2);
        cat[2].Values.push_back(0.5);
    }
    for (int32_t k = 0; k < 3; ++k) {
        cat[k].Min = 0;
        cat[k].Max = 1;
        cat[k].FieldType = k < 2 ? TFieldRole::Input : TFieldRole::Target;
        cat[k].NetIndex = k < 2 ? k : 0;
    }
    TNeuralNetwork flat;
    flat.SetCountLayers(2);
    flat.SetLayerSize(0, 2);
    flat.SetLayerSize(1, 1);
    flat.SetWeight(0, 0, 0, 5);
    flat.SetWeight(0, 1, 0, 5);
    flat.SetThreshold(0, 0, 0);
    TImportanceInput in;
    in.Network = &flat;
    in.Fields = &cat;
    in.RecordIndex = &index;
    in.InputCount = 2;
    in.OutputCount = 1;
    in.Part = {TSamplePart::Test, 0, kRecords};
    in.Inputs = {{"Вид", {0, 1}}};
    const TImportance whole = MeasureImportance(in);
    ASSERT_EQ(whole.Fields.size(), 1u);
    EXPECT_EQ(whole.Fields[0].Field, "Вид");
    EXPECT_EQ(whole.Fields[0].Increase, 0.0);
    in.Inputs = {{"first", {0}}, {"second", {1}}};
    const TImportance apart = MeasureImportance(in);
    ASSERT_EQ(apart.Fields.size(), 2u);
    EXPECT_GT(apart.Fields[1].Increase, 0.01);
}

TEST_F(ImportanceTest, ProgressClimbsToOneAndMayCallTheMeasurementOff) {
    std::vector<double> reports;
    MeasureImportance(Input(), [&](double f) { reports.push_back(f); });
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), 1.0);
    EXPECT_THROW(MeasureImportance(Input(), [](double) { throw ELoadCancelled(); }), ELoadCancelled);
}

TEST_F(ImportanceTest, NetworkThatDoesNotFitIsRefused) {
    TImportanceInput in = Input();
    in.InputCount = 2;
    try {
        MeasureImportance(in);
        FAIL() << "measured a network that does not fit";
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), "Структура сети не соответствует полям выборки");
    }
}

TEST(ImportanceFormat, TextAndCsvLinesMostImportantFirst) {
    TImportance m;
    m.Part = TSamplePart::Training;
    m.Fields = {{"x,1", 0.0123456, 100}, {"y", -0.0001, -0.81004}};
    EXPECT_EQ(FormatImportanceText(m), "Поле\tРост ошибки\tДоля\tЧасть выборки\n"
                                       "x,1\t0.012346\t100%\tобучающая часть\n"
                                       "y\t-0.0001\t-0.81%\tобучающая часть\n");
    EXPECT_EQ(FormatImportanceCsv(m), "field,increase,share_percent,part\n"
                                      "\"x,1\",0.0123456,100,training\n"
                                      "y,-0.0001,-0.81004,training\n");
}

} // namespace

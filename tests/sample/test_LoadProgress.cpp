#include "sample/CsvSample.h"
#include "sample/SampleStats.h"
#include "sample/TextSample.h"
#include "support/ProgressLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace nirvex;
using nirvex::test::TProgressLog;

namespace {

// A 3-column sample of `records` lines, several megabytes for a few hundred thousand records; one
// file per test, as tests may run side by side.
class LoadProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() /
                (std::string("nirvex_progress_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::ofstream out(path_, std::ios::binary);
        out << "x y t\r\n";
        for (int r = 0; r < kRecords; ++r)
            out << r % 997 << '.' << r % 7 << ' ' << r % 13 << ' ' << r << "\r\n";
    }
    void TearDown() override { std::filesystem::remove(path_); }

    static constexpr int kRecords = 300000;
    std::filesystem::path path_;
};

} // namespace

TEST_F(LoadProgressTest, EveryPartOfTheLoadReportsUpToTheEnd) {
    TProgressLog reading, stats, order;
    TSampleTable table = ReadTextSample(path_.string(), reading.Proc());
    ASSERT_EQ(table.RecordCount, kRecords);
    EXPECT_TRUE(reading.Complete(4)); // the file is read a megabyte at a time
    InitFieldDefaults(table.Fields, table.RecordCount, stats.Proc());
    EXPECT_TRUE(stats.Complete(3));
    EXPECT_EQ(table.Fields[2].DataMax, kRecords - 1);
    std::vector<int32_t> index = BuildRecordIndex(table.RecordCount, order.Proc());
    EXPECT_TRUE(order.Complete(4));
    EXPECT_EQ(index.size(), static_cast<std::size_t>(kRecords));
}

TEST_F(LoadProgressTest, CsvReaderReportsUpToTheEndAndCanBeCalledOff) {
    std::string csv = "x;y;t\r\n";
    for (int r = 0; r < kRecords; ++r)
        csv += std::to_string(r % 997) + ',' + std::to_string(r % 7) + ';' + std::to_string(r % 13) + ';' +
               std::to_string(r) + "\r\n";
    TProgressLog reading;
    EXPECT_EQ(ParseCsvSample(csv, reading.Proc()).RecordCount, kRecords);
    EXPECT_TRUE(reading.Complete(4));
    int reports = 0;
    EXPECT_THROW(ParseCsvSample(csv,
                                [&](double) {
                                    if (++reports == 2)
                                        throw ELoadCancelled();
                                }),
                 ELoadCancelled);
}

TEST_F(LoadProgressTest, ACancelFromTheReportEndsTheStepAsItIs) {
    // The receiver calls the step off by raising; the readers pass that on unchanged, and it is
    // not turned into their own read error.
    auto cancelAt = [](int report) {
        return [report, n = 0](double) mutable {
            if (++n == report)
                throw ELoadCancelled();
        };
    };
    EXPECT_THROW(ReadTextSample(path_.string(), cancelAt(2)), ELoadCancelled);
    EXPECT_THROW(BuildRecordIndex(kRecords, cancelAt(2)), ELoadCancelled);
    TSampleTable table = ReadTextSample(path_.string());
    EXPECT_THROW(InitFieldDefaults(table.Fields, table.RecordCount, cancelAt(2)), ELoadCancelled);
}

TEST(ProgressPart, PlacesReportsInItsRangeAndClamps) {
    TProgressLog whole;
    TProgressProc part = ProgressPart(whole.Proc(), 0.5, 0.75);
    for (double f : {-1.0, 0.0, 0.5, 1.0, 2.0})
        part(f);
    EXPECT_EQ(whole.Reports, (std::vector<double>{0.5, 0.5, 0.625, 0.75, 0.75}));
    EXPECT_FALSE(ProgressPart(TProgressProc(), 0, 1)); // nobody listens: nothing to call
}

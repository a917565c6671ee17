#include "WizardFixture.h"
#include "sample/LoadProgress.h"
#include "support/ProgressLog.h"
#include "support/WizardTestPeer.h"
#include "wizard/BatchPredict.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

using namespace nirvex;
using nirvex::test::WizardTest;

namespace {

// What the window sees of a load: every report, and the navigation while it runs.
class LoadProgressWizardTest : public WizardTest {
protected:
    void SetUp() override {
        w.SetProgressHandler([this](double f) {
            reports.push_back(f);
            if (f >= 0) {
                // Only "Отмена" stays usable: it calls the load off.
                busyWhileRunning =
                    busyWhileRunning && w.Loading() && !w.NextEnabled() && !w.PrevEnabled() && w.QuitEnabled();
                if (cancelAt > 0 && static_cast<int>(reports.size()) == cancelAt)
                    w.CancelLoad();
            }
        });
    }
    // Several megabytes, so that every part of the load reports more than once.
    std::string LargeSample() {
        std::ostringstream s;
        s << "x y t\r\n";
        for (int r = 0; r < 300000; ++r)
            s << r % 101 << ' ' << r % 7 << '.' << r % 3 << ' ' << r << "\r\n";
        return WriteSample(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".txt",
                           s.str());
    }

    std::vector<double> reports;
    bool busyWhileRunning = true;
    int cancelAt = 0;
};

} // namespace

TEST_F(LoadProgressWizardTest, LoadReportsItsProgressUpToTheEndThenHidesIt) {
    Type(LargeSample());
    w.Next();
    ASSERT_EQ(w.State(), 1);
    ASSERT_GE(reports.size(), 10u);
    EXPECT_EQ(reports.back(), -1); // hidden at the end
    reports.pop_back();
    EXPECT_EQ(reports.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_GE(reports.front(), 0);
    EXPECT_TRUE(busyWhileRunning);
    EXPECT_FALSE(w.Loading());
    EXPECT_EQ(w.Progress(), -1);
    EXPECT_TRUE(w.NextEnabled());
    EXPECT_TRUE(w.PrevEnabled());
}

TEST_F(LoadProgressWizardTest, CancelledLoadKeepsThePreviousSampleAndCanBeRepeated) {
    Type(Iris());
    w.Next();
    w.Prev();
    const std::vector<int32_t> order = w.RecordIndex();
    const uint32_t seed = w.IndexSeed();
    const std::string large = LargeSample();
    // Called off while reading, and again while drawing the record order (the last reports).
    for (int at : {3, -2}) {
        Type(large);
        reports.clear();
        if (at < 0) { // count the reports of a whole load first
            TWizard probe;
            int n = 0;
            probe.SetProgressHandler([&n](double) { ++n; });
            probe.SampleFileTextChanged(large);
            probe.Next();
            at = n + at;
        }
        cancelAt = at;
        EXPECT_THROW(w.Next(), ELoadCancelled) << at;
        EXPECT_EQ(w.State(), 0);
        EXPECT_EQ(w.FieldCount(), 5);
        EXPECT_EQ(w.RecordCount(), 150);
        EXPECT_EQ(w.RecordIndex(), order);
        EXPECT_EQ(w.IndexSeed(), seed);
        EXPECT_EQ(w.LearnSampleFileName(), Iris());
        EXPECT_TRUE(w.PageChanged()); // the next "Далее >>" loads again
        EXPECT_FALSE(w.Loading());
        EXPECT_EQ(reports.back(), -1);
        EXPECT_TRUE(w.NextEnabled());
        EXPECT_EQ(w.StatusText(), "");
    }
    cancelAt = 0;
    w.Next();
    EXPECT_EQ(w.State(), 1);
    EXPECT_EQ(w.RecordCount(), 300000);
}

TEST_F(LoadProgressWizardTest, FocusMovedByTheDisabledControlsKeepsTheLoadPending) {
    w.SetProgressHandler([this](double f) {
        if (f == 0)
            w.Page1FocusEntered();
    });
    Type(Iris());
    w.Next();
    EXPECT_EQ(w.State(), 1);
    EXPECT_TRUE(w.Modified());
}

TEST_F(WizardTest, PredictionOverATableReportsItsProgressUpToTheEnd) {
    ToTrainedPredictPage(Iris());
    TSampleTable table;
    table.Fields = w.Fields();
    for (TFieldInfo& f : table.Fields) {
        std::vector<double> many;
        for (int copy = 0; copy < 100; ++copy)
            many.insert(many.end(), f.Values.begin(), f.Values.end());
        f.Values = std::move(many);
    }
    table.RecordCount = 15000;
    nirvex::test::TProgressLog log;
    TBatchPrediction p = PredictTable(w.NetModel(), table, log.Proc());
    EXPECT_EQ(p.RecordCount, 15000);
    EXPECT_TRUE(log.Complete(2)); // every 8192 records and at the end
}

// Iris repeated to `records` records, so that a prediction has work for several threads.
TSampleTable RepeatedTable(const std::vector<TFieldInfo>& fields, int32_t records) {
    TSampleTable table;
    table.Fields = fields;
    for (TFieldInfo& f : table.Fields) {
        std::vector<double> many;
        while (many.size() < static_cast<std::size_t>(records))
            many.insert(many.end(), f.Values.begin(), f.Values.end());
        many.resize(static_cast<std::size_t>(records));
        f.Values = std::move(many);
    }
    table.RecordCount = records;
    return table;
}

// The prediction on NIRVEX_THREADS threads: its CSV text, or the error it raised.
std::string PredictOn(TWizard& w, const TSampleTable& table, const char* threads) {
    setenv("NIRVEX_THREADS", threads, 1);
    std::string result;
    try {
        result = FormatPredictionCsv(PredictTable(w.NetModel(), table));
    } catch (const EError& e) {
        result = std::string("error: ") + e.what();
    }
    unsetenv("NIRVEX_THREADS");
    return result;
}

// Records are computed in parts on several threads; the file and the first failure reported are
// those of one thread.
TEST_F(WizardTest, PredictionOnSeveralThreadsGivesTheResultOfOne) {
    ToTrainedPredictPage(Iris());
    TSampleTable table = RepeatedTable(w.Fields(), 40000);
    const std::string one = PredictOn(w, table, "1");
    ASSERT_EQ(one.rfind("error", 0), std::string::npos);
    EXPECT_EQ(PredictOn(w, table, "3"), one);
    EXPECT_EQ(PredictOn(w, table, "7"), one);

    // Weights so large that a big input overflows: the last record of two parts and of the table.
    for (int32_t j = 0; j < w.Network().GetLayerSize(1); ++j)
        TWizardTestPeer::Network(w).SetWeight(0, 0, j, 1e300);
    for (int32_t r : {39999, 25000})
        table.Fields[0].Values[static_cast<std::size_t>(r)] = 1e300;
    const std::string failed = PredictOn(w, table, "1");
    ASSERT_NE(failed.find("запись 25001"), std::string::npos) << failed;
    EXPECT_EQ(PredictOn(w, table, "3"), failed);
    EXPECT_EQ(PredictOn(w, table, "7"), failed);
}

// "Расчёт по файлу..." runs like a load: progress to the end, navigation off meanwhile; "Отмена"
// calls it off, and then nothing is written.
TEST_F(LoadProgressWizardTest, PredictionOverAFileShowsProgressAndCanBeCalledOff) {
    ToTrainedPredictPage(Iris());
    busyWhileRunning = true; // the training run's own reports are not a load
    std::string text = "SepalLength SepalWidth PetalLength PetalWidth\r\n";
    for (int r = 0; r < 300000; ++r)
        text += std::to_string(4 + r % 4) + '.' + std::to_string(r % 10) + " 3 " + std::to_string(1 + r % 6) + " 1\r\n";
    const std::string wide = WriteSample("predict_in.txt", text);
    const std::string output = (std::filesystem::temp_directory_path() / "nirvex_predict_out.txt").string();
    std::filesystem::remove(output);

    reports.clear();
    EXPECT_EQ(w.PredictOverFile(wide, output), 300000);
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(reports.back(), -1);
    reports.pop_back();
    EXPECT_EQ(reports.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_TRUE(busyWhileRunning);
    EXPECT_TRUE(w.PrevEnabled());
    EXPECT_TRUE(std::filesystem::exists(output));

    std::filesystem::remove(output);
    reports.clear();
    cancelAt = 3;
    EXPECT_THROW(w.PredictOverFile(wide, output), ELoadCancelled);
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_FALSE(w.Loading());
    EXPECT_TRUE(w.PrevEnabled());
}

#include "WizardFixture.h"
#include "sample/LoadProgress.h"
#include "support/ProgressLog.h"
#include "support/TestFiles.h"
#include "support/WizardTestPeer.h"
#include "wizard/PredictStream.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
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

// The prediction over a file on NIRVEX_THREADS threads: what it wrote, or the error it raised.
std::string PredictOn(TWizard& w, const std::string& input, const char* threads) {
    const std::string output = (std::filesystem::temp_directory_path() / "nirvex_threads_out.txt").string();
    std::filesystem::remove(output);
    setenv("NIRVEX_THREADS", threads, 1);
    std::string result;
    try {
        PredictFile(w.NetModel(), input, output, {});
        result = test::ReadBytes(output);
    } catch (const EError& e) {
        result = std::string("error: ") + e.what();
    }
    unsetenv("NIRVEX_THREADS");
    std::filesystem::remove(output);
    return result;
}

// Blocks of records are computed on several threads and written in input order; the file and the
// first failure reported are those of one thread.
TEST_F(WizardTest, PredictionOnSeveralThreadsGivesTheResultOfOne) {
    ToTrainedPredictPage(Iris());
    auto input = [&](const std::vector<int>& huge) {
        std::string text = "SepalLength SepalWidth PetalLength PetalWidth\r\n";
        for (int r = 0; r < 80000; ++r)
            text += (std::find(huge.begin(), huge.end(), r) != huge.end()
                         ? std::string("1e300")
                         : std::to_string(4 + r % 4) + '.' + std::to_string(r % 10)) +
                    " 3." + std::to_string(r % 7) + ' ' + std::to_string(1 + r % 6) + " 0.2\r\n";
        return WriteSample("threads_in.txt", text);
    };
    const std::string in = input({});
    const std::string one = PredictOn(w, in, "1");
    ASSERT_EQ(one.rfind("error", 0), std::string::npos) << one;
    EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 80001);
    EXPECT_EQ(PredictOn(w, in, "3"), one);
    EXPECT_EQ(PredictOn(w, in, "7"), one);

    // Weights so large that a big input overflows: in two blocks, the later one the last record.
    for (int32_t j = 0; j < w.Network().GetLayerSize(1); ++j)
        TWizardTestPeer::Network(w).SetWeight(0, 0, j, 1e300);
    const std::string bad = input({79999, 25000});
    const std::string failed = PredictOn(w, bad, "1");
    ASSERT_NE(failed.find("запись 25001"), std::string::npos) << failed;
    EXPECT_EQ(PredictOn(w, bad, "3"), failed);
    EXPECT_EQ(PredictOn(w, bad, "7"), failed);
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
    EXPECT_EQ(w.PredictOverFile(wide, output).Records, 300000);
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

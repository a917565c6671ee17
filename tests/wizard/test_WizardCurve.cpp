// The error curve the training page shows and the network of the least test error, on the model.
#include "WizardFixture.h"
#include "common/NumberText.h"
#include "engine/IniFile.h"
#include "project/ProjectFile.h"
#include "support/WizardTestPeer.h"

#include <algorithm>
#include <cmath>

using namespace nirvex;

namespace {

// From epoch counter `SpoilFrom` on, the view spoils the network after each epoch, so the test
// error of later epochs is worse; it keeps the network as it stood after every epoch.
struct TSpoiler : ITrainingView {
    TWizard* W = nullptr;
    int32_t SpoilFrom = 1 << 30;
    std::vector<TNetworkSnapshot> After;
    std::vector<double> TestMeans;
    void EpochDone(const TEpochStats& s, int32_t, int32_t, int32_t epoch) override {
        TestMeans.push_back(s.TestErrMean);
        After.emplace_back();
        W->Network().TakeSnapshot(After.back());
        if (epoch >= SpoilFrom)
            for (int32_t i = 0; i < W->Network().GetLayerSize(1); ++i)
                TWizardTestPeer::Network(*W).SetWeight(1, i, 0, 12.0);
    }
};

class WizardCurveTest : public test::WizardTest {
protected:
    void ToTrainingPage(int32_t epochLimit, int32_t useForTeach = 80, bool keepBest = false) {
        ToLearnPage(Iris());
        w.CriterionClicked(TCriterion::Epoch, true);
        w.SetCriterionCount(TCriterion::Epoch, epochLimit);
        w.SetLearnValue(&TLearnPage::UseForTeach, useForTeach);
        if (keepBest)
            w.KeepBestClicked(true);
        w.Next();
        w.Next();
        ASSERT_EQ(w.State(), 5);
    }
    void Run(ITrainingView* view = nullptr) {
        TWizard::TRunHooks h;
        h.View = view;
        h.OnEndMessage = [this](const std::string& m) { ends.push_back(m + "|" + w.StatusText()); };
        h.OnError = [this](const std::string& m) { errors.push_back(m); };
        w.LearnClicked(h);
        ASSERT_TRUE(errors.empty()) << errors.front();
    }
    std::vector<int32_t> CurveEpochs() const {
        std::vector<int32_t> e;
        for (const TCurvePoint& p : w.Curve().Points())
            e.push_back(p.Epoch);
        return e;
    }
    std::vector<std::string> ends, errors;
};

std::vector<int32_t> Range(int32_t from, int32_t to) {
    std::vector<int32_t> v;
    for (int32_t e = from; e <= to; ++e)
        v.push_back(e);
    return v;
}

} // namespace

TEST_F(WizardCurveTest, CurveContinuesAcrossRunsAndIsClearedWhenPagesTwoOrThreeRebuild) {
    ToTrainingPage(4);
    EXPECT_TRUE(w.Curve().Empty());
    TSpoiler record;
    record.W = &w;
    Run(&record);
    EXPECT_EQ(CurveEpochs(), Range(0, 4));
    EXPECT_EQ(w.Curve().Points()[2].TestMean, record.TestMeans[2]);
    w.SetCriterionCount(TCriterion::Epoch, 7);
    Run();
    EXPECT_EQ(CurveEpochs(), Range(0, 7));
    // Passing page 3 unchanged keeps the network and its curve; changing it rebuilds both.
    w.Prev();
    w.Prev();
    w.Prev();
    w.Next();
    EXPECT_EQ(CurveEpochs(), Range(0, 7));
    w.Prev();
    w.SetLayerCell(1, "4");
    w.Next();
    EXPECT_TRUE(w.Curve().Empty());
    w.Next();
    w.Next();
    Run();
    EXPECT_EQ(CurveEpochs(), Range(0, 7));
    w.Prev();
    w.Prev();
    w.Prev();
    w.Prev();
    w.RoleClicked(TFieldRole::Unused); // page 2: the first field no longer an input
    w.Next();
    EXPECT_TRUE(w.Curve().Empty());
}

TEST_F(WizardCurveTest, KeepBestTakesBackTheBestNetworkAndTellsSo) {
    ToTrainingPage(15, 80, true);
    TSpoiler spoil;
    spoil.W = &w;
    spoil.SpoilFrom = 9;
    Run(&spoil);
    ASSERT_EQ(spoil.TestMeans.size(), 16u);
    const auto best = static_cast<int32_t>(std::min_element(spoil.TestMeans.begin(), spoil.TestMeans.end()) -
                                           spoil.TestMeans.begin());
    ASSERT_LT(best, 15);
    TNetworkSnapshot now;
    w.Network().TakeSnapshot(now);
    const TNetworkSnapshot& want = spoil.After[static_cast<std::size_t>(best)];
    EXPECT_EQ(now.Weights, want.Weights);
    EXPECT_EQ(now.Thresholds, want.Thresholds);
    EXPECT_EQ(now.WeightDeltas, want.WeightDeltas);
    EXPECT_EQ(now.ThresholdDeltas, want.ThresholdDeltas);
    EXPECT_EQ(w.Network().Epoch, best + 1);
    const std::string message = "Восстановлена лучшая сеть: эпоха " + std::to_string(best);
    // The end message shows over the restored epoch's statistics; the status line then says so.
    EXPECT_EQ(ends,
              (std::vector<std::string>{"Остановка обучения\n\rИсчерпан лимит эпох.|Эпоха: " + std::to_string(best)}));
    EXPECT_EQ(w.StatusText(), message);
    EXPECT_EQ(w.RestoredEpoch(), best + 1);
    EXPECT_EQ(w.Curve().MarkedEpoch(), best);
    // The grid shows the network taken back, not the last epoch: its test error is the best epoch's.
    EXPECT_EQ(w.StatCells()[2][1], FormatGeneral(spoil.TestMeans[static_cast<std::size_t>(best)], 5));

    // Saved and opened again: the key, the restored network and its epoch.
    w.Next();
    const auto dir = std::filesystem::temp_directory_path();
    const std::string project = (dir / "nirvex_keepbest.qvx").string();
    files_.push_back(project);
    SaveProject(w, project);
    EXPECT_EQ(TIniFile(project).ReadString("Phase4", "KeepBest", ""), "1");
    TWizard again;
    LoadProject(again, project);
    EXPECT_TRUE(again.LearnPage().KeepBest);
    EXPECT_EQ(again.Network().Epoch, best + 1);
    // the file gives every weight and threshold back exactly
    TNetworkSnapshot saved, read;
    w.Network().TakeSnapshot(saved);
    again.Network().TakeSnapshot(read);
    EXPECT_EQ(read.Weights, saved.Weights);
    EXPECT_EQ(read.Thresholds, saved.Thresholds);

    // The next run continues from the best epoch, and the curve with it.
    w.Prev();
    spoil = TSpoiler{};
    spoil.W = &w;
    w.SetCriterionCount(TCriterion::Epoch, best + 3);
    Run(&spoil);
    const std::vector<int32_t> epochs = CurveEpochs();
    EXPECT_EQ(epochs, Range(0, best + 3));
    // The new run's own best, when it was not its last epoch; nothing is marked or said otherwise.
    if (w.RestoredEpoch() >= 0) {
        EXPECT_EQ(w.Curve().MarkedEpoch(), w.RestoredEpoch() - 1);
        EXPECT_LT(w.RestoredEpoch(), best + 4);
    } else {
        EXPECT_EQ(w.Curve().MarkedEpoch(), -1);
        EXPECT_EQ(w.Network().Epoch, best + 4);
    }
}

TEST_F(WizardCurveTest, KeepBestWithoutTestExamplesIsUnavailableAndIgnored) {
    ToTrainingPage(3, 100, true);
    EXPECT_FALSE(w.KeepBestAvailable());
    w.SetLearnValue(&TLearnPage::UseForTeach, 99);
    EXPECT_TRUE(w.KeepBestAvailable());
    w.SetLearnValue(&TLearnPage::UseForTeach, 100);
    Run();
    EXPECT_EQ(w.Network().Epoch, 4);
    EXPECT_EQ(w.RestoredEpoch(), -1);
    EXPECT_EQ(w.StatusText(), "Эпоха: 0");
}

TEST_F(WizardCurveTest, ReportNamesKeepBestAfterTheCriteria) {
    ToLearnPage(Iris());
    w.CriterionClicked(TCriterion::Epoch, true);
    w.KeepBestClicked(true);
    EXPECT_TRUE(w.PageChanged());
    w.Next();
    ASSERT_GE(w.Report().size(), 2u);
    EXPECT_EQ(w.Report()[w.Report().size() - 2], "   прошло 10000 эпох");
    EXPECT_EQ(w.Report().back(), "   сохранить сеть с наименьшей ошибкой на тесте");
}

// Page 6: the training run and its statistics.
#include "common/Errors.h"
#include "common/NumberText.h"
#include "sample/Normalize.h"
#include "wizard/LoadScope.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

namespace nirvex {

void TWizard::LearnPageShow() {
    statCells_[1][0] = "Обуч.";
    statCells_[2][0] = "Тест.";
    statCells_[3][0] = "Контр.";
    statCells_[0][1] = "Error ср.";
    statCells_[0][2] = "Error макс.";
    statCells_[0][3] = "Распознано";
    if (!NetworkTrained())
        learnStatus_ = kStatusNewNetwork;
    SetStatus(learnStatus_);
}

void TWizard::RefreshStats(const TEpochStats& s, int32_t epoch) {
    statCells_[1][1] = FormatGeneral(s.TeachErrMean, 5);
    statCells_[2][1] = FormatGeneral(s.TestErrMean, 5);
    statCells_[1][2] = FormatGeneral(s.TeachErrMax, 5);
    statCells_[2][2] = FormatGeneral(s.TestErrMax, 5);
    statCells_[1][3] = FormatIdentShare(s.TeachIdentCount, teachCount_);
    statCells_[2][3] = FormatIdentShare(s.TestIdentCount, testCount_);
    const bool valid = validCount_ > 0;
    statCells_[3][1] = valid ? FormatGeneral(s.ValidErrMean, 5) : "";
    statCells_[3][2] = valid ? FormatGeneral(s.ValidErrMax, 5) : "";
    statCells_[3][3] = valid ? FormatIdentShare(s.ValidIdentCount, validCount_) : "";
    KeepTargetCounts(s);
    learnStatus_ = "Эпоха: " + std::to_string(epoch - 1);
    SetStatus(learnStatus_);
}

void TWizard::KeepTargetCounts(const TEpochStats& s) {
    lastCounts_ = s;
}

std::vector<TTargetFigures> TWizard::TargetFigures() const {
    return nirvex::TargetFigures(fields_, lastCounts_);
}

TPartSpan TWizard::ImportancePart() const {
    // In order of preference: the first part that holds records is measured.
    // The parts lie in the run's order: taught, validation, test.
    return ChooseMeasuredPart({
        {TSamplePart::Test, teachCount_ + validCount_, testCount_},
        {TSamplePart::Validation, teachCount_, validCount_},
        {TSamplePart::Training, 0, teachCount_},
    });
}

void TWizard::MeasureImportance() {
    CheckNetworkFits();
    CheckNetworkTrained();
    importance_.reset();
    TLoadScope scope(*this);
    TImportanceInput in;
    in.Network = &network_;
    in.Fields = &fields_;
    in.RecordIndex = &TrainingIndex(); // the records the run took: none with a gap it cannot fill
    in.InputCount = inputCount_;
    in.OutputCount = outputCount_;
    in.Part = ImportancePart();
    importance_ = nirvex::MeasureImportance(in, LoadProgress(0, 1));
}

void TWizard::SetLearnButton(TLearnState state) {
    learnState_ = state;
    const bool idle = state == TLearnState::Idle;
    learnCaption_ = idle ? kLearnStartCaption : kLearnStopCaption;
    learnHint_ = idle ? kLearnStartHint : kLearnStopHint;
}

void TWizard::LearnClicked(const TRunHooks& hooks) {
    if (learnState_ == TLearnState::Idle) {
        RunTraining(hooks);
    } else {
        stopRequested_ = true;
        learnCaption_ = kLearnWaitCaption;
        if (hooks.OnStateChanged)
            hooks.OnStateChanged();
    }
}

// Forwards the run's calls to the window's view and keeps the statistics grid in the model.
class TWizardRunView : public ITrainingView {
public:
    TWizardRunView(TWizard& w, ITrainingView* view) : w_(w), view_(view) {}
    bool Pump() override { return view_ ? view_->Pump() : false; }
    // The examples' preparation shows in the progress bar, which goes away once they are ready.
    void Progress(double fraction) override {
        w_.ShowProgress(fraction);
        if (view_)
            view_->Progress(fraction);
        if (fraction >= 1)
            w_.ShowProgress(-1);
    }
    void HistoClear() override {
        if (view_)
            view_->HistoClear();
    }
    void HistoRepaint() override {
        if (view_)
            view_->HistoRepaint();
    }
    void SetPointCounts(int32_t teach, int32_t test) override {
        if (view_)
            view_->SetPointCounts(teach, test);
    }
    void TeachExample(int32_t k, double x, double y, double e) override {
        if (view_)
            view_->TeachExample(k, x, y, e);
    }
    void TestExample(int32_t k, double x, double y, double e) override {
        if (view_)
            view_->TestExample(k, x, y, e);
    }
    void EpochDone(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch) override {
        w_.curve_.Add(epoch - 1, s.TeachErrMean, s.TestErrMean, s.ValidErrMean);
        // The classes are counted every epoch, so the last one's answers are there when a run ends.
        w_.KeepTargetCounts(s);
        if (view_)
            view_->EpochDone(s, teachCount, testCount, epoch);
    }
    void Refresh(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch) override {
        w_.RefreshStats(s, epoch);
        if (view_)
            view_->Refresh(s, teachCount, testCount, epoch);
    }
    void Restored(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch) override {
        w_.RefreshStats(s, epoch);
        if (view_)
            view_->Restored(s, teachCount, testCount, epoch);
    }

private:
    TWizard& w_;
    ITrainingView* view_;
};

void TWizard::RunTraining(const TRunHooks& hooks) {
    auto changed = [&] {
        if (hooks.OnStateChanged)
            hooks.OnStateChanged();
    };
    iconTimerEnabled_ = false;
    prevTestErr_ = 0;
    importance_.reset();
    pageChanged_ = true;
    stopRequested_ = false;
    SetLearnButton(TLearnState::Running);
    nextEnabled_ = prevEnabled_ = quitEnabled_ = false;
    changed();
    TWizardRunView view(*this, hooks.View);
    view.SetPointCounts(teachCount_, testCount_);
    view.HistoRepaint();

    TTrainingContext ctx;
    ctx.Network = &network_;
    ctx.Fields = &fields_;
    ctx.RecordIndex = &TrainingIndex();
    ctx.InputCount = inputCount_;
    ctx.OutputCount = outputCount_;
    ctx.TeachCount = teachCount_;
    ctx.ValidCount = validCount_;
    ctx.TestCount = testCount_;
    ctx.ExampleCursor = &exampleCursor_;
    ctx.PrevTestErr = &prevTestErr_;
    ctx.StopRequested = &stopRequested_;
    ctx.Rules = StopRules();
    ctx.KeepBest = learnPage_.KeepBest;
    ctx.NumberTargets = false;
    for (const TFieldInfo* f : NetOrder(fields_, TFieldRole::Target)) {
        if (f->IsCategory())
            ctx.Classes.push_back({f->NetIndex, f->NetWidth()});
        else
            ctx.NumberTargets = true;
    }
    restoredEpoch_ = -1;
    TRunEnd end;
    try {
        end = RunTrainingLoop(ctx, view);
    } catch (const std::exception& e) {
        if (progress_ >= 0) // failed while preparing the examples
            ShowProgress(-1);
        SetLearnButton(TLearnState::Idle);
        iconTimerEnabled_ = true;
        std::string message = dynamic_cast<const EError*>(&e) ? e.what() : msgRangeCheck;
        if (dynamic_cast<const std::bad_alloc*>(&e))
            message = msgNetTooLarge;
        // The page shows the run as ended before the box holds the user's attention.
        quitEnabled_ = true;
        UpdateNavigation();
        changed();
        if (hooks.OnError)
            hooks.OnError(message);
        return;
    }
    const char* message = RunEndMessage(end);
    if (*message && hooks.OnEndMessage)
        hooks.OnEndMessage(message);
    restoredEpoch_ = ctx.RestoredEpoch;
    if (restoredEpoch_ >= 0) {
        curve_.Mark(restoredEpoch_ - 1);
        learnStatus_ = BestRestoredMessage(restoredEpoch_);
        SetStatus(learnStatus_);
    }
    SetLearnButton(TLearnState::Idle);
    nextEnabled_ = state_ != kPageCount - 1;
    prevEnabled_ = state_ != 0;
    quitEnabled_ = true;
    iconTimerEnabled_ = true;
    changed();
}

} // namespace nirvex

#include "wizard/Wizard.h"

#include "common/Errors.h"
#include "sample/table/SampleFile.h"
#include "wizard/LoadScope.h"
#include "wizard/Messages.h"

#include <algorithm>

namespace nirvex {

TWizard::TWizard() : learnCaption_(kLearnStartCaption), learnHint_(kLearnStartHint) {
    for (auto& column : statCells_)
        column.fill("");
    UpdateNavigation();
}

void TWizard::SetStatus(const std::string& text) {
    statusText_ = text;
    if (onStatus_)
        onStatus_(text);
}

void TWizard::ShowProgress(double fraction) {
    progress_ = fraction;
    if (onProgress_)
        onProgress_(fraction);
}

std::vector<std::string> TWizard::TakeNotices() {
    std::vector<std::string> taken = std::move(notices_);
    notices_.clear();
    return taken;
}

void TWizard::MarkSaved() {
    pageChanged_ = false;
    modified_ = false;
}

void TWizard::ProjectStored(const std::string& fileName) {
    MarkSaved();
    projectFile_ = fileName;
    SetStatus(kStatusSaved + fileName);
}

void TWizard::ProjectOpened(const std::string& fileName) {
    projectFile_ = fileName;
}

std::string TWizard::ProposedProjectName() const {
    if (!projectFile_.empty())
        return projectFile_;
    const std::string& sample = learnSampleFileName_.empty() ? sampleFileText_ : learnSampleFileName_;
    if (sample.empty())
        return "";
    // The sample's name with the project's extension, as a save would turn it.
    const std::size_t dot = sample.rfind('.');
    const std::size_t sep = sample.find_last_of("/\\");
    const bool hasExtension = dot != std::string::npos && (sep == std::string::npos || dot > sep);
    return (hasExtension ? sample.substr(0, dot) : sample) + ".qvx";
}

void TWizard::CancelLoad() {
    if (Loading())
        stopRequested_ = true;
}

TNetModel TWizard::NetModel() {
    return {fields_, network_, inputCount_, outputCount_, state_ >= kPageCount - 2 && NetworkTrained()};
}

void TWizard::CheckNetworkTrained() const {
    if (!NetworkTrained())
        throw EError(msgNotTrained);
}

void TWizard::NetworkReplaced() {
    ++networkBuild_;
    curve_.Clear();
    restoredEpoch_ = -1;
    importance_.reset();
    for (std::size_t c = 1; c < statCells_.size(); ++c)
        for (std::size_t r = 1; r < statCells_[c].size(); ++r)
            statCells_[c][r].clear();
    learnStatus_.clear();
    lastCounts_ = {};
    for (std::string& text : predictPage_.OutputTexts)
        text.clear();
}

TLoadScope::TLoadScope(TWizard& w) : w_(w) {
    if (w_.loadDepth_++ > 0)
        return;
    w_.stopRequested_ = false;
    w_.SetNavigationEnabled();
    w_.ShowProgress(0);
}

TLoadScope::~TLoadScope() {
    if (--w_.loadDepth_ > 0)
        return;
    w_.SetNavigationEnabled();
    try {
        w_.ShowProgress(-1);
    } catch (...) {
    }
}

TProgressProc TWizard::LoadProgress(double from, double to) {
    if (!onProgress_)
        return {};
    return ProgressPart(
        [this](double f) {
            ShowProgress(f);
            if (stopRequested_)
                throw ELoadCancelled();
        },
        from, to);
}

// ---- navigation ----

int32_t TWizard::PageHelpContext(int32_t state) {
    return 61 + std::clamp(state, 0, kPageCount - 1);
}

void TWizard::Next() {
    switch (state_) {
    case 0: {
        // A project chosen as the sample shows its own saved page; nothing moves on from there.
        bool opensProject = SampleLoadDue() && !sampleFileText_.empty() && UpperExtension(sampleFileText_) == ".QVX";
        LoadSample();
        if (opensProject)
            return;
        break;
    }
    case 1:
        CheckFieldRoles();
        break;
    case 2:
        ApplyNetConfig();
        break;
    case 3:
        ApplyLearnConfig();
        break;
    case 4:
    case 5:
        CheckNetworkFits(); // the training and the prediction page need a network of the fields
        break;
    default:
        break;
    }
    if (state_ < kPageCount - 1)
        ShowPage(state_ + 1);
}

void TWizard::Prev() {
    if (state_ < 1)
        return;
    ShowPage(state_ - 1);
}

void TWizard::ShowPage(int32_t state) {
    state_ = std::clamp(state, 0, kPageCount - 1);
    // A show step that raises still leaves the frame consistent with the page now shown.
    try {
        RunShowStep();
    } catch (...) {
        UpdateNavigation();
        throw;
    }
    UpdateNavigation();
}

void TWizard::RunShowStep() {
    // The status line belongs to the page in view: each page says what it has to say, or nothing.
    SetStatus("");
    switch (state_) {
    case 1:
        FieldPageShow();
        break;
    case 2:
        NetConfigShow();
        break;
    case 3:
        LearnConfigShow();
        break;
    case 4:
        BuildReport();
        break;
    case 5:
        LearnPageShow();
        break;
    case 6:
        PredictShow();
        break;
    default:
        break;
    }
}

void TWizard::UpdateNavigation() {
    if (pageChanged_)
        modified_ = true;
    pageChanged_ = false;
    SetNavigationEnabled();
    pictureName_ = std::to_string(state_ + 1) + ".bmp";
    helpContext_ = PageHelpContext(state_);
}

void TWizard::SetNavigationEnabled() {
    bool busy = Training() || Loading();
    nextEnabled_ = state_ != kPageCount - 1 && !busy;
    prevEnabled_ = state_ != 0 && !busy;
    // While a load runs, "Отмена" calls it off; during a run the stop button does that.
    quitEnabled_ = !Training();
}

} // namespace nirvex

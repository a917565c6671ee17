// Page 4: the training settings and the stop criteria.
#include "common/Errors.h"
#include "common/NumberText.h"
#include "wizard/BatchPredict.h"
#include "wizard/Wizard.h"

#include <algorithm>

namespace nirvex {

void TWizard::LearnConfigShow() {
    TLearnPage& p = learnPage_;
    for (TCriterionSetting& c : p.Criteria)
        if (c.Text.empty())
            c.Text = kDefaultErrorText;
    if (p.IdentErrText.empty())
        p.IdentErrText = kDefaultErrorText;
    // Exact, so that passing the page gives the network back the values it has.
    p.TeachSpeedText = FormatExact(network_.TeachSpeed);
    p.MiuText = FormatExact(network_.Miu);
}

void TWizard::CriterionClicked(TCriterion which, bool checked) {
    pageChanged_ = true;
    learnPage_[which].On = checked;
}

void TWizard::SetCriterionCount(TCriterion which, int32_t value) {
    if (learnPage_[which].Count != value)
        pageChanged_ = true;
    learnPage_[which].Count = value;
}

void TWizard::SetCriterionText(TCriterion which, const std::string& text) {
    if (learnPage_[which].Text != text)
        pageChanged_ = true;
    learnPage_[which].Text = text;
}

void TWizard::KeepBestClicked(bool checked) {
    SetLearnValue(&TLearnPage::KeepBest, checked);
}

bool TWizard::KeepBestAvailable() const {
    const int64_t teach = static_cast<int64_t>(std::clamp(learnPage_.UseForTeach, 1, 100)) * recordCount_ / 100;
    return recordCount_ - teach > 0;
}

void TWizard::SetLearnValue(std::string TLearnPage::*field, const std::string& value) {
    if (learnPage_.*field != value)
        pageChanged_ = true;
    learnPage_.*field = value;
}

void TWizard::SetLearnValue(int32_t TLearnPage::*field, int32_t value) {
    if (learnPage_.*field != value)
        pageChanged_ = true;
    learnPage_.*field = value;
}

void TWizard::SetLearnValue(bool TLearnPage::*field, bool value) {
    if (learnPage_.*field != value)
        pageChanged_ = true;
    learnPage_.*field = value;
}

void TWizard::ApplyLearnConfig() {
    const TLearnPage& p = learnPage_;
    identErrLimit_ = ReadTypedNumber(p.IdentErrText, kIdentErrName);
    for (const TCriterionDef& d : StopCriteria())
        if (d.Kind == TCriterionKind::ErrorBelow)
            criterionLimits_[CriterionSlot(d.Id)] = ReadTypedNumber(p[d.Id].Text, CriterionValueName(d));
    teachCount_ = static_cast<int32_t>(static_cast<int64_t>(std::clamp(p.UseForTeach, 1, 100)) * recordCount_ / 100);
    testCount_ = recordCount_ - teachCount_;
    importance_.reset(); // measured on a part that may have changed
    network_.SetTeachSpeed(ReadTypedNumber(p.TeachSpeedText, kTeachSpeedName));
    network_.Miu = ReadTypedNumber(p.MiuText, kMiuName);
}

TStopRules TWizard::StopRules() const {
    const TLearnPage& p = learnPage_;
    TStopRules r;
    r.IdentErrLimit = identErrLimit_;
    r.TestAsValid = p.Validate;
    for (const TCriterionDef& d : StopCriteria()) {
        r[d.Id].On = p[d.Id].On;
        r[d.Id].Limit = d.Kind == TCriterionKind::ErrorBelow ? criterionLimits_[CriterionSlot(d.Id)] : p[d.Id].Count;
    }
    return r;
}

void TWizard::CheckNetworkFits() const {
    nirvex::CheckNetworkFits(network_, inputCount_, outputCount_);
}

} // namespace nirvex

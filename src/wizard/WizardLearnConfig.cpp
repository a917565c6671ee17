// Page 4: the training settings and the stop criteria.
#include "common/Errors.h"
#include "common/NumberText.h"
#include "sample/Normalize.h"
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

namespace {

int32_t TrainingPart(int32_t useForTeach, int32_t recordCount) {
    return static_cast<int32_t>(static_cast<int64_t>(std::clamp(useForTeach, 1, 100)) * recordCount / 100);
}

} // namespace

bool TWizard::KeepBestAvailable() const {
    const int32_t usable = UsableRecordCount();
    return usable - TrainingPart(learnPage_.UseForTeach, usable) > 0 || PlannedValidCount() > 0;
}

int32_t TWizard::PlannedValidCount() const {
    return ValidationCount(TrainingPart(learnPage_.UseForTeach, UsableRecordCount()),
                           std::clamp(learnPage_.ValidShare, 0, kMaxValidShare));
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
    SelectUsableRecords();
    const auto usable = static_cast<int32_t>(TrainingIndex().size());
    if (usable == 0)
        throw EError(msgNoUsableRecords);
    const int32_t trainingPart = TrainingPart(p.UseForTeach, usable);
    validCount_ = PlannedValidCount();
    teachCount_ = trainingPart - validCount_;
    testCount_ = usable - trainingPart;
    importance_.reset(); // measured on a part that may have changed
    network_.SetTeachSpeed(ReadTypedNumber(p.TeachSpeedText, kTeachSpeedName));
    network_.Miu = ReadTypedNumber(p.MiuText, kMiuName);
}

namespace {

// Only a field in use with gaps can leave a record out; without one no record needs a look.
bool UsedFieldsHaveGaps(const std::vector<TFieldInfo>& fields) {
    for (const TFieldInfo& f : fields)
        if (f.GapCount > 0 && f.FieldType != TFieldRole::Unused)
            return true;
    return false;
}

} // namespace

int32_t TWizard::UsableRecordCount() const {
    if (!UsedFieldsHaveGaps(fields_))
        return recordCount_;
    int32_t n = 0;
    for (int32_t r = 0; r < recordCount_; ++r)
        n += RecordUsable(fields_, r) ? 1 : 0;
    return n;
}

void TWizard::SelectUsableRecords() {
    usableIndex_.clear();
    gapsLeftOut_ = false;
    if (!UsedFieldsHaveGaps(fields_))
        return;
    for (int32_t r : recordIndex_)
        if (RecordUsable(fields_, r))
            usableIndex_.push_back(r);
    gapsLeftOut_ = usableIndex_.size() < recordIndex_.size();
    if (!gapsLeftOut_)
        usableIndex_.clear(); // the record order itself serves
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

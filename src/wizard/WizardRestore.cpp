// Restoring a saved project: the project file replays the pages through these.
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "engine/IniFile.h"
#include "sample/Categories.h"
#include "sample/SampleStats.h"
#include "wizard/Wizard.h"

#include <algorithm>

namespace nirvex {

void TWizard::RestoreSample(const TSampleCheck& accept) {
    pageChanged_ = true;
    LoadSample(true, accept);
}

void TWizard::RestoreField(std::size_t index, TFieldRole role, TNormMethod method, double max, double min,
                           double alpha) {
    if (index >= fields_.size())
        return;
    TFieldInfo& f = fields_[index];
    f.FieldType = role;
    // The column's kind decides: a project's method that belongs to the other kind is not taken.
    if (f.IsCategory() || method == TNormMethod::Category)
        method = f.IsCategory() ? TNormMethod::Category : f.NormType;
    f.NormType = method;
    f.Max = max;
    f.Min = min;
    f.Alpha = alpha;
}

void TWizard::RestoreCategories(std::size_t index, const std::vector<std::string>& saved) {
    if (index >= fields_.size())
        return;
    TFieldInfo& f = fields_[index];
    // The saved order first, so that each value finds the network column it was trained on; values
    // the sample holds beyond it follow.
    std::vector<std::string> order = saved;
    std::vector<double> position;
    if (f.IsCategory()) {
        for (const std::string& c : f.Categories) {
            int32_t at = FindCategory(order, c);
            if (at < 0 || order[static_cast<std::size_t>(at)] != c) {
                order.push_back(c);
                at = static_cast<int32_t>(order.size()) - 1;
            }
            position.push_back(at);
        }
    }
    for (double& v : f.Values) {
        if (IsGap(v))
            continue;
        if (f.IsCategory()) {
            v = position[static_cast<std::size_t>(v)];
            continue;
        }
        const std::string text = FormatGeneral(v, 15);
        int32_t at = FindCategory(order, text);
        if (at < 0) {
            order.push_back(text);
            at = static_cast<int32_t>(order.size()) - 1;
        }
        v = at;
    }
    f.Kind = TFieldKind::Category;
    f.NormType = TNormMethod::Category;
    f.Categories = std::move(order);
    f.Min = f.DataMin = 0;
    f.Max = f.DataMax = static_cast<double>(f.Categories.size()) - 1;
    f.GapFill = MostFrequentCategory(f);
}

void TWizard::RestoreFillGaps(std::size_t index, bool fill) {
    if (index < fields_.size())
        fields_[index].FillGaps = fill && fields_[index].GapCount > 0;
}

void TWizard::RestoreRecordOrder(std::vector<int32_t> order) {
    recordIndex_ = std::move(order);
    recordIndexFromSeed_ = false;
}

void TWizard::RestoreRecordSeed(uint32_t seed) {
    indexSeed_ = seed;
    SetRandSeed(seed);
    BuildRecordIndex();
    recordIndexFromSeed_ = true;
}

void TWizard::RestoreFieldRoles() {
    pageChanged_ = true;
    CheckFieldRoles();
}

void TWizard::RestoreNetPage(int32_t hideLayers, const std::vector<std::string>& cells, const std::string& alphaText,
                             std::optional<double> slope) {
    SetHideLayerCount(hideLayers);
    for (int32_t k = 1; k <= netPage_.HideLayerCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (i - 1 < cells.size())
            netPage_.Cells[i] = cells[i - 1];
    }
    netPage_.AlphaText = alphaText;
    if (slope)
        network_.Alpha = *slope;
}

void TWizard::RestoreNetConfig() {
    pageChanged_ = true;
    ApplyNetConfig(false);
}

void TWizard::RestoreLearnPage(const TLearnPage& page, double teachSpeed, double miu) {
    learnPage_ = page;
    network_.SetTeachSpeed(teachSpeed);
    network_.Miu = miu;
}

void TWizard::RestoreLearnConfig() {
    pageChanged_ = true;
    ApplyLearnConfig();
}

void TWizard::RestoreNetwork(const TIniFile& ini, const std::string& section) {
    network_.LoadFromIni(ini, section);
    NetworkReplaced();
}

void TWizard::FinishRestore(int32_t state, bool modified) {
    predictPage_ = TPredictPage{}; // the inputs typed and the results were another project's
    ShowPage(state);
    if (state > 1 && !sampleNotice_.empty()) // the field page shows it itself
        SetStatus(sampleNotice_);
    // A sample taken from another place is a change the user saves or not.
    modified_ = modified;
    pageChanged_ = false;
}

} // namespace nirvex

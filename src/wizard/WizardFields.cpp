// Page 2: each field's role and normalization.
#include "common/Errors.h"
#include "common/NumberText.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

namespace nirvex {

void TWizard::FieldPageShow() {
    fieldPage_.SelectedField = fields_.empty() ? -1 : 0;
    if (!fields_.empty())
        ShowFieldSettings();
    // A fresh sample's notice stays in view until a field is picked.
    if (sampleReloaded_ && !sampleNotice_.empty())
        SetStatus(sampleNotice_);
}

void TWizard::SelectField(int32_t listIndex) {
    if (listIndex < 0 || listIndex >= FieldCount())
        return;
    fieldPage_.SelectedField = listIndex;
    ShowFieldSettings();
}

std::string TWizard::FieldStatusLine(const TFieldInfo& f) const {
    std::string line = "Поле : " + f.FieldName;
    if (f.IsCategory()) {
        line += "  значения: ";
        for (std::size_t i = 0; i < f.Categories.size(); ++i)
            line += (i ? ", " : "") + f.Categories[i];
    } else {
        line += "  MIN = " + FormatGeneral(f.DataMin, 5) + " MAX = " + FormatGeneral(f.DataMax, 5);
    }
    if (f.GapCount > 0)
        line += "  пропусков: " + std::to_string(f.GapCount);
    return line;
}

void TWizard::ShowFieldSettings() {
    int32_t sel = fieldPage_.SelectedField;
    if (sel < 0 || sel >= FieldCount())
        return;
    const TFieldInfo& f = fields_[static_cast<std::size_t>(sel)];
    TFieldPage& p = fieldPage_;
    p.Method = f.NormType;
    switch (f.NormType) {
    case TNormMethod::Linear:
        p.MinMaxEnabled = true;
        p.AlphaEnabled = false;
        break;
    case TNormMethod::Sigmoid:
        p.MinMaxEnabled = false;
        p.AlphaEnabled = true;
        break;
    default: // "авто" takes the column's mean and spread, "без нормализации" nothing: no parameters
        p.MinMaxEnabled = false;
        p.AlphaEnabled = false;
        break;
    }
    bool used = f.FieldType == TFieldRole::Input || f.FieldType == TFieldRole::Target;
    p.RoleGroupEnabled = true;
    p.Category = f.IsCategory();
    p.GapsEnabled = f.FieldType == TFieldRole::Input && f.GapCount > 0;
    p.FillGaps = f.FillGaps;
    p.MethodGroupEnabled = used;
    p.ParamBoxEnabled = used;
    p.Role = f.FieldType;
    // A category has no bounds or slope to show.
    p.ParamBoxEnabled = used && !f.IsCategory();
    p.MinText = f.IsCategory() ? "" : FormatGeneral(f.Min, 5);
    p.MaxText = f.IsCategory() ? "" : FormatGeneral(f.Max, 5);
    p.AlphaText = f.IsCategory() ? "" : FormatGeneral(f.Alpha, 5);
    SetStatus(FieldStatusLine(f));
}

void TWizard::RoleClicked(TFieldRole item) {
    int32_t sel = fieldPage_.SelectedField;
    const auto k = static_cast<int32_t>(item);
    if (!fieldPage_.RoleGroupEnabled || sel < 0 || sel >= FieldCount() || k < 0 || k > 2 ||
        fields_[static_cast<std::size_t>(sel)].FieldType == item)
        return;
    fields_[static_cast<std::size_t>(sel)].FieldType = item;
    ShowFieldSettings();
    pageChanged_ = true;
}

void TWizard::MethodClicked(TNormMethod item) {
    int32_t sel = fieldPage_.SelectedField;
    const auto k = static_cast<int32_t>(item);
    if (!fieldPage_.MethodGroupEnabled || sel < 0 || sel >= FieldCount() || k < 0 || k > 4 ||
        fields_[static_cast<std::size_t>(sel)].NormType == item)
        return;
    // Categories have their own method and no other; numbers every method but that one.
    if (fields_[static_cast<std::size_t>(sel)].IsCategory() != (item == TNormMethod::Category))
        return;
    fields_[static_cast<std::size_t>(sel)].NormType = item;
    ShowFieldSettings();
    pageChanged_ = true;
}

void TWizard::FillGapsClicked(bool fill) {
    int32_t sel = fieldPage_.SelectedField;
    if (!fieldPage_.GapsEnabled || sel < 0 || sel >= FieldCount())
        return;
    TFieldInfo& f = fields_[static_cast<std::size_t>(sel)];
    if (f.FillGaps == fill)
        return;
    f.FillGaps = fill;
    ShowFieldSettings();
    pageChanged_ = true;
}

void TWizard::ParamExit(TParam which, const std::string& text) {
    std::string& shown = which == TParam::Min   ? fieldPage_.MinText
                         : which == TParam::Max ? fieldPage_.MaxText
                                                : fieldPage_.AlphaText;
    // The edit shows its value rounded: leaving it untouched must not put the rounded value back.
    if (text == shown)
        return;
    int32_t sel = fieldPage_.SelectedField;
    if (sel >= 0 && sel < FieldCount()) {
        TFieldInfo& f = fields_[static_cast<std::size_t>(sel)];
        const char* label = which == TParam::Min ? "MIN" : which == TParam::Max ? "MAX" : "a";
        double v = ReadTypedNumber(text, std::string(label) + " поля " + f.FieldName);
        double& param = which == TParam::Min ? f.Min : which == TParam::Max ? f.Max : f.Alpha;
        if (param != v)
            pageChanged_ = true;
        param = v;
    }
    shown = text;
}

void TWizard::CheckFieldRoles() {
    inputCount_ = 0;
    outputCount_ = 0;
    for (TFieldInfo& f : fields_) {
        if (f.FieldType == TFieldRole::Input) {
            f.NetIndex = inputCount_;
            inputCount_ += f.NetWidth();
        } else if (f.FieldType == TFieldRole::Target) {
            f.NetIndex = outputCount_;
            outputCount_ += f.NetWidth();
        }
    }
    if (inputCount_ == 0)
        throw EError(msgNoInputs);
    if (outputCount_ == 0)
        throw EError(msgNoTargets);
    // A column of one value says nothing to the network, and its normalization divides by zero.
    for (const TFieldInfo& f : fields_)
        if ((f.FieldType == TFieldRole::Input || f.FieldType == TFieldRole::Target) && f.DataMin == f.DataMax)
            throw EError(
                msgConstantField + f.FieldName + msgConstantFieldValue +
                (f.IsCategory() && !f.Categories.empty() ? f.Categories.front() : FormatGeneral(f.DataMin, 15)) +
                msgConstantFieldHint);
    // Showing a field is not a change of the page, so a fresh sample or a network that does not
    // fit the roles would otherwise keep a shape that cannot take the examples.
    const int32_t layers = network_.CountLayers();
    bool fits =
        layers >= 2 && network_.GetLayerSize(0) == inputCount_ && network_.GetLayerSize(layers - 1) == outputCount_;
    if (pageChanged_ || sampleReloaded_ || !fits) {
        sampleReloaded_ = false;
        netPage_.InputLayerText = std::to_string(inputCount_);
        netPage_.OutputLayerText = std::to_string(outputCount_);
        network_.SetCountLayers(3);
        network_.SetLayerSize(0, inputCount_);
        network_.SetLayerSize(1, 10);
        network_.SetLayerSize(2, outputCount_);
        NetworkReplaced();
        SetStatus("");
    }
}

} // namespace nirvex

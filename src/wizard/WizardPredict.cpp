// Page 7: predictions from typed inputs and over a whole file.
#include "common/Errors.h"
#include "common/NumberText.h"
#include "sample/Categories.h"
#include "sample/Normalize.h"
#include "wizard/BatchPredict.h"
#include "wizard/LoadScope.h"
#include "wizard/PredictStream.h"
#include "wizard/Wizard.h"

#include <algorithm>
#include <cmath>

namespace nirvex {

void TWizard::PredictShow() {
    TPredictPage& p = predictPage_;
    const std::vector<const TFieldInfo*> inputs = NetOrder(fields_, TFieldRole::Input);
    const std::vector<const TFieldInfo*> targets = NetOrder(fields_, TFieldRole::Target);
    p.InputNames.clear();
    p.InputChoices.clear();
    for (const TFieldInfo* f : inputs) {
        p.InputNames.push_back(f->FieldName);
        p.InputChoices.push_back(f->Categories);
    }
    p.OutputNames.clear();
    for (const TFieldInfo* f : targets)
        p.OutputNames.push_back(f->FieldName);
    p.InputTexts.resize(p.InputNames.size());
    p.OutputTexts.resize(p.OutputNames.size());
}

void TWizard::SetPredictInput(int32_t row, const std::string& text) {
    if (row < 0)
        return;
    if (static_cast<std::size_t>(row) >= predictPage_.InputTexts.size())
        predictPage_.InputTexts.resize(static_cast<std::size_t>(row) + 1);
    predictPage_.InputTexts[static_cast<std::size_t>(row)] = text;
}

std::vector<double> TWizard::PredictValues(const std::vector<double>& raw) {
    return PredictRecord(NetModel(), raw);
}

void TWizard::Predict() {
    const std::vector<const TFieldInfo*> inputs = NetOrder(fields_, TFieldRole::Input);
    std::vector<double> input(inputs.size());
    for (std::size_t k = 0; k < inputs.size(); ++k) {
        const TFieldInfo& f = *inputs[k];
        const std::string text = k < predictPage_.InputTexts.size() ? predictPage_.InputTexts[k] : std::string();
        if (f.IsCategory()) {
            const int32_t pos = FindCategory(f.Categories, text);
            if (pos < 0 && !(f.FillGaps && IsGapText(text)))
                throw EError(IsGapText(text) ? GapValueMessage(f.FieldName, 0)
                                             : UnknownValueMessage(text, f.FieldName, 1));
            input[k] = pos < 0 ? std::nan("") : pos;
        } else if (f.FillGaps && IsGapText(text)) {
            input[k] = std::nan("");
        } else {
            input[k] = ReadTypedNumber(text, "Вход " + f.FieldName);
        }
    }
    std::vector<std::vector<double>> shares;
    std::vector<double> output = PredictRecord(NetModel(), input, &shares);
    const std::vector<const TFieldInfo*> targets = NetOrder(fields_, TFieldRole::Target);
    predictPage_.OutputTexts.resize(output.size());
    for (std::size_t j = 0; j < output.size(); ++j) {
        if (j < targets.size() && targets[j]->IsCategory()) {
            const auto c = static_cast<std::size_t>(output[j]);
            predictPage_.OutputTexts[j] =
                targets[j]->Categories[c] + " (" + FormatFixed(shares[j][c] * 100, 5, 1) + " %)";
        } else {
            predictPage_.OutputTexts[j] = FormatGeneral(output[j], 15);
        }
    }
}

TFilePrediction TWizard::PredictOverFile(const std::string& input, const std::string& output) {
    CheckNetworkFits();
    CheckNetworkTrained();
    TLoadScope scope(*this);
    return PredictFile(
        NetModel(), input, output, [this](const std::string& s) { SetStatus(s); }, LoadProgress(0, 1));
}

} // namespace nirvex

// Page 7: predictions from typed inputs and over a whole file.
#include "common/NumberText.h"
#include "wizard/BatchPredict.h"
#include "wizard/LoadScope.h"
#include "wizard/Wizard.h"

#include <algorithm>

namespace nirvex {

void TWizard::PredictShow() {
    TPredictPage& p = predictPage_;
    p.InputNames.assign(static_cast<std::size_t>(std::max(inputCount_, 0)), "");
    p.OutputNames.assign(static_cast<std::size_t>(std::max(outputCount_, 0)), "");
    p.InputTexts.resize(p.InputNames.size());
    p.OutputTexts.resize(p.OutputNames.size());
    for (const TFieldInfo& f : fields_) {
        auto k = static_cast<std::size_t>(f.NetIndex);
        if (f.FieldType == TFieldRole::Input && f.NetIndex >= 0 && k < p.InputNames.size())
            p.InputNames[k] = f.FieldName;
        else if (f.FieldType == TFieldRole::Target && f.NetIndex >= 0 && k < p.OutputNames.size())
            p.OutputNames[k] = f.FieldName;
    }
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
    std::vector<double> input(static_cast<std::size_t>(std::max(inputCount_, 0)));
    for (int32_t i = 0; i < inputCount_; ++i) {
        auto k = static_cast<std::size_t>(i);
        const std::string name =
            k < predictPage_.InputNames.size() ? predictPage_.InputNames[k] : std::to_string(i + 1);
        input[k] = ReadTypedNumber(k < predictPage_.InputTexts.size() ? predictPage_.InputTexts[k] : std::string(),
                                   "Вход " + name);
    }
    std::vector<double> output = PredictValues(input);
    predictPage_.OutputTexts.resize(output.size());
    for (std::size_t j = 0; j < output.size(); ++j)
        predictPage_.OutputTexts[j] = FormatGeneral(output[j], 15);
}

int32_t TWizard::PredictOverFile(const std::string& input, const std::string& output) {
    CheckNetworkFits();
    CheckNetworkTrained();
    TLoadScope scope(*this);
    return PredictFile(
        NetModel(), input, output, [this](const std::string& s) { SetStatus(s); }, LoadProgress(0, 1));
}

} // namespace nirvex

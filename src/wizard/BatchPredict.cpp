#include "wizard/BatchPredict.h"

#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "sample/Normalize.h"
#include "training/Messages.h"
#include "wizard/Messages.h"

#include <algorithm>

namespace nirvex {

std::string FaultyField(const TNetModel& m, const std::vector<double>& raw) {
    // Categories take no arithmetic: only number fields can be at fault.
    auto faulty = [](const TFieldInfo& f, double v, bool input) {
        try {
            ClearFloatErrors();
            input ? NormalizeValue(f, v) : DenormalizeValue(f, v);
            CheckFloatErrors();
            return false;
        } catch (const EError&) {
            return true;
        }
    };
    std::string name;
    const std::vector<const TFieldInfo*> inputs = NetOrder(m.Fields, TFieldRole::Input);
    for (std::size_t s = 0; s < inputs.size() && s < raw.size() && name.empty(); ++s)
        if (!inputs[s]->IsCategory() && faulty(*inputs[s], IsGap(raw[s]) ? inputs[s]->GapFill : raw[s], true))
            name = inputs[s]->FieldName;
    for (const TFieldInfo* f : NetOrder(m.Fields, TFieldRole::Target))
        if (name.empty() && !f->IsCategory() && f->NetIndex < m.OutputCount &&
            faulty(*f, m.Network.GetOutput(f->NetIndex), false))
            name = f->FieldName;
    ClearFloatErrors();
    return name;
}

void CheckNetworkFits(const TNeuralNetwork& net, int32_t inputCount, int32_t outputCount) {
    const int32_t layers = net.CountLayers();
    if (layers == 0 || net.GetLayerSize(0) != inputCount || net.GetLayerSize(layers - 1) != outputCount)
        throw EError(msgNetMismatch);
}

std::string UnknownValueMessage(const std::string& value, const std::string& field, int64_t record) {
    return "Неизвестное значение «" + value + "» поля " + field + " в записи " + std::to_string(record);
}

std::string GapValueMessage(const std::string& field, int64_t record) {
    return "Пропуск в поле " + field + (record > 0 ? " в записи " + std::to_string(record) : std::string()) +
           ". Пропуски этого поля при обучении не заполнялись";
}

std::string NotNumberMessage(const std::string& field, int64_t record) {
    return "Не число в поле " + field + " в записи " + std::to_string(record);
}

std::vector<double> PredictRecord(const TNetModel& m, const std::vector<double>& raw,
                                  std::vector<std::vector<double>>* shares) {
    CheckNetworkFits(m.Network, m.InputCount, m.OutputCount);
    if (!m.Trained)
        throw EError(msgNotTrained);
    const std::vector<const TFieldInfo*> inputs = NetOrder(m.Fields, TFieldRole::Input);
    for (std::size_t s = 0; s < inputs.size() && s < raw.size(); ++s)
        if (IsGap(raw[s]) && !inputs[s]->FillGaps)
            throw EError(GapValueMessage(inputs[s]->FieldName, 0));
    ClearFloatErrors();
    const std::vector<double> input =
        NormalizeInputs(m.Fields, raw, static_cast<std::size_t>(std::max(m.InputCount, 0)));
    CheckFloatErrors();
    m.Network.SetInputs(input.data(), input.size());
    m.Network.Compute();
    std::vector<double> output(static_cast<std::size_t>(std::max(m.OutputCount, 0)));
    for (int32_t j = 0; j < m.OutputCount; ++j)
        output[static_cast<std::size_t>(j)] = m.Network.GetOutput(j);
    std::vector<double> values = DenormalizeOutputs(m.Fields, output, shares);
    CheckFloatErrors();
    return values;
}

} // namespace nirvex

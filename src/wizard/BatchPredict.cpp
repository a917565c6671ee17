#include "BatchPredict.h"

#include "Errors.h"
#include "NumberText.h"
#include "ProjectFile.h"
#include "TextSample.h"
#include "Wizard.h"

#include <algorithm>

namespace nirvex {

TBatchPrediction PredictTable(TWizard& w, const TSampleTable& table) {
    if (w.InputCount <= 0)
        throw EError(msgNoInputs);
    if (w.OutputCount <= 0)
        throw EError(msgNoTargets);
    TBatchPrediction p;
    p.InputNames.resize(static_cast<std::size_t>(w.InputCount));
    p.TargetNames.resize(static_cast<std::size_t>(w.OutputCount));
    for (const TFieldInfo& f : w.Fields) {
        if (f.NetIndex < 0)
            continue;
        auto k = static_cast<std::size_t>(f.NetIndex);
        if (f.FieldType == ftInput && k < p.InputNames.size())
            p.InputNames[k] = f.FieldName;
        else if (f.FieldType == ftTarget && k < p.TargetNames.size())
            p.TargetNames[k] = f.FieldName;
    }
    std::vector<const std::vector<double>*> sources;
    for (const std::string& name : p.InputNames) {
        const std::vector<double>* found = nullptr;
        for (const TFieldInfo& t : table.Fields)
            if (SameFieldName(t.FieldName, name)) {
                found = &t.Values;
                break;
            }
        if (found == nullptr)
            throw EError(msgInputFieldMissing + name);
        sources.push_back(found);
    }
    // Every output row must belong to an input row, so no line may be left out.
    if (table.SkippedLines > 0)
        throw EError(msgWrongValueCount + std::to_string(table.FirstSkippedLine));

    const auto records = static_cast<std::size_t>(std::max(table.RecordCount, 0));
    p.RecordCount = static_cast<int32_t>(records);
    for (const std::vector<double>* column : sources)
        p.Inputs.emplace_back(column->begin(), column->begin() + static_cast<std::ptrdiff_t>(records));
    p.Targets.assign(p.TargetNames.size(), std::vector<double>(records));
    std::vector<double> raw(sources.size());
    for (std::size_t r = 0; r < records; ++r) {
        for (std::size_t i = 0; i < raw.size(); ++i)
            raw[i] = p.Inputs[i][r];
        const std::vector<double> outputs = w.PredictValues(raw);
        for (std::size_t j = 0; j < outputs.size() && j < p.Targets.size(); ++j)
            p.Targets[j][r] = outputs[j];
    }
    return p;
}

std::string FormatPredictionText(const TBatchPrediction& p, const char* eol) {
    std::string text;
    auto line = [&](auto&& cell) {
        const std::size_t n = p.InputNames.size() + p.TargetNames.size();
        for (std::size_t k = 0; k < n; ++k) {
            text += cell(k);
            text += k + 1 < n ? "\t" : eol;
        }
    };
    line([&](std::size_t k) {
        return k < p.InputNames.size() ? p.InputNames[k] : p.TargetNames[k - p.InputNames.size()];
    });
    for (std::size_t r = 0; r < static_cast<std::size_t>(p.RecordCount); ++r)
        line([&](std::size_t k) {
            double v = k < p.Inputs.size() ? p.Inputs[k][r] : p.Targets[k - p.Inputs.size()][r];
            return FormatGeneral(v, 15);
        });
    return text;
}

} // namespace nirvex

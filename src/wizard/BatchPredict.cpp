#include "wizard/BatchPredict.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "common/NumberText.h"
#include "common/SafeFile.h"
#include "sample/FieldName.h"
#include "sample/Normalize.h"
#include "sample/TextSample.h"
#include "sample/table/SampleFile.h"
#include "training/TrainingRun.h"
#include "wizard/Messages.h"

#include <algorithm>

namespace nirvex {

namespace {

// Which field a failed record's arithmetic fault came from: every input's normalization and then
// every target's inverse is tried alone, in field order.
std::string FaultyFieldNote(const TNetModel& m, const std::vector<double>& raw, std::size_t record) {
    std::string name;
    for (const TFieldInfo& f : m.Fields) {
        const auto k = static_cast<std::size_t>(f.NetIndex);
        if (f.NetIndex < 0 || !name.empty())
            continue;
        bool bad = false;
        try {
            ClearFloatErrors();
            if (f.FieldType == TFieldRole::Input && k < raw.size())
                NormalizeValue(f, raw[k]);
            else if (f.FieldType == TFieldRole::Target && f.NetIndex < m.OutputCount)
                DenormalizeValue(f, m.Network.GetOutput(f.NetIndex));
            else
                continue;
            CheckFloatErrors();
        } catch (const EError&) {
            bad = true;
        }
        if (bad)
            name = f.FieldName;
    }
    ClearFloatErrors();
    std::string note = ", запись " + std::to_string(record + 1);
    return name.empty() ? note : ", поле " + name + note;
}

} // namespace

void CheckNetworkFits(const TNeuralNetwork& net, int32_t inputCount, int32_t outputCount) {
    const int32_t layers = net.CountLayers();
    if (layers == 0 || net.GetLayerSize(0) != inputCount || net.GetLayerSize(layers - 1) != outputCount)
        throw EError(msgNetMismatch);
}

std::vector<double> PredictRecord(const TNetModel& m, const std::vector<double>& raw) {
    std::vector<double> input = raw;
    input.resize(static_cast<std::size_t>(std::max(m.InputCount, 0)));
    std::vector<double> output(static_cast<std::size_t>(std::max(m.OutputCount, 0)));
    CheckNetworkFits(m.Network, m.InputCount, m.OutputCount);
    if (!m.Trained)
        throw EError(msgNotTrained);
    ClearFloatErrors();
    NormalizeInputs(m.Fields, input);
    CheckFloatErrors();
    m.Network.SetInputs(input.data(), input.size());
    m.Network.Compute();
    for (int32_t j = 0; j < m.OutputCount; ++j)
        output[static_cast<std::size_t>(j)] = m.Network.GetOutput(j);
    DenormalizeOutputs(m.Fields, output);
    CheckFloatErrors();
    return output;
}

TBatchPrediction PredictTable(const TNetModel& m, const TSampleTable& table, const TProgressProc& progress) {
    if (m.InputCount <= 0)
        throw EError(msgNoInputs);
    if (m.OutputCount <= 0)
        throw EError(msgNoTargets);
    CheckNetworkFits(m.Network, m.InputCount, m.OutputCount);
    if (!m.Trained)
        throw EError(msgNotTrained);
    TBatchPrediction p;
    p.InputNames.resize(static_cast<std::size_t>(m.InputCount));
    p.TargetNames.resize(static_cast<std::size_t>(m.OutputCount));
    for (const TFieldInfo& f : m.Fields) {
        if (f.NetIndex < 0)
            continue;
        auto k = static_cast<std::size_t>(f.NetIndex);
        if (f.FieldType == TFieldRole::Input && k < p.InputNames.size())
            p.InputNames[k] = f.FieldName;
        else if (f.FieldType == TFieldRole::Target && k < p.TargetNames.size())
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
        std::vector<double> outputs;
        try {
            outputs = PredictRecord(m, raw);
        } catch (const EError& e) {
            throw EError(std::string(e.what()) + FaultyFieldNote(m, raw, r));
        }
        for (std::size_t j = 0; j < outputs.size() && j < p.Targets.size(); ++j)
            p.Targets[j][r] = outputs[j];
        if (progress && (r & 8191) == 8191)
            progress(static_cast<double>(r + 1) / static_cast<double>(records));
    }
    if (progress)
        progress(1.0);
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

namespace {

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

} // namespace

std::string FormatPredictionCsv(const TBatchPrediction& p) {
    std::string text;
    const std::size_t n = p.InputNames.size() + p.TargetNames.size();
    for (std::size_t k = 0; k < n; ++k) {
        text += CsvCell(k < p.InputNames.size() ? p.InputNames[k] : p.TargetNames[k - p.InputNames.size()]);
        text += k + 1 < n ? "," : "\n";
    }
    for (std::size_t r = 0; r < static_cast<std::size_t>(p.RecordCount); ++r)
        for (std::size_t k = 0; k < n; ++k) {
            text += FormatGeneral(k < p.Inputs.size() ? p.Inputs[k][r] : p.Targets[k - p.Inputs.size()][r], 15);
            text += k + 1 < n ? "," : "\n";
        }
    return text;
}

void WritePredictionFile(const TBatchPrediction& p, const std::string& path) {
    if (UpperExtension(path) == ".CSV")
        WriteFileReplacing(path, FormatPredictionCsv(p));
    else
        WriteFileReplacing(path, EncodeTextFile(FormatPredictionText(p, "\r\n")));
}

int32_t PredictFile(const TNetModel& m, const std::string& input, const std::string& output, const TStatusProc& status,
                    const TProgressProc& progress) {
    auto say = [&](const std::string& text) {
        if (status)
            status(text);
    };
    auto part = [&](double from, double to) { return progress ? ProgressPart(progress, from, to) : TProgressProc(); };
    // Refused before the input is read, however large it is.
    CheckNetworkFits(m.Network, m.InputCount, m.OutputCount);
    if (!m.Trained)
        throw EError(msgNotTrained);
    say(kStatusOpening);
    const TProgressProc reading = part(0, 0.5);
    if (!IsSampleFileName(input))
        CheckSampleFile(input, true);
    const TSampleTable table =
        IsSampleFileName(input) ? ReadSampleFile(input, status, reading) : ReadTextSample(input, reading);
    const TProgressProc computing = part(0.5, 1);
    const TBatchPrediction p = PredictTable(m, table, [&](double done) {
        say("Расчёт: " + std::to_string(static_cast<int64_t>(done * 100 + 1e-9)) + "%");
        if (computing)
            computing(done);
    });
    say(kStatusWriting);
    WritePredictionFile(p, output);
    say("");
    return p.RecordCount;
}

} // namespace nirvex

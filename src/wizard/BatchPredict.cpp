#include "wizard/BatchPredict.h"

#include "common/Cp1251.h"
#include "common/CsvCell.h"
#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "common/NumberText.h"
#include "common/SafeFile.h"
#include "common/WorkerThreads.h"
#include "sample/Categories.h"
#include "sample/FieldName.h"
#include "sample/Normalize.h"
#include "sample/TextSample.h"
#include "sample/table/SampleFile.h"
#include "training/TrainingRun.h"
#include "wizard/Messages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <thread>

namespace nirvex {

namespace {

// Which field a failed record's arithmetic fault came from: every input's normalization and then
// every target's inverse is tried alone, in field order.
std::string FaultyFieldNote(const TNetModel& m, const std::vector<double>& raw, std::size_t record) {
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
    std::string note = ", запись " + std::to_string(record + 1);
    return name.empty() ? note : ", поле " + name + note;
}

} // namespace

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

namespace {

// The first record of a part that could not be computed, with its message.
struct TPartFailure {
    std::size_t Record = SIZE_MAX;
    std::string Message;
};

// Computes records [from, to) into p.Targets with `m`'s network, which no other thread uses, and
// stops at the first record that fails. `done` counts the records computed; `step` runs after
// every 8192 of this part's records and may raise.
void ComputePart(const TNetModel& m, TBatchPrediction& p, std::size_t from, std::size_t to, TPartFailure& failure,
                 std::atomic<std::size_t>& done, const std::atomic<bool>& stop, const std::function<void()>& step) {
    std::vector<double> raw(p.Inputs.size());
    std::vector<std::vector<double>> shares;
    std::size_t r = from;
    for (; r < to && !stop.load(std::memory_order_relaxed); ++r) {
        for (std::size_t i = 0; i < raw.size(); ++i)
            raw[i] = p.Inputs[i][r];
        std::vector<double> outputs;
        try {
            outputs = PredictRecord(m, raw, &shares);
        } catch (const EError& e) {
            failure.Record = r;
            failure.Message = std::string(e.what()) + FaultyFieldNote(m, raw, r);
            break;
        }
        for (std::size_t j = 0; j < outputs.size() && j < p.Targets.size(); ++j) {
            p.Targets[j][r] = outputs[j];
            for (std::size_t c = 0; c < p.Shares[j].size() && c < shares[j].size(); ++c)
                p.Shares[j][c][r] = shares[j][c];
        }
        if (((r - from) & 8191) == 8191) {
            done.fetch_add(8192, std::memory_order_relaxed);
            if (step)
                step();
        }
    }
    done.fetch_add((r - from) & 8191, std::memory_order_relaxed);
}

// Every record's targets, in contiguous parts on several threads. Each record is computed alone
// from the same weights, so the result is the same on any number of threads; a failure reports the
// first failing record of the table, as a single pass would.
void ComputeTargets(const TNetModel& m, TBatchPrediction& p, std::size_t records, const TProgressProc& progress) {
    const std::size_t threads = WorkerThreads(records, 4096);
    std::vector<TPartFailure> failures(threads);
    std::atomic<std::size_t> done{0}, finished{0};
    std::atomic<bool> stop{false};
    std::vector<TNeuralNetwork> copies(threads - 1, m.Network);
    auto bound = [&](std::size_t k) { return records * k / threads; };
    std::vector<std::thread> workers;
    for (std::size_t k = 1; k < threads; ++k)
        workers.emplace_back([&, k] {
            const TNetModel own{m.Fields, copies[k - 1], m.InputCount, m.OutputCount, m.Trained};
            ComputePart(own, p, bound(k), bound(k + 1), failures[k], done, stop, {});
            ++finished;
        });
    // This thread takes the first part and reports the progress of all, also while it waits for the
    // others; a stop request raised from a report ends them before it goes on.
    auto report = [&] {
        if (progress)
            progress(static_cast<double>(done.load(std::memory_order_relaxed)) / static_cast<double>(records));
    };
    try {
        ComputePart(m, p, 0, bound(1), failures[0], done, stop, report);
        if (!workers.empty())
            report();
        while (finished < workers.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            report();
        }
    } catch (...) {
        stop = true;
        for (std::thread& t : workers)
            t.join();
        throw;
    }
    for (std::thread& t : workers)
        t.join();
    for (const TPartFailure& f : failures)
        if (f.Record != SIZE_MAX)
            throw EError(f.Message);
    if (progress)
        progress(1.0);
}

} // namespace

namespace {

// An input field's column of `table` in the field's own terms: numbers as they are, a category as
// its position among the field's values; a gap stays a gap.
std::vector<double> InputColumn(const TFieldInfo& f, const TFieldInfo& column, std::size_t records) {
    std::vector<double> out(column.Values.begin(), column.Values.begin() + static_cast<std::ptrdiff_t>(records));
    if (!f.IsCategory() && !column.IsCategory())
        return out;
    for (std::size_t r = 0; r < records; ++r) {
        const double v = out[r];
        if (IsGap(v))
            continue;
        if (!f.IsCategory()) // text in a number field
            throw EError(NotNumberMessage(f.FieldName, static_cast<int64_t>(r) + 1));
        const std::string text =
            column.IsCategory() ? column.Categories[static_cast<std::size_t>(v)] : FormatGeneral(v, 15);
        const int32_t pos = FindCategory(f.Categories, text);
        if (pos < 0)
            throw EError(UnknownValueMessage(text, f.FieldName, static_cast<int64_t>(r) + 1));
        out[r] = pos;
    }
    return out;
}

} // namespace

TBatchPrediction PredictTable(const TNetModel& m, const TSampleTable& table, const TProgressProc& progress) {
    if (m.InputCount <= 0)
        throw EError(msgNoInputs);
    if (m.OutputCount <= 0)
        throw EError(msgNoTargets);
    CheckNetworkFits(m.Network, m.InputCount, m.OutputCount);
    if (!m.Trained)
        throw EError(msgNotTrained);
    TBatchPrediction p;
    const std::vector<const TFieldInfo*> inputs = NetOrder(m.Fields, TFieldRole::Input);
    const std::vector<const TFieldInfo*> targets = NetOrder(m.Fields, TFieldRole::Target);
    for (const TFieldInfo* f : inputs) {
        p.InputNames.push_back(f->FieldName);
        p.InputCategories.push_back(f->Categories);
    }
    for (const TFieldInfo* f : targets) {
        p.TargetNames.push_back(f->FieldName);
        p.TargetCategories.push_back(f->Categories);
    }
    std::vector<const TFieldInfo*> sources;
    for (const TFieldInfo* f : inputs) {
        const TFieldInfo* found = nullptr;
        for (const TFieldInfo& t : table.Fields)
            if (SameFieldName(t.FieldName, f->FieldName)) {
                found = &t;
                break;
            }
        if (found == nullptr)
            throw EError(msgInputFieldMissing + f->FieldName);
        sources.push_back(found);
    }
    // Every output row must belong to an input row, so no line may be left out.
    if (table.SkippedLines > 0)
        throw EError(msgWrongValueCount + std::to_string(table.FirstSkippedLine));

    const auto records = static_cast<std::size_t>(std::max(table.RecordCount, 0));
    p.RecordCount = static_cast<int32_t>(records);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        p.Inputs.push_back(InputColumn(*inputs[i], *sources[i], records));
        if (inputs[i]->FillGaps)
            continue;
        for (std::size_t r = 0; r < records; ++r)
            if (IsGap(p.Inputs.back()[r]))
                throw EError(GapValueMessage(inputs[i]->FieldName, static_cast<int64_t>(r) + 1));
    }
    p.Targets.assign(targets.size(), std::vector<double>(records));
    p.Shares.resize(targets.size());
    for (std::size_t j = 0; j < targets.size(); ++j)
        p.Shares[j].assign(targets[j]->Categories.size(), std::vector<double>(records));
    ComputeTargets(m, p, records, progress);
    return p;
}

namespace {

// The header and the cells of one record, inputs then targets; a category target writes its class
// and then each class's share.
std::vector<std::string> HeaderCells(const TBatchPrediction& p) {
    std::vector<std::string> cells = p.InputNames;
    for (std::size_t j = 0; j < p.TargetNames.size(); ++j) {
        cells.push_back(p.TargetNames[j]);
        for (const std::string& c : p.TargetCategories[j])
            cells.push_back(p.TargetNames[j] + ":" + c);
    }
    return cells;
}

std::string ValueText(double v, const std::vector<std::string>& categories) {
    if (IsGap(v))
        return "";
    if (!categories.empty())
        return v >= 0 && v < static_cast<double>(categories.size()) ? categories[static_cast<std::size_t>(v)] : "";
    return FormatGeneral(v, 15);
}

std::vector<std::string> RecordCells(const TBatchPrediction& p, std::size_t r) {
    std::vector<std::string> cells;
    for (std::size_t i = 0; i < p.Inputs.size(); ++i)
        cells.push_back(ValueText(p.Inputs[i][r], p.InputCategories[i]));
    for (std::size_t j = 0; j < p.Targets.size(); ++j) {
        cells.push_back(ValueText(p.Targets[j][r], p.TargetCategories[j]));
        for (const std::vector<double>& share : p.Shares[j])
            cells.push_back(FormatGeneral(share[r], 15));
    }
    return cells;
}

} // namespace

std::string FormatPredictionText(const TBatchPrediction& p, const char* eol) {
    std::string text;
    auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t k = 0; k < cells.size(); ++k) {
            text += cells[k];
            text += k + 1 < cells.size() ? "\t" : eol;
        }
    };
    line(HeaderCells(p));
    for (std::size_t r = 0; r < static_cast<std::size_t>(p.RecordCount); ++r)
        line(RecordCells(p, r));
    return text;
}

std::string FormatPredictionCsv(const TBatchPrediction& p) {
    std::string text;
    auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t k = 0; k < cells.size(); ++k) {
            text += CsvCell(cells[k]);
            text += k + 1 < cells.size() ? "," : "\n";
        }
    };
    line(HeaderCells(p));
    for (std::size_t r = 0; r < static_cast<std::size_t>(p.RecordCount); ++r)
        line(RecordCells(p, r));
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

#include "training/Importance.h"

#include "common/CsvCell.h"
#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "common/Messages.h"
#include "common/NumberText.h"
#include "common/WorkerThreads.h"
#include "engine/Messages.h"
#include "sample/Normalize.h"
#include "training/Messages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <functional>
#include <thread>

namespace nirvex {

std::vector<TInputColumns> InputFieldColumns(const std::vector<TFieldInfo>& fields) {
    std::vector<TInputColumns> inputs;
    for (const TFieldInfo& f : fields)
        if (f.FieldType == TFieldRole::Input && f.NetIndex >= 0)
            inputs.push_back({f.FieldName, {f.NetIndex}});
    std::stable_sort(inputs.begin(), inputs.end(),
                     [](const TInputColumns& a, const TInputColumns& b) { return a.Columns[0] < b.Columns[0]; });
    return inputs;
}

const char* SamplePartName(TSamplePart part) {
    switch (part) {
    case TSamplePart::Validation:
        return kPartValidation;
    case TSamplePart::Training:
        return kPartTraining;
    case TSamplePart::Test:
        break;
    }
    return kPartTest;
}

const char* SamplePartKey(TSamplePart part) {
    switch (part) {
    case TSamplePart::Validation:
        return "validation";
    case TSamplePart::Training:
        return "training";
    case TSamplePart::Test:
        break;
    }
    return "test";
}

TPartSpan ChooseMeasuredPart(const std::vector<TPartSpan>& preference) {
    for (const TPartSpan& p : preference)
        if (p.Count > 0)
            return p;
    return preference.empty() ? TPartSpan{} : preference.back();
}

namespace {

// The measurement's own generator (splitmix64): the program-wide one belongs to the record order and
// the initial weights, and each shuffle draws its own stream so that threads need not take turns.
class TShuffleRandom {
public:
    explicit TShuffleRandom(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 .. n-1 for n < 2^32.
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(((Next() >> 32) * n) >> 32); }

private:
    uint64_t state_;
};

// Every example of the part normalized once: a row of inputs, then targets.
struct TPartRows {
    std::vector<double> Data;
    std::size_t Width = 0;
    std::size_t Count = 0;
};

TPartRows BuildRows(const TImportanceInput& in) {
    const auto& fields = *in.Fields;
    const auto& index = *in.RecordIndex;
    TPartRows rows;
    rows.Width = static_cast<std::size_t>(in.InputCount) + static_cast<std::size_t>(in.OutputCount);
    rows.Count = static_cast<std::size_t>(in.Part.Count);
    rows.Data.resize(rows.Count * rows.Width);
    ClearFloatErrors();
    for (std::size_t k = 0; k < rows.Count; ++k) {
        const int32_t record = index[static_cast<std::size_t>(in.Part.From) + k];
        if (k + 16 < rows.Count)
            PrefetchExample(fields, index[static_cast<std::size_t>(in.Part.From) + k + 16]);
        double* row = &rows.Data[k * rows.Width];
        BuildExample(fields, record, row, row + in.InputCount);
    }
    CheckFloatErrors();
    return rows;
}

// What the threads of one measurement share: a stop, and the rows computed so far for the progress.
struct TShared {
    std::atomic<bool> Stop{false};
    std::atomic<std::size_t> Rows{0};
};

// The mean error of `count` rows through `net`, in row order, so that the sum is the same on any
// thread. Every 4096 rows it counts them, calls `report` (which may raise) and looks for a stop.
double MeanError(TNeuralNetwork& net, const TImportanceInput& in, const double* data, std::size_t width,
                 std::size_t count, TShared& shared, const std::function<void()>& report) {
    constexpr std::size_t kChunk = 4096;
    double sum = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double* row = data + k * width;
        sum += net.RunExample(row, in.InputCount, row + in.InputCount, in.OutputCount, false).Error;
        if (k % kChunk == kChunk - 1) {
            shared.Rows += kChunk;
            if (report) {
                // A fault of these rows is theirs; what the report's window code raises is not.
                CheckFloatErrors();
                report();
                ClearFloatErrors();
            }
            if (shared.Stop.load(std::memory_order_relaxed))
                break;
        }
    }
    shared.Rows += count % kChunk;
    return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

// One shuffle of one field: its columns take the values of a permutation of the part's records (the
// same permutation for all of them, so a field's inputs stay together), the part is computed, and the
// columns are put back from `rows`.
double ShuffledError(TNeuralNetwork& net, const TImportanceInput& in, const TPartRows& rows, std::vector<double>& work,
                     std::vector<double>& column, std::vector<uint32_t>& order, const TInputColumns& field,
                     std::size_t task, TShared& shared, const std::function<void()>& report) {
    const std::size_t n = rows.Count, width = rows.Width;
    TShuffleRandom random(kImportanceSeed ^ ((task + 1) * 0xD1B54A32D192ED03ULL));
    order.resize(n);
    for (std::size_t k = 0; k < n; ++k)
        order[k] = static_cast<uint32_t>(k);
    for (std::size_t k = n; k > 1; --k)
        std::swap(order[k - 1], order[random.Below(static_cast<uint32_t>(k))]);
    // Through a contiguous copy of the column: the permuted reads then stay within a few hundred
    // kilobytes instead of jumping through the whole part.
    for (int32_t c : field.Columns) {
        const auto col = static_cast<std::size_t>(c);
        column.resize(n);
        for (std::size_t k = 0; k < n; ++k)
            column[k] = rows.Data[k * width + col];
        for (std::size_t k = 0; k < n; ++k)
            work[k * width + col] = column[order[k]];
    }
    const double e = MeanError(net, in, work.data(), width, n, shared, report);
    for (int32_t c : field.Columns)
        for (std::size_t k = 0; k < n; ++k)
            work[k * width + static_cast<std::size_t>(c)] = rows.Data[k * width + static_cast<std::size_t>(c)];
    return e;
}

// The first shuffle that failed, with its message.
struct TTaskFailure {
    std::size_t Task = SIZE_MAX;
    std::string Message;
};

} // namespace

TImportance MeasureImportance(const TImportanceInput& in, const TProgressProc& progress) {
    TNeuralNetwork& net = *in.Network;
    const int32_t layers = net.CountLayers();
    if (layers == 0 || net.GetLayerSize(0) != in.InputCount || net.GetLayerSize(layers - 1) != in.OutputCount)
        throw EError(msgNetMismatch);
    if (in.Part.From < 0 || in.Part.Count < 0 ||
        static_cast<std::size_t>(in.Part.From) + static_cast<std::size_t>(in.Part.Count) > in.RecordIndex->size())
        throw EError(msgRangeCheck);
    const std::vector<TInputColumns> fields = in.Inputs.empty() ? InputFieldColumns(*in.Fields) : in.Inputs;
    for (const TInputColumns& f : fields)
        for (int32_t c : f.Columns)
            if (c < 0 || c >= in.InputCount)
                throw EError(msgNetMismatch);

    TImportance result;
    result.Part = in.Part.Part;
    result.RecordCount = in.Part.Count;
    const TPartRows rows = BuildRows(in);
    // A task is one shuffle of one field (task / kImportanceShuffles is the field); each keeps its own
    // result, so the figures do not depend on which thread ran it.
    const std::size_t tasks = fields.size() * kImportanceShuffles;
    const double total = static_cast<double>((tasks + 1) * std::max<std::size_t>(rows.Count, 1));
    TShared shared;
    auto report = [&] {
        if (progress)
            progress(std::min(1.0, static_cast<double>(shared.Rows.load()) / total));
    };
    ClearFloatErrors();
    result.BaseError = MeanError(net, in, rows.Data.data(), rows.Width, rows.Count, shared, report);
    CheckFloatErrors();

    std::vector<double> errors(tasks, 0.0);
    const std::size_t threads = std::min(WorkerThreads(tasks * rows.Count, 50000), std::max<std::size_t>(tasks, 1));
    std::atomic<std::size_t> next{0}, finished{0};
    std::vector<TTaskFailure> failures(threads);
    std::vector<TNeuralNetwork> copies(threads - 1, net);
    // Runs tasks until none is left or a stop; a task's arithmetic fault is kept as its failure, what
    // `report` raises goes on to the caller.
    auto work = [&](TNeuralNetwork& own, TTaskFailure& failure, const std::function<void()>& tick) {
        std::vector<double> shuffled = rows.Data;
        std::vector<double> column;
        std::vector<uint32_t> order;
        for (std::size_t t; !shared.Stop.load(std::memory_order_relaxed) && (t = next.fetch_add(1)) < tasks;) {
            try {
                ClearFloatErrors();
                errors[t] = ShuffledError(own, in, rows, shuffled, column, order, fields[t / kImportanceShuffles], t,
                                          shared, tick);
                CheckFloatErrors();
            } catch (const EError& e) {
                failure = {t, e.what()};
                shared.Stop = true;
            }
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t k = 1; k < threads; ++k)
        workers.emplace_back([&, k] {
            try {
                work(copies[k - 1], failures[k], {});
            } catch (...) {
                failures[k] = {0, msgNetTooLarge}; // its copy of the rows did not fit
                shared.Stop = true;
            }
            ++finished;
        });
    // This thread works too and reports the progress of all, also while it waits for the others; a
    // report that raises ends them before it goes on.
    try {
        work(net, failures[0], report);
        while (finished < workers.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            report();
        }
    } catch (...) {
        shared.Stop = true;
        for (std::thread& t : workers)
            t.join();
        throw;
    }
    for (std::thread& t : workers)
        t.join();
    const TTaskFailure* first = nullptr;
    for (const TTaskFailure& f : failures)
        if (f.Task != SIZE_MAX && (!first || f.Task < first->Task))
            first = &f;
    if (first)
        throw EError(first->Message);

    double largest = 0;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        double sum = 0;
        for (int32_t s = 0; s < kImportanceShuffles; ++s)
            sum += errors[f * kImportanceShuffles + static_cast<std::size_t>(s)];
        const double increase = sum / kImportanceShuffles - result.BaseError;
        result.Fields.push_back({fields[f].Name, increase, 0.0});
        largest = std::max(largest, increase);
    }
    for (TFieldImportance& f : result.Fields)
        f.Share = largest > 0 ? f.Increase / largest * 100.0 : 0.0;
    std::stable_sort(result.Fields.begin(), result.Fields.end(),
                     [](const TFieldImportance& a, const TFieldImportance& b) { return a.Increase > b.Increase; });
    if (progress)
        progress(1.0);
    return result;
}

std::string FormatImportanceShare(double share) {
    return FormatGeneral(share, 3) + "%";
}

std::string FormatImportanceText(const TImportance& m) {
    std::string text = std::string(kImportanceHeader) + "\n";
    for (const TFieldImportance& f : m.Fields)
        text += f.Field + "\t" + FormatGeneral(f.Increase, 5) + "\t" + FormatImportanceShare(f.Share) + "\t" +
                SamplePartName(m.Part) + "\n";
    return text;
}

std::string FormatImportanceCsv(const TImportance& m) {
    std::string text = "field,increase,share_percent,part\n";
    for (const TFieldImportance& f : m.Fields)
        text += CsvCell(f.Field) + "," + FormatGeneral(f.Increase, 15) + "," + FormatGeneral(f.Share, 15) + "," +
                SamplePartKey(m.Part) + "\n";
    return text;
}

} // namespace nirvex

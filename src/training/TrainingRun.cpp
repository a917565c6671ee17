#include "training/TrainingRun.h"

#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "common/NumberText.h"
#include "sample/Normalize.h"

#include <algorithm>

namespace nirvex {

namespace {

// Mean over the outputs: targets and outputs both lie in 0..1, the panels' whole square.
double PlottedMean(const double* values, int32_t n) {
    double s = 0;
    for (int32_t j = 0; j < n; ++j)
        s += values[j];
    return n > 0 ? s / n : 0.0;
}

// What the panels plot for a row of targets or outputs whose plain mean is `plainMean`: with
// category targets a class group counts as one value, the mean position of its classes weighted by
// their outputs (0 for the first class, 1 for the last), so that the panels show classes as they
// show numbers, right answers on the diagonal.
double PlottedValue(const std::vector<TClassColumns>& classes, const double* v, int32_t n, double plainMean) {
    if (classes.empty())
        return plainMean;
    double sum = plainMean * n;
    int32_t values = n;
    for (const TClassColumns& k : classes) {
        double total = 0, weighted = 0;
        for (int32_t j = 0; j < k.Count; ++j) {
            total += v[k.First + j];
            weighted += v[k.First + j] * j;
        }
        sum += (total > 0 && k.Count > 1 ? weighted / total / (k.Count - 1) : 0.0) - total;
        values -= k.Count - 1;
    }
    return values > 0 ? sum / values : 0.0;
}

// The class of the largest of `count` values (the first of equals).
int32_t LargestAt(const double* values, int32_t count) {
    int32_t best = 0;
    for (int32_t j = 1; j < count; ++j)
        if (values[j] > values[best])
            best = j;
    return best;
}

} // namespace

const char* RunEndMessage(TRunEnd end) {
    switch (end) {
    case TRunEnd::EpochLimit:
        return msgEpochLimit;
    case TRunEnd::Validation:
        return msgTestErrGrew;
    case TRunEnd::ValidationPart:
        return msgValidErrGrew;
    case TRunEnd::Criteria:
        return msgTrainedOk;
    default:
        return "";
    }
}

std::string BestRestoredMessage(int32_t epoch) {
    return msgBestRestored + std::to_string(epoch - 1);
}

std::string FormatIdentShare(int32_t identCount, int32_t count) {
    if (count <= 0)
        return "0";
    return FormatGeneral(static_cast<double>(identCount) / count * 100, 3) + "%";
}

namespace {

// The network of the epoch with the least mean error of the choosing part seen in a run.
struct TBest {
    TNetworkSnapshot Net;
    double Err = 0;
    bool Taken = false;
};

int64_t PositionCount(const TTrainingContext& ctx) {
    return static_cast<int64_t>(ctx.TeachCount) + ctx.ValidCount + ctx.TestCount;
}

// The mean error KeepBest and TestAsValid go by: the validation part's when there is one, so that
// the test part chooses nothing.
double ChoosingError(const TTrainingContext& ctx, const TEpochStats& s) {
    return ctx.ValidCount > 0 ? s.ValidErrMean : s.TestErrMean;
}

// A number target whose errors are counted in its own units: its field and its output column.
struct TUnitColumn {
    const TFieldInfo* Field;
    int32_t Column;
    // The linear method inline (as DenormalizeValue computes it): this runs after every example.
    bool Linear;
    double Min, Range;
};

// Every example of a run normalized once, in presentation order (position p holds record
// RecordIndex[p]), so an epoch streams through memory. Each row: the inputs, the targets, the
// target mean the panels plot, then the number targets' actual values.
struct TExamples {
    std::vector<double> Data;
    std::size_t Width = 0;
    std::size_t ActualAt = 0;
    std::vector<TUnitColumn> Units;
    const double* Row(std::size_t position) const { return &Data[position * Width]; }
    const double* Actual(const double* row) const { return row + ActualAt; }
};

// Counts the computed values of the number targets against the actual ones, in the fields' units.
void AddUnitErrors(const TExamples& ex, const double* row, const double* outputs, std::vector<TUnitErrors>& sums) {
    const double* actual = ex.Actual(row);
    for (std::size_t i = 0; i < ex.Units.size(); ++i) {
        const TUnitColumn& u = ex.Units[i];
        const double y = outputs[u.Column];
        sums[i].Add((u.Linear ? u.Min + u.Range * y : DenormalizeQuiet(*u.Field, y)) - actual[i]);
    }
}

bool EpochLimitReached(const TStopRules& rules, int32_t epoch) {
    return (rules[TCriterion::Epoch].On && rules[TCriterion::Epoch].Limit < epoch) || epoch >= kMaxEpoch;
}

void CheckRunnable(const TTrainingContext& ctx) {
    const TNeuralNetwork& net = *ctx.Network;
    // The net must fit the examples exactly: a larger output layer would be taught from whatever
    // follows an example's targets, a larger input layer would keep stale inputs.
    if (net.CountLayers() == 0)
        throw EError(msgNotConfigured);
    if (net.GetLayerSize(0) != ctx.InputCount || net.GetLayerSize(net.CountLayers() - 1) != ctx.OutputCount)
        throw EError(msgNetMismatch);
    if (ctx.TeachCount < 0 || ctx.ValidCount < 0 || ctx.TestCount < 0 ||
        PositionCount(ctx) > static_cast<int64_t>(ctx.RecordIndex->size()))
        throw EError(msgRangeCheck);
}

// An arithmetic fault of the normalization ends the run here, before any example is taught.
TExamples PrepareExamples(const TTrainingContext& ctx, ITrainingView& view) {
    const auto& fields = *ctx.Fields;
    const auto& index = *ctx.RecordIndex;
    const int32_t nIn = ctx.InputCount, nOut = ctx.OutputCount;
    TExamples ex;
    for (const TFieldInfo* f : NetOrder(fields, TFieldRole::Target))
        if (!f->IsCategory())
            ex.Units.push_back({f, f->NetIndex, f->NormType == TNormMethod::Linear, f->Min, f->Max - f->Min});
    ex.ActualAt = static_cast<std::size_t>(nIn) + static_cast<std::size_t>(nOut) + 1;
    ex.Width = ex.ActualAt + ex.Units.size();
    const std::size_t positions = static_cast<std::size_t>(PositionCount(ctx));
    ex.Data.resize(positions * ex.Width + 1);
    ClearFloatErrors();
    constexpr std::size_t kAhead = 16; // records fetched ahead of their turn
    for (std::size_t p = 0; p < positions; ++p) {
        if (p + kAhead < positions)
            PrefetchExample(fields, index[p + kAhead]);
        double* row = &ex.Data[p * ex.Width];
        BuildExample(fields, index[p], row, row + nIn);
        row[ex.ActualAt - 1] = PlottedValue(ctx.Classes, row + nIn, nOut, PlottedMean(row + nIn, nOut));
        for (std::size_t i = 0; i < ex.Units.size(); ++i)
            row[ex.ActualAt + i] = ex.Units[i].Field->Values[static_cast<std::size_t>(index[p])];
        // A large sample takes a while: the window keeps being served meanwhile.
        if ((p & 1023) == 1023) {
            CheckFloatErrors();
            // Window code runs from here on: forget what it may raise.
            view.Progress(static_cast<double>(p + 1) / static_cast<double>(positions));
            view.Pump();
            ClearFloatErrors();
        }
    }
    CheckFloatErrors();
    view.Progress(1.0);
    ClearFloatErrors();
    return ex;
}

std::vector<TConfusion> EmptyConfusion(const TTrainingContext& ctx) {
    std::vector<TConfusion> c;
    for (const TClassColumns& k : ctx.Classes)
        c.emplace_back(k.Count);
    return c;
}

TEpochStats EmptyStats(const TTrainingContext& ctx, const TExamples& examples) {
    TEpochStats s;
    s.TeachConfusion = s.TestConfusion = EmptyConfusion(ctx);
    s.TeachUnits = s.TestUnits = std::vector<TUnitErrors>(examples.Units.size());
    return s;
}

// Whether the example just computed counts as recognized; counts its classes into `confusion`.
bool Recognized(const TTrainingContext& ctx, const double* targets, const double* outputs, double error,
                std::vector<TConfusion>& confusion) {
    if (ctx.Classes.empty())
        return error < ctx.Rules.IdentErrLimit;
    bool right = true;
    for (std::size_t c = 0; c < ctx.Classes.size(); ++c) {
        const TClassColumns& k = ctx.Classes[c];
        const int32_t actual = LargestAt(targets + k.First, k.Count);
        const int32_t answered = LargestAt(outputs + k.First, k.Count);
        ++confusion[c].Counts[static_cast<std::size_t>(actual) * static_cast<std::size_t>(k.Count) +
                              static_cast<std::size_t>(answered)];
        right = right && actual == answered;
    }
    return right && (!ctx.NumberTargets || error < ctx.Rules.IdentErrLimit);
}

TRunEnd RunEpochs(TTrainingContext& ctx, ITrainingView& view, const TExamples& examples, TBest* best) {
    TNeuralNetwork& net = *ctx.Network;
    const int32_t nIn = ctx.InputCount, nOut = ctx.OutputCount;
    const int32_t teachCount = ctx.TeachCount, validCount = ctx.ValidCount, testCount = ctx.TestCount;
    const TStopRules& rules = ctx.Rules;
    int32_t& cursor = *ctx.ExampleCursor;
    bool refreshDue = true;
    for (;;) {
        view.HistoClear();
        TEpochStats s = EmptyStats(ctx, examples);
        if (teachCount > 0 && net.Epoch % 10 == 0)
            refreshDue = true;
        for (int32_t k = 0; k < teachCount; ++k) {
            if (cursor >= teachCount || cursor < 0)
                cursor = 0;
            const double* ex = examples.Row(static_cast<std::size_t>(cursor));
            ++cursor;
            // Forward pass, error and Teach in one call into the engine's hot loops.
            const TExampleResult r = net.RunExample(ex, nIn, ex + nIn, nOut, true);
            const double e = r.Error;
            view.TeachExample(k, ex[examples.ActualAt - 1],
                              PlottedValue(ctx.Classes, net.OutputLayer(), nOut, r.OutputMean), e);
            AddUnitErrors(examples, ex, net.OutputLayer(), s.TeachUnits);
            s.TeachErrMean += e;
            if (Recognized(ctx, ex + nIn, net.OutputLayer(), e, s.TeachConfusion))
                ++s.TeachIdentCount;
            if (e > s.TeachErrMax)
                s.TeachErrMax = e;
            CheckFloatErrors(); // sticky flags: one test per example catches the example that failed
            if (view.Pump())
                ClearFloatErrors();
        }
        // The last example's step is applied here, so that a fault it raises ends this run.
        net.ApplyWaitingStep();
        CheckFloatErrors();
        s.TeachErrMean = teachCount > 0 ? s.TeachErrMean / teachCount : 0.0;
        // The validation part in record order; the shared cursor is the other passes' business.
        std::vector<TConfusion> validCounts = EmptyConfusion(ctx);
        for (int32_t k = 0; k < validCount; ++k) {
            const double* ex = examples.Row(static_cast<std::size_t>(teachCount) + static_cast<std::size_t>(k));
            const double e = net.RunExample(ex, nIn, ex + nIn, nOut, false).Error;
            s.ValidErrMean += e;
            if (Recognized(ctx, ex + nIn, net.OutputLayer(), e, validCounts))
                ++s.ValidIdentCount;
            if (e > s.ValidErrMax)
                s.ValidErrMax = e;
            CheckFloatErrors();
            if (view.Pump())
                ClearFloatErrors();
        }
        s.ValidErrMean = validCount > 0 ? s.ValidErrMean / validCount : 0.0;
        const std::size_t testFrom = static_cast<std::size_t>(teachCount) + static_cast<std::size_t>(validCount);
        for (int32_t k = 0; k < testCount; ++k) {
            if (cursor >= testCount || cursor < 0)
                cursor = 0;
            const double* ex = examples.Row(testFrom + static_cast<std::size_t>(cursor));
            ++cursor;
            const TExampleResult r = net.RunExample(ex, nIn, ex + nIn, nOut, false);
            const double e = r.Error;
            view.TestExample(k, ex[examples.ActualAt - 1],
                             PlottedValue(ctx.Classes, net.OutputLayer(), nOut, r.OutputMean), e);
            AddUnitErrors(examples, ex, net.OutputLayer(), s.TestUnits);
            s.TestErrMean += e;
            if (Recognized(ctx, ex + nIn, net.OutputLayer(), e, s.TestConfusion))
                ++s.TestIdentCount;
            if (e > s.TestErrMax)
                s.TestErrMax = e;
            CheckFloatErrors();
            if (view.Pump())
                ClearFloatErrors();
        }
        s.TestErrMean = testCount > 0 ? s.TestErrMean / testCount : 0.0;
        ++net.Epoch;
        const double chosen = ChoosingError(ctx, s);
        if (best && (!best->Taken || chosen < best->Err)) {
            best->Err = chosen;
            best->Taken = true;
            net.TakeSnapshot(best->Net);
        }
        view.EpochDone(s, teachCount, testCount, net.Epoch);
        if (refreshDue) {
            view.Refresh(s, teachCount, testCount, net.Epoch);
            refreshDue = false;
        }
        if (ctx.StopRequested && *ctx.StopRequested)
            return TRunEnd::UserStop;
        if (EpochLimitReached(rules, net.Epoch))
            return TRunEnd::EpochLimit;
        double& prev = *ctx.PrevTestErr;
        if (prev == 0)
            prev = chosen;
        if (chosen > prev && rules.TestAsValid)
            return validCount > 0 ? TRunEnd::ValidationPart : TRunEnd::Validation;
        prev = chosen;
        if (CriteriaMet(rules, s, teachCount, testCount))
            return TRunEnd::Criteria;
    }
}

// Every part computed by the network as it stands, in presentation order, teaching nothing.
TEpochStats MeasureExamples(const TTrainingContext& ctx, ITrainingView& view, const TExamples& examples) {
    TNeuralNetwork& net = *ctx.Network;
    const int32_t nIn = ctx.InputCount, nOut = ctx.OutputCount;
    const int32_t testFrom = ctx.TeachCount + ctx.ValidCount;
    TEpochStats s = EmptyStats(ctx, examples);
    std::vector<TConfusion> validCounts = EmptyConfusion(ctx); // not shown: the parts' matrices are
    ClearFloatErrors();
    for (int32_t k = 0; k < testFrom + ctx.TestCount; ++k) {
        const double* ex = examples.Row(static_cast<std::size_t>(k));
        const TExampleResult r = net.RunExample(ex, nIn, ex + nIn, nOut, false);
        const double e = r.Error;
        const bool teach = k < ctx.TeachCount;
        std::vector<TConfusion>& counts = teach ? s.TeachConfusion : k < testFrom ? validCounts : s.TestConfusion;
        const bool recognized = Recognized(ctx, ex + nIn, net.OutputLayer(), e, counts);
        if (teach) {
            view.TeachExample(k, ex[examples.ActualAt - 1],
                              PlottedValue(ctx.Classes, net.OutputLayer(), nOut, r.OutputMean), e);
            AddUnitErrors(examples, ex, net.OutputLayer(), s.TeachUnits);
            s.TeachErrMean += e;
            s.TeachIdentCount += recognized ? 1 : 0;
            s.TeachErrMax = std::max(s.TeachErrMax, e);
        } else if (k < testFrom) {
            s.ValidErrMean += e;
            s.ValidIdentCount += recognized ? 1 : 0;
            s.ValidErrMax = std::max(s.ValidErrMax, e);
        } else {
            view.TestExample(k - testFrom, ex[examples.ActualAt - 1],
                             PlottedValue(ctx.Classes, net.OutputLayer(), nOut, r.OutputMean), e);
            AddUnitErrors(examples, ex, net.OutputLayer(), s.TestUnits);
            s.TestErrMean += e;
            s.TestIdentCount += recognized ? 1 : 0;
            s.TestErrMax = std::max(s.TestErrMax, e);
        }
    }
    CheckFloatErrors();
    s.TeachErrMean = ctx.TeachCount > 0 ? s.TeachErrMean / ctx.TeachCount : 0.0;
    s.ValidErrMean = ctx.ValidCount > 0 ? s.ValidErrMean / ctx.ValidCount : 0.0;
    s.TestErrMean = ctx.TestCount > 0 ? s.TestErrMean / ctx.TestCount : 0.0;
    return s;
}

} // namespace

TRunEnd RunTrainingLoop(TTrainingContext& ctx, ITrainingView& view) {
    ctx.RestoredEpoch = -1;
    CheckRunnable(ctx);
    // A limit already reached is not passed by another epoch.
    if (EpochLimitReached(ctx.Rules, ctx.Network->Epoch))
        return TRunEnd::EpochLimit;
    const TExamples examples = PrepareExamples(ctx, view);
    TBest best;
    const bool choosing = ctx.ValidCount > 0 || ctx.TestCount > 0;
    const TRunEnd end = RunEpochs(ctx, view, examples, ctx.KeepBest && choosing ? &best : nullptr);
    // Keeping the last epoch is keeping the network as it stands: nothing is taken back then.
    if (best.Taken && best.Net.Epoch != ctx.Network->Epoch) {
        ctx.Network->RestoreSnapshot(best.Net);
        ctx.RestoredEpoch = best.Net.Epoch;
        // What the page shows belongs to the network now held, not to the last epoch run.
        view.HistoClear();
        const TEpochStats s = MeasureExamples(ctx, view, examples);
        view.Restored(s, ctx.TeachCount, ctx.TestCount, ctx.RestoredEpoch);
    }
    return end;
}

} // namespace nirvex

#include "wizard/PredictWorker.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "common/PlainDecimal.h"
#include "sample/Categories.h"
#include "sample/Messages.h"
#include "sample/Normalize.h"
#include "wizard/BatchPredict.h"

#include <algorithm>
#include <cstring>

namespace nirvex {

namespace {

// True when the flags show an arithmetic fault since they were cleared.
bool FloatFaultRaised() {
    try {
        CheckFloatErrors();
        return false;
    } catch (const EError&) {
        return true;
    }
}

// ASCII is UTF-8; the full check only for text that is not.
bool ValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if (word & 0x8080808080808080ull)
            return IsValidUtf8(bytes);
    }
    for (; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return IsValidUtf8(bytes);
    return true;
}

} // namespace

// Empty figures of each target whose actual values the input holds.
std::vector<TFileFigures> FiguresFor(const TPredictPlan& plan) {
    std::vector<TFileFigures> figures;
    for (std::size_t t = 0; t < plan.Targets().size(); ++t)
        if (plan.ActualColumns()[t] >= 0)
            figures.emplace_back(plan.Targets()[t]->FieldName, plan.Targets()[t]->Categories);
    return figures;
}

class TBlockWorker::TImpl {
public:
    TImpl(const TRunShared& run, TNeuralNetwork& net)
        : run_(run),
          plan_(run.Plan), own_{plan_.Model().Fields, net, plan_.Model().InputCount, plan_.Model().OutputCount, true},
          raw_(plan_.Inputs().size()), texts_(plan_.Inputs().size()),
          net_(static_cast<std::size_t>(std::max(own_.InputCount, 0))), values_(plan_.Targets().size()) {
        for (const TFieldInfo* f : plan_.Targets())
            shares_.emplace_back(static_cast<std::size_t>(f->IsCategory() ? f->NetWidth() : 0));
        for (std::vector<double>& row : shares_)
            shareRows_.push_back(row.data());
        for (const TFieldInfo* f : plan_.Inputs())
            numberSlot_.push_back(!f->IsCategory());
        actuals_.resize(plan_.Targets().size());
        for (std::size_t t = 0; t < plan_.Targets().size(); ++t)
            if (plan_.ActualColumns()[t] >= 0)
                present_.push_back(t);
        asWritten_ = std::make_unique<bool[]>(raw_.size()); // false: the text is to be looked at
    }

    void Process(TWorkBlock& b) {
        if (run_.CheckUtf8 && !ValidUtf8(b.Bytes)) {
            b.NotUtf8 = true;
            return;
        }
        try {
            ClearFloatErrors();
            Run(b, false);
            if (b.Failure.Record < 0 && FloatFaultRaised())
                Run(b, true);
        } catch (...) {
            b.Error = std::current_exception();
        }
    }

private:
    void Run(TWorkBlock& b, bool exact) {
        b.Records = b.Lines = 0;
        b.Figures = FiguresFor(plan_);
        b.Failure = {};
        b.NeedsUtf8 = false;
        exact_ = exact;
        used_ = 0;
        const std::size_t guess = b.Bytes.size() + b.Bytes.size() / 4; // the inputs again, and the targets
        if (b.Output.size() < guess)
            b.Output.resize(guess);
        if (run_.Kind == TSourceKind::Text)
            RunText(b);
        else if (run_.Kind == TSourceKind::Csv)
            RunCsv(b);
        else
            RunTable(b);
        b.OutputUsed = used_;
    }

    void Fail(TWorkBlock& b, int64_t line, std::function<std::string(int64_t, int64_t)> message) {
        b.Failure.Record = b.Records;
        b.Failure.Message = std::move(message);
        b.FailureLine = line;
    }

    bool Input(TWorkBlock& b, std::size_t s, const TCell& cell, int64_t line) {
        const std::string& column = run_.Columns[static_cast<std::size_t>(plan_.InputColumns()[s])];
        if (plan_.InputValue(s, cell, raw_[s], b.Failure, column))
            return true;
        b.Failure.Record = b.Records;
        b.FailureLine = line;
        return false;
    }

    bool Actual(TWorkBlock& b, std::size_t t, const TCell& cell, int64_t line) {
        const std::string& column = run_.Columns[static_cast<std::size_t>(plan_.ActualColumns()[t])];
        if (plan_.ActualValue(t, cell, actuals_[t], b.Failure, column))
            return true;
        b.Failure.Record = b.Records;
        b.FailureLine = line;
        return false;
    }

    void RunText(TWorkBlock& b) {
        TTextBlockCursor cursor(b.Bytes, static_cast<int>(run_.Columns.size()));
        int found = 0;
        int64_t line = 0;
        try {
            while (cursor.Next(found, line)) {
                if (found != static_cast<int>(run_.Columns.size())) {
                    Fail(b, line, [](int64_t, int64_t l) { return msgWrongValueCount + std::to_string(l); });
                    return;
                }
                for (std::size_t s = 0; s < raw_.size(); ++s) {
                    const auto col = static_cast<std::size_t>(plan_.InputColumns()[s]);
                    texts_[s] = cursor.Spans()[col];
                    raw_[s] = cursor.Values()[col];
                    if (!numberSlot_[s] && !Input(b, s, {TCell::TKind::Number, raw_[s], texts_[s]}, line))
                        return;
                }
                for (std::size_t t : present_) {
                    const auto col = static_cast<std::size_t>(plan_.ActualColumns()[t]);
                    actuals_[t].Text = cursor.Spans()[col];
                    if (!Actual(b, t, {TCell::TKind::Number, cursor.Values()[col], actuals_[t].Text}, line))
                        return;
                }
                if (!Record(b, line))
                    return;
            }
        } catch (const EError& e) { // a malformed number on the line being read
            const std::string message = e.what();
            Fail(b, cursor.Lines(), [message](int64_t, int64_t) { return message; });
            return;
        }
        b.Lines = cursor.Lines();
    }

    void RunCsv(TWorkBlock& b) {
        TCsvBlockCursor cursor(b.Bytes, run_.Delimiter);
        int64_t line = 0;
        while (cursor.Next(cells_, line)) {
            if (cells_.size() != run_.Columns.size()) {
                Fail(b, line, [](int64_t, int64_t l) { return msgCsvBadCount + std::to_string(l); });
                return;
            }
            for (std::size_t s = 0; s < raw_.size(); ++s) {
                const std::string_view cell = TrimBlanks(cells_[static_cast<std::size_t>(plan_.InputColumns()[s])]);
                texts_[s] = cell;
                // Most cells are plain decimals, read here as the full reader would read them.
                asWritten_[s] = false;
                if (numberSlot_[s] &&
                    ParsePlainDecimal(cell.data(), cell.data() + cell.size(), raw_[s], &asWritten_[s]))
                    continue;
                if (!Input(b, s, {TCell::TKind::Text, 0, cell}, line))
                    return;
            }
            for (std::size_t t : present_) {
                TActual& a = actuals_[t];
                a.Text = TrimBlanks(cells_[static_cast<std::size_t>(plan_.ActualColumns()[t])]);
                a.AsWritten = false;
                if (plan_.Targets()[t]->IsCategory() ||
                    !ParsePlainDecimal(a.Text.data(), a.Text.data() + a.Text.size(), a.Value, &a.AsWritten)) {
                    if (!Actual(b, t, {TCell::TKind::Text, 0, a.Text}, line))
                        return;
                } else {
                    a.Kind = TActual::TKind::Value;
                }
            }
            if (!Record(b, line))
                return;
        }
        b.Lines = cursor.Lines();
    }

    void RunTable(TWorkBlock& b) {
        const std::size_t used = raw_.size() + present_.size(); // the inputs' columns, then the actual values'
        for (int64_t r = 0; r < b.TableRecords; ++r) {
            const TStoredCell* cells = &b.Cells[static_cast<std::size_t>(r) * used];
            for (std::size_t s = 0; s < raw_.size(); ++s) {
                texts_[s] = {};
                if (!Input(b, s, {cells[s].Kind, cells[s].Value, cells[s].Text}, 0))
                    return;
            }
            for (std::size_t k = 0; k < present_.size(); ++k) {
                const TStoredCell& c = cells[raw_.size() + k];
                actuals_[present_[k]].Text = {};
                if (!Actual(b, present_[k], {c.Kind, c.Value, c.Text}, 0))
                    return;
            }
            if (!Record(b, 0))
                return;
        }
    }

    // Computes and writes the record whose inputs are in raw_.
    bool Record(TWorkBlock& b, int64_t line) {
        if (exact_) {
            try {
                std::vector<std::vector<double>> shares;
                const std::vector<double> values = PredictRecord(own_, raw_, &shares);
                for (std::size_t t = 0; t < values.size(); ++t) {
                    values_[t] = values[t];
                    std::copy(shares[t].begin(), shares[t].end(), shares_[t].begin());
                }
            } catch (const EError& e) {
                const std::string what = e.what(), field = FaultyField(own_, raw_);
                Fail(b, line, [what, field](int64_t r, int64_t) {
                    return what + (field.empty() ? "" : ", поле " + field) + ", запись " + std::to_string(r);
                });
                return false;
            }
        } else {
            NormalizeInputsInto(plan_.Inputs(), raw_.data(), net_.data(), net_.size());
            own_.Network.SetInputs(net_.data(), net_.size());
            own_.Network.Compute();
            DenormalizeOutputsInto(plan_.Targets(), own_.Network.OutputLayer(),
                                   static_cast<std::size_t>(own_.OutputCount), values_.data(), shareRows_.data());
        }
        for (std::size_t k = 0; k < present_.size(); ++k) {
            const TActual& a = actuals_[present_[k]];
            const auto answered = static_cast<int32_t>(values_[present_[k]]);
            if (a.Kind == TActual::TKind::Unseen)
                b.Figures[k].AddClass(-1, answered);
            else if (a.Kind == TActual::TKind::Value && b.Figures[k].Classes.empty())
                b.Figures[k].AddNumber(values_[present_[k]], a.Value);
            else if (a.Kind == TActual::TKind::Value)
                b.Figures[k].AddClass(static_cast<int32_t>(a.Value), answered);
        }
        const std::size_t bound = plan_.LineBound(actuals_.data());
        if (b.Output.size() - used_ < bound)
            b.Output.resize(std::max(2 * b.Output.size(), used_ + bound));
        char* end = plan_.WriteLine(b.Output.data() + used_, raw_.data(), texts_.data(), asWritten_.get(),
                                    values_.data(), actuals_.data(), shareRows_.data(), b.NeedsUtf8);
        used_ = static_cast<std::size_t>(end - b.Output.data());
        ++b.Records;
        return true;
    }

    const TRunShared& run_;
    const TPredictPlan& plan_;
    TNetModel own_;
    bool exact_ = false;
    std::size_t used_ = 0; // bytes of the block's output written
    std::vector<double> raw_;
    std::vector<std::string_view> texts_;
    std::vector<double> net_, values_;
    std::vector<std::vector<double>> shares_;
    std::vector<double*> shareRows_;
    std::vector<bool> numberSlot_;
    std::vector<TActual> actuals_;     // by target slot
    std::vector<std::size_t> present_; // the target slots whose actual values the input holds
    std::unique_ptr<bool[]> asWritten_;
    std::vector<std::string_view> cells_;
};

TBlockWorker::TBlockWorker(const TRunShared& run, TNeuralNetwork& net) : impl_(std::make_unique<TImpl>(run, net)) {}

TBlockWorker::~TBlockWorker() = default;

void TBlockWorker::Process(TWorkBlock& b) {
    impl_->Process(b);
}

} // namespace nirvex

// The prediction over a file as a stream: the input is read in blocks of records on this thread,
// worker threads turn each block into its output lines, and the blocks are written in input order.
#include "wizard/PredictStream.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "common/PlainDecimal.h"
#include "common/SafeFile.h"
#include "common/WorkerThreads.h"
#include "sample/Categories.h"
#include "sample/Messages.h"
#include "sample/Normalize.h"
#include "sample/SampleBlocks.h"
#include "sample/table/SampleFile.h"
#include "sample/table/TableSample.h"
#include "wizard/BatchPredict.h"
#include "wizard/Messages.h"
#include "wizard/PredictPlan.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

namespace nirvex {

namespace {

// The run must start again: the CSV text turned out not to be UTF-8 after its first megabytes, or
// the sample text output needs UTF-8 for a value that Windows-1251 cannot hold.
struct TRestart {
    bool Cp1251Input = false;
    bool Utf8Output = false;
};
using TStreamOptions = TRestart;

// A table cell as the reader took it, kept until a worker reads it.
struct TStoredCell {
    TCell::TKind Kind = TCell::TKind::Gap;
    double Value = 0;
    std::string Text;
};

struct TWorkBlock {
    // What the reader took: text or CSV bytes, or table cells (record by record, one per used column).
    std::string Bytes;
    std::vector<TStoredCell> Cells;
    int64_t TableRecords = 0;
    std::string ReadFailure; // a value the table reader refused right after this block's records
    double DoneAt = 0;       // share of the input read with this block
    // What a worker made of it: the first OutputUsed bytes of Output (which keeps its size when the
    // block is used again, so that its room is not cleared for every block).
    bool Taken = false, Done = false;
    std::string Output;
    std::size_t OutputUsed = 0;
    int64_t Records = 0, Lines = 0;
    TBlockFailure Failure;
    int64_t FailureLine = 0;
    std::vector<TTargetFigures> Figures; // of the targets whose actual values the input holds
    std::exception_ptr Error;
    bool NotUtf8 = false, NeedsUtf8 = false;
};

// Where the blocks come from.
class TBlockSource {
public:
    virtual ~TBlockSource() = default;
    virtual const std::vector<std::string>& Names() const = 0;
    // The columns the plan reads (tables keep only those).
    virtual void Use(const std::vector<int>& /*columns*/) {}
    virtual bool Next(TWorkBlock& block) = 0;
    virtual double Done() const = 0;
    virtual std::size_t Blocks() const = 0; // about how many blocks the input makes
};

class TTextSource final : public TBlockSource {
public:
    TTextSource(const std::string& fileName, TBlockFormat format, bool cp1251)
        : reader_(fileName, format, cp1251), size_(std::filesystem::file_size(fileName)) {}
    const std::vector<std::string>& Names() const override { return reader_.Names(); }
    bool Next(TWorkBlock& block) override {
        if (!reader_.Next(block.Bytes))
            return false;
        block.DoneAt = reader_.Done();
        return true;
    }
    double Done() const override { return reader_.Done(); }
    std::size_t Blocks() const override { return size_ / TSampleBlockReader::kBlockBytes + 1; }
    const TSampleBlockReader& Reader() const { return reader_; }

private:
    TSampleBlockReader reader_;
    std::uintmax_t size_;
};

// dBase and Paradox tables through their cursor; the fields read are those the sample load reads.
class TTableSource final : public TBlockSource {
public:
    explicit TTableSource(const std::string& fileName) : table_(CreateDbTable(fileName)) {
        const auto cut = fileName.find_last_of('/');
        const std::string dir = cut == std::string::npos ? std::string() : fileName.substr(0, cut + 1);
        table_->Open(dir, fileName.substr(dir.size()));
        for (int32_t i = 0; i < table_->FieldCount(); ++i) {
            const TDbFieldType type = table_->FieldType(i);
            if (type == TDbFieldType::Other)
                continue;
            names_.push_back(table_->FieldName(i));
            fields_.push_back(i);
            text_.push_back(type == TDbFieldType::Text || type == TDbFieldType::Logical);
        }
        records_ = table_->RecordCount();
        if (!names_.empty() && (records_ <= 0 || table_->Eof()))
            throw EError(msgBadTableValue + names_.front());
    }
    const std::vector<std::string>& Names() const override { return names_; }
    void Use(const std::vector<int>& columns) override { used_ = columns; }
    bool Next(TWorkBlock& block) override {
        constexpr int64_t kRecords = 4096;
        block.Cells.assign(used_.size() * kRecords, {});
        block.TableRecords = 0;
        std::string text;
        for (; block.TableRecords < kRecords && read_ < records_ && !failed_; ++block.TableRecords, ++read_) {
            if (table_->Eof()) {
                fail(block, names_.front());
                break;
            }
            TStoredCell* cells = &block.Cells[static_cast<std::size_t>(block.TableRecords) * used_.size()];
            for (std::size_t u = 0; u < used_.size() && !failed_; ++u) {
                const auto k = static_cast<std::size_t>(used_[u]);
                if (text_[k]) {
                    if (table_->GetText(fields_[k], text) && !IsGapText(text))
                        cells[u] = {TCell::TKind::Text, 0, text};
                    continue;
                }
                bool isNull = true;
                const double v = table_->GetFloat(fields_[k], isNull);
                if (isNull && !table_->BlankNumber(fields_[k]))
                    fail(block, names_[k]); // text that is no number
                else if (!isNull)
                    cells[u] = {TCell::TKind::Number, v, {}};
            }
            if (failed_)
                break;
            table_->Next();
        }
        block.Cells.resize(static_cast<std::size_t>(block.TableRecords) * used_.size());
        block.DoneAt = Done();
        return block.TableRecords > 0 || !block.ReadFailure.empty();
    }
    double Done() const override { return records_ > 0 ? static_cast<double>(read_) / records_ : 1.0; }
    std::size_t Blocks() const override { return static_cast<std::size_t>(records_ / 4096 + 1); }

private:
    void fail(TWorkBlock& block, const std::string& field) {
        failed_ = true;
        block.ReadFailure = msgBadTableValue + field;
    }
    std::unique_ptr<TDbTable> table_;
    std::vector<std::string> names_;
    std::vector<int32_t> fields_;
    std::vector<bool> text_;
    std::vector<int> used_;
    int64_t records_ = 0, read_ = 0;
    bool failed_ = false;
};

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

// Empty figures of each target whose actual values the input holds.
std::vector<TTargetFigures> FiguresFor(const TPredictPlan& plan) {
    std::vector<TTargetFigures> figures;
    for (std::size_t t = 0; t < plan.Targets().size(); ++t)
        if (plan.ActualColumns()[t] >= 0)
            figures.emplace_back(plan.Targets()[t]->FieldName, plan.Targets()[t]->Categories);
    return figures;
}

// What the workers share: the plan, the source's kind and its CSV rules.
struct TRunShared {
    const TPredictPlan& Plan;
    TSourceKind Kind;
    char Delimiter = ';';
    bool CheckUtf8 = false; // CSV taken as UTF-8 without a byte order mark
    std::vector<std::string> Columns;
};

// One worker's network and buffers.
class TBlockWorker {
public:
    TBlockWorker(const TRunShared& run, TNeuralNetwork& net)
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

    // The block's lines, or the first failure in it. Faults are looked for once per block: a block
    // that raised one is computed again record by record, as a single prediction checks it.
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

// What a run writes to: a file that replaces the target at the end, or a scratch file.
class TPredictionSink {
public:
    virtual ~TPredictionSink() = default;
    virtual void Write(std::string_view bytes) = 0;
    virtual void Rewind() = 0;
};

// One pass over the input: the blocks go to the workers as they are read, at most a few ahead of the
// one written next, so memory holds a few blocks whatever the input's size.
class TStreamRun {
public:
    TStreamRun(const TNetModel& m, const std::string& input, const TStreamOptions& options, bool textFile)
        : options_(options), textFile_(textFile) {
        const std::string ext = UpperExtension(input);
        if (ext == ".DBF" || ext == ".DB") {
            kind_ = TSourceKind::Table;
            source_ = std::make_unique<TTableSource>(input);
        } else {
            CheckSampleFile(input, true);
            kind_ = ext == ".CSV" ? TSourceKind::Csv : TSourceKind::Text;
            auto text = std::make_unique<TTextSource>(input, ext == ".CSV" ? TBlockFormat::Csv : TBlockFormat::Text,
                                                      options.Cp1251Input);
            text_ = text.get();
            source_ = std::move(text);
        }
        if (m.InputCount <= 0)
            throw EError(msgNoInputs);
        if (m.OutputCount <= 0)
            throw EError(msgNoTargets);
        plan_ = std::make_unique<TPredictPlan>(m, kind_, source_->Names());
        std::vector<int> used = plan_->InputColumns();
        for (int column : plan_->ActualColumns())
            if (column >= 0)
                used.push_back(column);
        source_->Use(used);
        result_.Figures = FiguresFor(*plan_);
        shared_ = std::make_unique<TRunShared>(TRunShared{*plan_, kind_, ';', false, source_->Names()});
        if (kind_ == TSourceKind::Csv) {
            const TSampleBlockReader& r = text_->Reader();
            plan_->SetCsvRules(r.Delimiter() != ',', r.Utf8());
            shared_->Delimiter = r.Delimiter();
            shared_->CheckUtf8 = r.Utf8() && !r.Utf8Marked();
            lineBase_ = r.HeaderLines();
        } else if (kind_ == TSourceKind::Text) {
            lineBase_ = text_->Reader().HeaderLines();
        }
    }

    TFilePrediction Run(const TOutputForm& asked, TPredictionSink& sink, const TProgressProc& progress) {
        TOutputForm form = asked;
        form.Cp1251 = textFile_ && !form.Csv && !options_.Utf8Output;
        plan_->SetForm(form);
        bool utf8 = false;
        const std::string header = plan_->Header(utf8);
        if (utf8)
            throw TRestart{false, true};
        if (textFile_ && !form.Csv && !form.Cp1251)
            sink.Write("\xEF\xBB\xBF");
        sink.Write(header);

        const std::size_t threads = WorkerThreads(source_->Blocks(), 1);
        std::vector<TNeuralNetwork> nets(threads, plan_->Model().Network); // copied here, before any worker reads
        TWorkers workers(*this, nets);
        const std::size_t ahead = 2 * threads + 1;
        bool read = false;
        double done = 0;
        for (;;) {
            while (!read && window_.size() < ahead) {
                std::unique_ptr<TWorkBlock> b = Spare();
                read = !source_->Next(*b);
                if (!read)
                    workers.Add(std::move(b));
            }
            if (window_.empty())
                break;
            std::unique_ptr<TWorkBlock> b = workers.TakeFront([&] {
                if (progress)
                    progress(done);
            });
            Commit(*b, sink);
            done = b->DoneAt;
            spare_.push_back(std::move(b));
            if (progress)
                progress(done);
        }
        return result_;
    }

private:
    // The worker threads, stopped and joined however the run ends.
    class TWorkers {
    public:
        TWorkers(TStreamRun& run, std::vector<TNeuralNetwork>& nets) : run_(run) {
            for (TNeuralNetwork& net : nets)
                threads_.emplace_back([this, &net] { Work(net); });
        }
        ~TWorkers() {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stop_ = true;
            }
            work_.notify_all();
            for (std::thread& t : threads_)
                t.join();
        }
        void Add(std::unique_ptr<TWorkBlock> b) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                run_.window_.push_back(std::move(b));
            }
            work_.notify_one();
        }
        // The oldest block once it is done; `wait` runs every 10 ms meanwhile and may raise.
        std::unique_ptr<TWorkBlock> TakeFront(const std::function<void()>& wait) {
            std::unique_lock<std::mutex> lock(mutex_);
            while (!run_.window_.front()->Done)
                if (done_.wait_for(lock, std::chrono::milliseconds(10)) == std::cv_status::timeout) {
                    lock.unlock();
                    wait();
                    lock.lock();
                }
            std::unique_ptr<TWorkBlock> b = std::move(run_.window_.front());
            run_.window_.pop_front();
            return b;
        }

    private:
        void Work(TNeuralNetwork& net) {
            TBlockWorker worker(*run_.shared_, net);
            for (;;) {
                TWorkBlock* b = nullptr;
                {
                    std::unique_lock<std::mutex> lock(mutex_);
                    work_.wait(lock, [&] {
                        for (const auto& w : run_.window_)
                            if (!w->Taken) {
                                b = w.get();
                                break;
                            }
                        return stop_ || b != nullptr;
                    });
                    if (stop_)
                        return;
                    b->Taken = true;
                }
                worker.Process(*b);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    b->Done = true;
                }
                done_.notify_one();
            }
        }

        TStreamRun& run_;
        std::mutex mutex_;
        std::condition_variable work_, done_;
        bool stop_ = false;
        std::vector<std::thread> threads_;
    };

    // A block to read into: one written before, its buffers kept, or a new one.
    std::unique_ptr<TWorkBlock> Spare() {
        if (spare_.empty())
            return std::make_unique<TWorkBlock>();
        std::unique_ptr<TWorkBlock> b = std::move(spare_.back());
        spare_.pop_back();
        b->ReadFailure.clear();
        b->Taken = b->Done = b->NotUtf8 = b->NeedsUtf8 = false;
        b->Error = nullptr;
        return b;
    }

    // Writes a block, or raises its failure with the record's number and line in the file.
    void Commit(const TWorkBlock& b, TPredictionSink& sink) {
        if (b.Error)
            std::rethrow_exception(b.Error);
        if (b.NotUtf8)
            throw TRestart{true, false};
        if (b.Failure.Record >= 0)
            throw EError(b.Failure.Message(result_.Records + b.Failure.Record + 1, lineBase_ + b.FailureLine));
        if (b.NeedsUtf8)
            throw TRestart{false, true};
        if (!b.ReadFailure.empty())
            throw EError(b.ReadFailure);
        sink.Write(std::string_view(b.Output.data(), b.OutputUsed));
        result_.Records += b.Records;
        for (std::size_t k = 0; k < b.Figures.size(); ++k)
            result_.Figures[k].Add(b.Figures[k]);
        lineBase_ += b.Lines;
    }

    TStreamOptions options_;
    bool textFile_;
    TSourceKind kind_ = TSourceKind::Text;
    std::unique_ptr<TBlockSource> source_;
    TTextSource* text_ = nullptr;
    std::unique_ptr<TPredictPlan> plan_;
    std::unique_ptr<TRunShared> shared_;
    std::deque<std::unique_ptr<TWorkBlock>> window_; // read and not yet written, in input order
    std::vector<std::unique_ptr<TWorkBlock>> spare_;
    int64_t lineBase_ = 0;
    TFilePrediction result_;
};

// A replacing file opened with the first bytes, so that a refused input is told before the output.
class TFileSink final : public TPredictionSink {
public:
    explicit TFileSink(const std::string& path) : path_(path) {}
    void Write(std::string_view bytes) override {
        if (!file_)
            file_ = std::make_unique<TReplacingFile>(path_);
        file_->Write(bytes);
    }
    void Rewind() override {
        if (file_)
            file_->Rewind();
    }
    void Commit() {
        if (!file_)
            file_ = std::make_unique<TReplacingFile>(path_);
        file_->Commit();
    }

private:
    std::string path_;
    std::unique_ptr<TReplacingFile> file_;
};

class TScratchSink final : public TPredictionSink {
public:
    TScratchSink() : file_("Unable to write to a temporary file") {}
    void Write(std::string_view bytes) override { file_.Write(bytes); }
    void Rewind() override { file_.Rewind(); }
    const TScratchFile& File() const { return file_; }

private:
    TScratchFile file_;
};

// Runs the prediction, again from the start when the input or the output must change encoding.
TFilePrediction RunPrediction(const TNetModel& m, const std::string& input, const TOutputForm& form, bool textFile,
                              TPredictionSink& sink, const TStatusProc& status, const TProgressProc& progress) {
    CheckNetworkFits(m.Network, m.InputCount, m.OutputCount);
    if (!m.Trained)
        throw EError(msgNotTrained);
    if (status)
        status(kStatusOpening);
    // A second pass reports nothing until it passes where the first had come to.
    double shown = 0;
    int64_t percent = -1;
    const TProgressProc monotone = [&](double f) {
        shown = std::max(shown, f);
        const auto now = static_cast<int64_t>(shown * 100 + 1e-9);
        if (status && now != percent)
            status("Расчёт: " + std::to_string(now) + "%");
        percent = now;
        if (progress)
            progress(shown);
    };
    TStreamOptions options;
    for (;;) {
        try {
            TStreamRun run(m, input, options, textFile);
            return run.Run(form, sink, monotone);
        } catch (const TRestart& restart) {
            options.Cp1251Input = options.Cp1251Input || restart.Cp1251Input;
            options.Utf8Output = options.Utf8Output || restart.Utf8Output;
            sink.Rewind();
        }
    }
}

} // namespace

TFilePrediction PredictFile(const TNetModel& m, const std::string& input, const std::string& output,
                            const TStatusProc& status, const TProgressProc& progress) {
    TOutputForm form;
    form.Csv = UpperExtension(output) == ".CSV";
    form.Eol = form.Csv ? "\n" : "\r\n";
    TFileSink sink(output);
    const TFilePrediction result = RunPrediction(m, input, form, true, sink, status, progress);
    if (status)
        status(kStatusWriting);
    sink.Commit();
    if (status)
        status("");
    return result;
}

TFilePrediction PredictToStream(const TNetModel& m, const std::string& input, std::ostream& out) {
    TOutputForm form;
    form.Eol = "\n";
    TScratchSink sink;
    const TFilePrediction result = RunPrediction(m, input, form, false, sink, {}, {});
    sink.File().CopyTo(
        [&](std::string_view piece) { out.write(piece.data(), static_cast<std::streamsize>(piece.size())); });
    out.flush();
    return result;
}

} // namespace nirvex

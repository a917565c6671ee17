// The prediction over a file as a stream: the input is read in blocks of records on this thread,
// worker threads turn each block into its output lines, and the blocks are written in input order.
#include "wizard/PredictStream.h"

#include "common/Errors.h"
#include "common/SafeFile.h"
#include "common/WorkerThreads.h"
#include "sample/table/SampleFile.h"
#include "wizard/BatchPredict.h"
#include "wizard/Messages.h"
#include "wizard/PredictBlocks.h"
#include "wizard/PredictWorker.h"

#include <chrono>
#include <condition_variable>
#include <deque>
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
        source_ = OpenBlockSource(input, options.Cp1251Input, kind_);
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
        if (const TSampleBlockReader* r = source_->Reader()) {
            lineBase_ = r->HeaderLines();
            if (kind_ == TSourceKind::Csv) {
                plan_->SetCsvRules(r->Delimiter() != ',', r->Utf8());
                shared_->Delimiter = r->Delimiter();
                shared_->CheckUtf8 = r->Utf8() && !r->Utf8Marked();
            }
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

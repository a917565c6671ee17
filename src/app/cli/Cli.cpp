#include "app/cli/Cli.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "common/SafeFile.h"
#include "export/ExportNet.h"
#include "project/ProjectFile.h"
#include "sample/TextSample.h"
#include "sample/table/SampleFile.h"
#include "training/ErrorCurve.h"
#include "training/TrainingRun.h"
#include "wizard/BatchPredict.h"
#include "wizard/Wizard.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <ostream>
#include <system_error>

namespace nirvex {

namespace {

const char* const kUsage =
    "Использование:\n"
    "  nirvex-cli report ПРОЕКТ\n"
    "  nirvex-cli train ПРОЕКТ [-o ВЫХОД] [--curve CSV]\n"
    "  nirvex-cli predict ПРОЕКТ ВХОД [-o ВЫХОД]\n"
    "  nirvex-cli export ПРОЕКТ -o ФАЙЛ [--name ИМЯ]\n"
    "\n"
    "report   печатает отчет о конфигурации проекта\n"
    "train    обучает сеть с настройками проекта и сохраняет проект (по умолчанию в тот же файл);\n"
    "         --curve записывает ошибки каждой эпохи в файл CSV\n"
    "predict  рассчитывает целевые поля для каждой записи входного файла; без -o результат\n"
    "         печатается\n"
    "export   выгружает обученную сеть с нормализацией полей: ФАЙЛ.onnx в формате ONNX, ФАЙЛ.c\n"
    "         как исходный текст на C с функцией ИМЯ_predict (по умолчанию nirvex_predict)\n";

volatile std::sig_atomic_t gStopRequested = 0;

// The first Ctrl-C asks the run to stop after its epoch; a second one ends the program at once.
extern "C" void OnInterrupt(int) {
    if (gStopRequested) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    gStopRequested = 1;
}

class TInterruptScope {
public:
    TInterruptScope() {
        gStopRequested = 0;
        previous_ = std::signal(SIGINT, OnInterrupt);
    }
    ~TInterruptScope() {
        std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
        gStopRequested = 0;
    }
    TInterruptScope(const TInterruptScope&) = delete;
    TInterruptScope& operator=(const TInterruptScope&) = delete;

private:
    void (*previous_)(int) = SIG_DFL;
};

struct TUsageError {};

struct TCommand {
    std::string Name;
    std::vector<std::string> Positional;
    std::string Output;               // -o
    std::string Curve;                // --curve
    std::string ModelName = "nirvex"; // --name
};

TCommand ParseArgs(const std::vector<std::string>& args) {
    if (args.empty())
        throw TUsageError{};
    TCommand c;
    c.Name = args[0];
    bool haveOutput = false, haveCurve = false, haveName = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--curve") {
            bool& have = a == "-o" ? haveOutput : haveCurve;
            if (have || i + 1 >= args.size() || args[i + 1].empty())
                throw TUsageError{};
            (a == "-o" ? c.Output : c.Curve) = args[++i];
            have = true;
        } else if (a == "--name" && c.Name == "export") {
            if (haveName || i + 1 >= args.size())
                throw TUsageError{};
            c.ModelName = args[++i];
            haveName = true;
        } else if (a.empty() || (a.size() > 1 && a[0] == '-')) {
            throw TUsageError{};
        } else {
            c.Positional.push_back(a);
        }
    }
    std::size_t want = c.Name == "report" || c.Name == "train" || c.Name == "export" ? 1 : c.Name == "predict" ? 2 : 0;
    if (want == 0 || c.Positional.size() != want || (c.Name == "report" && haveOutput) ||
        (c.Name == "export" && !haveOutput) || (c.Name != "train" && haveCurve))
        throw TUsageError{};
    return c;
}

// A missing project would load as an empty one on page 1; on the command line it is a mistake.
void OpenProject(TWizard& w, const std::string& fileName) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(fileName), ec))
        throw EError(msgProjectNotFound);
    LoadProject(w, fileName);
}

// What the load tells the user (a sample found beside the project, skipped sample lines) goes to
// standard error once, as soon as it is known, or before the error that ended the command.
class TNotice {
public:
    TNotice(TWizard& w, std::ostream& err) : w_(w), err_(err) {}
    void Print() {
        for (const std::string& notice : w_.TakeNotices())
            err_ << notice << '\n';
        if (!samplePrinted_ && !w_.SampleNotice().empty()) {
            err_ << w_.SampleNotice() << '\n';
            samplePrinted_ = true;
        }
        err_.flush();
    }

private:
    TWizard& w_;
    std::ostream& err_;
    bool samplePrinted_ = false;
};

void Report(TWizard& w, TNotice& notice, const TCommand& c, std::ostream& out) {
    OpenProject(w, c.Positional[0]);
    notice.Print();
    w.BuildReport();
    for (const std::string& line : w.Report())
        out << line << '\n';
    out.flush();
}

// One printed line per refreshed epoch, and with --curve one CSV line per epoch; Ctrl-C reaches
// the run through Pump.
class TCliTrainingView : public ITrainingView {
public:
    TCliTrainingView(TWizard& w, std::ostream& out, bool curve) : w_(w), out_(out), curve_(curve) {
        if (curve_)
            Curve = CurveCsvHeader();
    }
    std::string Curve;
    bool Pump() override {
        if (gStopRequested)
            w_.RequestStop();
        return false;
    }
    void Refresh(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch) override {
        out_ << "Эпоха: " << (epoch - 1) << '\t' << FormatGeneral(s.TeachErrMean, 5) << '\t'
             << FormatGeneral(s.TestErrMean, 5) << '\t' << FormatGeneral(s.TeachErrMax, 5) << '\t'
             << FormatGeneral(s.TestErrMax, 5) << '\t' << FormatIdentShare(s.TeachIdentCount, teachCount) << '\t'
             << FormatIdentShare(s.TestIdentCount, testCount) << std::endl;
    }
    void EpochDone(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch) override {
        if (curve_)
            Curve += CurveCsvLine(s, teachCount, testCount, epoch);
    }

private:
    TWizard& w_;
    std::ostream& out_;
    bool curve_;
};

// The end messages break their line with LF CR for a message box; printed, LF alone breaks it.
std::string PrintedMessage(const std::string& message) {
    std::string s;
    for (std::size_t i = 0; i < message.size(); ++i) {
        s += message[i];
        if (message[i] == '\n' && i + 1 < message.size() && message[i + 1] == '\r')
            ++i;
    }
    return s;
}

void Train(TWizard& w, TNotice& notice, const TCommand& c, std::ostream& out) {
    const std::string& project = c.Positional[0];
    OpenProject(w, project);
    notice.Print();
    // Forward as "Далее >>" would, each page's step failing as it would in the window; a project
    // saved on the prediction page goes back to training without checks, as "<< Назад" does.
    while (w.State() < kPageCount - 2)
        w.Next();
    if (w.State() > kPageCount - 2)
        w.Prev();
    notice.Print();
    if (!AnyCriterionOn(w.StopRules()))
        throw EError(msgRunCannotEnd);

    TCliTrainingView view(w, out, !c.Curve.empty());
    std::string error;
    bool failed = false;
    TWizard::TRunHooks hooks;
    hooks.View = &view;
    hooks.OnEndMessage = [&](const std::string& m) { out << PrintedMessage(m) << std::endl; };
    hooks.OnError = [&](const std::string& m) {
        error = m;
        failed = true;
    };
    {
        TInterruptScope interrupt;
        w.LearnClicked(hooks);
    }
    if (failed)
        throw EError(error);
    if (w.RestoredEpoch() >= 0)
        out << BestRestoredMessage(w.RestoredEpoch()) << std::endl;
    if (!c.Curve.empty())
        WriteFileReplacing(c.Curve, view.Curve);
    w.Next();
    SaveProject(w, c.Output.empty() ? project : c.Output);
}

void Predict(TWizard& w, TNotice& notice, const TCommand& c, std::ostream& out) {
    OpenProject(w, c.Positional[0]);
    notice.Print();
    const std::string& input = c.Positional[1];
    if (!c.Output.empty()) {
        PredictFile(w.NetModel(), input, c.Output, {});
        return;
    }
    // An input without a known extension is read as sample text.
    const TSampleTable table = IsSampleFileName(input) ? ReadSampleFile(input, {}) : ReadTextSample(input);
    out << FormatPredictionText(PredictTable(w.NetModel(), table), "\n");
    out.flush();
}

// The network of a project saved on the training or prediction page, in the format of the
// output's extension.
void Export(TWizard& w, TNotice& notice, const TCommand& c) {
    OpenProject(w, c.Positional[0]);
    notice.Print();
    ExportProject(w.NetModel(), c.Output, c.ModelName);
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
        out << kUsage;
        return 0;
    }
    TCommand c;
    try {
        c = ParseArgs(args);
    } catch (const TUsageError&) {
        err << kUsage;
        return 2;
    }
    TWizard w;
    AttachProjectFiles(w);
    TNotice notice(w, err);
    try {
        if (c.Name == "report")
            Report(w, notice, c, out);
        else if (c.Name == "train")
            Train(w, notice, c, out);
        else if (c.Name == "export")
            Export(w, notice, c);
        else
            Predict(w, notice, c, out);
        return 0;
    } catch (const EError& e) {
        notice.Print();
        err << e.what() << std::endl;
    } catch (const std::bad_alloc&) {
        notice.Print();
        err << msgNetTooLarge << std::endl;
    } catch (const std::exception&) {
        notice.Print();
        err << msgRangeCheck << std::endl;
    }
    return 1;
}

} // namespace nirvex

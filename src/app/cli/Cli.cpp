#include "app/cli/Cli.h"

#include "app/cli/NewProject.h"
#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "common/SafeFile.h"
#include "export/ExportNet.h"
#include "project/ProjectFile.h"
#include "sample/Normalize.h"
#include "sample/SampleStats.h"
#include "sample/TextSample.h"
#include "sample/table/SampleFile.h"
#include "training/ErrorCurve.h"
#include "training/Importance.h"
#include "training/TrainingRun.h"
#include "wizard/BatchPredict.h"
#include "wizard/Messages.h"
#include "wizard/PredictFigures.h"
#include "wizard/PredictStream.h"
#include "wizard/Wizard.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <ostream>
#include <system_error>

namespace nirvex {

namespace {

// The usage, with a line for each stop criterion of the learning page.
std::string Usage() {
    std::string text = kUsageHead;
    for (const TCriterionDef& d : StopCriteria()) {
        const bool edit = d.Kind == TCriterionKind::ErrorBelow;
        const std::string value = d.Kind == TCriterionKind::EpochLimit ? "N" : edit ? "E" : "P";
        std::string line = std::string("  ") + CriterionOption(d.Id) + " " + value;
        line.resize(std::max<std::size_t>(line.size() + 1, 25), ' ');
        line += d.Caption + std::string(edit ? " " : "") + value;
        if (d.Unit)
            line += (d.Kind == TCriterionKind::EpochLimit ? " " : "") + std::string(d.Unit);
        if (!edit)
            line += " (" + std::to_string(d.Lo) + ".." + std::to_string(d.Hi) + ")";
        text += line + "\n";
    }
    return text + "\n" + kUsageTail;
}

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
    std::optional<TNewProjectOptions> New;
};

TCommand ParseArgs(const std::vector<std::string>& args) {
    if (args.empty())
        throw TUsageError{};
    TCommand c;
    c.Name = args[0];
    if (c.Name == "new") {
        c.New = ParseNewProject(std::vector<std::string>(args.begin() + 1, args.end()));
        if (!c.New)
            throw TUsageError{};
        return c;
    }
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
    const bool one =
        c.Name == "report" || c.Name == "train" || c.Name == "export" || c.Name == "fields" || c.Name == "importance";
    const std::size_t want = one ? 1 : c.Name == "predict" ? 2 : 0;
    if (want == 0 || c.Positional.size() != want || ((c.Name == "report" || c.Name == "fields") && haveOutput) ||
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
    // The order a hand-written project lacked is drawn once: every later command splits the same way.
    try {
        if (KeepDrawnRecordOrder(w, fileName))
            w.AddNotice(msgRecordOrderKept + fileName + msgRecordOrderSeed +
                        std::to_string(static_cast<int32_t>(w.IndexSeed())));
    } catch (const EError& e) {
        w.AddNotice(e.what());
    }
}

// A run that could not change the network would end as a success; it is refused before it starts.
void CheckRunCanLearn(const TWizard& w) {
    if (w.TeachCount() <= 0)
        throw EError(msgNoTrainingPart);
    if (w.Network().TeachSpeed == 0)
        throw EError(msgZeroRate);
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
// the run through Pump. A validation part adds its mean and maximum error to both.
class TCliTrainingView : public ITrainingView {
public:
    TCliTrainingView(TWizard& w, std::ostream& out, bool curve)
        : w_(w), out_(out), curve_(curve), valid_(w.ValidCount() > 0) {
        if (curve_)
            Curve = CurveCsvHeader(valid_, w.TargetFigures());
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
             << FormatIdentShare(s.TestIdentCount, testCount);
        if (valid_)
            out_ << '\t' << FormatGeneral(s.ValidErrMean, 5) << '\t' << FormatGeneral(s.ValidErrMax, 5);
        out_ << std::endl;
    }
    void EpochDone(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch) override {
        if (curve_)
            Curve += CurveCsvLine(s, teachCount, testCount, epoch, valid_, TargetFigures(w_.Fields(), s));
    }

private:
    TWizard& w_;
    std::ostream& out_;
    bool curve_;
    bool valid_;
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

// Each category target's accuracy on the test part and how its examples were answered: a row per
// actual class, a column per answered one.
void PrintClassResults(const TWizard& w, std::ostream& out) {
    const std::vector<const TFieldInfo*> targets = NetOrder(w.Fields(), TFieldRole::Target);
    std::size_t c = 0;
    for (const TFieldInfo* f : targets) {
        if (!f->IsCategory() || c >= w.TestConfusion().size())
            continue;
        const TConfusion& m = w.TestConfusion()[c++];
        out << kAccuracyHead << f->FieldName << ": " << FormatIdentShare(m.Right(), m.Total()) << " (" << m.Right()
            << kOutOf << m.Total() << ")\n";
        const std::vector<int64_t> counts(m.Counts.begin(), m.Counts.end());
        for (const std::vector<std::string>& row :
             ConfusionRows(f->Categories, counts, static_cast<std::size_t>(m.Classes)))
            for (std::size_t k = 0; k < row.size(); ++k)
                out << row[k] << (k + 1 < row.size() ? '\t' : '\n');
    }
    out.flush();
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
    CheckRunCanLearn(w);

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
    for (const TTargetFigures& t : w.TargetFigures())
        if (t.Teach.Count > 0 || t.Test.Count > 0) // no epoch ran: nothing was measured
            out << FormatTargetFigures(t) << '\n';
    PrintClassResults(w, out);
    if (!c.Curve.empty())
        WriteFileReplacing(c.Curve, view.Curve);
    w.Next();
    SaveProject(w, c.Output.empty() ? project : c.Output);
}

// The figures of the targets the input holds go after the lines: to standard output with -o, else to
// standard error, so that printed lines stay a table.
void Predict(TWizard& w, TNotice& notice, const TCommand& c, std::ostream& out, std::ostream& err) {
    OpenProject(w, c.Positional[0]);
    notice.Print();
    const std::string& input = c.Positional[1];
    const TFilePrediction p =
        c.Output.empty() ? PredictToStream(w.NetModel(), input, out) : PredictFile(w.NetModel(), input, c.Output, {});
    std::ostream& figures = c.Output.empty() ? err : out;
    figures << FormatFileFigures(p.Figures, p.Records);
    figures.flush();
}

// How much each input matters to the project's trained network, printed or written as CSV.
void Importance(TWizard& w, TNotice& notice, const TCommand& c, std::ostream& out) {
    OpenProject(w, c.Positional[0]);
    notice.Print();
    if (!w.NetModel().Trained)
        throw EError(msgNotTrained);
    w.MeasureImportance();
    if (!c.Output.empty()) {
        WriteFileReplacing(c.Output, FormatImportanceCsv(*w.Importance()));
        return;
    }
    out << FormatImportanceText(*w.Importance());
    out.flush();
}

// Every column of the sample as the load reads it: the fields in file order with their gaps, a
// number's extremes or a category's values, then the columns the reader left out (it keeps their
// names, not their places).
void Fields(const TCommand& c, std::ostream& out, std::ostream& err) {
    TSampleTable table = ReadSampleFile(c.Positional[0], {});
    const std::string skipped = SkippedLinesNotice(table);
    if (!skipped.empty())
        err << skipped << '\n';
    if (table.RecordCount <= 0)
        throw EError(msgNoRecords);
    InitFieldDefaults(table.Fields, table.RecordCount);
    out << kFieldsHeader << '\n';
    for (const TFieldInfo& f : table.Fields) {
        out << f.FieldName << '\t' << (f.IsCategory() ? kKindCategory : kKindNumber) << '\t' << f.GapCount << '\t';
        if (f.IsCategory()) {
            out << "\t\t";
            for (std::size_t i = 0; i < f.Categories.size(); ++i)
                out << (i ? ", " : "") << f.Categories[i];
            out << '\n';
        } else {
            out << FormatGeneral(f.DataMin, 15) << '\t' << FormatGeneral(f.DataMax, 15) << "\t\n";
        }
    }
    for (const std::string& name : table.TextColumns)
        out << name << '\t' << kKindText << "\t\t\t\t\n";
    out.flush();
}

// A project as the window would save it on the report page, checked as `train` would check it.
void New(TWizard& w, TNotice& notice, const TCommand& c, std::ostream& err) {
    MakeNewProject(w, *c.New, [&](const std::string& line) {
        notice.Print();
        err << line << '\n';
    });
    CheckRunCanLearn(w);
    SaveProject(w, *c.New->Output);
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
        out << Usage();
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << kProgramName << NIRVEX_VERSION << '\n';
        return 0;
    }
    TCommand c;
    try {
        c = ParseArgs(args);
    } catch (const TUsageError&) {
        err << Usage();
        return 2;
    }
    TWizard w;
    // A sample file named to `new` is never a project.
    if (c.Name != "new")
        AttachProjectFiles(w);
    TNotice notice(w, err);
    try {
        if (c.Name == "fields")
            Fields(c, out, err);
        else if (c.Name == "new")
            New(w, notice, c, err);
        else if (c.Name == "report")
            Report(w, notice, c, out);
        else if (c.Name == "train")
            Train(w, notice, c, out);
        else if (c.Name == "export")
            Export(w, notice, c);
        else if (c.Name == "importance")
            Importance(w, notice, c, out);
        else
            Predict(w, notice, c, out, err);
        notice.Print();
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

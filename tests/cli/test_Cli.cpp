// nirvex-cli end to end on the bundled iris sample: report, train to an epoch limit, predict;
// usage and error paths; Ctrl-C on the real program.
#include "app/cli/Cli.h"
#include "common/Cp1251.h"
#include "common/NumberText.h"
#include "engine/IniFile.h"
#include "export/ExportNet.h"
#include "project/ProjectFile.h"
#include "sample/TextSample.h"
#include "sample/table/SampleFile.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

#include "CliFixture.h"
#include "app/cli/NewProject.h"
#include "sample/CsvSample.h"
#include "sample/table/SampleFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace nirvex {
namespace {

using test::CliTest;
using test::ReadBytes;
using test::RunCommand;
using test::Split;
using test::TCliResult;
namespace fs = std::filesystem;

// Keeps what the training page shows at every refresh: the status text and the grid.
class TGridRecorder : public ITrainingView {
public:
    explicit TGridRecorder(TWizard& w) : w_(w) {}
    void Refresh(const TEpochStats&, int32_t, int32_t, int32_t) override {
        const auto& c = w_.StatCells();
        Lines.push_back(w_.StatusText() + "\t" + c[1][1] + "\t" + c[2][1] + "\t" + c[1][2] + "\t" + c[2][2] + "\t" +
                        c[1][3] + "\t" + c[2][3]);
    }
    std::vector<std::string> Lines;

private:
    TWizard& w_;
};

TEST_F(CliTest, TrainToTheEpochLimitThenPredict) {
    const std::string project = MakeProject("iris.qvx", 4);
    const std::string trained = Path("trained.qvx");
    const std::string before = ReadBytes(project);
    TCliResult r = RunCommand({"train", project, "-o", trained});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");

    // The same run driven through the model, as the training page would show it.
    TWizard w;
    LoadProject(w, project);
    while (w.State() < 5)
        w.Next();
    TGridRecorder grid(w);
    std::vector<std::string> messages;
    TWizard::TRunHooks hooks;
    hooks.View = &grid;
    hooks.OnEndMessage = [&](const std::string& m) { messages.push_back(m); };
    w.LearnClicked(hooks);
    ASSERT_EQ(grid.Lines.size(), 3u); // epochs 0, 10 and 20
    ASSERT_EQ(messages, std::vector<std::string>{msgEpochLimit});

    std::string expected;
    for (const std::string& line : grid.Lines)
        expected += line + "\n";
    expected += "Остановка обучения\nИсчерпан лимит эпох.\n";
    // Then the target's errors in its own units, as the window's model holds them.
    ASSERT_EQ(w.TargetFigures().size(), 1u);
    expected += FormatTargetFigures(w.TargetFigures()[0]) + "\n";
    EXPECT_EQ(r.Out, expected);
    EXPECT_EQ(Split(r.Out, "\n")[0].rfind("Эпоха: 0\t", 0), 0u);

    // Saved on the prediction page with the trained network.
    TIniFile saved(trained);
    EXPECT_EQ(saved.ReadInteger("Main", "State", -1), 6);
    EXPECT_EQ(saved.ReadInteger("Network", "Epoch", -1), 21);
    // Weights are written so that they read back as the same double.
    EXPECT_EQ(StrToFloat(saved.ReadString("Network", "W_1_2_0", "")), w.Network().GetWeight(1, 2, 0));
    EXPECT_EQ(ReadBytes(project), before); // -o leaves the project itself alone

    // The sample holds the target: its actual values follow the computed ones, and the figures are printed.
    const std::string predicted = Path("predicted.txt");
    r = RunCommand({"predict", trained, sample_, "-o", predicted});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out.rfind("Species: среднеквадратичная ошибка ", 0), 0u) << r.Out;
    TWizard p;
    LoadProject(p, trained);
    TSampleTable iris = ReadTextSample(sample_);
    std::string want = Utf8ToCp1251("SepalLength\tSepalWidth\tPetalLength\tPetalWidth\tSpecies\tSpecies.факт\r\n");
    for (int32_t rec = 0; rec < iris.RecordCount; ++rec) {
        std::vector<double> in;
        for (int f = 0; f < 4; ++f)
            in.push_back(iris.Fields[static_cast<std::size_t>(f)].Values[static_cast<std::size_t>(rec)]);
        for (double v : in)
            want += FormatGeneral(v, 15) + "\t";
        want +=
            FormatGeneral(p.PredictValues(in)[0], 15) + "\t" + FormatGeneral(iris.Fields[4].Values[rec], 15) + "\r\n";
    }
    EXPECT_EQ(ReadBytes(predicted), want);
    // The output is itself a sample file of this program.
    TSampleTable back = ReadTextSample(predicted);
    EXPECT_EQ(back.RecordCount, 150);
    EXPECT_EQ(back.Fields.size(), 6u);
}

// Every epoch of the run as CSV; the refreshed ones agree with the printed lines of the same run.
TEST_F(CliTest, TrainCurveHoldsEveryEpochOfTheRun) {
    const std::string project = MakeProject("iris.qvx", 4);
    const std::string curve = Path("curve.csv");
    TCliResult r = RunCommand({"train", project, "-o", Path("t.qvx"), "--curve", curve});
    ASSERT_EQ(r.Code, 0) << r.Err;
    std::vector<std::string> rows = Split(ReadBytes(curve), "\n");
    ASSERT_EQ(rows.back(), "");
    rows.pop_back();
    ASSERT_EQ(rows.size(), 22u); // the header and epochs 0 to 20
    EXPECT_EQ(rows[0], "epoch,train_mean,test_mean,train_max,test_max,train_recognized,test_recognized,"
                       "train_rmse:Species,test_rmse:Species");
    std::vector<std::string> printed = Split(r.Out, "\n");
    // The last epoch's errors in units are the ones printed at the end.
    const std::vector<std::string> last = Split(rows.back(), ",");
    ASSERT_EQ(last.size(), 9u);
    EXPECT_NE(r.Out.find("Species: СКО обуч. " + FormatFigure(StrToFloat(last[7])) + ", тест " +
                         FormatFigure(StrToFloat(last[8])) + ";"),
              std::string::npos);
    int matched = 0;
    for (std::size_t e = 0; e <= 20; ++e) {
        std::vector<std::string> cells = Split(rows[e + 1], ",");
        ASSERT_EQ(cells.size(), 9u);
        EXPECT_EQ(cells[0], std::to_string(e));
        if (e % 10 != 0)
            continue;
        std::string line = "Эпоха: " + cells[0];
        for (std::size_t k = 1; k <= 4; ++k)
            line += "\t" + FormatGeneral(StrToFloat(cells[k]), 5);
        for (std::size_t k = 5; k <= 6; ++k)
            line += "\t" + FormatGeneral(StrToFloat(cells[k]), 3) + "%";
        EXPECT_EQ(printed[static_cast<std::size_t>(matched++)], line);
    }
    EXPECT_EQ(matched, 3);
}

// Without a validation part a run prints and saves what it did before the part existed (figures of
// the build before it, for this project).
TEST_F(CliTest, WithoutAValidationPartARunIsAsBefore) {
    ASSERT_EQ(RunCommand({"new", sample_, "-o", Path("g.qvx"), "--seed", "5", "--hidden", "4", "--epochs", "20",
                          "--valid-share", "0"})
                  .Code,
              0);
    TCliResult r = RunCommand({"train", Path("g.qvx")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "Эпоха: 0\t0.084474\t0.082442\t0.24718\t0.16032\t34.2%\t36.7%\n"
                     "Эпоха: 10\t0.011956\t0.010074\t0.06442\t0.030478\t99.2%\t100%\n"
                     "Эпоха: 20\t0.0085381\t0.0077828\t0.052941\t0.04\t99.2%\t100%\n"
                     "Остановка обучения\nИсчерпан лимит эпох.\n"
                     "Species: СКО обуч. 0.26135, тест 0.24952; средняя абс. ошибка обуч. 0.22795, тест 0.21833\n");
    TIniFile saved(Path("g.qvx"));
    EXPECT_FALSE(saved.ValueExists("Phase4", "ValidShare"));
    EXPECT_EQ(saved.ReadString("Network", "W_0_0_0", ""), "0.995765570559374");
    EXPECT_EQ(saved.ReadString("Network", "W_1_3_0", ""), "-0.7947925354859384");
    EXPECT_EQ(saved.ReadString("Network", "WT_1_0", ""), "-3.845213715466141");
}

// A validation part: its mean and maximum error after the seven values, in the lines and in the CSV.
TEST_F(CliTest, TrainPrintsTheValidationPartAfterTheSevenValues) {
    ASSERT_EQ(RunCommand({"new", sample_, "-o", Path("v.qvx"), "--seed", "5", "--hidden", "4", "--epochs", "20",
                          "--valid-share", "20"})
                  .Code,
              0);
    const std::string curve = Path("curve.csv");
    TCliResult r = RunCommand({"train", Path("v.qvx"), "--curve", curve});
    ASSERT_EQ(r.Code, 0) << r.Err;
    std::vector<std::string> rows = Split(ReadBytes(curve), "\n");
    EXPECT_EQ(rows[0], "epoch,train_mean,test_mean,train_max,test_max,train_recognized,test_recognized,"
                       "valid_mean,valid_max,train_rmse:Species,test_rmse:Species");
    const std::vector<std::string> printed = Split(r.Out, "\n");
    for (std::size_t k = 0; k < 3; ++k) {
        const std::vector<std::string> values = Split(printed[k], "\t");
        const std::vector<std::string> cells = Split(rows[10 * k + 1], ",");
        ASSERT_EQ(values.size(), 9u) << printed[k];
        ASSERT_EQ(cells.size(), 11u);
        EXPECT_EQ(values[7], FormatGeneral(StrToFloat(cells[7]), 5));
        EXPECT_EQ(values[8], FormatGeneral(StrToFloat(cells[8]), 5));
        EXPECT_GT(StrToFloat(cells[7]), 0);
    }
}

TEST_F(CliTest, KeepBestRestoresTheEpochOfTheLeastTestErrorAndSaysSo) {
    const std::string project = MakeProject("iris.qvx", 4, true, true);
    const std::string curve = Path("curve.csv");
    TCliResult r = RunCommand({"train", project, "-o", Path("t.qvx"), "--curve", curve});
    ASSERT_EQ(r.Code, 0) << r.Err;
    std::vector<std::string> rows = Split(ReadBytes(curve), "\n");
    int32_t best = -1;
    double least = 0;
    for (std::size_t i = 1; i + 1 < rows.size(); ++i) {
        double v = StrToFloat(Split(rows[i], ",")[2]);
        if (best < 0 || v < least) {
            least = v;
            best = static_cast<int32_t>(i) - 1;
        }
    }
    // The line comes only when an earlier epoch than the last was taken back.
    ASSERT_GE(best, 0);
    const std::string tail = std::string("Остановка обучения\nИсчерпан лимит эпох.\n") +
                             (best < 20 ? "Восстановлена лучшая сеть: эпоха " + std::to_string(best) + "\n" : "");
    const std::size_t at = r.Out.find(tail);
    ASSERT_NE(at, std::string::npos);
    // Only the figures of the network kept follow.
    EXPECT_EQ(Split(r.Out.substr(at + tail.size()), "\n").size(), 2u);
    EXPECT_EQ(r.Out.rfind("Species: СКО обуч. "), at + tail.size());
    EXPECT_EQ(r.Out.find("Восстановлена") != std::string::npos, best < 20);
    EXPECT_EQ(TIniFile(Path("t.qvx")).ReadInteger("Network", "Epoch", -1), best + 1);
    EXPECT_EQ(TIniFile(Path("t.qvx")).ReadString("Phase4", "KeepBest", ""), "1");
}

TEST_F(CliTest, PredictWritesCsvForACsvName) {
    const std::string project = MakeProject("iris.qvx", 6);
    ASSERT_EQ(RunCommand({"predict", project, sample_, "-o", Path("p.txt")}).Code, 0);
    TCliResult r = RunCommand({"predict", project, sample_, "-o", Path("p.CSV")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    std::string text = Cp1251ToUtf8(ReadBytes(Path("p.txt"))), csv;
    text.replace(text.find(".факт"), 9, " (факт)"); // the one header cell the formats name apart
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] != '\r')
            csv += text[i] == '\t' ? ',' : text[i];
    EXPECT_EQ(ReadBytes(Path("p.CSV")), csv);
    EXPECT_EQ(csv.rfind("SepalLength,SepalWidth,PetalLength,PetalWidth,Species,Species (факт)\n5.1,3.5,1.4,0.2,", 0),
              0u);
}

TEST_F(CliTest, TrainingTwiceFromTheSameProjectPrintsTheSameLines) {
    const std::string project = MakeProject("iris.qvx", 4);
    TCliResult a = RunCommand({"train", project, "-o", Path("a.qvx")});
    TCliResult b = RunCommand({"train", project, "-o", Path("b.qvx")});
    ASSERT_EQ(a.Code, 0);
    EXPECT_EQ(a.Out, b.Out);
    EXPECT_EQ(ReadBytes(Path("a.qvx")), ReadBytes(Path("b.qvx")));
}

TEST_F(CliTest, TrainWithoutOutputSavesIntoTheProjectAndContinuesItsEpochs) {
    const std::string project = MakeProject("iris.qvx", 4);
    ASSERT_EQ(RunCommand({"train", project}).Code, 0);
    EXPECT_EQ(TIniFile(project).ReadInteger("Network", "Epoch", -1), 21);
    // A network that has reached the limit trains no further epoch: the run ends at once.
    TCliResult r = RunCommand({"train", project});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "Остановка обучения\nИсчерпан лимит эпох.\n");
    EXPECT_EQ(TIniFile(project).ReadInteger("Network", "Epoch", -1), 21);
    // A higher limit lets it go on from where it stopped.
    TIniFile ini(project);
    ini.WriteInteger("Phase4", "EpochC", 25);
    ini.UpdateFile();
    r = RunCommand({"train", project});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Split(r.Out, "\t")[0], "Эпоха: 21");
    EXPECT_EQ(TIniFile(project).ReadInteger("Network", "Epoch", -1), 26);
}

TEST_F(CliTest, PredictTakesInputColumnsByNameInAnyOrderAndCase) {
    const std::string project = MakeProject("iris.qvx", 6);
    const std::string input = Path("in.txt");
    std::ofstream(input, std::ios::binary) << "petalwidth\tExtra\tSEPALLENGTH\tPetalLength\tsepalwidth\r\n"
                                           << "0.2\t99\t5.1\t1.4\t3.5\r\n"
                                           << "2.3\t98\t6.7\t5.2\t3\r\n";
    TCliResult r = RunCommand({"predict", project, input});
    ASSERT_EQ(r.Code, 0) << r.Err;
    TWizard p;
    LoadProject(p, project);
    std::string want = "SepalLength\tSepalWidth\tPetalLength\tPetalWidth\tSpecies\n";
    for (const std::vector<double>& in : {std::vector<double>{5.1, 3.5, 1.4, 0.2}, {6.7, 3, 5.2, 2.3}}) {
        for (double v : in)
            want += FormatGeneral(v, 15) + "\t";
        want += FormatGeneral(p.PredictValues(in)[0], 15) + "\n";
    }
    EXPECT_EQ(r.Out, want);
}

TEST_F(CliTest, PredictReadsACsvInputWithColumnsInAnyOrderAndTextColumnsBesides) {
    const std::string project = MakeProject("iris.qvx", 6);
    const std::string input = Path("in.CSV");
    std::ofstream(input, std::ios::binary) << "\"Sort\";PetalWidth;\"SEPALLENGTH\";PetalLength;sepalwidth;id\r\n"
                                           << "setosa;0,2;5,1;\"1,4\";3,5;a1\r\n"
                                           << "\"vir;ginica\";2,3;6,7;5,2;3;a2\r\n";
    TCliResult r = RunCommand({"predict", project, input, "-o", Path("out.txt")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    TWizard p;
    LoadProject(p, project);
    std::string want = "SepalLength\tSepalWidth\tPetalLength\tPetalWidth\tSpecies\r\n";
    for (const std::vector<double>& in : {std::vector<double>{5.1, 3.5, 1.4, 0.2}, {6.7, 3, 5.2, 2.3}}) {
        for (double v : in)
            want += FormatGeneral(v, 15) + "\t";
        want += FormatGeneral(p.PredictValues(in)[0], 15) + "\r\n";
    }
    EXPECT_EQ(ReadBytes(Path("out.txt")), want);
}

// The output file written over a user's file stays what it was: a link stays a link, the mode stays.
TEST_F(CliTest, PredictOutputThroughALinkKeepsTheLinkAndTheMode) {
    const std::string project = MakeProject("iris.qvx", 6);
    const std::string target = Path("results.txt");
    std::ofstream(target) << "old";
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const std::string link = Path("latest.txt");
    fs::create_symlink(target, link);
    TCliResult r = RunCommand({"predict", project, std::string(NIRVEX_EXAMPLES_DIR) + "/iris.txt", "-o", link});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadBytes(target).rfind("SepalLength\tSepalWidth", 0), 0u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(CliTest, PredictNamesTheMissingInputField) {
    const std::string project = MakeProject("iris.qvx", 6);
    const std::string input = Path("in.txt");
    std::ofstream(input, std::ios::binary) << "SepalLength SepalWidth PetalLength\r\n1 2 3\r\n";
    TCliResult r = RunCommand({"predict", project, input, "-o", Path("out.txt")});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Во входном файле нет поля PetalWidth\n");
    EXPECT_FALSE(fs::exists(Path("out.txt")));
}

TEST_F(CliTest, PredictReadsSignsAndExponentsAndRefusesALineOfTheWrongCount) {
    const std::string project = MakeProject("iris.qvx", 6);
    const std::string input = Path("in.txt");
    const char* header = "SepalLength SepalWidth PetalLength PetalWidth\r\n";
    std::ofstream(input, std::ios::binary) << header << "5.1e0 -3.5 +1.4 2E-1\r\n";
    TCliResult r = RunCommand({"predict", project, input});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Split(r.Out, "\n").at(1).substr(0, 17), "5.1\t-3.5\t1.4\t0.2\t");

    std::ofstream(input, std::ios::binary) << header << "1 2 3 4\r\n\r\n1 2 3\r\n5 6 7 8\r\n";
    r = RunCommand({"predict", project, input, "-o", Path("out.txt")});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Неверное число значений в строке 4\n");
    EXPECT_FALSE(fs::exists(Path("out.txt")));
}

TEST_F(CliTest, SkippedSampleLinesAreToldOnStandardError) {
    std::ofstream(sample_, std::ios::binary | std::ios::app) << "1 2 3\r\n1 2\r\n";
    const std::string notice = "Пропущено строк с неверным числом значений: 2 (первая — строка 152)\n";
    TCliResult r = RunCommand({"report", MakeProject("iris.qvx", 4)});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, notice);
    // Before the error that ends a command, too.
    r = RunCommand({"train", MakeProject("open.qvx", 4, false)});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, notice + msgRunCannotEnd + "\n");
}

TEST_F(CliTest, PredictReportsAnUnreadableInputFile) {
    const std::string project = MakeProject("iris.qvx", 6);
    TCliResult r = RunCommand({"predict", project, Path("none.txt")});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, msgFileNotFound + Path("none.txt") + "\n");
}

TEST_F(CliTest, RunThatCannotEndIsRefusedAndNothingIsSaved) {
    const std::string project = MakeProject("iris.qvx", 4, false);
    const std::string before = ReadBytes(project);
    TCliResult r = RunCommand({"train", project});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, std::string(msgRunCannotEnd) + "\n");
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(ReadBytes(project), before);
}

TEST_F(CliTest, ProjectSavedOnPageOneLoadsItsSampleBeforeMovingOn) {
    TWizard w;
    w.SampleFileTextChanged(sample_);
    w.Next();
    w.Prev(); // saved on page 1 after the sample was loaded, so the project names it
    const std::string project = SaveProject(w, Path("first.qvx"));
    TCliResult r = RunCommand({"train", project});
    EXPECT_EQ(r.Code, 1);
    // The sample was read and the pages passed; only the stop rules are missing.
    EXPECT_EQ(r.Err, std::string(msgRunCannotEnd) + "\n");
}

TEST_F(CliTest, ForwardStepsFailAsInTheWindow) {
    TWizard w;
    w.SampleFileTextChanged(sample_);
    w.Next();
    w.SelectField(4);
    w.RoleClicked(TFieldRole::Input); // no target left
    const std::string project = SaveProject(w, Path("p.qvx"));
    TCliResult r = RunCommand({"train", project});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, std::string(msgNoTargets) + "\n");
}

TEST_F(CliTest, ReportPrintsTheRestoredConfigurationWhateverThePage) {
    TCliResult r = RunCommand({"report", MakeProject("four.qvx", 4)});
    ASSERT_EQ(r.Code, 0) << r.Err;
    std::vector<std::string> lines = Split(r.Out, "\n");
    ASSERT_EQ(lines.back(), ""); // every line ends with a line feed
    lines.pop_back();
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[0], "Конфигурация нейросистемы");
    EXPECT_EQ(lines[2], "    " + sample_);
    EXPECT_EQ(lines[5], "    SepalLength: x= (X-4.30)/3.60 вход:0");
    EXPECT_EQ(lines[17], "   Слой 1 - число нейронов:4");
    EXPECT_EQ(lines.back(), "   прошло 20 эпох");

    // Saved on page 2: the report of what page 2 restored, the network still the default one.
    r = RunCommand({"report", MakeProject("two.qvx", 1)});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("    Species: x= X/2.00 вход:4\n"), std::string::npos);
}

TEST_F(CliTest, MissingProjectIsAnError) {
    for (const char* command : {"report", "train"}) {
        TCliResult r = RunCommand({command, Path("none.qvx")});
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(r.Err, std::string(msgProjectNotFound) + "\n");
    }
}

// The real program with its standard error captured; an alarm set before the program starts
// ends a hang with a signal, which the test sees as such.
struct TProgramResult {
    bool Exited = false;
    int Code = -1;
    std::string Err;
};

TProgramResult RunProgram(const std::vector<std::string>& args) {
    int pipeFd[2];
    if (pipe(pipeFd) != 0)
        return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFd[1], 2);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        close(pipeFd[0]);
        close(pipeFd[1]);
        std::vector<char*> argv{const_cast<char*>("nirvex-cli")};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        alarm(60);
        execv(NIRVEX_CLI_PATH, argv.data());
        _exit(127);
    }
    close(pipeFd[1]);
    TProgramResult r;
    char buf[4096];
    for (ssize_t n; (n = read(pipeFd[0], buf, sizeof buf)) > 0;)
        r.Err.append(buf, static_cast<std::size_t>(n));
    close(pipeFd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.Exited = WIFEXITED(status);
    r.Code = r.Exited ? WEXITSTATUS(status) : -1;
    return r;
}

// Projects edited by hand or damaged: both commands end with status 1 and the message, without
// a signal or a hang, and `train` leaves the project as it was.
TEST_F(CliTest, ProjectsThatDoNotFitAreRefusedByTrainAndReport) {
    const struct {
        const char* Section;
        const char* Key;
        const char* Value;
        const char* Message;
    } cases[] = {
        {"Network", "Layer_2", "40", msgNetMismatch},      {"Network", "Layer_2", "1000000", msgNetMismatch},
        {"Network", "Layer_0", "6", msgNetMismatch},       {"Network", "Epoch", "2147483647", msgBadProjectFile},
        {"Phase2", "FieldType_0", "3", msgBadProjectFile}, {"Phase2", "NormType_0", "5", msgBadProjectFile},
        {"Main", "State", "7", msgBadProjectFile},         {"Phase3", "HideLayers", "11", msgBadProjectFile},
    };
    const std::string project = MakeProject("iris.qvx", 5);
    const std::string saved = ReadBytes(project);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Section) + " " + c.Key + "=" + c.Value);
        std::ofstream(project, std::ios::binary | std::ios::trunc) << saved;
        TIniFile ini(project);
        ini.WriteString(c.Section, c.Key, c.Value);
        ini.UpdateFile();
        const std::string edited = ReadBytes(project);
        for (const char* command : {"train", "report"}) {
            TProgramResult r = RunProgram({command, project});
            EXPECT_TRUE(r.Exited) << command;
            EXPECT_EQ(r.Code, 1) << command;
            EXPECT_EQ(r.Err, std::string(c.Message) + "\n") << command;
        }
        EXPECT_EQ(ReadBytes(project), edited);
    }
}

TEST_F(CliTest, NetworkAtTheLargestEpochEndsAsAtTheEpochLimit) {
    const std::string project = MakeProject("iris.qvx", 5);
    TIniFile ini(project);
    ini.WriteInteger("Network", "Epoch", kMaxEpoch);
    ini.UpdateFile();
    TCliResult r = RunCommand({"train", project});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Out, "Остановка обучения\nИсчерпан лимит эпох.\n");
    EXPECT_EQ(TIniFile(project).ReadInteger("Network", "Epoch", -1), kMaxEpoch);
}

TEST_F(CliTest, SampleFoundBesideTheProjectIsAnnouncedOnStandardError) {
    const std::string project = MakeProject("iris.qvx", 4);
    TIniFile ini(project);
    ini.WriteString("Phase1", "LearnSampleFileName", "/gone/iris.txt");
    ini.UpdateFile();
    const std::string notice = "Файл выборки не найден: /gone/iris.txt. Используется файл " + sample_ + ".\n";
    TCliResult r = RunCommand({"report", project});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Err, notice);
    EXPECT_NE(r.Out.find("    " + sample_ + "\n"), std::string::npos);

    std::ofstream(sample_, std::ios::binary | std::ios::trunc) << "a b\r\n1 2\r\n";
    r = RunCommand({"report", project});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "Файл выборки не соответствует проекту: " + sample_ + "\n");
}

TEST_F(CliTest, ExportWritesTheProjectsNetworkInTheFormatOfTheExtension) {
    const std::string project = MakeProject("iris.qvx", 6);
    TWizard w;
    LoadProject(w, project);
    struct TCase {
        std::vector<std::string> Args;
        std::string File, Name;
    };
    for (const TCase& c : std::vector<TCase>{{{"-o", Path("a.onnx")}, Path("a.onnx"), "nirvex"},
                                             {{"-o", Path("a.c"), "--name", "iris"}, Path("a.c"), "iris"},
                                             {{"--name", "iris", "-o", Path("b.c")}, Path("b.c"), "iris"}}) {
        std::vector<std::string> args = {"export", project};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        TCliResult r = RunCommand(args);
        ASSERT_EQ(r.Code, 0) << r.Err;
        EXPECT_EQ(r.Out + r.Err, "");
        const std::string expected = Path("expected") + fs::path(c.File).extension().string();
        ExportProject(w.NetModel(), expected, c.Name);
        EXPECT_EQ(ReadBytes(c.File), ReadBytes(expected));
    }
    EXPECT_NE(ReadBytes(Path("a.c")).find("void iris_predict(const double *inputs, double *outputs)"),
              std::string::npos);

    const std::string untrained = MakeProject("page5.qvx", 4);
    for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"export", untrained, "-o", Path("u.onnx")}, msgNotTrained},
             {{"export", project, "-o", Path("u.txt")}, msgExportFormat},
             {{"export", project, "-o", Path("u.c"), "--name", "1st"}, msgExportName}}) {
        TCliResult r = RunCommand(args);
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(r.Err, message + "\n");
    }
    EXPECT_FALSE(fs::exists(Path("u.onnx")) || fs::exists(Path("u.txt")) || fs::exists(Path("u.c")));
}

// The command line takes page 2's step too: a field of one value cannot be an input or a target.
TEST_F(CliTest, ConstantFieldIsRefusedByName) {
    const std::string sample = Path("flat.txt");
    std::ofstream(sample, std::ios::binary) << "a\tflat\ty\r\n1\t7\t2\r\n2\t7\t3\r\n3\t7\t5\r\n4\t7\t1\r\n";
    TWizard w;
    w.SampleFileTextChanged(sample);
    w.Next();
    w.SelectField(1);
    w.RoleClicked(TFieldRole::Unused);
    while (w.State() < 4)
        w.Next();
    const std::string project = SaveProject(w, Path("flat.qvx"));
    ASSERT_EQ(RunCommand({"report", project}).Code, 0);
    TIniFile ini(project);
    ini.WriteInteger("Phase2", "FieldType_1", 0);
    ini.UpdateFile();
    for (const char* command : {"report", "train"}) {
        TCliResult r = RunCommand({command, project});
        EXPECT_EQ(r.Code, 1) << command;
        EXPECT_EQ(r.Err, "Поле flat имеет во всех записях одно значение: 7. Такое поле нельзя сделать входным или "
                         "целевым\n")
            << command;
    }
}

TEST(CliUsage, WrongUsagePrintsTheUsageAndExitsWithTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"learn", "p.qvx"},
        {"report"},
        {"report", "a.qvx", "b.qvx"},
        {"report", "a.qvx", "-o", "b"},
        {"train", "a.qvx", "-o"},
        {"train", "a.qvx", "-o", "b", "-o", "c"},
        {"train", "a.qvx", "--fast"},
        {"predict", "a.qvx"},
        {"predict", "a.qvx", "in.txt", "extra"},
        {"train", "a.qvx", "--curve"},
        {"train", "a.qvx", "--curve", "a.csv", "--curve", "b.csv"},
        {"report", "a.qvx", "--curve", "a.csv"},
        {"predict", "a.qvx", "in.txt", "--curve", "a.csv"},
        {"export", "a.qvx"},
        {"export", "a.qvx", "-o", "m.c", "--name"},
        {"export", "a.qvx", "-o", "m.c", "--name", "a", "--name", "b"},
        {"predict", "a.qvx", "in.txt", "--name", "a"},
        {"fields"},
        {"fields", "a.csv", "-o", "b"},
        {"new", "a.csv"},
        {"new", "a.csv", "b.csv", "-o", "p.qvx"},
        {"new", "a.csv", "-o", "p.qvx", "--rate", "1", "--rate", "2"},
        {"new", "a.csv", "-o", "p.qvx", "--keep-best", "--keep-best"},
        {"new", "a.csv", "-o", "p.qvx", "--norm", "x"},
        {"--version", "x"},
    };
    for (const auto& args : wrong) {
        TCliResult r = RunCommand(args);
        EXPECT_EQ(r.Code, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.Err.rfind("Использование:\n", 0), 0u);
        EXPECT_EQ(r.Out, "");
    }
    TCliResult help = RunCommand({"--help"});
    EXPECT_EQ(help.Code, 0);
    EXPECT_EQ(help.Out.rfind("Использование:\n", 0), 0u);
    for (const TCriterionDef& d : StopCriteria())
        EXPECT_NE(help.Out.find(std::string("\n  ") + CriterionOption(d.Id) + " "), std::string::npos) << d.FlagKey;
}

TEST(CliUsage, VersionIsTheProjectsVersion) {
    TCliResult r = RunCommand({"--version"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out, std::string(kProgramName) + NIRVEX_VERSION + "\n");
    EXPECT_EQ(r.Err, "");
}

// One line per column, the text columns after the fields; a file the load refuses gets its message.
TEST_F(CliTest, FieldsListsTheColumnsOrTheLoadsMessage) {
    const std::string head = std::string(kFieldsHeader) + "\n";
    const std::string number = std::string("\t") + kKindNumber + "\t", category = std::string("\t") + kKindCategory;
    std::string many = "n;s\n";
    for (int r = 0; r < 51; ++r)
        many += std::to_string(r) + ";v" + std::to_string(r) + "\n";
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"id;city;x\r\n1;Москва;-1,5\r\n2;Казань;NA\r\n3;Москва;3e2\r\n",
         head + "id" + number + "0\t1\t3\t\ncity" + category + "\t0\t\t\tМосква, Казань\nx" + number +
             "1\t-1.5\t300\t\n",
         ""},
        {many, head + "n" + number + "0\t0\t50\t\ns\t" + kKindText + "\t\t\t\t\n", ""},
        {"x;y\n1;2\n3;1e999\n", "", "Неверное значение или пропуск в файле. Поле y, строка 3\n"},
        {"a;b\n1\n", "", std::string(msgCsvBadCount) + "2\n"},
        {"a;b\n", "", std::string(msgNoRecords) + "\n"},
    };
    for (const auto& [csv, out, err] : cases) {
        std::ofstream(Path("s.csv"), std::ios::binary | std::ios::trunc) << csv;
        TCliResult r = RunCommand({"fields", Path("s.csv")});
        EXPECT_EQ(r.Code, err.empty() ? 0 : 1);
        EXPECT_EQ(r.Out, out);
        EXPECT_EQ(r.Err, err);
    }
}

// A class answered from a category input with a filled gap: the options, the accuracy with its
// matrix after the end message, and the class names and shares written by predict.
TEST_F(CliTest, CategoryTargetFromNewToPredict) {
    std::string csv = "size;colour;cls\n";
    for (int r = 0; r < 40; ++r)
        csv += std::to_string(r % 4) + ";" +
               (r == 5  ? "NA"
                : r % 2 ? "red"
                        : "blue") +
               ";" + (r % 2 ? "x" : "o") + "\n";
    std::ofstream(Path("c.csv"), std::ios::binary) << csv;
    const std::vector<std::string> base = {"new", Path("c.csv"), "-o", Path("c.qvx"), "--seed", "7"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), base.begin(), base.end());
        return more;
    };
    for (const auto& [args, err] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--norm", "colour=linear"}, std::string(msgCategoryNorm) + "colour"},
             {{"--fill-gaps", "cls"}, std::string(msgNoGapsToFill) + "cls"},
             {{"--fill-gaps", "size"}, std::string(msgNoGapsToFill) + "size"}}) {
        TCliResult r = RunCommand(with(args));
        EXPECT_EQ(r.Code, 1) << args[1];
        EXPECT_NE(r.Err.find(err), std::string::npos) << r.Err;
    }
    TCliResult r = RunCommand(with({"--fill-gaps", "colour", "--hidden", "3", "--rate", "0.5", "--epochs", "300"}));
    ASSERT_EQ(r.Code, 0) << r.Err;
    TWizard w;
    LoadProject(w, Path("c.qvx"));
    EXPECT_TRUE(w.Fields()[1].FillGaps);
    EXPECT_EQ(w.UsableRecordCount(), 40);
    EXPECT_EQ(TIniFile(Path("c.qvx")).ReadString("Phase2", "Category_1_1", ""), "red");

    r = RunCommand({"train", Path("c.qvx")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::string end = "Исчерпан лимит эпох.\n";
    ASSERT_NE(r.Out.find(end), std::string::npos) << r.Out;
    // The same run in the model gives the printed matrix: a row per actual class.
    while (w.State() < 5)
        w.Next();
    w.LearnClicked({});
    ASSERT_EQ(w.TestConfusion().size(), 1u);
    const TConfusion& m = w.TestConfusion()[0];
    EXPECT_EQ(m.Total(), w.TestCount());
    EXPECT_EQ(m.Right(), m.Total()); // colour and size each tell the class
    EXPECT_EQ(r.Out.substr(r.Out.find(end) + end.size()),
              "cls: верно обуч. " + FormatIdentShare(w.TeachConfusion()[0].Right(), w.TeachCount()) + ", тест " +
                  FormatIdentShare(m.Right(), m.Total()) +
                  "\nТочность на тесте, cls: " + FormatIdentShare(m.Right(), m.Total()) + " (" +
                  std::to_string(m.Right()) + " из " + std::to_string(m.Total()) + ")\nфакт \\ ответ\to\tx\no\t" +
                  std::to_string(m.At(0, 0)) + "\t" + std::to_string(m.At(0, 1)) + "\nx\t" +
                  std::to_string(m.At(1, 0)) + "\t" + std::to_string(m.At(1, 1)) + "\n");

    // Columns the network does not use are ignored whatever they hold; the target's are its actual
    // values, written beside the answers as they came (a class training never saw, gaps) and measured:
    // the unseen class counts as wrong, the gaps not at all.
    std::ofstream(Path("in.csv"), std::ios::binary) << "cls;colour;size;junk\nz;red;1;@@\n;blue;2;\n;?;0;x\n";
    r = RunCommand({"predict", Path("c.qvx"), Path("in.csv"), "-o", Path("out.csv")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::vector<std::string> lines = Split(ReadBytes(Path("out.csv")), "\n");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "size,colour,cls,cls (факт),cls:o,cls:x");
    EXPECT_EQ(lines[1].substr(0, 10), "1,red,x,z,");
    EXPECT_EQ(lines[2].substr(0, 11), "2,blue,o,,0");
    EXPECT_EQ(lines[3].substr(0, 7), "0,,o,,0"); // the filled gap is written as it came
    EXPECT_EQ(r.Out, "Точность по файлу, cls: 0% (0 из 1)\nфакт \\ ответ\to\tx\no\t0\t0\nx\t0\t0\n(нет в "
                     "обучении)\t0\t1\nЗначений, которых не было при обучении (считаются ошибкой): 1\n");

    for (const auto& [input, message] : std::vector<std::pair<std::string, std::string>>{
             {"colour;size\nred;1\ngreen;2\n", "Неизвестное значение «green» поля colour в записи 2"},
             {"colour;size\nred;1\nred;NA\n",
              "Пропуск в поле size в записи 2. Пропуски этого поля при обучении не заполнялись"},
             {"colour;size\nred;one\n", "Не число в поле size в записи 1"}}) {
        std::ofstream(Path("in.csv"), std::ios::binary | std::ios::trunc) << input;
        r = RunCommand({"predict", Path("c.qvx"), Path("in.csv"), "-o", Path("bad.csv")});
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(r.Err, std::string(msgGapRecords) + "1\n" + message + "\n"); // the sample's record 6
        EXPECT_FALSE(fs::exists(Path("bad.csv")));
    }
}

// R's iris with Species as text: new's defaults besides the target and 500 epochs.
TEST_F(CliTest, IrisSpeciesIsLearnedAndAnsweredByName) {
    const std::string iris = std::string(NIRVEX_CSV_DIR) + "/iris_write.csv.csv";
    TCliResult r =
        RunCommand({"new", iris, "-o", Path("iris.qvx"), "--target", "Species", "--epochs", "500", "--seed", "1"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    r = RunCommand({"train", Path("iris.qvx")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::size_t at = r.Out.find("Точность на тесте, Species: ");
    ASSERT_NE(at, std::string::npos) << r.Out;
    const std::string outOf = " из ";
    const std::size_t open = r.Out.find('(', at), of = r.Out.find(outOf, at), close = r.Out.find(')', at);
    const int right = std::stoi(r.Out.substr(open + 1, of - open - 1));
    const int total = std::stoi(r.Out.substr(of + outOf.size(), close - of - outOf.size()));
    EXPECT_EQ(total, 30); // 20 % of the records
    EXPECT_GE(right * 10, total * 9) << r.Out.substr(at);

    r = RunCommand({"predict", Path("iris.qvx"), iris, "-o", Path("iris.csv")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::vector<std::string> lines = Split(ReadBytes(Path("iris.csv")), "\n");
    ASSERT_EQ(lines.size(), 152u);
    EXPECT_EQ(lines[0], "Sepal.Length,Sepal.Width,Petal.Length,Petal.Width,Species,Species (факт),Species:setosa,"
                        "Species:versicolor,Species:virginica");
    for (std::size_t k = 1; k <= 150; ++k) {
        const std::string cls = Split(lines[k], ",").at(4);
        EXPECT_TRUE(cls == "setosa" || cls == "versicolor" || cls == "virginica") << lines[k];
    }
    for (const char* file : {"iris.onnx", "iris.c"}) // the classes go along (tests/export runs them)
        EXPECT_EQ(RunCommand({"export", Path("iris.qvx"), "-o", Path(file)}).Code, 0) << file;
}

// R's airquality: NA gaps counted at the load; Ozone's filled, Solar.R's left out, and it trains.
TEST_F(CliTest, AirqualityGapsAreCountedAndFilledOzoneTrains) {
    const std::string air = std::string(NIRVEX_CSV_DIR) + "/airquality_write.csv2.csv";
    TCliResult r = RunCommand({"fields", air});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("\nOzone\t" + std::string(kKindNumber) + "\t37\t1\t168\t\n"), std::string::npos) << r.Out;
    r = RunCommand({"new", air, "-o", Path("air.qvx"), "--target", "Temp", "--fill-gaps", "Ozone", "--epochs", "30",
                    "--seed", "3"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, std::string(msgGapRecords) + "42\n");
    TWizard w;
    LoadProject(w, Path("air.qvx"));
    EXPECT_EQ(w.UsableRecordCount(), 153 - 7);
    r = RunCommand({"train", Path("air.qvx")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("Исчерпан лимит эпох."), std::string::npos);
    EXPECT_EQ(r.Out.find("Точность"), std::string::npos); // no category target
    EXPECT_EQ(TIniFile(Path("air.qvx")).ReadInteger("Network", "Epoch", 0), 31);
}

// A run that could not change the network is refused before its first epoch, and nothing is saved.
TEST_F(CliTest, RunWithoutTrainingExamplesOrRateIsRefused) {
    std::string small = "x y\r\n";
    for (int r = 0; r < 20; ++r)
        small += std::to_string(r) + " " + std::to_string(r % 3) + "\r\n";
    std::ofstream(sample_, std::ios::binary | std::ios::trunc) << small;
    for (const auto& [key, value, message] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"UseForTeach", "1", msgNoTrainingPart}, {"TeachSpeed", "0", msgZeroRate}}) {
        const std::string project = MakeProject("p.qvx", 4);
        TIniFile ini(project);
        ini.WriteString("Phase4", key, value);
        ini.UpdateFile();
        const std::string before = ReadBytes(project);
        TCliResult r = RunCommand({"train", project});
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(r.Out, "");
        EXPECT_EQ(r.Err, message + "\n");
        EXPECT_EQ(ReadBytes(project), before);
    }
}

// A project that stores no record order gets the one its first command drew, and keeps it.
TEST_F(CliTest, RecordOrderDrawnForAHandWrittenProjectIsKept) {
    const std::string project = Path("hand.qvx");
    std::ofstream(project, std::ios::binary) << "[Main]\r\nState=4\r\n[Phase1]\r\nLearnSampleFileName=" << sample_
                                             << "\r\n[Phase2]\r\nFieldName_0=SepalLength\r\nFieldName_1=Species\r\n"
                                             << "FieldType_1=1\r\n[Phase4]\r\nEpoch=yes\r\nEpochC=3\r\n";
    TCliResult r = RunCommand({"train", project, "-o", Path("a.qvx")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const TIniFile kept(project);
    ASSERT_EQ(kept.ReadString("Phase2", "Idexing", ""), "2");
    const std::string seed = kept.ReadString("Phase2", "IND_INIT", "");
    EXPECT_EQ(r.Err, std::string(msgFieldsUnnamed) + "SepalWidth, PetalLength, PetalWidth\n" + msgRecordOrderKept +
                         project + msgRecordOrderSeed + seed + "\n");
    EXPECT_EQ(TIniFile(Path("a.qvx")).ReadString("Phase2", "IND_INIT", "a"), seed);

    r = RunCommand({"train", project, "-o", Path("b.qvx")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, std::string(msgFieldsUnnamed) + "SepalWidth, PetalLength, PetalWidth\n");
    EXPECT_EQ(ReadBytes(Path("a.qvx")), ReadBytes(Path("b.qvx")));
}

} // namespace
} // namespace nirvex

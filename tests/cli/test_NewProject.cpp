// nirvex-cli new: the window's proposals for what is not given, every option as the page it belongs
// to takes it, the refusals, and new + train against the wizard driven through the same choices.
#include "CliFixture.h"
#include "app/cli/NewProject.h"
#include "common/NumberText.h"
#include "engine/IniFile.h"
#include "sample/TextSample.h"
#include "sample/table/SampleFile.h"
#include "support/TestFiles.h"
#include "wizard/Messages.h"

#include <string>
#include <vector>

namespace nirvex {
namespace {

using test::CliTest;
using test::ReadBytes;
using test::RunCommand;
using test::TCliResult;
namespace fs = std::filesystem;

// Page 1 as the open dialog leaves it, with the record order of `seed`.
void LoadWithSeed(TWizard& w, const std::string& sample, uint32_t seed) {
    w.SampleFileChosen(sample);
    w.Next();
    w.RestoreRecordSeed(seed);
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

class NewProjectTest : public CliTest {
protected:
    std::vector<std::string> New(const std::string& sample) const { return {"new", sample, "-o", Path("new.qvx")}; }
};

TEST_F(NewProjectTest, WhatIsNotGivenIsWhatTheWindowProposes) {
    for (const char* example : {"iris.txt", "boston.txt", "statecrime.csv"}) {
        SCOPED_TRACE(example);
        const std::string sample = std::string(NIRVEX_EXAMPLES_DIR) + "/" + example;
        TCliResult r = RunCommand(With(New(sample), {"--seed", "31337"}));
        ASSERT_EQ(r.Code, 0) << r.Err;

        TWizard w;
        LoadWithSeed(w, sample, 31337);
        const std::string target = w.Fields().back().FieldName;
        w.Next();
        w.Next();
        w.CriterionClicked(TCriterion::Epoch, true); // the limit `new` always ticks
        w.SetCriterionCount(TCriterion::Epoch, 1000);
        w.Next();
        EXPECT_EQ(ReadBytes(Path("new.qvx")), ReadBytes(SaveProject(w, Path("window.qvx"))));
        EXPECT_EQ(r.Err, w.SampleNotice() + (w.SampleNotice().empty() ? "" : "\n") + msgTargetTaken + target + "\n");
    }
}

TEST_F(NewProjectTest, DrawnSeedIsToldAndRepeatsTheProject) {
    TCliResult r = RunCommand(New(sample_));
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::string drawn = ReadBytes(Path("new.qvx"));
    const auto seed = static_cast<uint32_t>(TIniFile(Path("new.qvx")).ReadInteger("Phase2", "IND_INIT", 0));
    EXPECT_EQ(r.Err, msgSeedDrawn + std::to_string(seed) + "\n" + msgTargetTaken + "Species\n");
    ASSERT_EQ(RunCommand(With(New(sample_), {"--seed", std::to_string(seed)})).Code, 0);
    EXPECT_EQ(ReadBytes(Path("new.qvx")), drawn);
}

// The roles: names in any letter case; a field not named is an input when only targets are named,
// unused when inputs are, and keeps the load's role when neither is.
TEST_F(NewProjectTest, RolesFollowTheNamedFields) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--target", "sepallength"}, "10000"},
        {{"--input", "PetalWidth"}, "22201"},
        {{"--ignore", "SEPALWIDTH"}, "02001"},
        {{"--target", "Species", "--input", "SepalLength"}, "02221"},
        {{"--target", "PetalWidth", "--target", "SepalWidth"}, "01010"},
    };
    for (const auto& [args, roles] : cases) {
        SCOPED_TRACE(args[1]);
        ASSERT_EQ(RunCommand(With(New(sample_), args)).Code, 0);
        std::string types;
        for (int i = 0; i < 5; ++i)
            types += TIniFile(Path("new.qvx")).ReadString("Phase2", "FieldType_" + std::to_string(i), "-");
        EXPECT_EQ(types, roles);
    }
}

TEST_F(NewProjectTest, ValuesThePagesRefuseAreRefusedWithTheirMessages) {
    const std::string columns =
        std::string(msgColumnsAre) + "SepalLength, SepalWidth, PetalLength, PetalWidth, Species";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--target", "Sort"}, msgNoSuchColumn + std::string("Sort") + columns},
        {{"--target", "Species", "--input", "species"}, msgTwoRoles + std::string("species")},
        {{"--norm", "Species=log"}, "--norm: " + std::string(msgUnknownNorm) + "log"},
        {{"--ignore", "Species"}, msgNoTargets},
        {{"--hidden", "4,0"}, msgNoNeurons},
        {{"--hidden", "4,x"}, "--hidden: 'x' is not a valid integer value"},
        {{"--hidden", "1,1,1,1,1,1,1,1,1,1,1"}, "--hidden" + std::string(msgRangeIs) + "1..10"},
        {{"--slope", "4.5"}, "--slope: " + std::string(msgAlphaRange)},
        {{"--rate", "0,1"}, "--rate: '0,1' is not a valid floating point value"},
        {{"--rate", "0"}, msgZeroRate},
        {{"--train-share", "0"}, "--train-share" + std::string(msgRangeIs) + "1..100"},
        {{"--train-share", "100", "--keep-best"}, msgKeepBestNoTest},
        {{"--valid-share", "51"}, "--valid-share" + std::string(msgRangeIs) + "0..50"},
        {{"--epochs", "100001"}, "--epochs" + std::string(msgRangeIs) + "0..100000"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        TCliResult r = RunCommand(With(New(sample_), args));
        EXPECT_EQ(r.Code, 1);
        ASSERT_GE(r.Err.size(), message.size() + 1);
        EXPECT_EQ(r.Err.substr(r.Err.size() - message.size() - 1), message + "\n");
        EXPECT_FALSE(fs::exists(Path("new.qvx")));
    }
    // A project named as the sample is not opened.
    EXPECT_EQ(RunCommand(New(MakeProject("p.qvx", 4))).Err, std::string(msgUnknownSampleType) + "\n");
}

// Every other option, made through the wizard's operations as the window makes them, then the project
// trained: the same file, and the same weights as a run started in the window on it.
TEST_F(NewProjectTest, NewThenTrainGivesTheWeightsOfTheSameChoicesInTheWindow) {
    std::vector<std::string> args = With(New(sample_), {"--target",      "PetalWidth",
                                                        "--ignore",      "SepalWidth",
                                                        "--norm",        "PetalWidth=sigmoid",
                                                        "--norm",        "species=auto",
                                                        "--hidden",      "5,3",
                                                        "--slope",       "0.75",
                                                        "--rate",        "0.3",
                                                        "--momentum",    "0.6",
                                                        "--train-share", "70",
                                                        "--seed",        "4294967295",
                                                        "--ident-error", "0.1",
                                                        "--validate",    "--keep-best",
                                                        "--valid-share", "20"});
    TWizard w;
    LoadWithSeed(w, sample_, 4294967295u);
    w.SelectField(1);
    w.RoleClicked(TFieldRole::Unused);
    w.SelectField(3);
    w.MethodClicked(TNormMethod::Sigmoid);
    w.RoleClicked(TFieldRole::Target);
    w.SelectField(4);
    w.MethodClicked(TNormMethod::Auto);
    w.RoleClicked(TFieldRole::Input);
    w.Next();
    w.HideLayerCountChanged("2");
    w.SetLayerCell(1, "5");
    w.SetLayerCell(2, "3");
    w.AlphaTextChanged("0.75");
    w.AlphaExit();
    w.Next();
    w.SetLearnValue(&TLearnPage::TeachSpeedText, "0.3");
    w.SetLearnValue(&TLearnPage::MiuText, "0.6");
    w.SetLearnValue(&TLearnPage::UseForTeach, 70);
    w.SetLearnValue(&TLearnPage::ValidShare, 20);
    w.SetLearnValue(&TLearnPage::IdentErrText, "0.1");
    w.SetLearnValue(&TLearnPage::Validate, true);
    w.KeepBestClicked(true);
    for (const TCriterionDef& d : StopCriteria()) {
        const int32_t count = d.Kind == TCriterionKind::EpochLimit ? 15 : 99;
        const std::string value = d.Kind == TCriterionKind::ErrorBelow ? "0.001" : std::to_string(count);
        args = With(args, {CriterionOption(d.Id), value});
        w.CriterionClicked(d.Id, true);
        if (d.Kind == TCriterionKind::ErrorBelow)
            w.SetCriterionText(d.Id, value);
        else
            w.SetCriterionCount(d.Id, count);
    }
    w.Next();
    ASSERT_EQ(w.State(), 4);
    TCliResult r = RunCommand(args);
    ASSERT_EQ(r.Code, 0) << r.Err;
    const std::string saved = SaveProject(w, Path("window.qvx"));
    EXPECT_EQ(ReadBytes(saved), ReadBytes(Path("new.qvx")));

    r = RunCommand({"train", Path("new.qvx"), "-o", Path("trained.qvx")});
    ASSERT_EQ(r.Code, 0) << r.Err;
    TWizard run;
    LoadProject(run, saved);
    run.Next();
    run.LearnClicked({});
    run.Next();
    SaveProject(run, saved);
    EXPECT_GT(TIniFile(saved).ReadInteger("Network", "Epoch", 0), 0);
    EXPECT_EQ(ReadBytes(saved), ReadBytes(Path("trained.qvx")));
}

} // namespace
} // namespace nirvex

#include "CliFixture.h"

#include "common/NumberText.h"

#include <fstream>
#include <set>
#include <sstream>

namespace nirvex::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class CliImportanceTest : public CliTest {
protected:
    // Iris trained 20 epochs with `share` % of the records for training, saved on page 7.
    std::string TrainedProject(const std::string& name, int32_t share) {
        TWizard w;
        w.SampleFileTextChanged(sample_);
        while (w.State() < 6) {
            if (w.State() == 2)
                w.SetLayerCell(1, "4");
            if (w.State() == 3) {
                w.SetLearnValue(&TLearnPage::UseForTeach, share);
                w.CriterionClicked(TCriterion::Epoch, true);
                w.SetCriterionCount(TCriterion::Epoch, 20);
            }
            if (w.State() == 5)
                w.LearnClicked({});
            w.Next();
        }
        return SaveProject(w, Path(name));
    }
};

TEST_F(CliImportanceTest, PrintsEveryInputMostImportantFirstTheSameEveryTime) {
    const std::string project = TrainedProject("p.qvx", 80);
    const TCliResult r = RunCommand({"importance", project});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(RunCommand({"importance", project}).Out, r.Out);
    std::vector<std::string> lines = Split(r.Out, "\n");
    ASSERT_EQ(lines.size(), 6u); // header, four inputs, the empty tail
    EXPECT_EQ(lines[0], "Поле\tРост ошибки\tДоля\tЧасть выборки");
    EXPECT_EQ(lines[5], "");
    std::set<std::string> names;
    double previous = 1e300;
    for (std::size_t k = 1; k <= 4; ++k) {
        const std::vector<std::string> cells = Split(lines[k], "\t");
        ASSERT_EQ(cells.size(), 4u) << lines[k];
        names.insert(cells[0]);
        const double increase = StrToFloat(cells[1]);
        EXPECT_LE(increase, previous);
        previous = increase;
        EXPECT_EQ(cells[3], "тестовая часть");
    }
    EXPECT_EQ(Split(lines[1], "\t")[2], "100%");
    EXPECT_EQ(names, (std::set<std::string>{"SepalLength", "SepalWidth", "PetalLength", "PetalWidth"}));
}

TEST_F(CliImportanceTest, WritesCsvWithTheSameOrderAndTheTrainingPartWithoutATestPart) {
    const std::string project = TrainedProject("all.qvx", 100);
    const TCliResult printed = RunCommand({"importance", project});
    ASSERT_EQ(printed.Code, 0) << printed.Err;
    EXPECT_NE(printed.Out.find("\tобучающая часть\n"), std::string::npos);
    const TCliResult written = RunCommand({"importance", project, "-o", Path("imp.csv")});
    ASSERT_EQ(written.Code, 0) << written.Err;
    EXPECT_EQ(written.Out, "");
    const std::vector<std::string> csv = Split(ReadAll(Path("imp.csv")), "\n");
    const std::vector<std::string> text = Split(printed.Out, "\n");
    ASSERT_EQ(csv.size(), text.size());
    EXPECT_EQ(csv[0], "field,increase,share_percent,part");
    for (std::size_t k = 1; k + 1 < csv.size(); ++k) {
        const std::vector<std::string> cells = Split(csv[k], ",");
        ASSERT_EQ(cells.size(), 4u);
        EXPECT_EQ(cells[0], Split(text[k], "\t")[0]);
        EXPECT_EQ(cells[3], "training");
    }
}

TEST_F(CliImportanceTest, UntrainedProjectIsRefused) {
    for (int32_t state : {4, 5}) {
        const std::string project = MakeProject("u" + std::to_string(state) + ".qvx", state);
        const TCliResult r = RunCommand({"importance", project, "-o", Path("never.csv")});
        EXPECT_EQ(r.Code, 1);
        EXPECT_EQ(r.Err, "Сеть ещё не обучена\n");
        EXPECT_EQ(r.Out, "");
        EXPECT_FALSE(fs::exists(Path("never.csv")));
    }
}

TEST(CliImportanceUsage, WrongUsageExitsWithTwoAndHelpNamesTheCommand) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"importance"}, {"importance", "a.qvx", "b.qvx"}, {"importance", "a.qvx", "--curve", "c.csv"}})
        EXPECT_EQ(RunCommand(args).Code, 2) << args.size();
    EXPECT_NE(RunCommand({"--help"}).Out.find("nirvex-cli importance ПРОЕКТ [-o CSV]"), std::string::npos);
}

} // namespace
} // namespace nirvex::test

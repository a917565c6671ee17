// Saving and loading the project file: sections per page, key layout, the replay of the forward
// steps, files as users keep them, failures at each step.
#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "engine/IniFile.h"
#include "project/ProjectFile.h"
#include "sample/SampleStats.h"
#include "sample/table/SampleFile.h"
#include "support/ErrorCatch.h"
#include "support/WizardTestPeer.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace nirvex {
namespace {

namespace fs = std::filesystem;

using test::ReadBytes;

void WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// UTF-8 lines to a Windows-1251 file with CR LF line ends, as users keep them.
void WriteCp1251Lines(const std::string& name, const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines)
        text += l + "\r\n";
    WriteBytes(name, Utf8ToCp1251(text));
}

// The message a load raises, or "" when it succeeds.
std::string LoadError(TWizard& w, const std::string& name) {
    return test::ErrorOf([&] { LoadProject(w, name); });
}

class ProjectFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "nirvex-project-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        sample_ = Path("data.txt");
        std::vector<std::string> lines = {"x1\tx2\tЦена"};
        for (int r = 0; r < 12; ++r)
            lines.push_back(std::to_string(r) + "\t" + std::to_string((r * 7) % 5) + "\t" + std::to_string(r * r));
        WriteCp1251Lines(sample_, lines);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // Drives the wizard through the pages as a user would: the sample, a sigmoid for x2 with slope
    // 0.5, 3 hidden neurons, 75 % for training and an epoch limit of 5; stops on page `state` + 1.
    void DriveTo(TWizard& w, int32_t state) {
        w.SampleFileTextChanged(sample_);
        for (;;) {
            if (w.State() == 1) {
                w.SelectField(1);
                w.MethodClicked(TNormMethod::Sigmoid);
                w.ParamExit(TWizard::TParam::Alpha, "0.5");
            } else if (w.State() == 2) {
                w.SetLayerCell(1, "3");
            } else if (w.State() == 3) {
                w.CriterionClicked(TCriterion::Epoch, true);
                w.SetCriterionCount(TCriterion::Epoch, 5);
                w.SetLearnValue(&TLearnPage::UseForTeach, 75);
            }
            if (w.State() >= state)
                break;
            w.Next();
        }
        ASSERT_EQ(w.State(), state);
    }

    std::string dir_;
    std::string sample_;
};

std::vector<std::string> Sections(const std::string& file) {
    return TIniFile(file).ReadSections();
}

// ---- the sections and keys a save writes ----

TEST_F(ProjectFileTest, EachPageWritesTheSectionsUpToItsOwn) {
    const std::vector<std::vector<std::string>> expected = {
        {"Main", "Phase1"},
        {"Main", "Phase1", "Phase2"},
        {"Main", "Phase1", "Phase2", "Phase3"},
        {"Main", "Phase1", "Phase2", "Phase3", "Phase4"},
        {"Main", "Phase1", "Phase2", "Phase3", "Phase4"},
        {"Main", "Phase1", "Phase2", "Phase3", "Phase4", "Network"},
        {"Main", "Phase1", "Phase2", "Phase3", "Phase4", "Network"},
    };
    TWizard w;
    DriveTo(w, 6);
    for (int32_t s = 6; s >= 0; --s) {
        SCOPED_TRACE(s);
        std::string name = Path("p" + std::to_string(s) + ".qvx");
        EXPECT_EQ(SaveProject(w, name), name);
        EXPECT_EQ(Sections(name), expected[static_cast<std::size_t>(s)]);
        EXPECT_EQ(TIniFile(name).ReadInteger("Main", "State", -1), s);
        w.Prev();
    }
}

TEST_F(ProjectFileTest, KeysAreWrittenInTheirOrderWithTheirFormats) {
    TWizard w;
    DriveTo(w, 4);
    std::string name = SaveProject(w, Path("p.qvx"));
    TIniFile ini(name);
    std::vector<std::string> phase2 = {"AvailableFieldsCount"};
    for (int i = 0; i < 3; ++i)
        for (const char* k : {"FieldName_", "FieldType_", "NormType_", "MAX_", "MIN_", "MID_", "DISP_", "ALPHA_"})
            phase2.push_back(k + std::to_string(i));
    phase2.push_back("Idexing");
    phase2.push_back("IND_INIT");
    EXPECT_EQ(ini.ReadSection("Phase2"), phase2);
    EXPECT_EQ(ini.ReadSection("Phase3"), (std::vector<std::string>{"HideLayers", "Layer_1", "Alpha"}));
    EXPECT_EQ(ini.ReadSection("Phase4"),
              (std::vector<std::string>{"UseForTeach",  "TeachSpeed",  "Miu",         "IdentErr",     "TestAsValid",
                                        "Epoch",        "EpochC",      "MaxTeachErr", "MaxTeachErrV", "MidTeachErr",
                                        "MidTeachErrV", "TeachIdent",  "TeachIdentC", "MaxTestErr",   "MaxTestErrV",
                                        "MidTestErr",   "MidTestErrV", "TestIdent",   "TestIdentC",   "KeepBest"}));
    EXPECT_EQ(ini.ReadString("Phase2", "AvailableFieldsCount", ""), "3");
    EXPECT_EQ(ini.ReadString("Phase2", "FieldName_2", ""), "Цена");
    EXPECT_EQ(ini.ReadString("Phase2", "NormType_1", ""), "1");
    EXPECT_EQ(ini.ReadString("Phase2", "ALPHA_1", ""), "0.5");
    EXPECT_EQ(ini.ReadString("Phase2", "MID_0", ""), FormatGeneral(w.Fields()[0].Mid, 15));
    EXPECT_EQ(ini.ReadString("Phase2", "DISP_2", ""), FormatGeneral(w.Fields()[2].Disp, 15));
    EXPECT_EQ(ini.ReadString("Phase2", "Idexing", ""), "2");
    EXPECT_EQ(ini.ReadString("Phase3", "Layer_1", ""), "3");
    EXPECT_EQ(ini.ReadString("Phase4", "UseForTeach", ""), "75");
    EXPECT_EQ(ini.ReadString("Phase4", "Epoch", ""), "1");
    EXPECT_EQ(ini.ReadString("Phase4", "EpochC", ""), "5");
    EXPECT_EQ(ini.ReadString("Phase4", "MaxTeachErr", ""), "0");
    EXPECT_EQ(ini.ReadString("Phase4", "KeepBest", ""), "0");
    // Windows-1251 on disk with CR LF line ends.
    std::string bytes = ReadBytes(name);
    EXPECT_NE(bytes.find("FieldName_2=" + Utf8ToCp1251("Цена") + "\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("Цена"), std::string::npos);
    EXPECT_EQ(bytes.rfind("[Main]\r\nState=4\r\n", 0), 0u);
}

// A validation part is the one key written after them, and only when there is one.
TEST_F(ProjectFileTest, ValidShareIsWrittenWhenNotZeroAndReadBack) {
    TWizard w;
    DriveTo(w, 3);
    w.SetLearnValue(&TLearnPage::ValidShare, 25);
    w.Next();
    const std::string name = SaveProject(w, Path("v.qvx"));
    const std::vector<std::string> keys = TIniFile(name).ReadSection("Phase4");
    ASSERT_FALSE(keys.empty());
    EXPECT_EQ(keys.back(), "ValidShare");
    EXPECT_EQ(TIniFile(name).ReadString("Phase4", "ValidShare", ""), "25");
    TWizard loaded;
    LoadProject(loaded, name);
    EXPECT_EQ(loaded.LearnPage().ValidShare, 25);
    EXPECT_EQ(loaded.ValidCount(), w.ValidCount());
    EXPECT_GT(loaded.ValidCount(), 0);
    // Back to 0: the file is the same but for the key, as projects were written before it existed.
    std::string before = ReadBytes(name);
    loaded.Prev();
    loaded.SetLearnValue(&TLearnPage::ValidShare, 0);
    loaded.Next();
    const std::string line = "ValidShare=25\r\n";
    ASSERT_NE(before.find(line), std::string::npos);
    before.erase(before.find(line), line.size());
    EXPECT_EQ(ReadBytes(SaveProject(loaded, name)), before);
}

TEST_F(ProjectFileTest, SeedIsWrittenAsSigned32BitDecimal) {
    TWizard w;
    DriveTo(w, 1);
    TWizardTestPeer::IndexSeed(w) = 0xFFFFFFFBu;
    std::string name = SaveProject(w, Path("p.qvx"));
    EXPECT_EQ(TIniFile(name).ReadString("Phase2", "IND_INIT", ""), "-5");
}

TEST_F(ProjectFileTest, PageFourRealsAreWrittenAsNumbersNotAsTyped) {
    TWizard w;
    DriveTo(w, 3);
    w.SetLearnValue(&TLearnPage::TeachSpeedText, " 0.50 ");
    w.SetCriterionText(TCriterion::MaxTestErr, "1e-5");
    std::string name = SaveProject(w, Path("p.qvx"));
    TIniFile ini(name);
    EXPECT_EQ(ini.ReadString("Phase4", "TeachSpeed", ""), "0.5");
    EXPECT_EQ(ini.ReadString("Phase4", "MaxTestErrV", ""), "1E-5");
}

// ---- the project file name ----

TEST(ProjectFileName, ReplacesTheExtensionOrAddsOne) {
    EXPECT_EQ(ProjectFileName("dir/work.txt"), "dir/work.qvx");
    EXPECT_EQ(ProjectFileName("dir/work"), "dir/work.qvx");
    EXPECT_EQ(ProjectFileName("dir.v2/work"), "dir.v2/work.qvx");
    EXPECT_EQ(ProjectFileName("a.tar.gz"), "a.tar.qvx");
    EXPECT_EQ(ProjectFileName("Default.QVX"), "Default.qvx");
}

TEST_F(ProjectFileTest, SavingUnderAnotherExtensionWritesTheQvxFile) {
    TWizard w;
    DriveTo(w, 1);
    EXPECT_EQ(SaveProject(w, Path("work.txt")), Path("work.qvx"));
    EXPECT_TRUE(fs::exists(Path("work.qvx")));
    EXPECT_FALSE(fs::exists(Path("work.txt")));
    EXPECT_EQ(SaveProject(w, Path("bare")), Path("bare.qvx"));
    EXPECT_TRUE(fs::exists(Path("bare.qvx")));
}

// ---- saving on an earlier page ----

TEST_F(ProjectFileTest, EarlierPageSaveKeepsLaterSectionsAndLoadingIgnoresThem) {
    TWizard w;
    DriveTo(w, 6);
    std::string name = SaveProject(w, Path("p.qvx"));
    w.Prev();
    w.Prev();
    w.Prev();
    w.Prev();
    w.Prev(); // page 2
    SaveProject(w, name);
    TIniFile ini(name);
    EXPECT_EQ(ini.ReadInteger("Main", "State", -1), 1);
    EXPECT_TRUE(ini.SectionExists("Phase3"));
    EXPECT_TRUE(ini.SectionExists("Phase4"));
    EXPECT_TRUE(ini.SectionExists("Network"));

    TWizard loaded;
    LoadProject(loaded, name);
    EXPECT_EQ(loaded.State(), 1);
    EXPECT_EQ(loaded.FieldCount(), 3);
    // Neither page 3 nor the network was restored: the network keeps its construction shape.
    EXPECT_EQ(loaded.Network().GetLayerSize(1), TNeuralNetworkINI().GetLayerSize(1));
    EXPECT_EQ(loaded.LearnPage()[TCriterion::Epoch].On, TLearnPage()[TCriterion::Epoch].On);
}

// ---- the sample changed since the save ----

// Saving over a project whose sections shrink (fewer hidden layers, fewer fields, an earlier page)
// leaves no stale key in the sections it writes.
TEST_F(ProjectFileTest, ResaveOverABiggerProjectLeavesNoStaleKeys) {
    const std::string name = Path("project.qvx");
    TWizard big;
    DriveTo(big, 2);
    big.SetHideLayerCount(2);
    big.SetLayerCell(1, "4");
    big.SetLayerCell(2, "3");
    while (big.State() < 6)
        big.Next();
    SaveProject(big, name);
    ASSERT_EQ(TIniFile(name).ReadInteger("Phase3", "HideLayers", 0), 2);

    const std::string smallSample = Path("small.txt");
    WriteCp1251Lines(smallSample, {"x\ty", "1\t2", "2\t3", "3\t5"});
    TWizard small;
    small.SampleFileTextChanged(smallSample);
    while (small.State() < 3)
        small.Next();
    SaveProject(small, name);
    const std::string fresh = Path("fresh.qvx");
    SaveProject(small, fresh);

    const TIniFile resaved(name), reference(fresh);
    for (const std::string& section : reference.ReadSections()) {
        SCOPED_TRACE(section);
        EXPECT_EQ(resaved.ReadSection(section), reference.ReadSection(section));
    }
}

// A column the project does not name is not used, and the load says so.
TEST_F(ProjectFileTest, ColumnAddedIsLeftUnusedWhileTheOthersAreMatchedByName) {
    TWizard w;
    DriveTo(w, 2);
    w.Prev();
    w.SelectField(0);
    w.RoleClicked(TFieldRole::Unused);
    std::string name = SaveProject(w, Path("p.qvx"));
    std::vector<std::string> lines = {"new\tx1\tx2\tцена"}; // the target in other letter case
    for (int r = 0; r < 12; ++r)
        lines.push_back("1\t" + std::to_string(r) + "\t" + std::to_string(r % 3) + "\t" + std::to_string(2 * r));
    WriteCp1251Lines(sample_, lines);

    TWizard loaded;
    LoadProject(loaded, name);
    ASSERT_EQ(loaded.FieldCount(), 4);
    EXPECT_EQ(loaded.Fields()[0].FieldType, TFieldRole::Unused);
    EXPECT_EQ(loaded.Fields()[0].NormType, TNormMethod::Linear);
    EXPECT_EQ(loaded.TakeNotices(), std::vector<std::string>{std::string(msgFieldsUnnamed) + "new"});
    EXPECT_TRUE(loaded.Modified());
    EXPECT_EQ(loaded.Fields()[1].FieldType, TFieldRole::Unused);
    EXPECT_EQ(loaded.Fields()[2].NormType, TNormMethod::Sigmoid);
    EXPECT_EQ(loaded.Fields()[2].Alpha, 0.5);
    EXPECT_EQ(loaded.Fields()[3].FieldType, TFieldRole::Target);
    // MAX_ and MIN_ are the saved ones, not the new data's.
    EXPECT_EQ(loaded.Fields()[3].Max, 121);
    EXPECT_EQ(loaded.Fields()[3].DataMax, 22);
}

TEST_F(ProjectFileTest, ColumnRemovedLeavesTheSettingsOfTheLastSavedPositionsUnread) {
    TWizard w;
    DriveTo(w, 1);
    w.SelectField(2);
    w.MethodClicked(TNormMethod::None);
    w.SelectField(0);
    w.MethodClicked(TNormMethod::Auto);
    std::string name = SaveProject(w, Path("p.qvx"));
    std::vector<std::string> lines = {"x1\tЦена"};
    for (int r = 0; r < 12; ++r)
        lines.push_back(std::to_string(r) + "\t" + std::to_string(r + 1));
    WriteCp1251Lines(sample_, lines);

    TWizard loaded;
    LoadProject(loaded, name);
    ASSERT_EQ(loaded.FieldCount(), 2);
    EXPECT_EQ(loaded.Fields()[0].NormType, TNormMethod::Auto);
    // Saved at position 2, which the two-field sample no longer reaches.
    EXPECT_EQ(loaded.Fields()[1].NormType, TNormMethod::Linear);
    EXPECT_EQ(loaded.Fields()[1].FieldType, TFieldRole::Target);
}

// ---- the record order ----

TEST_F(ProjectFileTest, ExplicitOrderWithMissingKeysGivesTheirOwnPositions) {
    std::string name = Path("p.qvx");
    WriteCp1251Lines(name, {"[Main]", "State=1", "[Phase1]", "LearnSampleFileName=" + sample_, "[Phase2]", "Idexing=1",
                            "IND_0=11", "IND_2=0", "IND_11=4"});
    TWizard w;
    LoadProject(w, name);
    EXPECT_EQ(w.RecordIndex(), (std::vector<int32_t>{11, 1, 0, 3, 4, 5, 6, 7, 8, 9, 10, 4}));
}

TEST_F(ProjectFileTest, ExplicitOrderOutsideTheSampleIsRefused) {
    std::string name = Path("p.qvx");
    WriteCp1251Lines(
        name, {"[Main]", "State=1", "[Phase1]", "LearnSampleFileName=" + sample_, "[Phase2]", "Idexing=1", "IND_3=12"});
    TWizard w;
    try {
        LoadProject(w, name);
        FAIL() << "loaded";
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), msgBadProjectFile);
    }
    EXPECT_EQ(w.State(), 0);
}

TEST_F(ProjectFileTest, RecordOrderIsSavedTheWayItCame) {
    // A list: loaded, saved as the full list, loaded again.
    const std::vector<int32_t> order = {5, 11, 0, 7, 3, 9, 1, 10, 2, 8, 4, 6};
    std::vector<std::string> lines = {"[Main]",   "State=1",  "[Phase1]", "LearnSampleFileName=" + sample_,
                                      "[Phase2]", "Idexing=1"};
    for (std::size_t k = 0; k < order.size(); ++k)
        lines.push_back("IND_" + std::to_string(k) + "=" + std::to_string(order[k]));
    WriteCp1251Lines(Path("list.qvx"), lines);
    TWizard a;
    LoadProject(a, Path("list.qvx"));
    EXPECT_EQ(a.RecordIndex(), order);
    std::string saved = SaveProject(a, Path("list2.qvx"));
    TIniFile ini(saved);
    EXPECT_EQ(ini.ReadInteger("Phase2", "Idexing", 0), 1);
    EXPECT_EQ(ini.ReadInteger("Phase2", "IND_11", -1), 6);
    TWizard b;
    LoadProject(b, saved);
    EXPECT_EQ(b.RecordIndex(), order);

    // Drawn from a seed: the sample chosen again in the open dialog (which reloads it), saved as its seed alone.
    b.Prev();
    b.SampleFileChosen(sample_);
    b.Next();
    saved = SaveProject(b, Path("seed.qvx"));
    EXPECT_EQ(TIniFile(saved).ReadInteger("Phase2", "Idexing", 0), 2);
    EXPECT_FALSE(TIniFile(saved).ValueExists("Phase2", "IND_0"));
    TWizard c;
    LoadProject(c, saved);
    EXPECT_EQ(c.RecordIndex(), b.RecordIndex());
}

TEST_F(ProjectFileTest, LoadSaveLoadKeepsTheSeedTheSplitAndTheNetwork) {
    TWizard w;
    DriveTo(w, 6);
    std::string first = SaveProject(w, Path("a.qvx"));

    TWizard a;
    LoadProject(a, first);
    EXPECT_EQ(a.IndexSeed(), w.IndexSeed());
    EXPECT_EQ(a.RecordIndex(), w.RecordIndex());
    EXPECT_EQ(a.TeachCount(), 9);
    EXPECT_EQ(a.TestCount(), 3);
    ASSERT_EQ(a.Network().CountLayers(), 3);
    EXPECT_EQ(a.Network().GetLayerSize(1), 3);
    for (int32_t i = 0; i < 2; ++i)
        for (int32_t j = 0; j < 3; ++j)
            EXPECT_NEAR(a.Network().GetWeight(0, i, j), w.Network().GetWeight(0, i, j), 1e-13);
    EXPECT_EQ(a.Network().Alpha, w.Network().Alpha);

    std::string second = SaveProject(a, Path("b.qvx"));
    EXPECT_EQ(TIniFile(second).ReadString("Phase2", "IND_INIT", "x"),
              TIniFile(first).ReadString("Phase2", "IND_INIT", "y"));
    EXPECT_EQ(TIniFile(second).ReadSection("Network"), TIniFile(first).ReadSection("Network"));
    TWizard b;
    LoadProject(b, second);
    EXPECT_EQ(b.RecordIndex(), w.RecordIndex());
    EXPECT_EQ(b.State(), 6);
    EXPECT_FALSE(b.Modified());
    EXPECT_FALSE(b.PageChanged());
}

// ---- the pages restored ----

TEST_F(ProjectFileTest, PageFourShowsTheRestoredLearningRateAndMomentum) {
    TWizard w;
    DriveTo(w, 3);
    w.SetLearnValue(&TLearnPage::TeachSpeedText, "0.3");
    w.SetLearnValue(&TLearnPage::MiuText, "0.6");
    std::string name = SaveProject(w, Path("p.qvx"));
    TWizard loaded;
    LoadProject(loaded, name);
    EXPECT_EQ(loaded.State(), 3);
    EXPECT_EQ(loaded.LearnPage().TeachSpeedText, "0.3");
    EXPECT_EQ(loaded.LearnPage().MiuText, "0.6");
    EXPECT_EQ(loaded.LearnPage().UseForTeach, 75);
    EXPECT_TRUE(loaded.LearnPage()[TCriterion::Epoch].On);
    EXPECT_EQ(loaded.LearnPage()[TCriterion::Epoch].Count, 5);
}

// One key of a project saved on page 7 changed to what the pages could not have written.
TEST_F(ProjectFileTest, ValuesThePagesCannotWriteAreRefusedBeforeTheNetworkIsReplaced) {
    struct TCase {
        const char* Section;
        const char* Key;
        const char* Value;
        const char* Message; // empty: the project loads
    };
    const TCase cases[] = {
        {"Main", "State", "7", msgBadProjectFile},
        {"Main", "State", "-1", msgBadProjectFile},
        {"Main", "State", "six", msgBadProjectFile},
        {"Phase2", "FieldType_0", "3", msgBadProjectFile},
        {"Phase2", "FieldType_2", "-1", msgBadProjectFile},
        {"Phase2", "NormType_1", "5", msgBadProjectFile},
        {"Phase2", "NormType_1", "4", ""}, // the categories' method, not taken by a number field
        {"Phase2", "NormType_1", "", msgBadProjectFile},
        {"Phase2", "Idexing", "0", msgBadProjectFile},
        {"Phase2", "Idexing", "7", msgBadProjectFile},
        {"Phase2", "IND_INIT", "4294967291", msgBadProjectFile},
        {"Phase3", "HideLayers", "0", msgBadProjectFile},
        {"Phase3", "HideLayers", "11", msgBadProjectFile},
        {"Phase3", "Alpha", "4.5", msgBadProjectFile},
        {"Phase4", "UseForTeach", "0", msgBadProjectFile},
        {"Phase4", "UseForTeach", "101", msgBadProjectFile},
        {"Phase4", "EpochC", "100001", msgBadProjectFile},
        {"Phase4", "TeachIdentC", "-5", msgBadProjectFile},
        {"Phase4", "TestIdentC", "101", msgBadProjectFile},
        {"Phase4", "ValidShare", "51", msgBadProjectFile},
        {"Phase4", "ValidShare", "-1", msgBadProjectFile},
        {"Network", "Epoch", "2147483647", msgBadProjectFile},
        {"Network", "Epoch", "-1", msgBadProjectFile},
        {"Network", "Epoch", "99999999999", msgBadProjectFile},
        {"Network", "Layer_0", "3", msgNetMismatch},
        {"Network", "Layer_2", "40", msgNetMismatch},
        {"Network", "Layer_2", "1000000", msgNetMismatch},
        {"Network", "Epoch", "2147483646", ""},
        {"Phase3", "HideLayers", "10", ""},
        {"Phase4", "EpochC", "100000", ""},
        {"Phase4", "ValidShare", "50", ""},
        {"Phase2", "FieldType_0", " 0 ", ""},
        {"Phase2", "MAX_0", "1,5", msgBadProjectFile},
        {"Phase4", "TeachSpeed", "0,1", msgBadProjectFile},
        {"Phase4", "MidTestErrV", "", msgBadProjectFile},
        {"Phase4", "Epoch", "maybe", msgBadProjectFile},
        {"Phase4", "KeepBest", "1.0", msgBadProjectFile},
        {"Network", "Miu", "x", msgBadProjectFile},
    };
    TWizard w;
    DriveTo(w, 6);
    const std::string saved = ReadBytes(SaveProject(w, Path("p.qvx")));
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Section) + " " + c.Key + "=" + c.Value);
        WriteBytes(Path("p.qvx"), saved);
        TIniFile ini(Path("p.qvx"));
        ini.WriteString(c.Section, c.Key, c.Value);
        ini.UpdateFile();
        TWizard loaded;
        EXPECT_EQ(LoadError(loaded, Path("p.qvx")), c.Message);
        if (*c.Message) {
            EXPECT_EQ(loaded.State(), 0);
            // Page 3 gave the network 3 hidden neurons; the saved one never replaced it.
            if (std::string(c.Section) == "Network") {
                ASSERT_EQ(loaded.Network().CountLayers(), 3);
                EXPECT_EQ(loaded.Network().GetLayerSize(1), 3);
            }
        } else {
            EXPECT_EQ(loaded.State(), 6);
        }
    }
}

// ---- projects written by hand ----

// Each key left out of a project the window saved with its own proposals takes that proposal again:
// the project saves back byte for byte.
TEST_F(ProjectFileTest, KeyLeftOutTakesWhatThePageProposes) {
    TWizard w;
    w.SampleFileTextChanged(sample_);
    while (w.State() < 6)
        w.Next();
    const std::string saved = ReadBytes(SaveProject(w, Path("window.qvx")));
    const TIniFile window(Path("window.qvx"));
    std::vector<std::pair<std::string, std::string>> keys = {{"", ""}}; // first nothing left out
    for (const char* section : {"Phase3", "Phase4"})
        for (const std::string& key : window.ReadSection(section))
            keys.emplace_back(section, key);
    for (const char* key : {"FieldType_2", "NormType_1", "MAX_0", "MIN_0", "ALPHA_1", "TeachSpeed", "Miu", "Alpha"})
        keys.emplace_back(std::string(key).find('_') == std::string::npos ? "Network" : "Phase2", key);
    for (const auto& [section, key] : keys) {
        SCOPED_TRACE(section + " " + key);
        std::string text = saved;
        if (!key.empty()) {
            const std::string line = "\r\n" + key + "=" + window.ReadString(section, key, "") + "\r\n";
            const std::size_t at = text.find(line, text.find("[" + section + "]"));
            ASSERT_NE(at, std::string::npos);
            text.erase(at, line.size() - 2);
        }
        WriteBytes(Path("hand.qvx"), text);
        TWizard loaded;
        LoadProject(loaded, Path("hand.qvx"));
        EXPECT_EQ(ReadBytes(SaveProject(loaded, Path("hand.qvx"))), saved);
        EXPECT_EQ(loaded.NoticeCount(), 0u);
    }
}

TEST_F(ProjectFileTest, CheckMarksWrittenAsWordsAreRead) {
    TWizard w;
    DriveTo(w, 3);
    const std::string name = SaveProject(w, Path("p.qvx"));
    for (const auto& [word, on] : std::vector<std::pair<const char*, bool>>{
             {"true", true}, {"Yes", true}, {"FALSE", false}, {"no", false}, {"2", true}, {"0", false}}) {
        TIniFile ini(name);
        ini.WriteString("Phase4", "MaxTestErr", word);
        ini.UpdateFile();
        TWizard loaded;
        LoadProject(loaded, name);
        EXPECT_EQ(loaded.LearnPage()[TCriterion::MaxTestErr].On, on) << word;
    }
}

// Fields a project that names some does not name are not used, whatever the load gave them, and the
// load says so, as it does for a name that no column has.
TEST_F(ProjectFileTest, ColumnsTheProjectDoesNotNameAreUnusedAndTold) {
    std::string name = Path("p.qvx");
    WriteCp1251Lines(name, {"[Main]", "State=2", "[Phase1]", "LearnSampleFileName=" + sample_, "[Phase2]",
                            "FieldName_0=x1", "FieldName_1=цена", "FieldType_1=1", "FieldName_2=x3", "FieldType_2=0",
                            "Idexing=2", "IND_INIT=7"});
    TWizard w;
    LoadProject(w, name);
    ASSERT_EQ(w.FieldCount(), 3);
    EXPECT_EQ(w.Fields()[0].FieldType, TFieldRole::Input);
    EXPECT_EQ(w.Fields()[1].FieldType, TFieldRole::Unused);
    EXPECT_EQ(w.Fields()[2].FieldType, TFieldRole::Target);
    EXPECT_EQ(w.Network().GetLayerSize(0), 1);
    EXPECT_EQ(w.TakeNotices(),
              (std::vector<std::string>{msgFieldsUnnamed + std::string("x2"), msgFieldsUnknown + std::string("x3")}));
    EXPECT_TRUE(w.Modified());
}

TEST_F(ProjectFileTest, PageOneProjectFillsTheNameAndLoadsNothing) {
    TWizard w;
    DriveTo(w, 1);
    w.Prev();
    std::string name = SaveProject(w, Path("p.qvx"));
    TWizard loaded;
    LoadProject(loaded, name);
    EXPECT_EQ(loaded.State(), 0);
    EXPECT_EQ(loaded.SampleFileText(), sample_);
    EXPECT_EQ(loaded.FieldCount(), 0);
}

TEST_F(ProjectFileTest, MissingOrForeignFileReadsOnlyDefaults) {
    TWizard w;
    LoadProject(w, Path("none.qvx"));
    EXPECT_EQ(w.State(), 0);
    EXPECT_EQ(w.SampleFileText(), "");
    WriteBytes(Path("foreign.qvx"), std::string("\x89PNG\r\n\x1a\n\0\0[Main\x01", 16));
    LoadProject(w, Path("foreign.qvx"));
    EXPECT_EQ(w.State(), 0);
}

// ---- failures ----

TEST_F(ProjectFileTest, PredictionPageWithoutNetworkFailsAfterPagesOneToFive) {
    TWizard w;
    DriveTo(w, 4);
    std::string name = SaveProject(w, Path("p.qvx"));
    TIniFile ini(name);
    ini.WriteInteger("Main", "State", 6);
    ini.UpdateFile();

    TWizard loaded;
    TWizardTestPeer::Modified(loaded) = true;
    try {
        LoadProject(loaded, name);
        FAIL() << "loaded";
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), msgBadProjectFile); // a section without layers is a damaged file
    }
    EXPECT_EQ(loaded.FieldCount(), 3);
    EXPECT_EQ(loaded.RecordIndex(), w.RecordIndex());
    EXPECT_EQ(loaded.NetPage().Cells[1], "3");
    EXPECT_EQ(loaded.LearnPage()[TCriterion::Epoch].Count, 5);
    EXPECT_EQ(loaded.TeachCount(), 9); // page 4 was applied
    EXPECT_EQ(loaded.State(), 0);
    EXPECT_TRUE(loaded.Modified());
}

TEST_F(ProjectFileTest, MissingSampleEndsTheLoadWithTheReadersMessage) {
    std::string name = Path("p.qvx");
    WriteCp1251Lines(name, {"[Main]", "State=4", "[Phase1]", "LearnSampleFileName=" + Path("gone.txt")});
    TWizard w;
    try {
        LoadProject(w, name);
        FAIL() << "loaded";
    } catch (const EError& e) {
        EXPECT_EQ(e.what(), msgFileNotFound + Path("gone.txt"));
    }
    EXPECT_EQ(w.State(), 0);
    EXPECT_EQ(w.SampleFileText(), Path("gone.txt"));
}

TEST_F(ProjectFileTest, EmptySampleNameEndsTheLoad) {
    std::string name = Path("p.qvx");
    WriteCp1251Lines(name, {"[Main]", "State=2"});
    TWizard w;
    try {
        LoadProject(w, name);
        FAIL() << "loaded";
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), msgNoFileName);
    }
}

TEST_F(ProjectFileTest, ProjectNamingItselfAsSampleEndsInAMessage) {
    std::string name = Path("self.qvx");
    WriteCp1251Lines(name, {"[Main]", "State=1", "[Phase1]", "LearnSampleFileName=" + name});
    TWizard w;
    try {
        LoadProject(w, name);
        FAIL() << "loaded";
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), msgBadProjectFile);
    }
}

TEST_F(ProjectFileTest, FailedSaveLeavesTheOldFileByteForByte) {
    TWizard w;
    DriveTo(w, 4);
    std::string name = SaveProject(w, Path("p.qvx"));
    const std::string before = ReadBytes(name);
    w.Next();
    w.Next(); // page 7: the save would raise State and write the network
    w.SetCriterionText(TCriterion::MidTestErr, "0,05x");
    try {
        SaveProject(w, name);
        FAIL() << "saved";
    } catch (const EError& e) {
        EXPECT_STREQ(e.what(), "Средняя ошибка при тестировании: «0,05x» — не число");
    }
    EXPECT_EQ(ReadBytes(name), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2); // no stray file
}

TEST_F(ProjectFileTest, ProjectOpenedThroughALinkIsSavedIntoTheLinkedFile) {
    const std::string target = Path("synced.qvx");
    TWizard w;
    DriveTo(w, 3);
    SaveProject(w, target);
    const std::string link = Path("desktop.qvx");
    fs::create_symlink(target, link);
    w.SetLearnValue(&TLearnPage::UseForTeach, 60);
    EXPECT_EQ(SaveProject(w, link), link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(TIniFile(target).ReadInteger("Phase4", "UseForTeach", 0), 60);
}

TEST_F(ProjectFileTest, UnwritablePlaceFailsWithTheWriteMessage) {
    TWizard w;
    DriveTo(w, 1);
    std::string name = Path("no-such-dir/p.qvx");
    try {
        SaveProject(w, name);
        FAIL() << "saved";
    } catch (const EError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + name);
    }
}

// ---- files as users keep them ----

TEST_F(ProjectFileTest, HandWrittenWindowsFileWithOddCaseLoadsThroughTheProjectDirectory) {
    std::vector<std::string> lines = {"Вход\tx2\tЦена"};
    for (int r = 0; r < 10; ++r)
        lines.push_back(std::to_string(r) + "\t" + std::to_string(r % 4) + "\t" + std::to_string(3 * r));
    WriteCp1251Lines(Path("проба.txt"), lines);
    std::string name = Path("Старый.QVX");
    WriteCp1251Lines(name, {"[MAIN]",
                            "state = 4",
                            "",
                            "[phase1]",
                            "learnsamplefilename = C:\\Мои данные\\проба.txt",
                            "[PHASE2]",
                            "availablefieldscount=3",
                            "FIELDNAME_0 = ЦЕНА",
                            "fieldtype_0 = 1",
                            "normtype_0=2",
                            "fieldname_1= вход",
                            "FieldType_1 =0",
                            "Max_1 = 20",
                            "min_1=-20",
                            "FieldName_2=X2",
                            "FieldType_2=2",
                            "IDEXING = 2",
                            "ind_init = -5",
                            "[phase3]",
                            "hidelayers = 2",
                            "LAYER_1 = 4",
                            "layer_2= 3 ",
                            "ALPHA = 0.5",
                            "[Phase4]",
                            "useforteach = 50",
                            "TEACHSPEED = 0.25",
                            "miu=0.75",
                            "identerr=0.01",
                            "epoch = 1",
                            "epochc = 7",
                            "midtesterr=1",
                            "MIDTESTERRV=0.125"});
    TWizard w;
    LoadProject(w, name);
    EXPECT_EQ(w.State(), 4);
    EXPECT_EQ(w.SampleFileText(), Path("проба.txt"));
    ASSERT_EQ(w.FieldCount(), 3);
    EXPECT_EQ(w.Fields()[0].FieldType, TFieldRole::Input);
    EXPECT_EQ(w.Fields()[0].Max, 20);
    EXPECT_EQ(w.Fields()[0].Min, -20);
    EXPECT_EQ(w.Fields()[1].FieldType, TFieldRole::Unused);
    EXPECT_EQ(w.Fields()[2].FieldType, TFieldRole::Target);
    EXPECT_EQ(w.Fields()[2].NormType, TNormMethod::Auto);
    EXPECT_EQ(w.IndexSeed(), 0xFFFFFFFBu);
    SetRandSeed(0xFFFFFFFBu);
    EXPECT_EQ(w.RecordIndex(), BuildRecordIndex(10));
    ASSERT_EQ(w.Network().CountLayers(), 4);
    EXPECT_EQ(w.Network().GetLayerSize(0), 1);
    EXPECT_EQ(w.Network().GetLayerSize(1), 4);
    EXPECT_EQ(w.Network().GetLayerSize(2), 3);
    EXPECT_EQ(w.Network().GetLayerSize(3), 1);
    EXPECT_EQ(w.Network().Alpha, 0.5);
    EXPECT_EQ(w.Network().TeachSpeed, 0.25);
    EXPECT_EQ(w.Network().Miu, 0.75);
    EXPECT_EQ(TWizardTestPeer::IdentErrLimit(w), 0.01);
    EXPECT_EQ(TWizardTestPeer::CriterionLimit(w, TCriterion::MidTestErr), 0.125);
    EXPECT_EQ(w.LearnPage()[TCriterion::MidTestErr].Text, "0.125");
    EXPECT_EQ(w.TeachCount(), 5);
    // The sample came from the project's directory: said, and left for the user to save.
    EXPECT_EQ(w.TakeNotices(),
              std::vector<std::string>{"Файл выборки не найден: C:\\Мои данные\\проба.txt. Используется файл " +
                                       Path("проба.txt") + "."});
    EXPECT_TRUE(w.Modified());
    // The report of page 5 was built on the way.
    ASSERT_FALSE(w.Report().empty());
    EXPECT_EQ(w.Report().back(), "   средняя ошибка при тестировании<0.125");
}

TEST_F(ProjectFileTest, NamesOutsideWindows1251SurviveSaveAndLoad) {
    fs::create_directory(Path("Données"));
    const std::string sample = Path("Données/Größe.csv");
    std::string csv = "Größe;Menü;Café\r\n";
    for (int r = 0; r < 8; ++r)
        csv += std::to_string(r) + ";" + std::to_string(r % 3) + ",5;" + std::to_string(2 * r) + "\r\n";
    WriteBytes(sample, csv);
    TWizard w;
    w.SampleFileTextChanged(sample);
    w.Next();
    w.SelectField(1);
    w.MethodClicked(TNormMethod::Sigmoid);
    w.ParamExit(TWizard::TParam::Alpha, "0.5");
    w.RoleClicked(TFieldRole::Unused);
    w.Next();
    ASSERT_EQ(w.State(), 2);
    const std::string project = SaveProject(w, Path("Größe.qvx"));
    EXPECT_EQ(ReadBytes(project).rfind("\xEF\xBB\xBF[Main]", 0), 0u); // UTF-8 with a byte order mark

    TWizard a;
    LoadProject(a, project);
    EXPECT_EQ(a.State(), 2);
    EXPECT_EQ(a.SampleFileText(), sample);
    EXPECT_EQ(a.LearnSampleFileName(), sample);
    ASSERT_EQ(a.FieldCount(), 3);
    EXPECT_EQ(a.Fields()[0].FieldName, "Größe");
    EXPECT_EQ(a.Fields()[1].FieldName, "Menü");
    EXPECT_EQ(a.Fields()[2].FieldName, "Café");
    EXPECT_EQ(a.Fields()[1].FieldType, TFieldRole::Unused);
    EXPECT_EQ(a.Fields()[1].NormType, TNormMethod::Sigmoid);
    EXPECT_EQ(a.Fields()[1].Alpha, 0.5);
    EXPECT_EQ(a.Fields()[2].FieldType, TFieldRole::Target);
    EXPECT_EQ(a.RecordIndex(), w.RecordIndex());
}

namespace {

// Category values a project must carry as they are, each as a CSV cell.
const std::vector<std::pair<std::string, std::string>> kOddValues = {
    {"a;b", "\"a;b\""}, {"x=y", "x=y"},   {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"100 %", "100 %"},
    {"日本", "日本"},   {"Ёжик", "Ёжик"}, {"tab\tin", "\"tab\tin\""},           {"%41", "%41"}};

// Column v of the odd values in `order` (each twice), x counting, the class c alternating.
std::string OddValuesCsv(const std::vector<std::size_t>& order) {
    std::string csv = "v;x;c\r\n";
    int r = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t k : order) {
            csv += kOddValues[k].second + ";" + std::to_string(r) + ";" + (r % 2 ? "p" : "q") + "\r\n";
            ++r;
        }
    return csv;
}

} // namespace

TEST_F(ProjectFileTest, CategoryValuesRoundTripAndKeepTheirSavedOrder) {
    const std::string sample = Path("odd.csv");
    WriteBytes(sample, OddValuesCsv({0, 1, 2, 3, 4, 5, 6, 7}));
    TWizard w;
    w.SampleFileTextChanged(sample);
    w.Next();
    w.Next();
    ASSERT_EQ(w.State(), 2);
    std::vector<std::string> values;
    for (const auto& v : kOddValues)
        values.push_back(v.first);
    ASSERT_EQ(w.Fields()[0].Categories, values);
    const std::string project = SaveProject(w, Path("odd.qvx"));
    const std::string text = ReadBytes(project);
    for (const char* line :
         {"Kind_0=1\r\n", "Categories_0=8\r\n", "Category_0_2=say %22hi%22\r\n", "Category_0_3=100 %25\r\n",
          "Category_0_6=tab%09in\r\n", "Category_0_7=%2541\r\n", "Category_2_1=p\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_EQ(text.find("Kind_1="), std::string::npos);
    EXPECT_EQ(text.find("FillGaps_"), std::string::npos);

    TWizard a;
    LoadProject(a, project);
    EXPECT_EQ(a.Fields()[0].Categories, values);
    EXPECT_EQ(ReadBytes(SaveProject(a, Path("again.qvx"))), text);

    // The sample's first appearances now come in another order: the values keep their saved one.
    const std::vector<std::size_t> order = {5, 7, 0, 3, 6, 1, 4, 2};
    WriteBytes(sample, OddValuesCsv(order));
    TWizard b;
    LoadProject(b, project);
    ASSERT_EQ(b.Fields()[0].Categories, values);
    for (std::size_t r = 0; r < 16; ++r)
        EXPECT_EQ(b.Fields()[0].Categories.at(static_cast<std::size_t>(b.Fields()[0].Values[r])), values[order[r % 8]])
            << r;
    EXPECT_EQ(b.Fields()[2].Categories, (std::vector<std::string>{"q", "p"}));
}

// Projects of numbers alone written by the program before it knew categories and gaps (the sample's
// place as @SAMPLE@): opened and saved again, and trained from the untrained one, byte for byte.
TEST_F(ProjectFileTest, NumbersOnlyProjectSavesAsBeforeCategories) {
    const std::string sample = Path("iris.txt");
    fs::copy_file(NIRVEX_EXAMPLES_DIR "/iris.txt", sample);
    std::map<std::string, std::string> saved;
    for (const char* name : {"iris-new.qvx", "iris-trained.qvx"}) {
        std::string text = ReadBytes(std::string(NIRVEX_PROJECT_DATA_DIR "/") + name);
        ASSERT_FALSE(text.empty()) << name;
        text.replace(text.find("@SAMPLE@"), 8, sample);
        WriteBytes(Path(name), text);
        saved[name] = text;
        TWizard w;
        LoadProject(w, Path(name));
        EXPECT_EQ(w.NoticeCount(), 0u) << name;
        EXPECT_EQ(ReadBytes(SaveProject(w, Path("resaved.qvx"))), text) << name;
    }
    TWizard run;
    LoadProject(run, Path("iris-new.qvx"));
    run.Next();
    run.LearnClicked({});
    run.Next();
    EXPECT_EQ(ReadBytes(SaveProject(run, Path("iris-new.qvx"))), saved["iris-trained.qvx"]);
}

TEST(ResolveSampleName, FallsBackToTheProjectDirectoryOnlyWhenThatFileExists) {
    std::string pattern = (fs::temp_directory_path() / "nirvex-resolve-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::string dir = pattern;
    WriteBytes(dir + "/s.txt", "a b\r\n1 2\r\n");
    const std::string project = dir + "/p.qvx";
    EXPECT_EQ(ResolveSampleName("D:\\x\\s.txt", project), dir + "/s.txt");
    EXPECT_EQ(ResolveSampleName("/elsewhere/s.txt", project), dir + "/s.txt");
    EXPECT_EQ(ResolveSampleName("C:s.txt", project), dir + "/s.txt");
    EXPECT_EQ(ResolveSampleName("D:\\x\\t.txt", project), "D:\\x\\t.txt");
    EXPECT_EQ(ResolveSampleName(dir + "/s.txt", "/nowhere/p.qvx"), dir + "/s.txt");
    EXPECT_EQ(ResolveSampleName("D:\\x\\", project), "D:\\x\\");
    EXPECT_EQ(ResolveSampleName("", project), "");
    fs::remove_all(dir);
}

TEST_F(ProjectFileTest, SampleFoundBesideTheProjectIsAnnouncedAndSavedOnlyByTheUser) {
    TWizard w;
    DriveTo(w, 4);
    const std::string name = SaveProject(w, Path("p.qvx"));
    const std::string notice = "Файл выборки не найден: /gone/data.txt. Используется файл " + sample_ + ".";
    for (int32_t state : {4, 0}) {
        SCOPED_TRACE(state);
        TIniFile ini(name);
        ini.WriteString("Phase1", "LearnSampleFileName", "/gone/data.txt");
        ini.WriteInteger("Main", "State", state);
        ini.UpdateFile();
        TWizard loaded;
        LoadProject(loaded, name);
        EXPECT_EQ(loaded.State(), state);
        EXPECT_EQ(loaded.TakeNotices(), std::vector<std::string>{notice});
        EXPECT_TRUE(loaded.Modified());
        EXPECT_EQ(loaded.SampleFileText(), sample_);
        EXPECT_EQ(loaded.FieldCount(), state > 0 ? 3 : 0);
        EXPECT_EQ(TIniFile(name).ReadString("Phase1", "LearnSampleFileName", ""), "/gone/data.txt");
    }
}

TEST_F(ProjectFileTest, FoundSampleWithoutTheProjectsFieldsIsRefusedAndNothingIsReplaced) {
    TWizard w;
    DriveTo(w, 4);
    const std::string name = SaveProject(w, Path("p.qvx"));
    TIniFile ini(name);
    ini.WriteString("Phase1", "LearnSampleFileName", "/gone/data.txt");
    ini.UpdateFile();
    WriteCp1251Lines(sample_, {"x1\tx2\tPrice", "1\t2\t3", "4\t5\t6"}); // same name, other data

    TWizard loaded;
    const std::string other = Path("other.txt");
    WriteCp1251Lines(other, {"a\tb", "1\t2", "3\t4"});
    loaded.SampleFileTextChanged(other);
    loaded.Next();
    EXPECT_EQ(LoadError(loaded, name), "Файл выборки не соответствует проекту: " + sample_);
    EXPECT_EQ(loaded.State(), 1);
    ASSERT_EQ(loaded.FieldCount(), 2);
    EXPECT_EQ(loaded.Fields()[0].FieldName, "a");
    EXPECT_EQ(loaded.LearnSampleFileName(), other);
    EXPECT_EQ(loaded.SampleFileText(), "/gone/data.txt");
    EXPECT_EQ(loaded.NoticeCount(), 0u);
}

TEST(SameFieldName, IgnoresLatinAndCyrillicLetterCase) {
    EXPECT_TRUE(SameFieldName("PetalWidth", "petalwidth"));
    EXPECT_TRUE(SameFieldName("ЦЕНА", "цена"));
    EXPECT_TRUE(SameFieldName("ЁЖ", "ёж"));
    EXPECT_FALSE(SameFieldName("x1", "x2"));
    EXPECT_FALSE(SameFieldName("Цена", "Цен"));
}

// ---- store and close question ----

TEST_F(ProjectFileTest, StoreSavesAndClearsBothFlagsOrDoesNothingWhenCancelled) {
    TWizard w;
    DriveTo(w, 6);
    TWizardTestPeer::PageChanged(w) = true;
    EXPECT_FALSE(StoreProject(w, ""));
    EXPECT_TRUE(w.HasUnsavedChanges());
    EXPECT_TRUE(StoreProject(w, Path("s.txt")));
    EXPECT_TRUE(fs::exists(Path("s.qvx")));
    EXPECT_FALSE(w.Modified());
    EXPECT_FALSE(w.PageChanged());
    TWizardTestPeer::PageChanged(w) = true;
    w.SetLearnValue(&TLearnPage::MiuText, "x");
    EXPECT_THROW(StoreProject(w, Path("s.qvx")), EError);
    EXPECT_TRUE(w.PageChanged());
}

TEST_F(ProjectFileTest, CloseQuestionAnswers) {
    TWizard w;
    DriveTo(w, 1);
    EXPECT_FALSE(AnswerCloseQuestion(w, TCloseAnswer::Yes, [] { return std::string(); }));
    EXPECT_FALSE(w.StopRequested());
    // "Отмена" changes nothing: whatever runs goes on.
    EXPECT_FALSE(AnswerCloseQuestion(w, TCloseAnswer::Cancel, nullptr));
    EXPECT_FALSE(w.StopRequested());
    EXPECT_TRUE(AnswerCloseQuestion(w, TCloseAnswer::No, nullptr));
    EXPECT_TRUE(w.StopRequested());
    TWizardTestPeer::StopRequested(w) = false;
    EXPECT_THROW(AnswerCloseQuestion(w, TCloseAnswer::Yes, [&] { return Path("none/c.qvx"); }), EError);
    EXPECT_FALSE(w.StopRequested());
    TWizardTestPeer::Modified(w) = true;
    EXPECT_TRUE(AnswerCloseQuestion(w, TCloseAnswer::Yes, [&] { return Path("c.txt"); }));
    EXPECT_TRUE(fs::exists(Path("c.qvx")));
    EXPECT_TRUE(w.StopRequested());
    EXPECT_FALSE(w.Modified()); // saved like any save
}

// A project that has a file of its own is saved there, without a dialog; a new one asks, proposing
// the sample's name; another sample makes another project, which has no file until saved.
TEST_F(ProjectFileTest, SavingGoesToTheProjectsOwnFile) {
    TWizard w;
    DriveTo(w, 6);
    EXPECT_EQ(w.ProposedProjectName(), Path("data.qvx"));
    int asked = 0;
    auto ask = [&] {
        ++asked;
        return Path("first.txt");
    };
    EXPECT_TRUE(StoreOwnProject(w, ask));
    EXPECT_TRUE(AnswerCloseQuestion(w, TCloseAnswer::Yes, ask));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(w.ProjectFile(), Path("first.qvx"));
    EXPECT_EQ(w.ProposedProjectName(), Path("first.qvx"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2); // sample and first.qvx
    while (w.State() > 0)
        w.Prev();
    fs::copy_file(sample_, Path("other.txt"));
    w.SampleFileTextChanged(Path("other.txt"));
    w.Next();
    EXPECT_EQ(w.ProjectFile(), "");
    EXPECT_EQ(w.ProposedProjectName(), Path("other.qvx"));
}

// A trained project saved and opened again computes exactly as before: the same doubles out.
TEST_F(ProjectFileTest, ReopenedProjectPredictsBitForBit) {
    TWizard w;
    DriveTo(w, 5);
    w.LearnClicked({});
    w.Next();
    ASSERT_TRUE(w.NetworkTrained());
    const std::string name = SaveProject(w, Path("trained.qvx"));
    TWizard again;
    LoadProject(again, name);
    ASSERT_EQ(again.State(), 6);
    for (double a = 0; a <= 12; a += 0.75)
        for (double b = -1; b <= 5; b += 1.25) {
            const std::vector<double> in = {a, b};
            EXPECT_EQ(again.PredictValues(in), w.PredictValues(in)) << a << " " << b;
        }
    // and saving the reopened project writes the same file
    EXPECT_EQ(ReadBytes(SaveProject(again, Path("again.qvx"))), ReadBytes(name));
}

// Texts a page would have refused, in a file written by hand, are a damaged project, not an
// English conversion message.
TEST_F(ProjectFileTest, HandWrittenNumbersThatAreNoneGiveTheProjectFileMessage) {
    TWizard w;
    DriveTo(w, 4);
    const std::string name = SaveProject(w, Path("p.qvx"));
    const std::string saved = ReadBytes(name);
    fs::copy_file(name, Path("good.qvx"));
    struct TCase {
        const char* Section;
        const char* Key;
        const char* Value;
    };
    for (const TCase& c : std::vector<TCase>{{"Phase3", "Layer_1", "ten"},
                                             {"Phase3", "Layer_1", ""},
                                             {"Phase3", "Alpha", "abc"},
                                             {"Main", "State", "6"}}) { // no network section
        SCOPED_TRACE(std::string(c.Key) + "=" + c.Value);
        WriteBytes(name, saved);
        TIniFile ini(name);
        ini.WriteString(c.Section, c.Key, c.Value);
        ini.UpdateFile();
        TWizard loaded;
        LoadProject(loaded, Path("good.qvx"));
        ASSERT_EQ(loaded.ProjectFile(), Path("good.qvx"));
        EXPECT_EQ(LoadError(loaded, name), msgBadProjectFile);
        EXPECT_EQ(loaded.ProjectFile(), ""); // a save must not put the half-read project into good.qvx
        // What the failed load leaves is still a network the pages could have made.
        EXPECT_GE(loaded.Network().Alpha, kMinSlope);
        EXPECT_GT(loaded.Network().CountLayers(), 0);
        EXPECT_GT(loaded.Network().TeachSpeed, 0);
    }
}

} // namespace
} // namespace nirvex

// What "Далее >>" on page 1 loads, what counts as a change of a page, and the slope page 3
// shows, checks and hands to the network.
#include "WizardFixture.h"
#include "project/ProjectFile.h"
#include "support/WizardTestPeer.h"

#include <filesystem>
#include <functional>

using namespace nirvex;
using nirvex::test::ErrorOf;
using nirvex::test::WizardTest;

namespace {

// Loaded on page 1, back again, and a field setting changed on the way that a reload would reset.
class LoadRuleTest : public WizardTest {
protected:
    void LoadIrisAndMarkField() {
        Type(Iris());
        w.Next();
        w.SelectField(1);
        w.RoleClicked(TFieldRole::Unused);
        w.Prev();
    }
    bool Reloaded() const { return w.Fields().size() == 5 && w.Fields()[1].FieldType == TFieldRole::Input; }
};

} // namespace

TEST_F(LoadRuleTest, NextOnPageOneLoadsOnlyWhatIsNotLoadedYet) {
    const std::string small = WriteSample("small.txt", "a\tb\r\n1\t2\r\n3\t4\r\n");
    const struct {
        const char* Case;
        std::function<void()> Act;
        bool Loads;
    } cases[] = {
        {"nothing touched", [] {}, false},
        {"focus came back into the page", [&] { w.Page1FocusEntered(); }, false},
        {"the same name typed again", [&] { Type(Iris()); }, false},
        {"the same file chosen in the open dialog", [&] { w.SampleFileChosen(Iris()); }, true},
        {"another name, focus back in the page", [&] { Type(small), w.Page1FocusEntered(); }, true},
    };
    for (const auto& c : cases) {
        w = TWizard();
        LoadIrisAndMarkField();
        c.Act();
        w.Next();
        EXPECT_EQ(w.State(), 1) << c.Case;
        EXPECT_EQ(w.LearnSampleFileName(), w.SampleFileText()) << c.Case;
        EXPECT_EQ(w.Fields()[1].FieldType != TFieldRole::Unused, c.Loads) << c.Case;
    }
}

TEST_F(LoadRuleTest, FailedLoadIsRetriedAndKeepsTheLoadedSampleMeanwhile) {
    LoadIrisAndMarkField();
    const std::string later = (std::filesystem::temp_directory_path() / "nirvex_wizard_later.txt").string();
    std::filesystem::remove(later);
    Type(later);
    EXPECT_NE(ErrorOf([&] { w.Next(); }), "");
    EXPECT_EQ(w.Fields().size(), 5u);
    std::filesystem::copy_file(Iris(), later);
    files_.push_back(later);
    TWizardTestPeer::Modified(w) = false;
    w.Page1FocusEntered();
    w.Next();
    EXPECT_EQ(w.State(), 1);
    EXPECT_EQ(w.LearnSampleFileName(), later);
    EXPECT_TRUE(Reloaded());
    EXPECT_TRUE(w.Modified()); // a new sample is a change of the project
}

TEST_F(LoadRuleTest, ProjectSavedOnPageOneLoadsItsSample) {
    LoadIrisAndMarkField();
    const std::string saved = SaveProject(w, WriteSample("p1.qvx", ""));
    TWizard opened;
    LoadProject(opened, saved);
    ASSERT_EQ(opened.State(), 0);
    EXPECT_TRUE(opened.Fields().empty());
    opened.Next();
    EXPECT_EQ(opened.State(), 1);
    EXPECT_EQ(opened.Fields().size(), 5u);
}

TEST_F(WizardTest, OnlyAChangedValueIsAChange) {
    ToNetPage(Iris());
    w.Prev();
    w.SelectField(0);
    const struct {
        const char* Case;
        std::function<void()> Same, Changed;
    } cases[] = {
        {"parameter", [&] { w.ParamExit(TWizard::TParam::Min, w.FieldPage().MinText); },
         [&] { w.ParamExit(TWizard::TParam::Min, "4"); }},
        {"method", [&] { w.MethodClicked(w.Fields()[0].NormType); },
         [&] { w.MethodClicked(static_cast<TNormMethod>((static_cast<int>(w.Fields()[0].NormType) + 1) % 4)); }},
        {"role", [&] { w.RoleClicked(TFieldRole::Input); }, [&] { w.RoleClicked(TFieldRole::Target); }},
        {"grid cell", [&] { w.SetLayerCell(1, "10"); }, [&] { w.SetLayerCell(1, "7"); }},
        {"slope edit", [&] { w.AlphaExit(); }, [&] { w.AlphaTextChanged("2"), w.AlphaExit(); }},
        {"learning rate", [&] { w.SetLearnValue(&TLearnPage::TeachSpeedText, w.LearnPage().TeachSpeedText); },
         [&] { w.SetLearnValue(&TLearnPage::TeachSpeedText, "0.3"); }},
        {"training share", [&] { w.SetLearnValue(&TLearnPage::UseForTeach, 80); },
         [&] { w.SetLearnValue(&TLearnPage::UseForTeach, 60); }},
        {"validation box", [&] { w.SetLearnValue(&TLearnPage::Validate, false); },
         [&] { w.SetLearnValue(&TLearnPage::Validate, true); }},
    };
    for (const auto& c : cases) {
        if (c.Case == std::string("grid cell"))
            w.Next(); // page 3
        else if (c.Case == std::string("learning rate"))
            w.Next(); // page 4
        TWizardTestPeer::PageChanged(w) = false;
        c.Same();
        EXPECT_FALSE(w.PageChanged()) << c.Case;
        c.Changed();
        EXPECT_TRUE(w.PageChanged()) << c.Case;
    }
}

TEST_F(WizardTest, TheSlopeShownIsTheSlopeUsedAndAlwaysInRange) {
    ToNetPage(Iris());
    EXPECT_EQ(w.NetPage().AlphaText, "0.5");
    EXPECT_EQ(w.NetPage().CurveY[22], Sigmoid(0.5, 1));
    // Out of range, typed and left or only typed: refused every time, the network untouched.
    for (const char* typed : {"5", "0", "-1", "5"}) {
        w.AlphaTextChanged(typed);
        EXPECT_EQ(ErrorOf([&] { w.AlphaExit(); }), msgAlphaRange) << typed;
        EXPECT_EQ(ErrorOf([&] { w.Next(); }), msgAlphaRange) << typed;
        EXPECT_EQ(w.State(), 2);
        EXPECT_EQ(w.Network().Alpha, 0.5);
    }
    // A slope typed and not yet left is applied as shown.
    w.AlphaTextChanged("1.234");
    w.Next();
    EXPECT_EQ(w.Network().Alpha, 1.234);
    w.Prev();
    EXPECT_EQ(w.NetPage().AlphaText, "1.234");
    EXPECT_EQ(w.NetPage().TrackPos, 123);
}

TEST_F(WizardTest, SlopeOfAProjectIsTheNetworksOnItsPage) {
    ToNetPage(Iris());
    w.AlphaTextChanged("2.5");
    const std::string saved = SaveProject(w, WriteSample("p3.qvx", ""));
    TWizard opened;
    LoadProject(opened, saved);
    ASSERT_EQ(opened.State(), 2);
    EXPECT_EQ(opened.Network().Alpha, 2.5);
    EXPECT_EQ(opened.NetPage().AlphaText, "2.5");
    EXPECT_EQ(opened.NetPage().TrackPos, 250);
}

// Every edit shows its value (rounded, or exactly): leaving it as shown changes nothing and gives the
// network back the same numbers, however many digits they have.
TEST_F(WizardTest, LeavingEditsAsShownKeepsEveryValueExactly) {
    ToNetPage(WriteSample("odd.txt", "x\ty\r\n-542.896123\t1\r\n3.14159265358979\t2\r\n7\t0.5\r\n"));
    w.Prev();
    ASSERT_EQ(w.State(), 1);
    for (int32_t field = 0; field < 2; ++field) {
        w.SelectField(field);
        const TFieldInfo before = w.Fields()[static_cast<std::size_t>(field)];
        w.ParamExit(TWizard::TParam::Min, w.FieldPage().MinText);
        w.ParamExit(TWizard::TParam::Max, w.FieldPage().MaxText);
        w.ParamExit(TWizard::TParam::Alpha, w.FieldPage().AlphaText);
        EXPECT_EQ(w.Fields()[static_cast<std::size_t>(field)].Min, before.Min) << field;
        EXPECT_EQ(w.Fields()[static_cast<std::size_t>(field)].Max, before.Max) << field;
    }
    w.SelectField(0);
    EXPECT_EQ(w.FieldPage().MinText, "-542.9"); // shown rounded
    EXPECT_FALSE(w.PageChanged());
    // Typing the rounded text is a change of the value like any other.
    w.SelectField(0);
    w.ParamExit(TWizard::TParam::Min, "5");
    w.ParamExit(TWizard::TParam::Min, "-542.9");
    EXPECT_EQ(w.Fields()[0].Min, -542.9);
    EXPECT_TRUE(w.PageChanged());

    w.Next();
    w.Next(); // page 4 with a network the rounded value rebuilt
    TWizardTestPeer::Network(w).Alpha = 0.1 + 0.2;
    TWizardTestPeer::Network(w).SetTeachSpeed(1.0 / 3);
    TWizardTestPeer::Network(w).Miu = 0.123456789012345678;
    w.Prev();
    TWizardTestPeer::Network(w).Epoch = 3; // taught, so a rebuild would show
    w.AlphaExit();
    w.Next();
    EXPECT_EQ(w.Network().Epoch, 3);
    EXPECT_EQ(w.Network().Alpha, 0.1 + 0.2);
    w.Next();
    EXPECT_EQ(w.Network().TeachSpeed, 1.0 / 3);
    EXPECT_EQ(w.Network().Miu, 0.123456789012345678);
    EXPECT_EQ(w.Network().Epoch, 3);
}

// A rebuilt network is a new one: what showed the one before goes, and a prediction over a file is
// refused before the input is read (the window's test sees the pages themselves).
TEST_F(WizardTest, RebuiltNetworkIsRefusedUntilTaught) {
    ToTrainedPredictPage(Iris());
    const int32_t build = w.NetworkBuild();
    while (w.State() > 2)
        w.Prev();
    w.SetLayerCell(1, "5");
    w.Next();
    EXPECT_FALSE(w.NetworkTrained());
    EXPECT_NE(w.NetworkBuild(), build);
    EXPECT_FALSE(w.NetModel().Trained);
    const std::string out = (std::filesystem::temp_directory_path() / "nirvex_untrained_out.txt").string();
    EXPECT_EQ(ErrorOf([&] { w.PredictOverFile((std::filesystem::temp_directory_path() / "none.txt").string(), out); }),
              msgNotTrained);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(WizardTest, AnotherSampleClearsWhatPageSevenHeld) {
    ToTrainedPredictPage(Iris());
    w.SetPredictInput(0, "5");
    while (w.State() > 0)
        w.Prev();
    Type(WriteSample("two.txt", "a\tb\r\n1\t2\r\n3\t5\r\n4\t4\r\n"));
    w.Next();
    EXPECT_TRUE(w.PredictPage().InputTexts.empty());
    EXPECT_TRUE(w.PredictPage().OutputTexts.empty());
}

// Each page's status line is its own: a field's extremes do not follow the user back to page 1.
TEST_F(WizardTest, StatusLineShowsOnlyWhatBelongsToThePageInView) {
    Type(Iris());
    w.Next();
    w.SelectField(1);
    EXPECT_EQ(w.StatusText(), "Поле : SepalWidth  MIN = 2 MAX = 4.4");
    w.Prev();
    EXPECT_EQ(w.StatusText(), "");
    w.Next();
    EXPECT_EQ(w.StatusText(), "Поле : SepalLength  MIN = 4.3 MAX = 7.9");
    w.Next();
    EXPECT_EQ(w.StatusText(), "");
    w.Next();
    w.Next();
    EXPECT_EQ(w.StatusText(), "");
    w.Next();
    EXPECT_EQ(w.StatusText(), kStatusNewNetwork);
    w.Next();
    EXPECT_EQ(w.StatusText(), "");
}

// A field with one value in every record cannot be an input or a target; left out, it may stay.
TEST_F(WizardTest, ConstantInputOrTargetIsRefusedByName) {
    Type(WriteSample("flat.txt", "a\tflat\ty\r\n1\t7\t2\r\n2\t7\t3\r\n3\t7\t5\r\n"));
    w.Next();
    const std::string message = "Поле flat имеет во всех записях одно значение: 7. Такое поле нельзя сделать входным "
                                "или целевым";
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), message);
    EXPECT_EQ(w.State(), 1);
    w.SelectField(1);
    w.RoleClicked(TFieldRole::Target);
    w.SelectField(2);
    w.RoleClicked(TFieldRole::Input);
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), message);
    w.SelectField(1);
    w.RoleClicked(TFieldRole::Unused);
    w.SelectField(2);
    w.RoleClicked(TFieldRole::Target);
    w.Next();
    EXPECT_EQ(w.State(), 2);
}

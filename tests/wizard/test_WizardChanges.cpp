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

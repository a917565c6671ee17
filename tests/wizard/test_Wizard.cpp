#include "WizardFixture.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "project/ProjectFile.h"
#include "support/WizardTestPeer.h"

#include <cmath>

using namespace nirvex;
using nirvex::test::ErrorOf;
using nirvex::test::WizardTest;

TEST_F(WizardTest, StartsOnPageOneWithItsFrame) {
    EXPECT_EQ(w.State(), 0);
    EXPECT_TRUE(w.NextEnabled());
    EXPECT_FALSE(w.PrevEnabled());
    EXPECT_EQ(w.HelpContext(), 61);
    EXPECT_EQ(w.PictureName(), "1.bmp");
    EXPECT_FALSE(w.Modified());
    EXPECT_EQ(w.Network().CountLayers(), 3);
    w.Prev(); // nothing before page 1
    EXPECT_EQ(w.State(), 0);
}

TEST_F(WizardTest, LoadRefusalsLeavePageOne) {
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Не указано имя файла БД");
    Type(WriteSample("bad.txt", "x y\r\n1,5 2\r\n"));
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Ошибка во входном файле");
    EXPECT_TRUE(w.PageChanged()); // the next "Далее >>" retries
    EXPECT_EQ(w.State(), 0);
    Type(WriteSample("empty.TXT", "x y\r\nno records here\r\n"));
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Обучающая выборка не содержит записей");
    Type(WriteSample("data.xls", "x y\r\n1 2\r\n"));
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Неизвестный тип файла обучающей выборки");
    Type("/no/such/dir/sample");
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Неизвестный тип файла обучающей выборки");
    EXPECT_EQ(w.FieldCount(), 0);
    EXPECT_EQ(w.State(), 0);
    EXPECT_EQ(w.StatusText(), "");
}

TEST_F(WizardTest, ExtensionCaseDoesNotMatter) {
    Type(WriteSample("Data.Txt", "a b\r\n1 2\r\n3 4\r\n"));
    w.Next();
    EXPECT_EQ(w.State(), 1);
    EXPECT_EQ(w.RecordCount(), 2);
}

TEST_F(WizardTest, FailedLoadKeepsThePreviousSample) {
    Type(Iris());
    w.Next();
    w.Prev();
    Type(WriteSample("broken.txt", "a b\r\n1 2\r\n1.2.3\r\n"));
    EXPECT_NE(ErrorOf([&] { w.Next(); }), "");
    EXPECT_EQ(w.FieldCount(), 5);
    EXPECT_EQ(w.RecordCount(), 150);
    EXPECT_EQ(w.LearnSampleFileName(), Iris());
}

TEST_F(WizardTest, LoadingTheExampleShowsTheFieldPage) {
    Type(Iris());
    w.Next();
    ASSERT_EQ(w.State(), 1);
    EXPECT_EQ(w.FieldCount(), 5);
    EXPECT_EQ(w.RecordCount(), 150);
    EXPECT_EQ(w.RecordIndex().size(), 150u);
    EXPECT_LT(w.IndexSeed(), 86400000u);
    EXPECT_TRUE(w.Modified()); // typing the name was a change of page 1
    EXPECT_EQ(w.HelpContext(), 62);
    EXPECT_EQ(w.FieldPage().SelectedField, 0);
    EXPECT_EQ(w.FieldPage().Role, TFieldRole::Input);
    EXPECT_EQ(w.FieldPage().Method, TNormMethod::Linear);
    EXPECT_EQ(w.FieldPage().MinText, "4.3");
    EXPECT_EQ(w.FieldPage().MaxText, "7.9");
    EXPECT_TRUE(w.FieldPage().MinMaxEnabled);
    EXPECT_FALSE(w.FieldPage().AlphaEnabled);
    EXPECT_EQ(w.StatusText(), "Поле : SepalLength  MIN = 4.3 MAX = 7.9");
    EXPECT_EQ(w.Fields()[4].FieldType, TFieldRole::Target);
}

TEST_F(WizardTest, SkippedLinesAreToldInTheStatusLine) {
    const std::string sample = WriteSample("skips.txt", "a b\r\n1 2\r\n3\r\n4 5 6\r\n-7 8e1\r\n");
    const std::string notice = "Пропущено строк с неверным числом значений: 2 (первая — строка 3)";
    Type(sample);
    w.Next();
    ASSERT_EQ(w.State(), 1);
    EXPECT_EQ(w.Fields()[0].Values, (std::vector<double>{1, -7}));
    EXPECT_EQ(w.Fields()[1].Values, (std::vector<double>{2, 80}));
    EXPECT_EQ(w.SampleNotice(), notice);
    EXPECT_EQ(w.StatusText(), notice);
    w.SelectField(1); // picking a field shows its line instead
    EXPECT_EQ(w.StatusText(), "Поле : b  MIN = 2 MAX = 80");

    // A project reopened past the field page shows the notice of its sample again.
    w.Next();
    const auto project = std::filesystem::temp_directory_path() / "nirvex_wizard_skips.qvx";
    files_.push_back(project);
    SaveProject(w, project.string());
    TWizard reopened;
    LoadProject(reopened, project.string());
    EXPECT_EQ(reopened.State(), 2);
    EXPECT_EQ(reopened.StatusText(), notice);

    // When every line is left out, the refusal comes with the reason in the status line.
    w.Prev();
    w.Prev();
    Type(WriteSample("allskipped.txt", "a b\r\n1\r\n"));
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Обучающая выборка не содержит записей");
    EXPECT_EQ(w.StatusText(), "Пропущено строк с неверным числом значений: 1 (первая — строка 2)");
}

TEST_F(WizardTest, BackAndForwardWithoutTouchingTheNameKeepsFieldSettings) {
    Type(Iris());
    w.Next();
    w.SelectField(1);
    w.RoleClicked(TFieldRole::Unused);
    w.Prev();
    w.Page1FocusEntered();
    w.Next();
    EXPECT_EQ(w.Fields()[1].FieldType, TFieldRole::Unused);
    // Typing the same name again keeps them; choosing the file again in the open dialog reloads
    // and resets every setting.
    w.Prev();
    Type(Iris());
    w.Next();
    EXPECT_EQ(w.Fields()[1].FieldType, TFieldRole::Unused);
    w.Prev();
    w.SampleFileChosen(Iris());
    w.Next();
    EXPECT_EQ(w.Fields()[1].FieldType, TFieldRole::Input);
}

TEST_F(WizardTest, RoleAndMethodClicksOnPageTwo) {
    Type(Iris());
    w.Next();
    w.SelectField(2);
    EXPECT_FALSE(w.PageChanged()); // showing a field is not a change
    w.MethodClicked(TNormMethod::Sigmoid);
    EXPECT_TRUE(w.PageChanged());
    EXPECT_EQ(w.Fields()[2].NormType, TNormMethod::Sigmoid);
    EXPECT_FALSE(w.FieldPage().MinMaxEnabled);
    EXPECT_TRUE(w.FieldPage().AlphaEnabled);
    w.MethodClicked(TNormMethod::Auto); // "авто" has no parameters to edit
    EXPECT_FALSE(w.FieldPage().MinMaxEnabled);
    EXPECT_FALSE(w.FieldPage().AlphaEnabled);
    w.MethodClicked(TNormMethod::Linear);
    EXPECT_TRUE(w.FieldPage().MinMaxEnabled);
    w.MethodClicked(TNormMethod::Auto);
    EXPECT_FALSE(w.FieldPage().MinMaxEnabled);
    EXPECT_FALSE(w.FieldPage().AlphaEnabled);
    w.MethodClicked(TNormMethod::None);
    EXPECT_FALSE(w.FieldPage().AlphaEnabled);
    w.RoleClicked(TFieldRole::Unused);
    EXPECT_FALSE(w.FieldPage().MethodGroupEnabled);
    EXPECT_FALSE(w.FieldPage().ParamBoxEnabled);
    EXPECT_TRUE(w.FieldPage().RoleGroupEnabled);
    w.MethodClicked(TNormMethod::Linear); // the disabled group does nothing
    EXPECT_EQ(w.Fields()[2].NormType, TNormMethod::None);
    w.RoleClicked(TFieldRole::Target);
    EXPECT_TRUE(w.FieldPage().MethodGroupEnabled);
}

TEST_F(WizardTest, ParameterEditsConvertOnExit) {
    Type(Iris());
    w.Next();
    TWizardTestPeer::PageChanged(w) = false;
    w.ParamExit(TWizard::TParam::Max, "0.5");
    EXPECT_EQ(w.Fields()[0].Max, 0.5);
    EXPECT_EQ(w.Fields()[0].DataMax, 7.9);
    EXPECT_TRUE(w.PageChanged());
    w.ParamExit(TWizard::TParam::Min, "1e-3");
    EXPECT_EQ(w.Fields()[0].Min, 0.001);
    w.ParamExit(TWizard::TParam::Alpha, " 2.5 ");
    EXPECT_EQ(w.Fields()[0].Alpha, 2.5);
    w.ParamExit(TWizard::TParam::Min, "1,5"); // a decimal comma too
    EXPECT_EQ(w.Fields()[0].Min, 1.5);
    TWizardTestPeer::PageChanged(w) = false;
    EXPECT_EQ(ErrorOf([&] { w.ParamExit(TWizard::TParam::Min, "4,0x"); }), "MIN поля SepalLength: «4,0x» — не число");
    EXPECT_EQ(ErrorOf([&] { w.ParamExit(TWizard::TParam::Max, ""); }), "MAX поля SepalLength: значение не указано");
    EXPECT_EQ(ErrorOf([&] { w.ParamExit(TWizard::TParam::Alpha, "1.2.3"); }), "a поля SepalLength: «1.2.3» — не число");
    EXPECT_EQ(w.Fields()[0].Min, 1.5);
    EXPECT_FALSE(w.PageChanged());
    // Leaving again with the wrong text refuses again.
    EXPECT_NE(ErrorOf([&] { w.ParamExit(TWizard::TParam::Min, "4,0x"); }), "");
    w.SelectField(0);
    EXPECT_EQ(w.FieldPage().MinText, "1.5");
    TWizardTestPeer::Fields(w)[0].Min = 0.00001234;
    TWizardTestPeer::ShowFieldSettings(w);
    EXPECT_EQ(w.FieldPage().MinText, "1.234E-5");
}

TEST_F(WizardTest, RoleCheckNeedsInputsAndTargets) {
    Type(WriteSample("one.txt", "only\r\n1\r\n2\r\n"));
    w.Next();
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Не определены входные поля");
    EXPECT_EQ(w.State(), 1);
    w.SelectField(0);
    w.RoleClicked(TFieldRole::Input);
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Не определены целевые поля");
    EXPECT_EQ(w.InputCount(), 1);
    EXPECT_EQ(w.Fields()[0].NetIndex, 0);
}

TEST_F(WizardTest, LeavingPageTwoNumbersRolesAndResetsTheNetwork) {
    Type(Iris());
    w.Next();
    w.SelectField(1);
    w.RoleClicked(TFieldRole::Unused);
    w.SelectField(3);
    w.RoleClicked(TFieldRole::Target);
    w.Next();
    EXPECT_EQ(w.InputCount(), 2);
    EXPECT_EQ(w.OutputCount(), 2);
    EXPECT_EQ(w.Fields()[0].NetIndex, 0);
    EXPECT_EQ(w.Fields()[2].NetIndex, 1);
    EXPECT_EQ(w.Fields()[3].NetIndex, 0);
    EXPECT_EQ(w.Fields()[4].NetIndex, 1);
    EXPECT_EQ(w.Network().CountLayers(), 3);
    EXPECT_EQ(w.Network().GetLayerSize(0), 2);
    EXPECT_EQ(w.Network().GetLayerSize(1), 10);
    EXPECT_EQ(w.Network().GetLayerSize(2), 2);
}

TEST_F(WizardTest, NetworkPageFirstShow) {
    ToNetPage(Iris());
    EXPECT_EQ(w.NetPage().HideLayerCount, 1);
    EXPECT_EQ(w.NetPage().Cells[1], "10");
    EXPECT_EQ(w.NetPage().InputLayerText, "4");
    EXPECT_EQ(w.NetPage().OutputLayerText, "1");
    EXPECT_EQ(w.NetPage().AlphaText, "0.5"); // the new network's slope, which passing the page keeps
    EXPECT_EQ(w.NetPage().TrackPos, 50);
    EXPECT_EQ(w.NetPage().CurveX[0], -10);
    EXPECT_EQ(w.NetPage().CurveX[40], 10);
    EXPECT_EQ(w.NetPage().CurveX[20], 0);
    EXPECT_EQ(w.NetPage().CurveY[20], 0.5);
    EXPECT_FALSE(w.PageChanged());
    EXPECT_EQ(w.HelpContext(), 63);
}

TEST_F(WizardTest, SlopeEditAndTrackBarStayInStep) {
    ToNetPage(Iris());
    w.TrackBarChanged(400);
    EXPECT_EQ(w.NetPage().AlphaText, "4");
    EXPECT_GT(w.NetPage().CurveY[22], 0.98); // nearly a step at x = 1
    w.TrackBarChanged(1);
    EXPECT_EQ(w.NetPage().AlphaText, "0.01");
    EXPECT_NEAR(w.NetPage().CurveY[40], 0.5, 0.03); // nearly flat
    w.TrackBarChanged(275);
    EXPECT_EQ(w.NetPage().AlphaText, "2.75");
    w.TrackBarChanged(5);
    EXPECT_EQ(w.NetPage().AlphaText, "0.05");
    w.AlphaTextChanged("2");
    w.AlphaExit();
    EXPECT_EQ(w.NetPage().TrackPos, 200);
    EXPECT_EQ(w.NetPage().CurveY[22], Sigmoid(2, 1));
    w.AlphaTextChanged("5");
    EXPECT_EQ(ErrorOf([&] { w.AlphaExit(); }), "Параметр должен быть в диапазоне 0.01..4");
    EXPECT_EQ(w.NetPage().TrackPos, 200);
    EXPECT_EQ(w.NetPage().AlphaText, "5");
    w.AlphaTextChanged("x");
    EXPECT_EQ(ErrorOf([&] { w.AlphaExit(); }), "Параметр сигмоиды: «x» — не число");
    w.AlphaTextChanged("");
    EXPECT_EQ(ErrorOf([&] { w.AlphaExit(); }), "Параметр сигмоиды: значение не указано");
    w.AlphaTextChanged("1,5");
    w.AlphaExit();
    EXPECT_EQ(w.NetPage().TrackPos, 150);
    EXPECT_EQ(w.NetPage().AlphaText, "1.5");
    w.AlphaTextChanged("0.125");
    w.AlphaExit();
    EXPECT_EQ(w.NetPage().TrackPos, 12); // halves go to the even neighbour
    EXPECT_EQ(w.NetPage().AlphaText, "0.12");
    w.AlphaTextChanged("0.1201");
    w.AlphaExit();
    EXPECT_EQ(w.NetPage().AlphaText, "0.1201"); // same position: the text stays as typed
}

TEST_F(WizardTest, HiddenLayersFromTheGrid) {
    ToNetPage(Iris());
    w.HideLayerCountChanged("3");
    EXPECT_EQ(w.NetPage().HideLayerCount, 3);
    EXPECT_TRUE(w.PageChanged());
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Скрытый слой 2, число нейронов: значение не указано");
    EXPECT_EQ(w.State(), 2);
    EXPECT_EQ(w.Network().CountLayers(), 3); // a bad row leaves the network as it was
    w.SetLayerCell(2, "4,5");
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Скрытый слой 2, число нейронов: «4,5» — не целое число");
    w.SetLayerCell(2, "4");
    w.SetLayerCell(3, "3");
    w.AlphaTextChanged("1.5");
    w.Next();
    EXPECT_EQ(w.Network().CountLayers(), 5);
    EXPECT_EQ(w.Network().GetLayerSize(1), 10);
    EXPECT_EQ(w.Network().GetLayerSize(2), 4);
    EXPECT_EQ(w.Network().GetLayerSize(3), 3);
    EXPECT_EQ(w.Network().GetLayerSize(4), 1);
    EXPECT_EQ(w.Network().Alpha, 1.5);
    w.Prev();
    EXPECT_EQ(w.NetPage().HideLayerCount, 3);
    w.HideLayerCountChanged("1");
    w.Next();
    EXPECT_EQ(w.Network().CountLayers(), 3);
    EXPECT_EQ(w.Network().GetLayerSize(1), 10);
}

TEST_F(WizardTest, PassingThroughTheNetworkPageKeepsTheNetwork) {
    ToNetPage(Iris());
    double before = w.Network().GetWeight(0, 1, 2);
    double alpha = w.Network().Alpha;
    w.Next();
    EXPECT_EQ(w.Network().GetWeight(0, 1, 2), before);
    EXPECT_EQ(w.Network().Alpha, alpha); // 0.5, as the page showed
}

TEST_F(WizardTest, PageTwoRebuildsTheNetworkOnlyForAChangeOrANewSample) {
    ToNetPage(Iris());
    double before = w.Network().GetWeight(0, 0, 0);
    w.Prev();
    w.Next(); // nothing touched and the network fits: kept
    EXPECT_EQ(w.Network().GetWeight(0, 0, 0), before);
    EXPECT_EQ(w.Network().GetLayerSize(0), 4);
    w.Prev();
    w.Prev();
    w.SampleFileChosen(Iris()); // a reload gives the network its default shape again, even untouched
    w.Next();
    TWizardTestPeer::Network(w).SetWeight(0, 0, 0, 123);
    w.Next();
    EXPECT_NE(w.Network().GetWeight(0, 0, 0), 123);
}

TEST_F(WizardTest, GoingBackToPageTwoRunsItsStepAgain) {
    ToNetPage(Iris());
    w.Prev();
    for (int f = 0; f < 4; ++f) {
        w.SelectField(f);
        w.RoleClicked(TFieldRole::Unused);
    }
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Не определены входные поля");
}

TEST_F(WizardTest, LearningPageDefaultsAndApply) {
    ToLearnPage(Iris());
    const TLearnPage& p = w.LearnPage();
    EXPECT_EQ(p.IdentErrText, "0.05");
    EXPECT_EQ(p[TCriterion::MaxTeachErr].Text, "0.05");
    EXPECT_EQ(p.UseForTeach, 80);
    EXPECT_EQ(p[TCriterion::Epoch].Count, 10000);
    EXPECT_EQ(p[TCriterion::TeachIdent].Count, 80);
    EXPECT_FALSE(p[TCriterion::Epoch].On);
    EXPECT_EQ(p.TeachSpeedText, "0.1");
    EXPECT_EQ(p.MiuText, "0.9");
    TWizardTestPeer::LearnPage(w)[TCriterion::MidTestErr].Text = "";
    TWizardTestPeer::LearnPage(w).Validate = true; // no handler: not a change
    EXPECT_FALSE(w.PageChanged());
    w.SetLearnValue(&TLearnPage::TeachSpeedText, "0.3");
    w.Prev(); // not applied
    EXPECT_EQ(w.Network().TeachSpeed, 0.1);
    w.Next();
    EXPECT_EQ(w.LearnPage()[TCriterion::MidTestErr].Text, "0.05");
    EXPECT_EQ(w.LearnPage().TeachSpeedText, "0.1"); // what was typed and not applied is replaced
    w.CriterionClicked(TCriterion::Epoch, true);
    EXPECT_TRUE(w.PageChanged());
    w.SetLearnValue(&TLearnPage::TeachSpeedText, "0.3");
    w.SetLearnValue(&TLearnPage::UseForTeach, 1);
    w.Next();
    EXPECT_EQ(w.Network().TeachSpeed, 0.3);
    EXPECT_EQ(w.TeachCount(), 1);
    EXPECT_EQ(w.TestCount(), 149);
    EXPECT_EQ(TWizardTestPeer::IdentErrLimit(w), 0.05);
}

TEST_F(WizardTest, LearningPageConversionErrorStopsPartWay) {
    ToLearnPage(Iris());
    w.SetLearnValue(&TLearnPage::IdentErrText, "0.2");
    w.SetCriterionText(TCriterion::MidTeachErr, "abc");
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), "Средняя ошибка при обучении: «abc» — не число");
    EXPECT_EQ(w.State(), 3);
    EXPECT_EQ(TWizardTestPeer::IdentErrLimit(w), 0.2); // taken before the faulty field
    EXPECT_EQ(w.TeachCount(), 0);                      // not reached
    w.SetCriterionText(TCriterion::MidTeachErr, "0.1");
    w.SetLearnValue(&TLearnPage::UseForTeach, 100);
    w.Next();
    EXPECT_EQ(w.TestCount(), 0);
}

namespace {

struct TRunRecorder {
    std::vector<std::string> endMessages, errors, captions;
    std::string captionShownAtError; // the last caption the window was told to paint
    TWizard::TRunHooks Hooks(TWizard& w, ITrainingView* view) {
        TWizard::TRunHooks h;
        h.View = view;
        h.OnEndMessage = [this](const std::string& m) { endMessages.push_back(m); };
        h.OnError = [this](const std::string& m) {
            errors.push_back(m);
            captionShownAtError = captions.empty() ? "" : captions.back();
        };
        h.OnStateChanged = [this, &w] { captions.push_back(w.LearnCaption()); };
        return h;
    }
};

} // namespace

class WizardTrainingTest : public WizardTest {
protected:
    void ToTrainingPage(const std::function<void()>& onLearnPage = {}) {
        ToLearnPage(Iris());
        if (onLearnPage)
            onLearnPage();
        w.Next();
        w.Next();
        ASSERT_EQ(w.State(), 5);
    }
};

TEST_F(WizardTrainingTest, EpochLimitRunEndsWithItsMessageAndRestoresTheButton) {
    ToTrainingPage([&] {
        w.CriterionClicked(TCriterion::Epoch, true);
        w.SetCriterionCount(TCriterion::Epoch, 12);
    });
    EXPECT_EQ(w.StatCells()[1][0], "Обуч.");
    EXPECT_EQ(w.StatCells()[0][3], "Распознано");
    EXPECT_EQ(w.StatCells()[1][1], "");
    TRunRecorder rec;
    w.LearnClicked(rec.Hooks(w, nullptr));
    EXPECT_EQ(rec.endMessages, (std::vector<std::string>{"Остановка обучения\n\rИсчерпан лимит эпох."}));
    EXPECT_EQ(rec.captions, (std::vector<std::string>{"Остановка обучения", "Пуск обучения"}));
    EXPECT_EQ(w.Network().Epoch, 13);
    EXPECT_EQ(w.StatusText(), "Эпоха: 10"); // the last refresh, not the last epoch
    EXPECT_FALSE(w.StatCells()[1][1].empty());
    EXPECT_EQ(w.StatCells()[2][3].back(), '%');
    EXPECT_EQ(w.LearnState(), TLearnState::Idle);
    EXPECT_TRUE(w.NextEnabled());
    EXPECT_TRUE(w.QuitEnabled());
    EXPECT_TRUE(w.IconTimerEnabled());
    EXPECT_TRUE(w.PageChanged()); // the trained state is a change of the project
}

TEST_F(WizardTrainingTest, StopButtonDuringARun) {
    ToTrainingPage();
    struct TStopper : ITrainingView {
        TWizard* w = nullptr;
        TWizard::TRunHooks hooks;
        int examples = 0;
        std::vector<std::string> seen;
        bool Pump() override {
            if (++examples == 200) {
                seen.push_back(w->LearnCaption());
                EXPECT_FALSE(w->NextEnabled());
                EXPECT_FALSE(w->PrevEnabled());
                EXPECT_FALSE(w->QuitEnabled());
                EXPECT_FALSE(w->IconTimerEnabled());
                w->LearnClicked(hooks); // the button pressed again from inside the run
                seen.push_back(w->LearnCaption());
            }
            return false;
        }
    } stopper;
    TRunRecorder rec;
    stopper.w = &w;
    stopper.hooks = rec.Hooks(w, &stopper);
    w.LearnClicked(stopper.hooks);
    EXPECT_EQ(stopper.seen, (std::vector<std::string>{"Остановка обучения", "Ждите..."}));
    EXPECT_TRUE(rec.endMessages.empty());
    EXPECT_EQ(w.Network().Epoch, 2); // 120 training + 30 test examples per epoch
    EXPECT_EQ(w.LearnCaption(), "Пуск обучения");
    EXPECT_EQ(w.LearnHint(), "Начало обучения системы");
}

TEST_F(WizardTrainingTest, CriterionEndsTheRun) {
    ToTrainingPage([&] {
        w.CriterionClicked(TCriterion::MaxTeachErr, true);
        w.SetCriterionText(TCriterion::MaxTeachErr, "10");
    });
    TRunRecorder rec;
    w.LearnClicked(rec.Hooks(w, nullptr));
    EXPECT_EQ(rec.endMessages, (std::vector<std::string>{"Обучение завершено успешно"}));
    EXPECT_EQ(w.Network().Epoch, 1);
}

TEST_F(WizardTrainingTest, ArithmeticFaultRestoresTheButtons) {
    Type(Iris());
    w.Next();
    w.SelectField(0);
    w.ParamExit(TWizard::TParam::Max, "4.3"); // Max = Min
    w.Next();
    w.Next();
    w.CriterionClicked(TCriterion::Epoch, true);
    w.Next();
    w.Next();
    TRunRecorder rec;
    w.LearnClicked(rec.Hooks(w, nullptr));
    ASSERT_EQ(rec.errors.size(), 1u);
    EXPECT_TRUE(rec.errors[0] == "Деление на ноль" || rec.errors[0] == "Недопустимая операция с плавающей точкой")
        << rec.errors[0];
    EXPECT_EQ(w.LearnState(), TLearnState::Idle);
    EXPECT_EQ(w.LearnCaption(), "Пуск обучения");
    EXPECT_EQ(rec.captionShownAtError, "Пуск обучения"); // repainted before the error box
    EXPECT_TRUE(w.NextEnabled());
    EXPECT_TRUE(w.PrevEnabled());
    EXPECT_TRUE(w.QuitEnabled());
    EXPECT_TRUE(w.Modified()); // UpdateNavigation folded the run's change in
}

TEST_F(WizardTrainingTest, PredictionPage) {
    ToTrainingPage([&] {
        w.CriterionClicked(TCriterion::Epoch, true);
        w.SetCriterionCount(TCriterion::Epoch, 2);
    });
    w.LearnClicked({});
    w.Next();
    ASSERT_EQ(w.State(), 6);
    EXPECT_FALSE(w.NextEnabled());
    EXPECT_EQ(w.PredictPage().InputNames,
              (std::vector<std::string>{"SepalLength", "SepalWidth", "PetalLength", "PetalWidth"}));
    EXPECT_EQ(w.PredictPage().OutputNames, (std::vector<std::string>{"Species"}));
    for (int i = 0; i < 4; ++i)
        w.SetPredictInput(i, "5");
    w.Predict();
    ASSERT_EQ(w.PredictPage().OutputTexts.size(), 1u);
    double y = StrToFloat(w.PredictPage().OutputTexts[0]);
    EXPECT_GT(y, 0); // a linear target always lands between its Min and Max
    EXPECT_LT(y, 2);
    std::string first = w.PredictPage().OutputTexts[0];
    w.Predict();
    EXPECT_EQ(w.PredictPage().OutputTexts[0], first);
    w.SetPredictInput(2, "5,0"); // a decimal comma reads as the full stop
    w.Predict();
    EXPECT_EQ(w.PredictPage().OutputTexts[0], first);
    w.SetPredictInput(2, "1,5x");
    EXPECT_EQ(ErrorOf([&] { w.Predict(); }), "Вход PetalLength: «1,5x» — не число");
    EXPECT_EQ(w.PredictPage().OutputTexts[0], first);
    w.Prev();
    w.Next();
    EXPECT_EQ(w.PredictPage().InputTexts[2], "1,5x"); // kept while the page was left
    EXPECT_EQ(w.PredictPage().OutputTexts[0], first);
    EXPECT_FALSE(w.PageChanged());
}

TEST_F(WizardTrainingTest, PredictionOfASigmoidTargetAtSaturation) {
    ToTrainingPage([&] { w.CriterionClicked(TCriterion::Epoch, true); });
    TWizardTestPeer::Network(w).Epoch = 1; // taught, as far as prediction asks
    w.Next();
    TWizardTestPeer::Fields(w)[4].NormType = TNormMethod::Sigmoid;
    TWizardTestPeer::Network(w).SetWeight(1, 0, 0, 0);
    TWizardTestPeer::Network(w).SetThreshold(1, 0, 1e6); // the output saturates to exactly 1
    for (int i = 0; i < 4; ++i)
        w.SetPredictInput(i, "5");
    EXPECT_NE(ErrorOf([&] { w.Predict(); }), "");
    EXPECT_TRUE(w.PredictPage().OutputTexts[0].empty());
}

// However the network came to differ from the fields, neither page 6 nor 7 nor the run takes it.
TEST_F(WizardTrainingTest, NetworkThatDoesNotFitTheFieldsIsRefusedOnEveryPath) {
    ToLearnPage(Iris());
    w.CriterionClicked(TCriterion::Epoch, true);
    w.Next();
    ASSERT_EQ(w.State(), 4);
    TWizardTestPeer::Network(w).SetLayerSize(2, 40);
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), msgNetMismatch);
    EXPECT_EQ(w.State(), 4);
    TWizardTestPeer::Network(w).SetLayerSize(2, 1);
    w.Next();
    ASSERT_EQ(w.State(), 5);

    TWizardTestPeer::Network(w).SetLayerSize(0, 5);
    TRunRecorder rec;
    w.LearnClicked(rec.Hooks(w, nullptr));
    EXPECT_EQ(rec.errors, std::vector<std::string>{msgNetMismatch});
    EXPECT_EQ(w.Network().Epoch, 0);
    EXPECT_EQ(ErrorOf([&] { w.Next(); }), msgNetMismatch);

    TWizardTestPeer::Network(w).SetLayerSize(0, 4);
    w.Next();
    ASSERT_EQ(w.State(), 6);
    TWizardTestPeer::Network(w).SetLayerSize(2, 2);
    for (int i = 0; i < 4; ++i)
        w.SetPredictInput(i, "5");
    EXPECT_EQ(ErrorOf([&] { w.Predict(); }), msgNetMismatch);
}

#pragma once

#include "engine/NeuralINI.h"
#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "sample/table/SampleFile.h"
#include "training/ErrorCurve.h"
#include "training/TrainingRun.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nirvex {

inline constexpr const char* msgNoFileName = "Не указано имя файла БД";
inline constexpr const char* msgNoInputs = "Не определены входные поля";
inline constexpr const char* msgNoTargets = "Не определены целевые поля";
inline constexpr const char* msgNoRecords = "Обучающая выборка не содержит записей";
inline constexpr const char* msgAlphaRange = "Параметр должен быть в диапазоне 0.01..4";

inline constexpr int32_t kPageCount = 7;
inline constexpr int32_t kMaxHideLayers = 10;
// The sigmoid slopes page 3 takes.
inline constexpr double kMinSlope = 0.01, kMaxSlope = 4;

// Page 2: what the field controls show for the selected field.
struct TFieldPage {
    int32_t SelectedField = 0;         // list position, -1 with an empty list
    std::optional<TFieldRole> Role;    // rgUseFieldAs, none checked before a field is shown
    std::optional<TNormMethod> Method; // rgNormalizeFieldAs
    bool RoleGroupEnabled = true;
    bool MethodGroupEnabled = true;
    bool ParamBoxEnabled = true;
    bool MinMaxEnabled = true; // edtParmMin, edtParmMax
    bool AlphaEnabled = false; // edtParmA
    std::string MinText, MaxText, AlphaText;
};

// Page 3, as typed: the spin box, column 1 of the grid rows 1..10, the slope edit and track bar.
struct TNetPage {
    int32_t HideLayerCount = 1;                        // seHideLayerCount, 1..10
    std::array<std::string, kMaxHideLayers + 1> Cells; // Cells[k] = neurons of hidden layer k (k >= 1)
    std::string AlphaText;                             // edtAlpha, empty at start
    int32_t TrackPos = 1;                              // tbAlpha, 1..400
    double Slope = 0;                                  // the value the edit and track bar stand for
    std::string InputLayerText, OutputLayerText;       // stEntryLayer, stOutputLayer
    std::array<double, 41> CurveX{}, CurveY{};         // Series1 of the sigmoid chart
};

// Page 4, as typed. A criterion's value control is enabled exactly while its box is ticked.
struct TLearnPage {
    int32_t UseForTeach = 80; // 1..100
    std::string TeachSpeedText, MiuText;
    std::string IdentErrText = "0.05";
    bool Validate = false;
    bool EpochOn = false;
    int32_t EpochC = 10000; // 0..100000
    bool MaxTeachErrOn = false;
    std::string MaxTeachErrText = "0.05";
    bool MidTeachErrOn = false;
    std::string MidTeachErrText = "0.05";
    bool TeachIdentOn = false;
    int32_t TeachIdentC = 80; // 0..100
    bool MaxTestErrOn = false;
    std::string MaxTestErrText = "0.05";
    bool MidTestErrOn = false;
    std::string MidTestErrText = "0.05";
    bool TestIdentOn = false;
    int32_t TestIdentC = 80; // 0..100
    bool KeepBest = false;   // cbKeepBest: take back the network of the least test error
};

// The seven check boxes of the stop criteria group, in keyboard order.
enum class TCriterion { Epoch, MaxTeachErr, MidTeachErr, TeachIdent, MaxTestErr, MidTestErr, TestIdent };

// Page 7: row r of each grid belongs to NetIndex r (the header row is not stored).
struct TPredictPage {
    std::vector<std::string> InputNames, InputTexts;
    std::vector<std::string> OutputNames, OutputTexts;
};

// The state the main window owns for the whole run, with every page's settings as the user
// typed them, and the forward and show steps of the pages. The window is a view over it: it
// copies typed text in, calls these operations, shows what they raise and repaints from here.
class TWizard {
public:
    TWizard();

    // ---- main-window state ----
    int32_t State = 0; // 0-based page index
    std::vector<TFieldInfo> Fields;
    int32_t InputCount = 0;
    int32_t OutputCount = 0;
    bool PageChanged = false;
    double MaxTestErrLimit = 0, MidTestErrLimit = 0, MaxTeachErrLimit = 0, MidTeachErrLimit = 0;
    double PrevTestErr = 0;
    int32_t TeachCount = 0;
    int32_t TestCount = 0;
    bool StopRequested = false;
    bool Modified = false;
    int32_t RecordCount = 0;
    int32_t ExampleCursor = 0;
    std::vector<int32_t> RecordIndex;
    uint32_t IndexSeed = 0;
    // RecordIndex was built from IndexSeed; false when a project gave it as a list.
    bool RecordIndexFromSeed = true;
    std::string LearnSampleFileName;
    // What the last sample load had to tell besides an error (lines it left out); the status line
    // shows it on the field page, nirvex-cli prints it.
    std::string SampleNotice;
    TNeuralNetworkINI Network;
    double IdentErrLimit = 0;
    // Mean errors of every epoch since the network was last built; in memory only.
    TErrorCurve Curve;
    // The last run took back the network of this epoch counter; -1 when it did not.
    int32_t RestoredEpoch = -1;

    int32_t FieldCount() const { return static_cast<int32_t>(Fields.size()); }

    // ---- page settings ----
    std::string SampleFileText; // edtLearnSampleFileName
    TFieldPage FieldPage;
    TNetPage NetPage;
    TLearnPage LearnPage;
    std::vector<std::string> Report;                     // mReport lines
    std::array<std::array<std::string, 4>, 3> StatCells; // sgStat [column][row]
    TPredictPage PredictPage;

    // ---- frame ----
    std::string StatusText; // sbStatus
    // Called whenever the status text changes; the window shows it and lets itself repaint.
    TStatusProc OnStatus;
    // Called with the share done (0..1) of a long step — a sample load, the record order of a
    // project, the examples of a training run — and with -1 when it ends. The window shows a
    // progress bar and serves its events from here, where the close question may set
    // StopRequested, which calls a load off (ELoadCancelled) and keeps the previous sample.
    TProgressProc OnProgress;
    double Progress = -1; // shown share, -1 when no long step runs
    // A sample load (or a project's record order) runs: navigation and the pages are disabled.
    bool Loading = false;
    // Announcements of a load (a sample found beside its project) that the window shows in a
    // message box and the command line prints; whoever shows them clears the list.
    std::vector<std::string> Notices;
    bool NextEnabled = true, PrevEnabled = false, QuitEnabled = true;
    std::string PictureName = "1.bmp"; // page picture, a file beside the program
    int32_t HelpContext = 61;
    bool IconTimerEnabled = true;

    // ---- training button (btnLearn) ----
    int32_t LearnTag = 0; // 0 idle, 1 running
    std::string LearnCaption = "Пуск обучения";
    std::string LearnHint = "Начало обучения системы";
    bool Training() const { return LearnTag == 1; }

    // ---- navigation ----
    // "Далее >>": the page's forward step, then the next page. Raises the step's error, and
    // then nothing moves.
    void Next();
    // "<< Назад": the previous page, never checked.
    void Prev();
    // Makes `state` the page shown and runs its show step, then UpdateNavigation.
    void ShowPage(int32_t state);
    void UpdateNavigation();
    static int32_t PageHelpContext(int32_t state);
    // The project has changes that closing would lose.
    bool HasUnsavedChanges() const { return Modified || PageChanged; }

    // ---- page 1 ----
    void SampleFileTextChanged(const std::string& text); // typing
    // A file confirmed in the open dialog: loaded on "Далее >>" even when it is the one loaded.
    void SampleFileChosen(const std::string& text);
    // The sample named on the command line: shown in the edit, not a change of the project.
    void SetStartSample(const std::string& text);
    void Page1FocusEntered(); // focus comes into page 1 from outside
    // Whether "Далее >>" on page 1 loads the named file: it differs from the sample loaded, the
    // last load failed, no sample is loaded, or the open dialog chose it.
    bool SampleLoadDue() const;
    // The forward step of page 1; dispatches by extension (.txt, .dbf/.db, .qvx). Without
    // `force` it keeps the loaded sample and its settings unless a load is due. `accept`, when
    // given, sees the new fields before they replace the old ones and may refuse them by raising
    // (a project named as the sample is loaded first and its fields are seen afterwards).
    using TSampleCheck = std::function<void(const std::vector<TFieldInfo>&)>;
    void LoadSample(bool force = false, const TSampleCheck& accept = {});
    // Builds RecordIndex from the generator's current seed.
    void BuildRecordIndex();

    // ---- page 2 ----
    void FieldPageShow();                // tsEntryConfigShow
    void SelectField(int32_t listIndex); // a list entry clicked
    void ShowFieldSettings();
    // User clicks on rgUseFieldAs / rgNormalizeFieldAs; the item already checked changes nothing.
    void RoleClicked(TFieldRole item);
    void MethodClicked(TNormMethod item);
    enum class TParam { Min, Max, Alpha };
    // Focus leaves a parameter edit holding `text`; raises the conversion error.
    void ParamExit(TParam which, const std::string& text);
    // The forward step of page 2.
    void CheckFieldRoles();
    // The status line of a field: "Поле : name  MIN = .. MAX = ..".
    std::string FieldStatusLine(const TFieldInfo& f) const;

    // ---- page 3 ----
    void NetConfigShow(); // tsNetConfigShow
    // seHideLayerCountChange with the spin box's new text.
    void HideLayerCountChanged(const std::string& text);
    void SetHideLayerCount(int32_t value);
    void GridTouched(); // sgHideLayerConfigClick / GetEditMask: selecting a cell changes nothing
    void SetLayerCell(int32_t row, const std::string& text); // an edit in grid column 1
    void TrackBarChanged(int32_t position);                  // tbAlphaChange
    void AlphaTextChanged(const std::string& text) { NetPage.AlphaText = text; }
    void AlphaExit(); // edtAlphaExit (and Enter); raises
    // The slope edit's text as a number within 0.01..4; raises the conversion or range error.
    double CheckedSlope() const;
    // `check` off restores a stored project as it was saved, whatever its slope.
    void ApplyNetConfig(bool check = true);

    // ---- page 4 ----
    void LearnConfigShow(); // tsLearnConfigEnter
    void CriterionClicked(TCriterion which, bool checked);
    void KeepBestClicked(bool checked);
    // The box is usable only when the page's share leaves test examples.
    bool KeepBestAvailable() const;
    // A typed or toggled value of the page; a value that differs from the one held is a change.
    void SetLearnValue(std::string TLearnPage::*field, const std::string& value);
    void SetLearnValue(int32_t TLearnPage::*field, int32_t value);
    void SetLearnValue(bool TLearnPage::*field, bool value);
    void ApplyLearnConfig();
    TStopRules StopRules() const;
    // Raises msgNetMismatch unless the network's input and output layers have as many neurons as
    // there are input and target fields.
    void CheckNetworkFits() const;

    // ---- page 5 ----
    void BuildReport(); // tsInfoShow

    // ---- page 6 ----
    void LearnPageShow(); // grid headings
    // btnLearn clicked: starts a run when idle, requests a stop while running. A run ends with
    // its message through `onEnd` (a box with one OK button) or its error through `onError`.
    struct TRunHooks {
        ITrainingView* View = nullptr;
        std::function<void(const std::string&)> OnEndMessage;
        std::function<void(const std::string&)> OnError;
        std::function<void()> OnStateChanged; // button caption, navigation, timer changed
    };
    void LearnClicked(const TRunHooks& hooks);
    void RequestStop(); // the close question's stop
    // Fills the statistics grid from one epoch.
    void RefreshStats(const TEpochStats& s, int32_t epoch);

    // ---- page 7 ----
    void PredictShow(); // tsPredictShow
    void SetPredictInput(int32_t row, const std::string& text);
    // "Расчёт": computes every output from the typed inputs; nothing is written on an error.
    void Predict();
    // "Расчёт по файлу...": every record of `input` computed into `output`, run like a sample load
    // (progress shown, navigation off, a stop request calls it off and nothing is written).
    int32_t PredictOverFile(const std::string& input, const std::string& output);
    // Raw outputs for raw inputs indexed by NetIndex (the command line's prediction).
    std::vector<double> PredictValues(const std::vector<double>& inputs);

    // Status bar helper: stores the text and tells the window.
    void SetStatus(const std::string& text);
    // Progress bar helper: stores the share (-1 hides it) and tells the window.
    void ShowProgress(double fraction);

private:
    friend class TLoadScope;
    int32_t loadDepth_ = 0;
    // The progress of part [from, to] of the load running, which also honours a stop request.
    TProgressProc LoadProgress(double from, double to);
    void SetNavigationEnabled();
    // A new sample was loaded since the network was last given the default shape.
    bool sampleReloaded_ = false;
    bool lastLoadFailed_ = false;
    bool reloadChosen_ = false;
    void RunShowStep();
    void SetCurve(double slope);
    void RunTraining(const TRunHooks& hooks);
};

} // namespace nirvex

#pragma once

#include "engine/NeuralINI.h"
#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "training/ErrorCurve.h"
#include "training/Importance.h"
#include "training/TrainingRun.h"
#include "wizard/NetModel.h"
#include "wizard/PredictStream.h"
#include "wizard/WizardPages.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nirvex {

class TIniFile;

// The state the main window owns for the whole run, with every page's settings as the user typed
// them, and the forward and show steps of the pages. The window and the command line read it and
// change it only through the operations below; it copies typed text in, calls them, shows what
// they raise and repaints from here. Each page's operations are in a file of their own
// (WizardSample.cpp for page 1 ... WizardPredict.cpp for page 7); this class's own file keeps
// navigation and what the pages share.
class TWizard {
public:
    TWizard();

    // ---- what the program knows ----
    int32_t State() const { return state_; } // 0-based page index
    const std::vector<TFieldInfo>& Fields() const { return fields_; }
    int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
    int32_t InputCount() const { return inputCount_; }
    int32_t OutputCount() const { return outputCount_; }
    int32_t RecordCount() const { return recordCount_; }
    // The examples taught, then those of the validation part (the rest of the training part, in record
    // order, never taught), then the test part, as page 4 was last applied.
    int32_t TeachCount() const { return teachCount_; }
    int32_t ValidCount() const { return validCount_; }
    int32_t TestCount() const { return testCount_; }
    // Records the run can take with the roles as page 2 set them: no unfilled gap in a used field.
    int32_t UsableRecordCount() const;
    // The record order the run walks: RecordIndex without the records that have such a gap.
    const std::vector<int32_t>& TrainingIndex() const { return gapsLeftOut_ ? usableIndex_ : recordIndex_; }
    // The last refresh's confusion of each category target over the training and the test part.
    const std::vector<TConfusion>& TeachConfusion() const { return lastCounts_.TeachConfusion; }
    const std::vector<TConfusion>& TestConfusion() const { return lastCounts_.TestConfusion; }
    // Each target's errors in its own units (or its accuracy) on the training and the test part, as
    // the last epoch run (or the network taken back) left them; empty parts before a run.
    std::vector<TTargetFigures> TargetFigures() const;
    const std::vector<int32_t>& RecordIndex() const { return recordIndex_; }
    uint32_t IndexSeed() const { return indexSeed_; }
    // RecordIndex was built from IndexSeed; false when a project gave it as a list.
    bool RecordIndexFromSeed() const { return recordIndexFromSeed_; }
    const std::string& LearnSampleFileName() const { return learnSampleFileName_; }
    // What the last sample load had to tell besides an error (lines it left out); the status line
    // shows it on the field page, nirvex-cli prints it.
    const std::string& SampleNotice() const { return sampleNotice_; }
    const TNeuralNetworkINI& Network() const { return network_; }
    // Mean errors of every epoch since the network was last built; in memory only.
    const TErrorCurve& Curve() const { return curve_; }
    // The last run took back the network of this epoch counter; -1 when it did not.
    int32_t RestoredEpoch() const { return restoredEpoch_; }
    // The network has been taught at least one epoch since it was built: a rebuild by pages 2 or 3
    // starts its counter at 0, a run or a project's trained network leaves it above.
    bool NetworkTrained() const { return network_.Epoch > 0; }
    // Raises msgNotTrained unless NetworkTrained.
    void CheckNetworkTrained() const;
    // Changes whenever the network is replaced (rebuilt, or read from a project): pictures drawn
    // from an earlier one are stale.
    int32_t NetworkBuild() const { return networkBuild_; }
    // The project file this work was opened from or last saved to; empty for a new project.
    const std::string& ProjectFile() const { return projectFile_; }
    // What the save dialog proposes: the project's own file, else the sample's name as a project.
    std::string ProposedProjectName() const;
    // The page in view has changes not yet counted in Modified.
    bool PageChanged() const { return pageChanged_; }
    bool Modified() const { return modified_; }
    // The project has changes that closing would lose.
    bool HasUnsavedChanges() const { return modified_ || pageChanged_; }
    bool StopRequested() const { return stopRequested_; }
    // The network with the fields it was built for, as prediction and export read it.
    TNetModel NetModel();

    // ---- page settings ----
    const std::string& SampleFileText() const { return sampleFileText_; } // edtLearnSampleFileName
    const TFieldPage& FieldPage() const { return fieldPage_; }
    const TNetPage& NetPage() const { return netPage_; }
    const TLearnPage& LearnPage() const { return learnPage_; }
    const std::vector<std::string>& Report() const { return report_; } // mReport lines
    const TStatCells& StatCells() const { return statCells_; }         // sgStat
    const TPredictPage& PredictPage() const { return predictPage_; }

    // ---- frame ----
    const std::string& StatusText() const { return statusText_; } // sbStatus
    double Progress() const { return progress_; }                 // shown share, -1 when no long step runs
    // A sample load (or a project's record order, or a prediction over a file) runs: navigation and
    // the pages are disabled.
    bool Loading() const { return loadDepth_ > 0; }
    bool NextEnabled() const { return nextEnabled_; }
    bool PrevEnabled() const { return prevEnabled_; }
    bool QuitEnabled() const { return quitEnabled_; }
    const std::string& PictureName() const { return pictureName_; } // page picture, a file beside the program
    int32_t HelpContext() const { return helpContext_; }
    bool IconTimerEnabled() const { return iconTimerEnabled_; }
    TLearnState LearnState() const { return learnState_; }
    bool Training() const { return learnState_ == TLearnState::Running; }
    const std::string& LearnCaption() const { return learnCaption_; }
    const std::string& LearnHint() const { return learnHint_; }

    // Called whenever the status text changes; the window shows it and lets itself repaint.
    void SetStatusHandler(TStatusProc handler) { onStatus_ = std::move(handler); }
    // Called with the share done (0..1) of a long step — a sample load, the record order of a
    // project, the examples of a training run, a prediction over a file — and with -1 when it ends.
    // The window shows a progress bar and serves its events from here, where the close question may
    // call RequestStop, which calls a load off (ELoadCancelled) and keeps the previous sample.
    void SetProgressHandler(TProgressProc handler) { onProgress_ = std::move(handler); }
    // Opens a project named as the sample (the project file layer installs it); without one such a
    // name is refused as an unknown kind of file.
    using TProjectOpener = std::function<void(TWizard&, const std::string&)>;
    void SetProjectOpener(TProjectOpener opener) { projectOpener_ = std::move(opener); }
    // Announcements of a load (a sample found beside its project) for a message box or standard
    // error; taking them clears the list.
    std::vector<std::string> TakeNotices();
    void AddNotice(const std::string& notice) { notices_.push_back(notice); }
    std::size_t NoticeCount() const { return notices_.size(); }
    // Status bar helper: stores the text and tells the window.
    void SetStatus(const std::string& text);
    // The close question's stop, and a stop from the command line: ends a running load, prediction
    // over a file or training run at its next check.
    void RequestStop() { stopRequested_ = true; }
    // The project was saved: nothing is left to lose.
    void MarkSaved();
    // The project was saved as `fileName`: that is its file from now on, and the status line says so.
    void ProjectStored(const std::string& fileName);
    // A project load from `fileName` completed: it is the project's file. Empty after a failed load:
    // the work then has no file of its own.
    void ProjectOpened(const std::string& fileName);
    // "Отмена" while a load or a prediction over a file runs: calls it off, asking nothing.
    void CancelLoad();

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
    // The forward step of page 1; dispatches by extension (.txt, .csv, .dbf/.db, .qvx). Without
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
    // User clicks on rgUseFieldAs / rgNormalizeFieldAs; the item already checked changes nothing.
    void RoleClicked(TFieldRole item);
    void MethodClicked(TNormMethod item);
    // rgGaps: the selected input's gaps take its mean or most frequent value instead of leaving its
    // records out.
    void FillGapsClicked(bool fill);
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
    void SetLayerCell(int32_t row, const std::string& text); // an edit in grid column 1
    void TrackBarChanged(int32_t position);                  // tbAlphaChange
    void AlphaTextChanged(const std::string& text) { netPage_.AlphaText = text; }
    void AlphaExit(); // edtAlphaExit (and Enter); raises
    // The slope edit's text as a number within 0.01..4; raises the conversion or range error.
    double CheckedSlope() const;
    // The forward step of page 3.
    void ApplyNetConfig();

    // ---- page 4 ----
    void LearnConfigShow(); // tsLearnConfigEnter
    void CriterionClicked(TCriterion which, bool checked);
    // The value of a criterion: the spin box's count or the edit's text.
    void SetCriterionCount(TCriterion which, int32_t value);
    void SetCriterionText(TCriterion which, const std::string& text);
    void KeepBestClicked(bool checked);
    // The box is usable only when the page's shares leave test or validation examples.
    bool KeepBestAvailable() const;
    // The validation part the page's shares make now (applied or not): its examples.
    int32_t PlannedValidCount() const;
    // A typed or toggled value of the page; a value that differs from the one held is a change.
    void SetLearnValue(std::string TLearnPage::*field, const std::string& value);
    void SetLearnValue(int32_t TLearnPage::*field, int32_t value);
    void SetLearnValue(bool TLearnPage::*field, bool value);
    // The forward step of page 4.
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
    // its message through `OnEndMessage` (a box with one OK button) or its error through `OnError`.
    struct TRunHooks {
        ITrainingView* View = nullptr;
        std::function<void(const std::string&)> OnEndMessage;
        std::function<void(const std::string&)> OnError;
        std::function<void()> OnStateChanged; // button caption, navigation, timer changed
    };
    void LearnClicked(const TRunHooks& hooks);
    // Fills the statistics grid from one epoch.
    void RefreshStats(const TEpochStats& s, int32_t epoch);
    // The inputs' permutation importance for the network as it stands; empty until measured, and
    // again once a run, a rebuild or a new split changes what it measured.
    const std::optional<TImportance>& Importance() const { return importance_; }
    // The part it is measured on: the first of test, training that holds records.
    TPartSpan ImportancePart() const;
    // Measures it as a long step (progress shown, navigation off, a stop request calls it off); refuses
    // a network not yet taught (msgNotTrained) or not fitting the fields.
    void MeasureImportance();

    // ---- page 7 ----
    void PredictShow(); // tsPredictShow
    void SetPredictInput(int32_t row, const std::string& text);
    // "Расчёт": computes every output from the typed inputs; nothing is written on an error.
    void Predict();
    // "Расчёт по файлу...": every record of `input` computed into `output`, run like a sample load
    // (progress shown, navigation off, a stop request calls it off and nothing is written).
    TFilePrediction PredictOverFile(const std::string& input, const std::string& output);
    // Raw outputs for raw inputs indexed by NetIndex (the command line's prediction).
    std::vector<double> PredictValues(const std::vector<double>& inputs);

    // ---- restoring a saved project ----
    // The project file replays the pages through these, each the effect of a page as the user left
    // it; they check nothing the project file does not check first.
    // Loads the sample named on page 1 as a forced "Далее >>" would.
    void RestoreSample(const TSampleCheck& accept = {});
    // Settings of field `index` of the loaded sample.
    void RestoreField(std::size_t index, TFieldRole role, TNormMethod method, double max, double min, double alpha);
    // A category field's values in their saved order (a number column becomes a category field).
    void RestoreCategories(std::size_t index, const std::vector<std::string>& values);
    void RestoreFillGaps(std::size_t index, bool fill);
    // The record order as an explicit list, or drawn again from a seed.
    void RestoreRecordOrder(std::vector<int32_t> order);
    void RestoreRecordSeed(uint32_t seed);
    // Page 2 passed with its roles: the network takes the roles' default shape.
    void RestoreFieldRoles();
    // Page 3 as saved: `slope`, when the text is a number, goes to the network at once so that the
    // page shows it as the network's.
    void RestoreNetPage(int32_t hideLayers, const std::vector<std::string>& cells, const std::string& alphaText,
                        std::optional<double> slope);
    // Page 3 passed: the network takes the page's shape, whatever its slope.
    void RestoreNetConfig();
    // Page 4 as saved; the learning rate and momentum also go to the network, so that the page shows
    // them rather than the network's earlier values.
    void RestoreLearnPage(const TLearnPage& page, double teachSpeed, double miu);
    // Page 4 passed.
    void RestoreLearnConfig();
    // The saved network (its shape checked by the caller).
    void RestoreNetwork(const TIniFile& ini, const std::string& section);
    // Shows the saved page; the project counts as modified only when `modified`.
    void FinishRestore(int32_t state, bool modified);

private:
    friend class TLoadScope;
    friend class TWizardRunView;
    // Tests force states no operation reaches (a network that no longer fits its fields, say).
    friend class TWizardTestPeer;

    // ---- state ----
    int32_t state_ = 0;
    std::vector<TFieldInfo> fields_;
    int32_t inputCount_ = 0;
    int32_t outputCount_ = 0;
    bool pageChanged_ = false;
    bool modified_ = false;
    bool stopRequested_ = false;
    std::array<double, kCriterionCount> criterionLimits_{};
    double identErrLimit_ = 0;
    double prevTestErr_ = 0;
    int32_t teachCount_ = 0;
    int32_t validCount_ = 0;
    int32_t testCount_ = 0;
    int32_t recordCount_ = 0;
    int32_t exampleCursor_ = 0;
    std::vector<int32_t> recordIndex_;
    std::vector<int32_t> usableIndex_; // recordIndex_ without records with gaps, when gapsLeftOut_
    bool gapsLeftOut_ = false;
    // The last epoch's statistics (or the network taken back's): its classes and units are what the
    // pages read after the refresh; empty before a run.
    TEpochStats lastCounts_;
    // Keeps what the statistics tell of the classes and units, every epoch.
    void KeepTargetCounts(const TEpochStats& s);
    uint32_t indexSeed_ = 0;
    bool recordIndexFromSeed_ = true;
    std::string learnSampleFileName_;
    std::string sampleNotice_;
    TNeuralNetworkINI network_;
    TErrorCurve curve_;
    int32_t restoredEpoch_ = -1;
    int32_t networkBuild_ = 0;
    std::optional<TImportance> importance_;
    std::string projectFile_;

    // ---- page settings ----
    std::string sampleFileText_;
    TFieldPage fieldPage_;
    TNetPage netPage_;
    TLearnPage learnPage_;
    std::vector<std::string> report_;
    TStatCells statCells_;
    TPredictPage predictPage_;

    // ---- frame ----
    std::string statusText_;
    TStatusProc onStatus_;
    TProgressProc onProgress_;
    TProjectOpener projectOpener_;
    double progress_ = -1;
    std::vector<std::string> notices_;
    bool nextEnabled_ = true, prevEnabled_ = false, quitEnabled_ = true;
    std::string pictureName_ = "1.bmp";
    int32_t helpContext_ = 61;
    bool iconTimerEnabled_ = true;
    TLearnState learnState_ = TLearnState::Idle;
    std::string learnCaption_;
    std::string learnHint_;
    std::string learnStatus_; // the training page's status line: its last epoch, or what it holds

    int32_t loadDepth_ = 0;
    // A new sample was loaded since the network was last given the default shape.
    bool sampleReloaded_ = false;
    bool lastLoadFailed_ = false;
    bool reloadChosen_ = false;

    // Progress bar helper: stores the share (-1 hides it) and tells the window.
    void ShowProgress(double fraction);
    // The progress of part [from, to] of the load running, which also honours a stop request.
    TProgressProc LoadProgress(double from, double to);
    void SetNavigationEnabled();
    // The network was built anew or read: what showed the earlier one (statistics, curve, results)
    // goes.
    void NetworkReplaced();
    void ShowFieldSettings();
    // Fills usableIndex_ (and gapsLeftOut_) for the roles as they stand.
    void SelectUsableRecords();
    void RunShowStep();
    void SetCurve(double slope);
    // Gives the network the page's shape; `check` off restores a stored project as it was saved,
    // whatever its slope.
    void ApplyNetConfig(bool check);
    void RunTraining(const TRunHooks& hooks);
    void SetLearnButton(TLearnState state);
};

} // namespace nirvex

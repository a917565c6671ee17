#include "wizard/Wizard.h"

#include "wizard/BatchPredict.h"

#include "common/Errors.h"
#include "common/FloatCheck.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "sample/CsvSample.h"
#include "sample/Normalize.h"
#include "sample/SampleStats.h"
#include "sample/TextSample.h"
#include "sample/table/SampleFile.h"
#include "wizard/ProjectFile.h"

#include <algorithm>
#include <cmath>

namespace nirvex {

TWizard::TWizard() {
    for (auto& column : StatCells)
        column.fill("");
    UpdateNavigation();
}

void TWizard::SetStatus(const std::string& text) {
    StatusText = text;
    if (OnStatus)
        OnStatus(text);
}

void TWizard::ShowProgress(double fraction) {
    Progress = fraction;
    if (OnProgress)
        OnProgress(fraction);
}

// A sample load from start to end, however it ends: the navigation is disabled meanwhile and the
// progress shown; nested loads (a project naming its sample) count as one.
class TLoadScope {
public:
    explicit TLoadScope(TWizard& w) : w_(w) {
        if (w_.loadDepth_++ > 0)
            return;
        w_.Loading = true;
        w_.StopRequested = false;
        w_.SetNavigationEnabled();
        w_.ShowProgress(0);
    }
    ~TLoadScope() {
        if (--w_.loadDepth_ > 0)
            return;
        w_.Loading = false;
        w_.SetNavigationEnabled();
        try {
            w_.ShowProgress(-1);
        } catch (...) {
        }
    }
    TLoadScope(const TLoadScope&) = delete;
    TLoadScope& operator=(const TLoadScope&) = delete;

private:
    TWizard& w_;
};

TProgressProc TWizard::LoadProgress(double from, double to) {
    if (!OnProgress)
        return {};
    return ProgressPart(
        [this](double f) {
            ShowProgress(f);
            if (StopRequested)
                throw ELoadCancelled();
        },
        from, to);
}

// ---- navigation ----

int32_t TWizard::PageHelpContext(int32_t state) {
    return 61 + std::clamp(state, 0, kPageCount - 1);
}

void TWizard::Next() {
    switch (State) {
    case 0: {
        // A project chosen as the sample shows its own saved page; nothing moves on from there.
        bool opensProject = SampleLoadDue() && !SampleFileText.empty() && UpperExtension(SampleFileText) == ".QVX";
        LoadSample();
        if (opensProject)
            return;
        break;
    }
    case 1:
        CheckFieldRoles();
        break;
    case 2:
        ApplyNetConfig();
        break;
    case 3:
        ApplyLearnConfig();
        break;
    case 4:
    case 5:
        CheckNetworkFits(); // the training and the prediction page need a network of the fields
        break;
    default:
        break;
    }
    if (State < kPageCount - 1)
        ShowPage(State + 1);
}

void TWizard::Prev() {
    if (State < 1)
        return;
    ShowPage(State - 1);
}

void TWizard::ShowPage(int32_t state) {
    State = std::clamp(state, 0, kPageCount - 1);
    // A show step that raises still leaves the frame consistent with the page now shown.
    try {
        RunShowStep();
    } catch (...) {
        UpdateNavigation();
        throw;
    }
    UpdateNavigation();
}

void TWizard::RunShowStep() {
    switch (State) {
    case 1:
        FieldPageShow();
        break;
    case 2:
        NetConfigShow();
        break;
    case 3:
        LearnConfigShow();
        break;
    case 4:
        BuildReport();
        break;
    case 5:
        LearnPageShow();
        break;
    case 6:
        PredictShow();
        break;
    default:
        break;
    }
}

void TWizard::UpdateNavigation() {
    if (PageChanged)
        Modified = true;
    PageChanged = false;
    SetNavigationEnabled();
    PictureName = std::to_string(State + 1) + ".bmp";
    HelpContext = PageHelpContext(State);
}

void TWizard::SetNavigationEnabled() {
    bool busy = Training() || Loading;
    NextEnabled = State != kPageCount - 1 && !busy;
    PrevEnabled = State != 0 && !busy;
    QuitEnabled = !busy;
}

// ---- page 1 ----

void TWizard::SampleFileTextChanged(const std::string& text) {
    SampleFileText = text;
    PageChanged = true;
}

void TWizard::SampleFileChosen(const std::string& text) {
    SampleFileTextChanged(text);
    reloadChosen_ = true;
}

void TWizard::SetStartSample(const std::string& text) {
    SampleFileText = text;
}

bool TWizard::SampleLoadDue() const {
    return reloadChosen_ || lastLoadFailed_ || LearnSampleFileName.empty() || RecordCount <= 0 ||
           SampleFileText != LearnSampleFileName;
}

void TWizard::Page1FocusEntered() {
    if (Loading) // focus moved by disabling the controls, not by the user
        return;
    PageChanged = false;
}

void TWizard::LoadSample(bool force, const TSampleCheck& accept) {
    const std::string fileName = SampleFileText;
    if (fileName.empty())
        throw EError(msgNoFileName);
    if (!force && !SampleLoadDue())
        return;
    // Until this load succeeds, the next "Далее >>" tries again.
    lastLoadFailed_ = true;
    reloadChosen_ = false;
    const std::string ext = UpperExtension(fileName);
    if (ext != ".QVX" && !IsSampleFileName(fileName))
        throw EError(msgUnknownSampleType);
    ExampleCursor = 0;
    const std::string previousNotice = SampleNotice;
    SampleNotice.clear();
    SetStatus("Открывается таблица данных");
    if (ext == ".QVX") {
        SetStatus("");
        LoadProject(*this, fileName);
        if (accept)
            accept(Fields);
        lastLoadFailed_ = false;
        return;
    }
    // The new table is built aside and replaces the old one only when it is complete; the
    // reading takes most of the time, the statistics and the record order the rest.
    // The order is drawn before anything is replaced too, so that calling it off keeps the old sample.
    TLoadScope scope(*this);
    TSampleTable table;
    std::vector<int32_t> order;
    uint32_t seed = 0;
    try {
        table = ReadSampleFile(
            fileName, [this](const std::string& s) { SetStatus(s); }, LoadProgress(0, 0.8));
        SampleNotice = SkippedLinesNotice(table); // also tells why a sample has no records
        const std::string textColumns = TextColumnsNote(table);
        if (!textColumns.empty())
            SampleNotice += (SampleNotice.empty() ? "" : "; ") + textColumns;
        if (table.RecordCount <= 0)
            throw EError(msgNoRecords);
        if (accept)
            accept(table.Fields);
        InitFieldDefaults(table.Fields, table.RecordCount, LoadProgress(0.8, 0.85));
        SetStatus("Индексация данных");
        seed = RandomizeFromClock();
        order = nirvex::BuildRecordIndex(table.RecordCount, LoadProgress(0.85, 1));
    } catch (const ELoadCancelled&) {
        SampleNotice = previousNotice; // the previous sample stays, with what was said of it
        SetStatus("");
        throw;
    } catch (...) {
        SetStatus(SampleNotice);
        throw;
    }
    Fields = std::move(table.Fields);
    RecordCount = table.RecordCount;
    LearnSampleFileName = fileName;
    FieldPage = TFieldPage{};
    sampleReloaded_ = true;
    IndexSeed = seed;
    RecordIndex = std::move(order);
    RecordIndexFromSeed = true;
    SetStatus(SampleNotice);
    ExampleCursor = 0;
    lastLoadFailed_ = false;
    // A new sample replaces every field setting: the project has changed.
    PageChanged = true;
}

void TWizard::BuildRecordIndex() {
    TLoadScope scope(*this);
    RecordIndex = nirvex::BuildRecordIndex(RecordCount, LoadProgress(0, 1));
}

// ---- page 2 ----

void TWizard::FieldPageShow() {
    FieldPage.SelectedField = Fields.empty() ? -1 : 0;
    if (!Fields.empty())
        ShowFieldSettings();
    // A fresh sample's notice stays in view until a field is picked.
    if (sampleReloaded_ && !SampleNotice.empty())
        SetStatus(SampleNotice);
}

void TWizard::SelectField(int32_t listIndex) {
    if (listIndex < 0 || listIndex >= FieldCount())
        return;
    FieldPage.SelectedField = listIndex;
    ShowFieldSettings();
}

std::string TWizard::FieldStatusLine(const TFieldInfo& f) const {
    return "Поле : " + f.FieldName + "  MIN = " + FormatGeneral(f.DataMin, 5) + " MAX = " + FormatGeneral(f.DataMax, 5);
}

void TWizard::ShowFieldSettings() {
    int32_t sel = FieldPage.SelectedField;
    if (sel < 0 || sel >= FieldCount())
        return;
    const TFieldInfo& f = Fields[static_cast<std::size_t>(sel)];
    FieldPage.Method = f.NormType;
    switch (f.NormType) {
    case TNormMethod::Linear:
        FieldPage.MinMaxEnabled = true;
        FieldPage.AlphaEnabled = false;
        break;
    case TNormMethod::Sigmoid:
        FieldPage.MinMaxEnabled = false;
        FieldPage.AlphaEnabled = true;
        break;
    case TNormMethod::None:
        FieldPage.MinMaxEnabled = false;
        FieldPage.AlphaEnabled = false;
        break;
    default: // "авто" leaves the edits as they were
        break;
    }
    bool used = f.FieldType == TFieldRole::Input || f.FieldType == TFieldRole::Target;
    FieldPage.RoleGroupEnabled = true;
    FieldPage.MethodGroupEnabled = used;
    FieldPage.ParamBoxEnabled = used;
    FieldPage.Role = f.FieldType;
    FieldPage.MinText = FormatGeneral(f.Min, 5);
    FieldPage.MaxText = FormatGeneral(f.Max, 5);
    FieldPage.AlphaText = FormatGeneral(f.Alpha, 5);
    SetStatus(FieldStatusLine(f));
}

void TWizard::RoleClicked(TFieldRole item) {
    int32_t sel = FieldPage.SelectedField;
    const auto k = static_cast<int32_t>(item);
    if (!FieldPage.RoleGroupEnabled || sel < 0 || sel >= FieldCount() || k < 0 || k > 2 ||
        Fields[static_cast<std::size_t>(sel)].FieldType == item)
        return;
    Fields[static_cast<std::size_t>(sel)].FieldType = item;
    ShowFieldSettings();
    PageChanged = true;
}

void TWizard::MethodClicked(TNormMethod item) {
    int32_t sel = FieldPage.SelectedField;
    const auto k = static_cast<int32_t>(item);
    if (!FieldPage.MethodGroupEnabled || sel < 0 || sel >= FieldCount() || k < 0 || k > 3 ||
        Fields[static_cast<std::size_t>(sel)].NormType == item)
        return;
    Fields[static_cast<std::size_t>(sel)].NormType = item;
    ShowFieldSettings();
    PageChanged = true;
}

void TWizard::ParamExit(TParam which, const std::string& text) {
    std::string& shown = which == TParam::Min   ? FieldPage.MinText
                         : which == TParam::Max ? FieldPage.MaxText
                                                : FieldPage.AlphaText;
    shown = text;
    int32_t sel = FieldPage.SelectedField;
    if (sel >= 0 && sel < FieldCount()) {
        double v = StrToFloat(text);
        TFieldInfo& f = Fields[static_cast<std::size_t>(sel)];
        double& param = which == TParam::Min ? f.Min : which == TParam::Max ? f.Max : f.Alpha;
        // Leaving the edit with the value it showed changes nothing.
        if (param != v)
            PageChanged = true;
        param = v;
    }
}

void TWizard::CheckFieldRoles() {
    InputCount = 0;
    OutputCount = 0;
    for (TFieldInfo& f : Fields) {
        if (f.FieldType == TFieldRole::Input)
            f.NetIndex = InputCount++;
        else if (f.FieldType == TFieldRole::Target)
            f.NetIndex = OutputCount++;
    }
    if (InputCount == 0)
        throw EError(msgNoInputs);
    if (OutputCount == 0)
        throw EError(msgNoTargets);
    // Showing a field is not a change of the page, so a fresh sample or a network that does not
    // fit the roles would otherwise keep a shape that cannot take the examples.
    const int32_t layers = Network.CountLayers();
    bool fits = layers >= 2 && Network.GetLayerSize(0) == InputCount && Network.GetLayerSize(layers - 1) == OutputCount;
    if (PageChanged || sampleReloaded_ || !fits) {
        sampleReloaded_ = false;
        NetPage.InputLayerText = std::to_string(InputCount);
        NetPage.OutputLayerText = std::to_string(OutputCount);
        Curve.Clear();
        Network.SetCountLayers(3);
        Network.SetLayerSize(0, InputCount);
        Network.SetLayerSize(1, 10);
        Network.SetLayerSize(2, OutputCount);
        SetStatus("");
    }
}

// ---- page 3 ----

void TWizard::SetCurve(double slope) {
    for (int i = -20; i <= 20; ++i) {
        double x = i / 2.0;
        NetPage.CurveX[static_cast<std::size_t>(i + 20)] = x;
        NetPage.CurveY[static_cast<std::size_t>(i + 20)] = Sigmoid(slope, x);
    }
}

// The slope as the page shows the network's: exact enough to give the same number back.
static std::string SlopeText(double alpha) {
    return FormatGeneral(alpha, 15);
}

void TWizard::NetConfigShow() {
    // The page shows the slope the network has, which is what passing the page leaves it with.
    NetPage.Slope = Network.Alpha;
    NetPage.AlphaText = SlopeText(Network.Alpha);
    NetPage.TrackPos =
        std::clamp(static_cast<int32_t>(std::nearbyint(std::clamp(Network.Alpha, 0.0, 4.0) * 100)), 1, 400);
    SetCurve(Network.Alpha);
    SetHideLayerCount(Network.CountLayers() - 2);
    int32_t n = NetPage.HideLayerCount;
    int32_t layers = Network.CountLayers();
    for (int32_t i = 1; i <= n; ++i)
        if (i < layers)
            NetPage.Cells[static_cast<std::size_t>(i)] = std::to_string(Network.GetLayerSize(i));
    if (layers > 0) {
        NetPage.InputLayerText = std::to_string(Network.GetLayerSize(0));
        NetPage.OutputLayerText = std::to_string(Network.GetLayerSize(std::min(n + 1, layers - 1)));
    }
    PageChanged = false;
}

void TWizard::SetHideLayerCount(int32_t value) {
    value = std::clamp(value, 1, kMaxHideLayers);
    if (value != NetPage.HideLayerCount)
        HideLayerCountChanged(std::to_string(value));
}

void TWizard::HideLayerCountChanged(const std::string& text) {
    auto v = TryStrToInt(text);
    // The spin box's value: its minimum for a text that is not a whole number, clamped to range.
    NetPage.HideLayerCount = std::clamp(v ? *v : 1, 1, kMaxHideLayers);
    PageChanged = true;
}

void TWizard::GridTouched() {}

void TWizard::SetLayerCell(int32_t row, const std::string& text) {
    if (row < 1 || row > kMaxHideLayers || NetPage.Cells[static_cast<std::size_t>(row)] == text)
        return;
    NetPage.Cells[static_cast<std::size_t>(row)] = text;
    PageChanged = true;
}

void TWizard::TrackBarChanged(int32_t position) {
    position = std::clamp(position, 1, 400);
    NetPage.AlphaText = FormatGeneral(position / 100.0, 3);
    SetCurve(position / 100.0);
    if (NetPage.Slope != position / 100.0)
        PageChanged = true;
    NetPage.TrackPos = position;
    NetPage.Slope = position / 100.0;
}

double TWizard::CheckedSlope() const {
    double v = StrToFloat(NetPage.AlphaText);
    if (v < kMinSlope || v > kMaxSlope)
        throw EError(msgAlphaRange);
    return v;
}

void TWizard::AlphaExit() {
    double v = CheckedSlope();
    auto pos = static_cast<int32_t>(std::nearbyint(v * 100)); // halves to the even neighbour
    if (pos != NetPage.TrackPos) {
        TrackBarChanged(pos);
        return;
    }
    if (v != NetPage.Slope)
        PageChanged = true;
    NetPage.Slope = v;
    SetCurve(v);
}

void TWizard::ApplyNetConfig(bool check) {
    // What the page shows is what the network gets: a slope out of range never passes, and one
    // typed without leaving the edit is a change like any other.
    double slope = check ? CheckedSlope() : StrToFloat(NetPage.AlphaText);
    const bool slopeShown = NetPage.AlphaText == SlopeText(Network.Alpha);
    if (!slopeShown && slope != Network.Alpha)
        PageChanged = true;
    if (!PageChanged)
        return;
    int32_t n = NetPage.HideLayerCount;
    Curve.Clear();
    Network.SetCountLayers(n + 2);
    Network.SetLayerSize(0, InputCount);
    for (int32_t i = 1; i <= n; ++i)
        Network.SetLayerSize(i, StrToInt(NetPage.Cells[static_cast<std::size_t>(i)]));
    Network.SetLayerSize(n + 1, OutputCount);
    if (!slopeShown)
        Network.Alpha = slope;
}

// ---- page 4 ----

void TWizard::LearnConfigShow() {
    TLearnPage& p = LearnPage;
    for (std::string* t :
         {&p.MaxTeachErrText, &p.MidTeachErrText, &p.MaxTestErrText, &p.MidTestErrText, &p.IdentErrText})
        if (t->empty())
            *t = "0.05";
    p.TeachSpeedText = FormatGeneral(Network.TeachSpeed, 5);
    p.MiuText = FormatGeneral(Network.Miu, 5);
}

void TWizard::CriterionClicked(TCriterion which, bool checked) {
    PageChanged = true;
    TLearnPage& p = LearnPage;
    switch (which) {
    case TCriterion::Epoch:
        p.EpochOn = checked;
        break;
    case TCriterion::MaxTeachErr:
        p.MaxTeachErrOn = checked;
        break;
    case TCriterion::MidTeachErr:
        p.MidTeachErrOn = checked;
        break;
    case TCriterion::TeachIdent:
        p.TeachIdentOn = checked;
        break;
    case TCriterion::MaxTestErr:
        p.MaxTestErrOn = checked;
        break;
    case TCriterion::MidTestErr:
        p.MidTestErrOn = checked;
        break;
    case TCriterion::TestIdent:
        p.TestIdentOn = checked;
        break;
    }
}

void TWizard::KeepBestClicked(bool checked) {
    SetLearnValue(&TLearnPage::KeepBest, checked);
}

bool TWizard::KeepBestAvailable() const {
    const int64_t teach = static_cast<int64_t>(std::clamp(LearnPage.UseForTeach, 1, 100)) * RecordCount / 100;
    return RecordCount - teach > 0;
}

void TWizard::SetLearnValue(std::string TLearnPage::*field, const std::string& value) {
    if (LearnPage.*field != value)
        PageChanged = true;
    LearnPage.*field = value;
}

void TWizard::SetLearnValue(int32_t TLearnPage::*field, int32_t value) {
    if (LearnPage.*field != value)
        PageChanged = true;
    LearnPage.*field = value;
}

void TWizard::SetLearnValue(bool TLearnPage::*field, bool value) {
    if (LearnPage.*field != value)
        PageChanged = true;
    LearnPage.*field = value;
}

void TWizard::ApplyLearnConfig() {
    const TLearnPage& p = LearnPage;
    IdentErrLimit = StrToFloat(p.IdentErrText);
    MaxTestErrLimit = StrToFloat(p.MaxTestErrText);
    MidTestErrLimit = StrToFloat(p.MidTestErrText);
    MidTeachErrLimit = StrToFloat(p.MidTeachErrText);
    MaxTeachErrLimit = StrToFloat(p.MaxTeachErrText);
    TeachCount = static_cast<int32_t>(static_cast<int64_t>(std::clamp(p.UseForTeach, 1, 100)) * RecordCount / 100);
    TestCount = RecordCount - TeachCount;
    Network.SetTeachSpeed(StrToFloat(p.TeachSpeedText));
    Network.Miu = StrToFloat(p.MiuText);
}

TStopRules TWizard::StopRules() const {
    const TLearnPage& p = LearnPage;
    TStopRules r;
    r.IdentErrLimit = IdentErrLimit;
    r.TestAsValid = p.Validate;
    r.EpochOn = p.EpochOn;
    r.EpochLimit = p.EpochC;
    r.MaxTeachErrOn = p.MaxTeachErrOn;
    r.MaxTeachErrLimit = MaxTeachErrLimit;
    r.MidTeachErrOn = p.MidTeachErrOn;
    r.MidTeachErrLimit = MidTeachErrLimit;
    r.TeachIdentOn = p.TeachIdentOn;
    r.TeachIdentPct = p.TeachIdentC;
    r.MaxTestErrOn = p.MaxTestErrOn;
    r.MaxTestErrLimit = MaxTestErrLimit;
    r.MidTestErrOn = p.MidTestErrOn;
    r.MidTestErrLimit = MidTestErrLimit;
    r.TestIdentOn = p.TestIdentOn;
    r.TestIdentPct = p.TestIdentC;
    return r;
}

void TWizard::CheckNetworkFits() const {
    const int32_t layers = Network.CountLayers();
    if (layers == 0 || Network.GetLayerSize(0) != InputCount || Network.GetLayerSize(layers - 1) != OutputCount)
        throw EError(msgNetMismatch);
}

// ---- page 6 ----

void TWizard::LearnPageShow() {
    StatCells[1][0] = "Обуч.";
    StatCells[2][0] = "Тест.";
    StatCells[0][1] = "Error ср.";
    StatCells[0][2] = "Error макс.";
    StatCells[0][3] = "Распознано";
}

void TWizard::RefreshStats(const TEpochStats& s, int32_t epoch) {
    StatCells[1][1] = FormatGeneral(s.TeachErrMean, 5);
    StatCells[2][1] = FormatGeneral(s.TestErrMean, 5);
    StatCells[1][2] = FormatGeneral(s.TeachErrMax, 5);
    StatCells[2][2] = FormatGeneral(s.TestErrMax, 5);
    StatCells[1][3] = FormatIdentShare(s.TeachIdentCount, TeachCount);
    StatCells[2][3] = FormatIdentShare(s.TestIdentCount, TestCount);
    SetStatus("Эпоха: " + std::to_string(epoch - 1));
}

void TWizard::RequestStop() {
    StopRequested = true;
}

void TWizard::LearnClicked(const TRunHooks& hooks) {
    if (LearnTag == 0) {
        RunTraining(hooks);
    } else if (LearnTag == 1) {
        StopRequested = true;
        LearnCaption = "Ждите...";
        if (hooks.OnStateChanged)
            hooks.OnStateChanged();
    }
}

namespace {

// Forwards the run's calls to the window's view and keeps the statistics grid in the model.
class TWizardRunView : public ITrainingView {
public:
    TWizardRunView(TWizard& w, ITrainingView* view) : w_(w), view_(view) {}
    bool Pump() override { return view_ ? view_->Pump() : false; }
    // The examples' preparation shows in the progress bar, which goes away once they are ready.
    void Progress(double fraction) override {
        w_.ShowProgress(fraction);
        if (view_)
            view_->Progress(fraction);
        if (fraction >= 1)
            w_.ShowProgress(-1);
    }
    void HistoClear() override {
        if (view_)
            view_->HistoClear();
    }
    void HistoRepaint() override {
        if (view_)
            view_->HistoRepaint();
    }
    void SetPointCounts(int32_t teach, int32_t test) override {
        if (view_)
            view_->SetPointCounts(teach, test);
    }
    void TeachExample(int32_t k, double x, double y, double e) override {
        if (view_)
            view_->TeachExample(k, x, y, e);
    }
    void TestExample(int32_t k, double x, double y, double e) override {
        if (view_)
            view_->TestExample(k, x, y, e);
    }
    void EpochDone(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch) override {
        w_.Curve.Add(epoch - 1, s.TeachErrMean, s.TestErrMean);
        if (view_)
            view_->EpochDone(s, teachCount, testCount, epoch);
    }
    void Refresh(const TEpochStats& s, int32_t teachCount, int32_t testCount, int32_t epoch) override {
        w_.RefreshStats(s, epoch);
        if (view_)
            view_->Refresh(s, teachCount, testCount, epoch);
    }

private:
    TWizard& w_;
    ITrainingView* view_;
};

} // namespace

void TWizard::RunTraining(const TRunHooks& hooks) {
    auto changed = [&] {
        if (hooks.OnStateChanged)
            hooks.OnStateChanged();
    };
    IconTimerEnabled = false;
    PrevTestErr = 0;
    PageChanged = true;
    LearnTag = 1;
    StopRequested = false;
    LearnCaption = "Остановка обучения";
    LearnHint = "Остановка обучения системы";
    NextEnabled = PrevEnabled = QuitEnabled = false;
    changed();
    TWizardRunView view(*this, hooks.View);
    view.SetPointCounts(TeachCount, TestCount);
    view.HistoRepaint();

    TTrainingContext ctx;
    ctx.Network = &Network;
    ctx.Fields = &Fields;
    ctx.RecordIndex = &RecordIndex;
    ctx.InputCount = InputCount;
    ctx.OutputCount = OutputCount;
    ctx.TeachCount = TeachCount;
    ctx.TestCount = TestCount;
    ctx.ExampleCursor = &ExampleCursor;
    ctx.PrevTestErr = &PrevTestErr;
    ctx.StopRequested = &StopRequested;
    ctx.Rules = StopRules();
    ctx.KeepBest = LearnPage.KeepBest;
    RestoredEpoch = -1;
    TRunEnd end;
    try {
        end = RunTrainingLoop(ctx, view);
    } catch (const std::exception& e) {
        if (Progress >= 0) // failed while preparing the examples
            ShowProgress(-1);
        LearnCaption = "Пуск обучения";
        LearnHint = "Начало обучения системы";
        IconTimerEnabled = true;
        LearnTag = 0;
        std::string message = dynamic_cast<const EError*>(&e) ? e.what() : msg::RangeCheck;
        if (dynamic_cast<const std::bad_alloc*>(&e))
            message = msgNetTooLarge;
        // The page shows the run as ended before the box holds the user's attention.
        QuitEnabled = true;
        UpdateNavigation();
        changed();
        if (hooks.OnError)
            hooks.OnError(message);
        return;
    }
    const char* message = RunEndMessage(end);
    if (*message && hooks.OnEndMessage)
        hooks.OnEndMessage(message);
    RestoredEpoch = ctx.RestoredEpoch;
    if (RestoredEpoch >= 0) {
        Curve.Mark(RestoredEpoch - 1);
        SetStatus(BestRestoredMessage(RestoredEpoch));
    }
    LearnCaption = "Пуск обучения";
    LearnHint = "Начало обучения системы";
    LearnTag = 0;
    NextEnabled = State != kPageCount - 1;
    PrevEnabled = State != 0;
    QuitEnabled = true;
    IconTimerEnabled = true;
    changed();
}

// ---- page 7 ----

void TWizard::PredictShow() {
    TPredictPage& p = PredictPage;
    p.InputNames.assign(static_cast<std::size_t>(std::max(InputCount, 0)), "");
    p.OutputNames.assign(static_cast<std::size_t>(std::max(OutputCount, 0)), "");
    p.InputTexts.resize(p.InputNames.size());
    p.OutputTexts.resize(p.OutputNames.size());
    for (const TFieldInfo& f : Fields) {
        auto k = static_cast<std::size_t>(f.NetIndex);
        if (f.FieldType == TFieldRole::Input && f.NetIndex >= 0 && k < p.InputNames.size())
            p.InputNames[k] = f.FieldName;
        else if (f.FieldType == TFieldRole::Target && f.NetIndex >= 0 && k < p.OutputNames.size())
            p.OutputNames[k] = f.FieldName;
    }
}

void TWizard::SetPredictInput(int32_t row, const std::string& text) {
    if (row < 0)
        return;
    if (static_cast<std::size_t>(row) >= PredictPage.InputTexts.size())
        PredictPage.InputTexts.resize(static_cast<std::size_t>(row) + 1);
    PredictPage.InputTexts[static_cast<std::size_t>(row)] = text;
}

std::vector<double> TWizard::PredictValues(const std::vector<double>& raw) {
    std::vector<double> input = raw;
    input.resize(static_cast<std::size_t>(std::max(InputCount, 0)));
    std::vector<double> output(static_cast<std::size_t>(std::max(OutputCount, 0)));
    CheckNetworkFits();
    ClearFloatErrors();
    NormalizeInputs(Fields, input);
    CheckFloatErrors();
    Network.SetInputs(input.data(), input.size());
    Network.Compute();
    for (int32_t j = 0; j < OutputCount; ++j)
        output[static_cast<std::size_t>(j)] = Network.GetOutput(j);
    DenormalizeOutputs(Fields, output);
    CheckFloatErrors();
    return output;
}

void TWizard::Predict() {
    std::vector<double> input(static_cast<std::size_t>(std::max(InputCount, 0)));
    for (int32_t i = 0; i < InputCount; ++i) {
        auto k = static_cast<std::size_t>(i);
        input[k] = StrToFloat(k < PredictPage.InputTexts.size() ? PredictPage.InputTexts[k] : std::string());
    }
    std::vector<double> output = PredictValues(input);
    PredictPage.OutputTexts.resize(output.size());
    for (std::size_t j = 0; j < output.size(); ++j)
        PredictPage.OutputTexts[j] = FormatGeneral(output[j], 15);
}

int32_t TWizard::PredictOverFile(const std::string& input, const std::string& output) {
    TLoadScope scope(*this);
    return PredictFile(
        *this, input, output, [this](const std::string& s) { SetStatus(s); }, LoadProgress(0, 1));
}

} // namespace nirvex

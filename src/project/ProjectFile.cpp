#include "project/ProjectFile.h"

#include "common/Errors.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "engine/IniFile.h"
#include "sample/table/SampleFile.h"
#include "wizard/Wizard.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace nirvex {

namespace {

constexpr const char* sMain = "Main";
constexpr const char* sPhase1 = "Phase1";
constexpr const char* sPhase2 = "Phase2";
constexpr const char* sPhase3 = "Phase3";
constexpr const char* sPhase4 = "Phase4";
constexpr const char* sNetwork = "Network";

// A project may name another project as its sample; each opens the next. A file naming itself
// would never end, so the chain is cut at this depth.
constexpr int kMaxProjectNesting = 8;
thread_local int gProjectNesting = 0;

class TNestingGuard {
public:
    TNestingGuard() {
        if (gProjectNesting >= kMaxProjectNesting)
            throw EError(msgBadProjectFile);
        ++gProjectNesting;
    }
    ~TNestingGuard() { --gProjectNesting; }
    TNestingGuard(const TNestingGuard&) = delete;
    TNestingGuard& operator=(const TNestingGuard&) = delete;
};

std::string Key(const char* prefix, int64_t i) {
    return prefix + std::to_string(i);
}

// A whole number the pages write within lo..hi: `def` when the key is absent; anything else the
// file holds there (another number, a text) is refused.
int32_t ReadRanged(const TIniFile& ini, const char* section, const std::string& key, int32_t def, int32_t lo,
                   int32_t hi) {
    if (!ini.ValueExists(section, key))
        return def;
    // The reader returns its default for a text it cannot take: two defaults tell that apart.
    const int32_t a = ini.ReadInteger(section, key, INT32_MIN);
    const int32_t b = ini.ReadInteger(section, key, INT32_MAX);
    if (a != b || a < lo || a > hi)
        throw EError(msgBadProjectFile);
    return a;
}

bool FileExists(const std::string& name) {
    std::error_code ec;
    return !name.empty() && std::filesystem::exists(std::filesystem::path(name), ec);
}

// Page-4 reals are written as numbers: the edit texts are converted first, in key order, so a
// text that is not a number fails the save before anything changes.
struct TLearnNumbers {
    double TeachSpeed = 0, Miu = 0, IdentErr = 0;
    std::array<double, kCriterionCount> Criteria{};
};

TLearnNumbers ConvertLearnPage(const TLearnPage& p) {
    TLearnNumbers n;
    n.TeachSpeed = ReadTypedNumber(p.TeachSpeedText, kTeachSpeedName);
    n.Miu = ReadTypedNumber(p.MiuText, kMiuName);
    n.IdentErr = ReadTypedNumber(p.IdentErrText, kIdentErrName);
    for (const TCriterionDef& d : StopCriteria())
        if (d.Kind == TCriterionKind::ErrorBelow)
            n.Criteria[CriterionSlot(d.Id)] = ReadTypedNumber(p[d.Id].Text, CriterionValueName(d));
    return n;
}

void WritePhase2(const TWizard& w, TIniFile& ini) {
    ini.EraseSection(sPhase2);
    ini.WriteInteger(sPhase2, "AvailableFieldsCount", w.FieldCount());
    for (std::size_t i = 0; i < w.Fields().size(); ++i) {
        const TFieldInfo& f = w.Fields()[i];
        auto k = static_cast<int64_t>(i);
        ini.WriteString(sPhase2, Key("FieldName_", k), f.FieldName);
        ini.WriteInteger(sPhase2, Key("FieldType_", k), static_cast<int32_t>(f.FieldType));
        ini.WriteInteger(sPhase2, Key("NormType_", k), static_cast<int32_t>(f.NormType));
        ini.WriteFloat(sPhase2, Key("MAX_", k), f.Max);
        ini.WriteFloat(sPhase2, Key("MIN_", k), f.Min);
        ini.WriteFloat(sPhase2, Key("MID_", k), f.Mid);
        ini.WriteFloat(sPhase2, Key("DISP_", k), f.Disp);
        ini.WriteFloat(sPhase2, Key("ALPHA_", k), f.Alpha);
    }
    // The order is stored the way it came, so every later open splits the records the same way.
    ini.WriteInteger(sPhase2, "Idexing", w.RecordIndexFromSeed() ? 2 : 1);
    ini.WriteInteger(sPhase2, "IND_INIT", static_cast<int32_t>(w.IndexSeed()));
    if (!w.RecordIndexFromSeed())
        for (std::size_t k = 0; k < w.RecordIndex().size(); ++k)
            ini.WriteInteger(sPhase2, Key("IND_", static_cast<int64_t>(k)), w.RecordIndex()[k]);
}

void WritePhase3(const TWizard& w, TIniFile& ini) {
    ini.EraseSection(sPhase3);
    const TNetPage& p = w.NetPage();
    int32_t n = std::clamp(p.HideLayerCount, 1, kMaxHideLayers);
    ini.WriteInteger(sPhase3, "HideLayers", p.HideLayerCount);
    for (int32_t k = 1; k <= n; ++k)
        ini.WriteString(sPhase3, Key("Layer_", k), p.Cells[static_cast<std::size_t>(k)]);
    ini.WriteString(sPhase3, "Alpha", p.AlphaText);
}

void WritePhase4(const TLearnPage& p, const TLearnNumbers& n, TIniFile& ini) {
    ini.EraseSection(sPhase4);
    ini.WriteInteger(sPhase4, "UseForTeach", p.UseForTeach);
    ini.WriteFloat(sPhase4, "TeachSpeed", n.TeachSpeed);
    ini.WriteFloat(sPhase4, "Miu", n.Miu);
    ini.WriteFloat(sPhase4, "IdentErr", n.IdentErr);
    ini.WriteBool(sPhase4, "TestAsValid", p.Validate);
    for (const TCriterionDef& d : StopCriteria()) {
        ini.WriteBool(sPhase4, d.FlagKey, p[d.Id].On);
        if (d.Kind == TCriterionKind::ErrorBelow)
            ini.WriteFloat(sPhase4, d.ValueKey, n.Criteria[CriterionSlot(d.Id)]);
        else
            ini.WriteInteger(sPhase4, d.ValueKey, p[d.Id].Count);
    }
    ini.WriteBool(sPhase4, "KeepBest", p.KeepBest);
}

// Fields are matched by name among the first FieldCount saved positions, so a column added to or
// removed from the sample since the save leaves the other fields' settings where they belong.
void RestorePhase2(TWizard& w, const TIniFile& ini) {
    const int32_t count = w.FieldCount();
    std::unordered_map<std::string, std::size_t> byName; // the first field of each name
    for (std::size_t i = 0; i < w.Fields().size(); ++i)
        byName.emplace(FoldName(w.Fields()[i].FieldName), i);
    for (int32_t i = 0; i < count; ++i) {
        auto it = byName.find(FoldName(ini.ReadString(sPhase2, Key("FieldName_", i), "")));
        if (it == byName.end())
            continue;
        const TFieldInfo& f = w.Fields()[it->second];
        const auto role = static_cast<TFieldRole>(ReadRanged(ini, sPhase2, Key("FieldType_", i), 2, 0, 2));
        const auto method = static_cast<TNormMethod>(ReadRanged(ini, sPhase2, Key("NormType_", i), 0, 0, 3));
        const double max = ini.ReadFloat(sPhase2, Key("MAX_", i), f.Max);
        const double min = ini.ReadFloat(sPhase2, Key("MIN_", i), f.Min);
        const double alpha = ini.ReadFloat(sPhase2, Key("ALPHA_", i), f.Alpha);
        w.RestoreField(it->second, role, method, max, min, alpha);
    }
    // Without the key the order of the sample load stays.
    switch (ReadRanged(ini, sPhase2, "Idexing", 0, 1, 2)) {
    case 1: {
        // An explicit order is taken entry by entry; a record number outside the sample would
        // send training past the end of the columns.
        const int32_t records = w.RecordCount();
        std::vector<int32_t> order(static_cast<std::size_t>(std::max(records, 0)));
        for (int32_t k = 0; k < records; ++k)
            order[static_cast<std::size_t>(k)] = ReadRanged(ini, sPhase2, Key("IND_", k), k, 0, records - 1);
        w.RestoreRecordOrder(std::move(order));
        break;
    }
    case 2:
        w.RestoreRecordSeed(static_cast<uint32_t>(
            ReadRanged(ini, sPhase2, "IND_INIT", static_cast<int32_t>(w.IndexSeed()), INT32_MIN, INT32_MAX)));
        break;
    default:
        break;
    }
}

void RestorePhase3(TWizard& w, const TIniFile& ini) {
    const int32_t layers = ReadRanged(ini, sPhase3, "HideLayers", 1, 1, kMaxHideLayers);
    std::vector<std::string> cells;
    for (int32_t k = 1; k <= layers; ++k)
        cells.push_back(ini.ReadString(sPhase3, Key("Layer_", k), "5"));
    const std::string alphaText = ini.ReadString(sPhase3, "Alpha", "1");
    // A slope the page would have refused; a text that is no number fails when the page is applied.
    const std::optional<double> slope = TryStrToFloat(alphaText);
    if (slope && !(*slope >= kMinSlope && *slope <= kMaxSlope))
        throw EError(msgBadProjectFile);
    w.RestoreNetPage(layers, cells, alphaText, slope);
}

// The page's spin boxes bring their values into range.
void RestorePhase4(TWizard& w, const TIniFile& ini) {
    TLearnPage p;
    auto flag = [&](const char* key) { return ini.ReadBool(sPhase4, key, false); };
    // An absent key gives 0, which the spin box brings into its range.
    auto spin = [&](const char* key, int32_t lo, int32_t hi) {
        return std::clamp(ReadRanged(ini, sPhase4, key, 0, lo, hi), lo, hi);
    };
    p.UseForTeach = spin("UseForTeach", 1, 100);
    const double teachSpeed = ini.ReadFloat(sPhase4, "TeachSpeed", 0);
    const double miu = ini.ReadFloat(sPhase4, "Miu", 0);
    p.TeachSpeedText = FormatExact(teachSpeed);
    p.MiuText = FormatExact(miu);
    p.IdentErrText = FormatExact(ini.ReadFloat(sPhase4, "IdentErr", 0));
    p.Validate = flag("TestAsValid");
    for (const TCriterionDef& d : StopCriteria()) {
        TCriterionSetting& c = p[d.Id];
        c.On = flag(d.FlagKey);
        if (d.Kind == TCriterionKind::ErrorBelow)
            c.Text = FormatExact(ini.ReadFloat(sPhase4, d.ValueKey, 0));
        else
            c.Count = spin(d.ValueKey, d.Lo, d.Hi);
    }
    p.KeepBest = flag("KeepBest");
    w.RestoreLearnPage(p, teachSpeed, miu);
}

// A sample found in place of the named one is taken only when it has every field the project
// names; another table of the same file name would otherwise be trained on silently.
void RequireStoredNames(const TIniFile& ini, const std::vector<TFieldInfo>& fields, const std::string& found) {
    std::unordered_set<std::string> names;
    for (const TFieldInfo& f : fields)
        names.insert(FoldName(f.FieldName));
    const std::string prefix = FoldName("FieldName_");
    for (const std::string& key : ini.ReadSection(sPhase2)) {
        if (FoldName(key).rfind(prefix, 0) != 0)
            continue;
        std::string name = ini.ReadString(sPhase2, key, "");
        if (!name.empty() && !names.contains(FoldName(name)))
            throw EError(msgSampleMismatch + found);
    }
}

// The saved network must take the examples of the fields restored before it, and its epoch
// counter must leave a run room to count. Checked before the network is replaced.
void CheckNetworkSection(const TWizard& w, const TIniFile& ini) {
    ReadRanged(ini, sNetwork, "Epoch", 0, 0, kMaxEpoch);
    const int32_t n = ini.ReadInteger(sNetwork, "CountLayers", 0);
    if (n < 1)
        return; // the network load refuses it with its own error
    if (ini.ReadInteger(sNetwork, "Layer_0", 0) != w.InputCount() ||
        ini.ReadInteger(sNetwork, Key("Layer_", n - 1), 0) != w.OutputCount())
        throw EError(msgNetMismatch);
}

} // namespace

std::string ProjectFileName(const std::string& fileName) {
    std::size_t dot = fileName.rfind('.');
    std::size_t sep = fileName.find_last_of("/\\");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
        return fileName + ".qvx";
    return fileName.substr(0, dot) + ".qvx";
}

std::string ResolveSampleName(const std::string& sampleName, const std::string& projectFileName) {
    if (sampleName.empty() || FileExists(sampleName))
        return sampleName;
    std::size_t cut = sampleName.find_last_of("/\\:");
    std::string base = cut == std::string::npos ? sampleName : sampleName.substr(cut + 1);
    if (base.empty())
        return sampleName;
    std::size_t slash = projectFileName.rfind('/');
    std::string dir = slash == std::string::npos ? std::string() : projectFileName.substr(0, slash + 1);
    std::string candidate = dir + base;
    return FileExists(candidate) ? candidate : sampleName;
}

void WriteProject(const TWizard& w, TIniFile& ini) {
    const int32_t state = w.State();
    TLearnNumbers learn{};
    if (state > 2)
        learn = ConvertLearnPage(w.LearnPage());
    TIniFile next = ini;
    next.WriteInteger(sMain, "State", state);
    next.EraseSection(sPhase1);
    next.WriteString(sPhase1, "LearnSampleFileName", w.LearnSampleFileName());
    if (state > 0)
        WritePhase2(w, next);
    if (state > 1)
        WritePhase3(w, next);
    if (state > 2)
        WritePhase4(w.LearnPage(), learn, next);
    if (state > 4)
        w.Network().SaveToIni(next, sNetwork);
    ini = std::move(next);
}

std::string SaveProject(TWizard& wizard, const std::string& fileName) {
    const std::string name = ProjectFileName(fileName);
    TIniFile ini(name);
    WriteProject(wizard, ini);
    ini.UpdateFile();
    return name;
}

void LoadProjectFromIni(TWizard& w, const TIniFile& ini) {
    AttachProjectFiles(w);
    const std::size_t noticesBefore = w.NoticeCount();
    const int32_t s = ReadRanged(ini, sMain, "State", 0, 0, kPageCount - 1);
    const std::string stored = ini.ReadString(sPhase1, "LearnSampleFileName", "");
    const std::string found = ResolveSampleName(stored, ini.FileName());
    const std::string moved =
        found == stored ? std::string() : msgSampleMoved + stored + msgSampleMovedUse + found + ".";
    w.SetStartSample(found);
    if (s > 0) {
        try {
            if (moved.empty())
                w.RestoreSample();
            else
                w.RestoreSample([&](const std::vector<TFieldInfo>& fields) { RequireStoredNames(ini, fields, found); });
        } catch (...) {
            w.SetStartSample(stored); // the other file was not taken
            throw;
        }
    }
    if (!moved.empty())
        w.AddNotice(moved);
    if (s > 0)
        RestorePhase2(w, ini);
    if (s > 1) {
        w.RestoreFieldRoles();
        RestorePhase3(w, ini);
    }
    if (s > 2) {
        w.RestoreNetConfig();
        RestorePhase4(w, ini);
    }
    if (s > 3)
        w.RestoreLearnConfig();
    if (s > 4) {
        CheckNetworkSection(w, ini);
        w.RestoreNetwork(ini, sNetwork);
    }
    w.FinishRestore(s, w.NoticeCount() > noticesBefore);
}

void AttachProjectFiles(TWizard& wizard) {
    wizard.SetProjectOpener([](TWizard& w, const std::string& fileName) { LoadProject(w, fileName); });
}

void LoadProject(TWizard& wizard, const std::string& fileName) {
    TNestingGuard guard;
    const TIniFile ini(fileName);
    try {
        LoadProjectFromIni(wizard, ini);
    } catch (const EConvertError&) {
        // A number where the pages could only have written one: the file was damaged or hand-made.
        wizard.ProjectOpened("");
        throw EError(msgBadProjectFile);
    } catch (const EError& e) {
        // What a failed load leaves may hold parts of this project: no file's save may write it.
        wizard.ProjectOpened("");
        // A network section without layers is damaged too: the network refuses it as a range error.
        if (std::string_view(e.what()) == msg::RangeCheck)
            throw EError(msgBadProjectFile);
        throw;
    }
    wizard.ProjectOpened(fileName);
}

bool StoreProject(TWizard& wizard, const std::string& chosenName) {
    if (chosenName.empty())
        return false;
    wizard.ProjectStored(SaveProject(wizard, chosenName));
    return true;
}

bool StoreOwnProject(TWizard& wizard, const std::function<std::string()>& askFileName) {
    if (!wizard.ProjectFile().empty())
        return StoreProject(wizard, wizard.ProjectFile());
    return StoreProject(wizard, askFileName ? askFileName() : std::string());
}

bool AnswerCloseQuestion(TWizard& wizard, TCloseAnswer answer, const std::function<std::string()>& askFileName) {
    switch (answer) {
    case TCloseAnswer::Yes:
        if (!StoreOwnProject(wizard, askFileName))
            return false;
        wizard.RequestStop();
        return true;
    case TCloseAnswer::No:
        wizard.RequestStop();
        return true;
    case TCloseAnswer::Cancel: // carry on: whatever runs goes on as if nothing was asked
        return false;
    }
    return false;
}

} // namespace nirvex

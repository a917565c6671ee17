#include "wizard/ProjectFile.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "engine/IniFile.h"
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

// Latin and Cyrillic letters folded to lower case, for matching field names.
std::string FoldName(std::string_view name) {
    std::string out;
    std::size_t pos = 0;
    while (pos < name.size()) {
        char32_t c = DecodeUtf8(name, pos);
        if (c >= U'A' && c <= U'Z')
            c += 0x20;
        else if (c >= 0x0410 && c <= 0x042F)
            c += 0x20;
        else if (c >= 0x0400 && c <= 0x040F)
            c += 0x50;
        AppendUtf8(out, c);
    }
    return out;
}

bool FileExists(const std::string& name) {
    std::error_code ec;
    return !name.empty() && std::filesystem::exists(std::filesystem::path(name), ec);
}

// Page-4 reals are written as numbers: the edit texts are converted first, in key order, so a
// text that is not a number fails the save before anything changes.
struct TLearnNumbers {
    double TeachSpeed, Miu, IdentErr, MaxTeachErr, MidTeachErr, MaxTestErr, MidTestErr;
};

TLearnNumbers ConvertLearnPage(const TLearnPage& p) {
    TLearnNumbers n{};
    n.TeachSpeed = StrToFloat(p.TeachSpeedText);
    n.Miu = StrToFloat(p.MiuText);
    n.IdentErr = StrToFloat(p.IdentErrText);
    n.MaxTeachErr = StrToFloat(p.MaxTeachErrText);
    n.MidTeachErr = StrToFloat(p.MidTeachErrText);
    n.MaxTestErr = StrToFloat(p.MaxTestErrText);
    n.MidTestErr = StrToFloat(p.MidTestErrText);
    return n;
}

void WritePhase2(const TWizard& w, TIniFile& ini) {
    ini.EraseSection(sPhase2);
    ini.WriteInteger(sPhase2, "AvailableFieldsCount", w.FieldCount());
    for (std::size_t i = 0; i < w.Fields.size(); ++i) {
        const TFieldInfo& f = w.Fields[i];
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
    ini.WriteInteger(sPhase2, "Idexing", w.RecordIndexFromSeed ? 2 : 1);
    ini.WriteInteger(sPhase2, "IND_INIT", static_cast<int32_t>(w.IndexSeed));
    if (!w.RecordIndexFromSeed)
        for (std::size_t k = 0; k < w.RecordIndex.size(); ++k)
            ini.WriteInteger(sPhase2, Key("IND_", static_cast<int64_t>(k)), w.RecordIndex[k]);
}

void WritePhase3(const TWizard& w, TIniFile& ini) {
    ini.EraseSection(sPhase3);
    int32_t n = std::clamp(w.NetPage.HideLayerCount, 1, kMaxHideLayers);
    ini.WriteInteger(sPhase3, "HideLayers", w.NetPage.HideLayerCount);
    for (int32_t k = 1; k <= n; ++k)
        ini.WriteString(sPhase3, Key("Layer_", k), w.NetPage.Cells[static_cast<std::size_t>(k)]);
    ini.WriteString(sPhase3, "Alpha", w.NetPage.AlphaText);
}

void WritePhase4(const TLearnPage& p, const TLearnNumbers& n, TIniFile& ini) {
    ini.EraseSection(sPhase4);
    ini.WriteInteger(sPhase4, "UseForTeach", p.UseForTeach);
    ini.WriteFloat(sPhase4, "TeachSpeed", n.TeachSpeed);
    ini.WriteFloat(sPhase4, "Miu", n.Miu);
    ini.WriteFloat(sPhase4, "IdentErr", n.IdentErr);
    ini.WriteBool(sPhase4, "TestAsValid", p.Validate);
    ini.WriteBool(sPhase4, "Epoch", p.EpochOn);
    ini.WriteInteger(sPhase4, "EpochC", p.EpochC);
    ini.WriteBool(sPhase4, "MaxTeachErr", p.MaxTeachErrOn);
    ini.WriteFloat(sPhase4, "MaxTeachErrV", n.MaxTeachErr);
    ini.WriteBool(sPhase4, "MidTeachErr", p.MidTeachErrOn);
    ini.WriteFloat(sPhase4, "MidTeachErrV", n.MidTeachErr);
    ini.WriteBool(sPhase4, "TeachIdent", p.TeachIdentOn);
    ini.WriteInteger(sPhase4, "TeachIdentC", p.TeachIdentC);
    ini.WriteBool(sPhase4, "MaxTestErr", p.MaxTestErrOn);
    ini.WriteFloat(sPhase4, "MaxTestErrV", n.MaxTestErr);
    ini.WriteBool(sPhase4, "MidTestErr", p.MidTestErrOn);
    ini.WriteFloat(sPhase4, "MidTestErrV", n.MidTestErr);
    ini.WriteBool(sPhase4, "TestIdent", p.TestIdentOn);
    ini.WriteInteger(sPhase4, "TestIdentC", p.TestIdentC);
    ini.WriteBool(sPhase4, "KeepBest", p.KeepBest);
}

// Fields are matched by name among the first FieldCount saved positions, so a column added to or
// removed from the sample since the save leaves the other fields' settings where they belong.
void RestorePhase2(TWizard& w, const TIniFile& ini) {
    const int32_t count = w.FieldCount();
    std::unordered_map<std::string, std::size_t> byName; // the first field of each name
    for (std::size_t i = 0; i < w.Fields.size(); ++i)
        byName.emplace(FoldName(w.Fields[i].FieldName), i);
    for (int32_t i = 0; i < count; ++i) {
        auto it = byName.find(FoldName(ini.ReadString(sPhase2, Key("FieldName_", i), "")));
        if (it == byName.end())
            continue;
        TFieldInfo& f = w.Fields[it->second];
        f.FieldType = static_cast<TFieldRole>(ReadRanged(ini, sPhase2, Key("FieldType_", i), 2, 0, 2));
        f.NormType = static_cast<TNormMethod>(ReadRanged(ini, sPhase2, Key("NormType_", i), 0, 0, 3));
        f.Max = ini.ReadFloat(sPhase2, Key("MAX_", i), f.Max);
        f.Min = ini.ReadFloat(sPhase2, Key("MIN_", i), f.Min);
        f.Alpha = ini.ReadFloat(sPhase2, Key("ALPHA_", i), f.Alpha);
    }
    // Without the key the order of the sample load stays.
    switch (ReadRanged(ini, sPhase2, "Idexing", 0, 1, 2)) {
    case 1: {
        // An explicit order is taken entry by entry; a record number outside the sample would
        // send training past the end of the columns.
        std::vector<int32_t> order(static_cast<std::size_t>(std::max(w.RecordCount, 0)));
        for (int32_t k = 0; k < w.RecordCount; ++k)
            order[static_cast<std::size_t>(k)] = ReadRanged(ini, sPhase2, Key("IND_", k), k, 0, w.RecordCount - 1);
        w.RecordIndex = std::move(order);
        w.RecordIndexFromSeed = false;
        break;
    }
    case 2:
        w.IndexSeed = static_cast<uint32_t>(
            ReadRanged(ini, sPhase2, "IND_INIT", static_cast<int32_t>(w.IndexSeed), INT32_MIN, INT32_MAX));
        SetRandSeed(w.IndexSeed);
        w.BuildRecordIndex();
        w.RecordIndexFromSeed = true;
        break;
    default:
        break;
    }
}

void RestorePhase3(TWizard& w, const TIniFile& ini) {
    w.SetHideLayerCount(ReadRanged(ini, sPhase3, "HideLayers", 1, 1, kMaxHideLayers));
    for (int32_t k = 1; k <= w.NetPage.HideLayerCount; ++k)
        w.NetPage.Cells[static_cast<std::size_t>(k)] = ini.ReadString(sPhase3, Key("Layer_", k), "5");
    w.NetPage.AlphaText = ini.ReadString(sPhase3, "Alpha", "1");
    // A slope the page would have refused; a text that is no number fails when the page is applied.
    // The network takes the saved slope at once, so that the page shows it as the network's.
    if (auto slope = TryStrToFloat(w.NetPage.AlphaText)) {
        if (!(*slope >= kMinSlope && *slope <= kMaxSlope))
            throw EError(msgBadProjectFile);
        w.Network.Alpha = *slope;
    }
}

// The page's spin boxes bring their values into range; the restored learning rate and momentum
// also go to the network, so that the page shows them rather than the network's earlier values.
void RestorePhase4(TWizard& w, const TIniFile& ini) {
    TLearnPage& p = w.LearnPage;
    auto real15 = [&](const char* key) { return FormatGeneral(ini.ReadFloat(sPhase4, key, 0), 15); };
    auto real5 = [&](const char* key) { return FormatGeneral(ini.ReadFloat(sPhase4, key, 0), 5); };
    auto flag = [&](const char* key) { return ini.ReadBool(sPhase4, key, false); };
    // An absent key gives 0, which the spin box brings into its range.
    auto spin = [&](const char* key, int32_t lo, int32_t hi) {
        return std::clamp(ReadRanged(ini, sPhase4, key, 0, lo, hi), lo, hi);
    };
    p.UseForTeach = spin("UseForTeach", 1, 100);
    double teachSpeed = ini.ReadFloat(sPhase4, "TeachSpeed", 0);
    double miu = ini.ReadFloat(sPhase4, "Miu", 0);
    p.TeachSpeedText = FormatGeneral(teachSpeed, 15);
    p.MiuText = FormatGeneral(miu, 15);
    p.IdentErrText = real15("IdentErr");
    p.Validate = flag("TestAsValid");
    p.EpochOn = flag("Epoch");
    p.EpochC = spin("EpochC", 0, 100000);
    p.MaxTeachErrOn = flag("MaxTeachErr");
    p.MaxTeachErrText = real5("MaxTeachErrV");
    p.MidTeachErrOn = flag("MidTeachErr");
    p.MidTeachErrText = real5("MidTeachErrV");
    p.TeachIdentOn = flag("TeachIdent");
    p.TeachIdentC = spin("TeachIdentC", 0, 100);
    p.MaxTestErrOn = flag("MaxTestErr");
    p.MaxTestErrText = real5("MaxTestErrV");
    p.MidTestErrOn = flag("MidTestErr");
    p.MidTestErrText = real5("MidTestErrV");
    p.TestIdentOn = flag("TestIdent");
    p.TestIdentC = spin("TestIdentC", 0, 100);
    p.KeepBest = flag("KeepBest");
    w.Network.SetTeachSpeed(teachSpeed);
    w.Network.Miu = miu;
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
    if (ini.ReadInteger(sNetwork, "Layer_0", 0) != w.InputCount ||
        ini.ReadInteger(sNetwork, Key("Layer_", n - 1), 0) != w.OutputCount)
        throw EError(msgNetMismatch);
}

} // namespace

bool SameFieldName(std::string_view a, std::string_view b) {
    return FoldName(a) == FoldName(b);
}

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
    const int32_t state = w.State;
    TLearnNumbers learn{};
    if (state > 2)
        learn = ConvertLearnPage(w.LearnPage);
    TIniFile next = ini;
    next.WriteInteger(sMain, "State", state);
    next.EraseSection(sPhase1);
    next.WriteString(sPhase1, "LearnSampleFileName", w.LearnSampleFileName);
    if (state > 0)
        WritePhase2(w, next);
    if (state > 1)
        WritePhase3(w, next);
    if (state > 2)
        WritePhase4(w.LearnPage, learn, next);
    if (state > 4)
        w.Network.SaveToIni(next, sNetwork);
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
    const std::size_t noticesBefore = w.Notices.size();
    const int32_t s = ReadRanged(ini, sMain, "State", 0, 0, kPageCount - 1);
    const std::string stored = ini.ReadString(sPhase1, "LearnSampleFileName", "");
    const std::string found = ResolveSampleName(stored, ini.FileName());
    const std::string moved =
        found == stored ? std::string() : msgSampleMoved + stored + msgSampleMovedUse + found + ".";
    w.SampleFileText = found;
    if (s > 0) {
        w.PageChanged = true;
        try {
            if (moved.empty())
                w.LoadSample(true);
            else
                w.LoadSample(true,
                             [&](const std::vector<TFieldInfo>& fields) { RequireStoredNames(ini, fields, found); });
        } catch (...) {
            w.SampleFileText = stored; // the other file was not taken
            throw;
        }
    }
    if (!moved.empty())
        w.Notices.push_back(moved);
    if (s > 0)
        RestorePhase2(w, ini);
    if (s > 1) {
        w.PageChanged = true;
        w.CheckFieldRoles();
        RestorePhase3(w, ini);
    }
    if (s > 2) {
        w.PageChanged = true;
        w.ApplyNetConfig(false);
        RestorePhase4(w, ini);
    }
    if (s > 3) {
        w.PageChanged = true;
        w.ApplyLearnConfig();
    }
    if (s > 4) {
        CheckNetworkSection(w, ini);
        w.Network.LoadFromIni(ini, sNetwork);
    }
    w.ShowPage(s);
    if (s > 1 && !w.SampleNotice.empty()) // the field page shows it itself
        w.SetStatus(w.SampleNotice);
    // A sample taken from another place is a change the user saves or not.
    w.Modified = w.Notices.size() > noticesBefore;
    w.PageChanged = false;
}

void LoadProject(TWizard& wizard, const std::string& fileName) {
    TNestingGuard guard;
    const TIniFile ini(fileName);
    LoadProjectFromIni(wizard, ini);
}

bool StoreProject(TWizard& wizard, const std::string& chosenName) {
    if (chosenName.empty())
        return false;
    SaveProject(wizard, chosenName);
    wizard.PageChanged = false;
    wizard.Modified = false;
    return true;
}

bool AnswerCloseQuestion(TWizard& wizard, TCloseAnswer answer, const std::function<std::string()>& askFileName) {
    switch (answer) {
    case TCloseAnswer::Yes: {
        std::string name = askFileName ? askFileName() : std::string();
        if (name.empty())
            return false;
        SaveProject(wizard, name);
        wizard.StopRequested = true;
        return true;
    }
    case TCloseAnswer::No:
        wizard.StopRequested = true;
        return true;
    case TCloseAnswer::Cancel:
        wizard.StopRequested = true;
        return false;
    }
    return false;
}

} // namespace nirvex

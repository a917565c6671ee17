#include "project/ProjectFile.h"

#include "common/Errors.h"
#include "common/NumberText.h"
#include "common/RandomGen.h"
#include "engine/IniFile.h"
#include "sample/Categories.h"
#include "sample/table/SampleFile.h"
#include "wizard/Wizard.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>
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

std::string Key(const std::string& prefix, int64_t i) {
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

// A real the pages write as a number: `def` when the key is absent; a text that is no number is refused
// rather than read as 0.
double ReadReal(const TIniFile& ini, const char* section, const std::string& key, double def) {
    if (!ini.ValueExists(section, key))
        return def;
    const std::optional<double> v = TryStrToFloat(ini.ReadString(section, key, ""));
    if (!v)
        throw EError(msgBadProjectFile);
    return *v;
}

// A check mark: a whole number (not 0 is ticked), or the words people write for one by hand.
bool ReadFlag(const TIniFile& ini, const char* section, const std::string& key, bool def) {
    if (!ini.ValueExists(section, key))
        return def;
    const std::string word = FoldName(ini.ReadString(section, key, ""));
    if (word == "true" || word == "yes")
        return true;
    if (word == "false" || word == "no")
        return false;
    return ReadRanged(ini, section, key, 0, INT32_MIN, INT32_MAX) != 0;
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

// A category value as an INI value keeps its blanks at the ends, quotes and line breaks: those
// bytes (and "%") are written as %XX.
std::string EscapeIniValue(const std::string& value) {
    std::string out;
    static const char* hex = "0123456789ABCDEF";
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        const bool edge = (i == 0 || i + 1 == value.size()) && (c == ' ' || c == '\t');
        if (c < 0x20 || c == '%' || c == '"' || c == 0x7F || edge) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string UnescapeIniValue(const std::string& text) {
    auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() + 0 && digit(text[i + 1]) >= 0 && digit(text[i + 2]) >= 0) {
            out += static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
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
        // Only what number fields without filled gaps lack, so their projects stay as they were.
        if (f.IsCategory()) {
            ini.WriteInteger(sPhase2, Key("Kind_", k), static_cast<int32_t>(f.Kind));
            ini.WriteInteger(sPhase2, Key("Categories_", k), static_cast<int32_t>(f.Categories.size()));
            for (std::size_t j = 0; j < f.Categories.size(); ++j)
                ini.WriteString(sPhase2, Key("Category_" + std::to_string(i) + "_", static_cast<int64_t>(j)),
                                EscapeIniValue(f.Categories[j]));
        }
        if (f.FillGaps)
            ini.WriteBool(sPhase2, Key("FillGaps_", k), true);
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
    // Absent means 0: a project without a validation part is written as before it existed.
    if (p.ValidShare != 0)
        ini.WriteInteger(sPhase4, "ValidShare", p.ValidShare);
}

// The field names a project stores, at any position, as written.
std::vector<std::string> StoredNames(const TIniFile& ini) {
    std::vector<std::string> names;
    const std::string prefix = FoldName("FieldName_");
    for (const std::string& key : ini.ReadSection(sPhase2))
        if (FoldName(key).rfind(prefix, 0) == 0)
            if (std::string name = ini.ReadString(sPhase2, key, ""); !name.empty())
                names.push_back(std::move(name));
    return names;
}

std::unordered_set<std::string> FoldedNames(const std::vector<std::string>& names) {
    std::unordered_set<std::string> folded;
    for (const std::string& name : names)
        folded.insert(FoldName(name));
    return folded;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

// A column the project does not name is left unused, and names without a column are told: a project
// written by hand that lists some fields, or misspells one, would otherwise train on the load's roles.
// A project that names no field leaves every one as page 2 proposes it.
void LeaveUnnamedUnused(TWizard& w, const TIniFile& ini) {
    const std::vector<std::string> stored = StoredNames(ini);
    if (stored.empty())
        return;
    const std::unordered_set<std::string> named = FoldedNames(stored);
    std::unordered_set<std::string> columns;
    std::vector<std::string> unnamed, unknown;
    for (std::size_t i = 0; i < w.Fields().size(); ++i) {
        const TFieldInfo& f = w.Fields()[i];
        columns.insert(FoldName(f.FieldName));
        if (named.contains(FoldName(f.FieldName)))
            continue;
        unnamed.push_back(f.FieldName);
        w.RestoreField(i, TFieldRole::Unused, f.NormType, f.Max, f.Min, f.Alpha);
    }
    for (const std::string& name : stored)
        if (!columns.contains(FoldName(name)))
            unknown.push_back(name);
    if (!unnamed.empty())
        w.AddNotice(msgFieldsUnnamed + JoinNames(unnamed));
    if (!unknown.empty())
        w.AddNotice(msgFieldsUnknown + JoinNames(unknown));
}

// An order stored as a list, or as a seed that is there.
bool RecordOrderStored(const TIniFile& ini) {
    if (!ini.ValueExists(sPhase2, "Idexing"))
        return false;
    const int32_t kind = ReadRanged(ini, sPhase2, "Idexing", 0, 1, 2);
    return kind == 1 || ini.ValueExists(sPhase2, "IND_INIT");
}

// Fields are matched by name among the first FieldCount saved positions, so a column added to or
// removed from the sample since the save leaves the other fields' settings where they belong. A key
// left out takes the field's value after the load, as page 2 shows it.
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
        const auto role = static_cast<TFieldRole>(
            ReadRanged(ini, sPhase2, Key("FieldType_", i), static_cast<int32_t>(f.FieldType), 0, 2));
        const auto method = static_cast<TNormMethod>(
            ReadRanged(ini, sPhase2, Key("NormType_", i), static_cast<int32_t>(f.NormType), 0, 4));
        const double max = ReadReal(ini, sPhase2, Key("MAX_", i), f.Max);
        const double min = ReadReal(ini, sPhase2, Key("MIN_", i), f.Min);
        const double alpha = ReadReal(ini, sPhase2, Key("ALPHA_", i), f.Alpha);
        w.RestoreField(it->second, role, method, max, min, alpha);
        if (ini.ReadInteger(sPhase2, Key("Kind_", i), 0) == static_cast<int32_t>(TFieldKind::Category)) {
            std::vector<std::string> values;
            const int32_t n = ReadRanged(ini, sPhase2, Key("Categories_", i), 0, 0, kMaxCategories);
            for (int32_t j = 0; j < n; ++j)
                values.push_back(
                    UnescapeIniValue(ini.ReadString(sPhase2, Key("Category_" + std::to_string(i) + "_", j), "")));
            w.RestoreCategories(it->second, values);
        }
        w.RestoreFillGaps(it->second, ini.ReadBool(sPhase2, Key("FillGaps_", i), false));
    }
    LeaveUnnamedUnused(w, ini);
    if (!RecordOrderStored(ini))
        return; // the order the sample load drew from the clock stays (KeepDrawnRecordOrder)
    if (ReadRanged(ini, sPhase2, "Idexing", 0, 1, 2) == 2) {
        w.RestoreRecordSeed(static_cast<uint32_t>(ReadRanged(ini, sPhase2, "IND_INIT", 0, INT32_MIN, INT32_MAX)));
        return;
    }
    // An explicit order is taken entry by entry; a record number outside the sample would send
    // training past the end of the columns.
    const int32_t records = w.RecordCount();
    std::vector<int32_t> order(static_cast<std::size_t>(std::max(records, 0)));
    for (int32_t k = 0; k < records; ++k)
        order[static_cast<std::size_t>(k)] = ReadRanged(ini, sPhase2, Key("IND_", k), k, 0, records - 1);
    w.RestoreRecordOrder(std::move(order));
}

// Absent keys take what page 3 shows on its first visit: the network's default shape and its slope.
void RestorePhase3(TWizard& w, const TIniFile& ini) {
    const TNeuralNetworkINI& net = w.Network();
    const int32_t layers =
        ReadRanged(ini, sPhase3, "HideLayers", std::clamp(net.CountLayers() - 2, 1, kMaxHideLayers), 1, kMaxHideLayers);
    const std::string neurons = std::to_string(net.GetLayerSize(1));
    std::vector<std::string> cells;
    for (int32_t k = 1; k <= layers; ++k)
        cells.push_back(ini.ReadString(sPhase3, Key("Layer_", k), neurons));
    const std::string alphaText = ini.ReadString(sPhase3, "Alpha", FormatGeneral(net.Alpha, 15));
    // A slope the page would have refused; a text that is no number fails when the page is applied.
    const std::optional<double> slope = TryStrToFloat(alphaText);
    if (slope && !(*slope >= kMinSlope && *slope <= kMaxSlope))
        throw EError(msgBadProjectFile);
    w.RestoreNetPage(layers, cells, alphaText, slope);
}

// Absent keys take what page 4 shows on a first visit: its start values, and the learning rate and
// momentum of the network as the page shows them.
void RestorePhase4(TWizard& w, const TIniFile& ini) {
    TLearnPage p;
    auto shown = [](double v) { return TryStrToFloat(FormatGeneral(v, 5)).value_or(v); };
    p.UseForTeach = ReadRanged(ini, sPhase4, "UseForTeach", p.UseForTeach, 1, 100);
    const double teachSpeed = ReadReal(ini, sPhase4, "TeachSpeed", shown(w.Network().TeachSpeed));
    const double miu = ReadReal(ini, sPhase4, "Miu", shown(w.Network().Miu));
    p.TeachSpeedText = FormatExact(teachSpeed);
    p.MiuText = FormatExact(miu);
    p.IdentErrText = FormatExact(ReadReal(ini, sPhase4, "IdentErr", StrToFloat(p.IdentErrText)));
    p.Validate = ReadFlag(ini, sPhase4, "TestAsValid", p.Validate);
    for (const TCriterionDef& d : StopCriteria()) {
        TCriterionSetting& c = p[d.Id];
        c.On = ReadFlag(ini, sPhase4, d.FlagKey, c.On);
        if (d.Kind == TCriterionKind::ErrorBelow)
            c.Text = FormatExact(ReadReal(ini, sPhase4, d.ValueKey, StrToFloat(c.Text)));
        else
            c.Count = ReadRanged(ini, sPhase4, d.ValueKey, c.Count, d.Lo, d.Hi);
    }
    p.KeepBest = ReadFlag(ini, sPhase4, "KeepBest", p.KeepBest);
    p.ValidShare = ReadRanged(ini, sPhase4, "ValidShare", 0, 0, kMaxValidShare);
    w.RestoreLearnPage(p, teachSpeed, miu);
}

// A sample found in place of the named one is taken only when it has every field the project
// names; another table of the same file name would otherwise be trained on silently.
void RequireStoredNames(const TIniFile& ini, const std::vector<TFieldInfo>& fields, const std::string& found) {
    std::unordered_set<std::string> names;
    for (const TFieldInfo& f : fields)
        names.insert(FoldName(f.FieldName));
    for (const std::string& name : StoredNames(ini))
        if (!names.contains(FoldName(name)))
            throw EError(msgSampleMismatch + found);
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

// A network section without its rates or slope takes those the pages gave the network, as the
// window's network has them on the training page.
void RestoreNetworkSection(TWizard& w, const TIniFile& ini) {
    CheckNetworkSection(w, ini);
    const TNeuralNetworkINI& net = w.Network();
    const std::pair<const char*, double> settings[] = {
        {"TeachSpeed", net.TeachSpeed}, {"Miu", net.Miu}, {"Alpha", net.Alpha}};
    bool complete = true;
    for (const auto& [key, value] : settings) {
        ReadReal(ini, sNetwork, key, value);
        complete = complete && ini.ValueExists(sNetwork, key);
    }
    if (complete) {
        w.RestoreNetwork(ini, sNetwork);
        return;
    }
    TIniFile filled = ini;
    for (const auto& [key, value] : settings)
        if (!ini.ValueExists(sNetwork, key))
            filled.WriteFloat(sNetwork, key, value);
    w.RestoreNetwork(filled, sNetwork);
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
    if (s > 4)
        RestoreNetworkSection(w, ini);
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
        if (std::string_view(e.what()) == msgRangeCheck)
            throw EError(msgBadProjectFile);
        throw;
    }
    wizard.ProjectOpened(fileName);
}

bool KeepDrawnRecordOrder(const TWizard& wizard, const std::string& fileName) {
    TIniFile ini(fileName);
    if (ReadRanged(ini, sMain, "State", 0, 0, kPageCount - 1) < 1 || RecordOrderStored(ini))
        return false;
    ini.WriteInteger(sPhase2, "Idexing", 2);
    ini.WriteInteger(sPhase2, "IND_INIT", static_cast<int32_t>(wizard.IndexSeed()));
    ini.UpdateFile();
    return true;
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

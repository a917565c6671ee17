#include "app/cli/NewProject.h"

#include "app/cli/Messages.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "sample/FieldName.h"
#include "wizard/Wizard.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <utility>

namespace nirvex {

namespace {

// A project from `new` must be able to end a run; the window proposes no limit at all.
constexpr int32_t kDefaultEpochLimit = 1000;

using TOptions = TNewProjectOptions;

constexpr std::pair<TCriterion, const char*> kCriterionOptions[] = {
    {TCriterion::Epoch, "--epochs"},
    {TCriterion::MaxTeachErr, "--max-train-error"},
    {TCriterion::MidTeachErr, "--mean-train-error"},
    {TCriterion::TeachIdent, "--train-recognized"},
    {TCriterion::MaxTestErr, "--max-test-error"},
    {TCriterion::MidTestErr, "--mean-test-error"},
    {TCriterion::TestIdent, "--test-recognized"},
};

static_assert(std::size(kCriterionOptions) == kCriterionCount, "one option per criterion");

constexpr std::pair<const char*, std::optional<std::string> TOptions::*> kValueOptions[] = {
    {"-o", &TOptions::Output},   {"--hidden", &TOptions::Hidden},          {"--slope", &TOptions::Slope},
    {"--rate", &TOptions::Rate}, {"--momentum", &TOptions::Momentum},      {"--train-share", &TOptions::TrainShare},
    {"--seed", &TOptions::Seed}, {"--ident-error", &TOptions::IdentError}, {"--valid-share", &TOptions::ValidShare},
};
constexpr std::pair<const char*, std::vector<std::string> TOptions::*> kListOptions[] = {
    {"--target", &TOptions::Targets}, {"--input", &TOptions::Inputs},       {"--ignore", &TOptions::Ignored},
    {"--norm", &TOptions::Norms},     {"--fill-gaps", &TOptions::FillGaps},
};
constexpr std::pair<const char*, bool TOptions::*> kFlagOptions[] = {
    {"--validate", &TOptions::Validate},
    {"--keep-best", &TOptions::KeepBest},
};
constexpr std::pair<const char*, TNormMethod> kMethods[] = {
    {"linear", TNormMethod::Linear},
    {"sigmoid", TNormMethod::Sigmoid},
    {"auto", TNormMethod::Auto},
    {"none", TNormMethod::None},
};

// Runs `step`; its error names the option at fault.
template <class F> auto ForOption(const std::string& option, F step) {
    try {
        return step();
    } catch (const EError& e) {
        throw EError(option + ": " + e.what());
    }
}

[[noreturn]] void OutOfRange(const std::string& option, long long lo, long long hi) {
    throw EError(option + msgRangeIs + std::to_string(lo) + ".." + std::to_string(hi));
}

// A whole number within lo..hi, as a spin box takes it; the page's conversion error for a text
// that is no whole number.
int64_t Whole(const std::string& option, const std::string& text, int64_t lo, int64_t hi) {
    int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec == std::errc::result_out_of_range)
        OutOfRange(option, lo, hi);
    if (ec != std::errc() || p != end)
        v = ForOption(option, [&] { return StrToInt(text); });
    if (v < lo || v > hi)
        OutOfRange(option, lo, hi);
    return v;
}

// A number for an edit of page 4, kept as typed; the page's conversion error when it is none.
const std::string& Number(const std::string& option, const std::string& text) {
    ForOption(option, [&] { return StrToFloat(text); });
    return text;
}

std::size_t FindColumn(const TWizard& w, const std::string& name) {
    for (std::size_t i = 0; i < w.Fields().size(); ++i)
        if (SameFieldName(w.Fields()[i].FieldName, name))
            return i;
    std::string columns;
    for (const TFieldInfo& f : w.Fields())
        columns += (columns.empty() ? "" : ", ") + f.FieldName;
    throw EError(msgNoSuchColumn + name + msgColumnsAre + columns);
}

std::string AbsolutePath(const std::string& name) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(name, ec);
    return ec ? name : full.lexically_normal().string();
}

// Page 2: the roles and methods chosen, clicked field by field. A field not named is an input when
// targets are named and no inputs, unused when inputs are named, and keeps the load's role otherwise;
// without --target the load's target stays one.
void ChooseFields(TWizard& w, const TOptions& o, const std::function<void(const std::string&)>& tell) {
    const std::size_t count = w.Fields().size();
    std::vector<std::optional<TFieldRole>> roles(count);
    std::vector<std::optional<TNormMethod>> methods(count);
    auto assign = [&](const std::vector<std::string>& names, TFieldRole role) {
        for (const std::string& name : names) {
            std::optional<TFieldRole>& r = roles[FindColumn(w, name)];
            if (r && *r != role)
                throw EError(msgTwoRoles + name);
            r = role;
        }
    };
    assign(o.Targets, TFieldRole::Target);
    assign(o.Inputs, TFieldRole::Input);
    assign(o.Ignored, TFieldRole::Unused);
    for (std::size_t i = 0; i < count; ++i) {
        if (roles[i] || (o.Targets.empty() && w.Fields()[i].FieldType == TFieldRole::Target))
            continue;
        if (!o.Inputs.empty())
            roles[i] = TFieldRole::Unused;
        else if (!o.Targets.empty())
            roles[i] = TFieldRole::Input;
    }
    for (const std::string& norm : o.Norms)
        ForOption("--norm", [&] {
            const std::size_t eq = norm.rfind('='); // a name may hold "=", a method never does
            const std::string method = norm.substr(eq + 1);
            const std::size_t field = FindColumn(w, norm.substr(0, eq));
            if (w.Fields()[field].IsCategory())
                throw EError(msgCategoryNorm + w.Fields()[field].FieldName);
            for (const auto& [word, m] : kMethods)
                if (method == word)
                    return methods[field] = m;
            throw EError(msgUnknownNorm + method);
        });
    for (std::size_t i = 0; i < count; ++i) {
        if (!roles[i] && !methods[i])
            continue;
        // The method first: the page takes it only from a field in use.
        w.SelectField(static_cast<int32_t>(i));
        if (methods[i])
            w.MethodClicked(*methods[i]);
        if (roles[i])
            w.RoleClicked(*roles[i]);
    }
    for (const std::string& name : o.FillGaps)
        ForOption("--fill-gaps", [&] {
            const std::size_t field = FindColumn(w, name);
            w.SelectField(static_cast<int32_t>(field));
            if (!w.FieldPage().GapsEnabled)
                throw EError(msgNoGapsToFill + w.Fields()[field].FieldName);
            w.FillGapsClicked(true);
        });
    if (o.Targets.empty())
        for (const TFieldInfo& f : w.Fields())
            if (f.FieldType == TFieldRole::Target)
                tell(msgTargetTaken + f.FieldName);
}

// Page 3: the hidden layers and the slope, typed as the page takes them.
void ChooseShape(TWizard& w, const TOptions& o) {
    if (o.Hidden) {
        std::vector<std::string> counts(1);
        for (char c : *o.Hidden)
            if (c == ',')
                counts.emplace_back();
            else
                counts.back().push_back(c);
        if (counts.size() > static_cast<std::size_t>(kMaxHideLayers))
            OutOfRange("--hidden", 1, kMaxHideLayers);
        w.SetHideLayerCount(static_cast<int32_t>(counts.size()));
        for (std::size_t k = 0; k < counts.size(); ++k) {
            if (ForOption("--hidden", [&] { return StrToInt(counts[k]); }) < 1)
                throw EError(msgNoNeurons);
            w.SetLayerCell(static_cast<int32_t>(k + 1), counts[k]);
        }
    }
    if (o.Slope)
        ForOption("--slope", [&] {
            w.AlphaTextChanged(*o.Slope);
            w.AlphaExit();
        });
}

// Page 4: the settings and the criteria ticked with their values.
void ChooseLearning(TWizard& w, const TOptions& o) {
    if (o.TrainShare)
        w.SetLearnValue(&TLearnPage::UseForTeach, static_cast<int32_t>(Whole("--train-share", *o.TrainShare, 1, 100)));
    if (o.ValidShare)
        w.SetLearnValue(&TLearnPage::ValidShare,
                        static_cast<int32_t>(Whole("--valid-share", *o.ValidShare, 0, kMaxValidShare)));
    if (o.Rate)
        w.SetLearnValue(&TLearnPage::TeachSpeedText, Number("--rate", *o.Rate));
    if (o.Momentum)
        w.SetLearnValue(&TLearnPage::MiuText, Number("--momentum", *o.Momentum));
    if (o.IdentError)
        w.SetLearnValue(&TLearnPage::IdentErrText, Number("--ident-error", *o.IdentError));
    if (o.Validate)
        w.SetLearnValue(&TLearnPage::Validate, true);
    for (const TCriterionDef& d : StopCriteria()) {
        const std::optional<std::string>& value = o.Criteria[CriterionSlot(d.Id)];
        if (!value && d.Kind != TCriterionKind::EpochLimit)
            continue;
        const std::string option = CriterionOption(d.Id);
        w.CriterionClicked(d.Id, true);
        if (d.Kind == TCriterionKind::ErrorBelow)
            w.SetCriterionText(d.Id, Number(option, *value));
        else
            w.SetCriterionCount(d.Id,
                                value ? static_cast<int32_t>(Whole(option, *value, d.Lo, d.Hi)) : kDefaultEpochLimit);
    }
    if (o.KeepBest) {
        if (!w.KeepBestAvailable())
            throw EError(msgKeepBestNoTest);
        w.KeepBestClicked(true);
    }
}

} // namespace

const char* CriterionOption(TCriterion id) {
    for (const auto& [c, option] : kCriterionOptions)
        if (c == id)
            return option;
    return "";
}

std::optional<TNewProjectOptions> ParseNewProject(const std::vector<std::string>& args) {
    TOptions o;
    bool haveSample = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        auto take = [&](std::optional<std::string>& slot) {
            if (slot || !hasValue || args[i + 1].empty())
                return false;
            slot = args[++i];
            return true;
        };
        bool known = false, ok = true;
        for (const auto& [name, member] : kValueOptions)
            if (a == name)
                known = true, ok = take(o.*member);
        for (const auto& [id, name] : kCriterionOptions)
            if (a == name)
                known = true, ok = take(o.Criteria[CriterionSlot(id)]);
        for (const auto& [name, member] : kListOptions)
            if (a == name) {
                known = true,
                ok = hasValue && (member != &TOptions::Norms || args[i + 1].find('=') != std::string::npos);
                if (ok)
                    (o.*member).push_back(args[++i]);
            }
        for (const auto& [name, member] : kFlagOptions)
            if (a == name) {
                known = true, ok = !(o.*member);
                o.*member = true;
            }
        if (!ok)
            return std::nullopt;
        if (known)
            continue;
        if (a.empty() || a[0] == '-' || haveSample)
            return std::nullopt;
        o.Sample = a;
        haveSample = true;
    }
    if (!haveSample || !o.Output)
        return std::nullopt;
    return o;
}

void MakeNewProject(TWizard& w, const TNewProjectOptions& o, const std::function<void(const std::string&)>& tell) {
    w.SampleFileChosen(AbsolutePath(o.Sample));
    w.Next();
    if (o.Seed)
        w.RestoreRecordSeed(static_cast<uint32_t>(Whole("--seed", *o.Seed, INT32_MIN, UINT32_MAX)));
    else
        tell(msgSeedDrawn + std::to_string(w.IndexSeed()));
    ChooseFields(w, o, tell);
    w.Next();
    ChooseShape(w, o);
    w.Next();
    ChooseLearning(w, o);
    w.Next();
}

} // namespace nirvex

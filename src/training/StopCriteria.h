#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nirvex {

struct TEpochStats;

// The stop criteria of the learning page, in the page's, the report's and the project file's order.
enum class TCriterion { Epoch, MaxTeachErr, MidTeachErr, TeachIdent, MaxTestErr, MidTestErr, TestIdent };
inline constexpr std::size_t kCriterionCount = 7;

enum class TCriterionKind {
    EpochLimit,   // a whole number of epochs in a spin box; the run ends once past it
    ErrorBelow,   // a real number typed in an edit; met while the error is below it
    ShareAtLeast, // a percentage in a spin box; met while the recognized share reaches it
};

// The epoch statistic a criterion watches.
enum class TCriterionMeasure { None, TeachErrMax, TeachErrMean, TeachIdent, TestErrMax, TestErrMean, TestIdent };

// Everything the program knows of one criterion: the page builds its row from it, the project file
// stores it under its keys, the report prints its line, the run tests it.
struct TCriterionDef {
    TCriterion Id;
    TCriterionKind Kind;
    TCriterionMeasure Measure;
    const char* FlagKey;     // project file: whether it is ticked
    const char* ValueKey;    // project file: its value
    const char* BoxName;     // the page's check box
    const char* ValueName;   // the page's spin box or edit
    const char* Caption;     // the check box's caption
    const char* Unit;        // the text after a spin box; nullptr after an edit
    const char* Hint;        // the value control's tool tip, nullptr for none
    const char* ReportHead;  // report line: head, value, tail
    const char* ReportTail;  //
    int32_t Lo, Hi, Default; // a spin box's range and start value
};

const std::array<TCriterionDef, kCriterionCount>& StopCriteria();
const TCriterionDef& CriterionDef(TCriterion id);
constexpr std::size_t CriterionSlot(TCriterion id) {
    return static_cast<std::size_t>(id);
}

// The start value of an edit criterion's text.
inline constexpr const char* kDefaultErrorText = "0.05";

// One criterion as a run applies it.
struct TCriterionRule {
    bool On = false;
    double Limit = 0; // epochs, an error bound or a percentage, by the criterion's kind
};

// The stop rules of a run, as ticked and typed on the learning page.
struct TStopRules {
    double IdentErrLimit = 0.05; // an example is recognized when its error is strictly below this
    bool TestAsValid = false;
    std::array<TCriterionRule, kCriterionCount> Criteria = DefaultRules();

    TCriterionRule& operator[](TCriterion id) { return Criteria[CriterionSlot(id)]; }
    const TCriterionRule& operator[](TCriterion id) const { return Criteria[CriterionSlot(id)]; }
    static std::array<TCriterionRule, kCriterionCount> DefaultRules();
};

// The rules that can end a run besides a stop request: any criterion ticked.
bool AnyCriterionOn(const TStopRules& rules);

// Whether the epoch's statistics meet every ticked criterion but the epoch limit; false when none
// of them is ticked.
bool CriteriaMet(const TStopRules& rules, const TEpochStats& stats, int32_t teachCount, int32_t testCount);

} // namespace nirvex

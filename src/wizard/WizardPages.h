#pragma once

#include "sample/FieldInfo.h"
#include "training/StopCriteria.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nirvex {

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
    bool Category = false;     // the field holds categories: only their own method applies
    bool GapsEnabled = false;  // cbFillGaps: an input with gaps
    bool FillGaps = false;
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
    std::array<double, 41> CurveX{}, CurveY{};         // serSigmoid, the sigmoid chart
};

// One stop criterion as the page holds it: the tick, and the spin box's value or the edit's text
// (which one its kind uses). The value control is enabled exactly while the box is ticked.
struct TCriterionSetting {
    bool On = false;
    int32_t Count = 0;
    std::string Text = kDefaultErrorText;
};

// Page 4's typed numbers as messages name them.
inline constexpr const char* kTeachSpeedName = "Скорость обучения";
inline constexpr const char* kMiuName = "Момент";
inline constexpr const char* kIdentErrName = "Порог распознавания примера";
// An error criterion's value: its caption without the trailing " <".
inline std::string CriterionValueName(const TCriterionDef& d) {
    std::string name = d.Caption;
    while (!name.empty() && (name.back() == '<' || name.back() == ' '))
        name.pop_back();
    return name;
}

// Page 4, as typed.
struct TLearnPage {
    int32_t UseForTeach = 80; // 1..100
    std::string TeachSpeedText, MiuText;
    std::string IdentErrText = kDefaultErrorText;
    bool Validate = false;
    std::array<TCriterionSetting, kCriterionCount> Criteria = DefaultCriteria();
    bool KeepBest = false;  // cbKeepBest: take back the network of the least test (or validation) error
    int32_t ValidShare = 0; // seValidShare, 0..kMaxValidShare: percent of the training part set aside

    TCriterionSetting& operator[](TCriterion c) { return Criteria[CriterionSlot(c)]; }
    const TCriterionSetting& operator[](TCriterion c) const { return Criteria[CriterionSlot(c)]; }
    static std::array<TCriterionSetting, kCriterionCount> DefaultCriteria() {
        std::array<TCriterionSetting, kCriterionCount> c{};
        for (const TCriterionDef& d : StopCriteria())
            c[CriterionSlot(d.Id)].Count = d.Default;
        return c;
    }
};

// Page 6: the statistics grid, [column][row]; column 3 is the validation part's, shown while it
// is not empty.
using TStatCells = std::array<std::array<std::string, 4>, 4>;

// Page 7: row r of each grid belongs to input (target) field r in network order (the header row is
// not stored).
struct TPredictPage {
    std::vector<std::string> InputNames, InputTexts;
    std::vector<std::vector<std::string>> InputChoices; // a category input's values, empty for numbers
    std::vector<std::string> OutputNames, OutputTexts;
};

// The training button (btnLearn).
enum class TLearnState { Idle, Running };

} // namespace nirvex

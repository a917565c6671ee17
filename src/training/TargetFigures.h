#pragma once

#include "sample/FieldInfo.h"
#include "training/EpochStats.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nirvex {

// One part's figures of one target in the user's terms: NaN where they do not apply or the part is
// empty.
struct TPartFigures {
    double Rmse = NAN;     // a number target: root mean square error in the field's units
    double Mae = NAN;      // a number target: mean absolute error in the field's units
    double Accuracy = NAN; // a category target: percent of the examples given the right class
    int64_t Count = 0;
};

struct TTargetFigures {
    std::string Field;
    bool Category = false;
    TPartFigures Teach, Test;
};

// The figures of every target in target order from an epoch's statistics (the per-target counts
// of `s` in the same order); a target the statistics do not cover has empty parts.
std::vector<TTargetFigures> TargetFigures(const std::vector<TFieldInfo>& fields, const TEpochStats& s);

// A figure for people: 5 significant digits, "—" for none.
std::string FormatFigure(double value);
// "Ozone: СКО обуч. 18.314, тест 19.637; средняя абс. ошибка обуч. 14.2, тест 15.01" or
// "Species: верно обуч. 99.2%, тест 90%".
std::string FormatTargetFigures(const TTargetFigures& t);

// The error curve's columns of the targets: a train and test RMSE per number target, a train and
// test accuracy (percent) per category target, each cell led by a comma; an empty part's cell is
// empty.
std::string CurveTargetHeader(const std::vector<TTargetFigures>& figures);
std::string CurveTargetCells(const std::vector<TTargetFigures>& figures);

} // namespace nirvex

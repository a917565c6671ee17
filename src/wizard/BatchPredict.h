#pragma once

#include "FieldInfo.h"

#include <string>
#include <vector>

namespace nirvex {

class TWizard;

// Followed by the name of the project's input field that the input file lacks.
inline constexpr const char* msgInputFieldMissing = "Во входном файле нет поля ";

// The project's prediction for every record of a table: the input columns (in network order) as
// they were read, then the computed target columns.
struct TBatchPrediction {
    std::vector<std::string> InputNames;
    std::vector<std::string> TargetNames;
    std::vector<std::vector<double>> Inputs;  // one column per input field
    std::vector<std::vector<double>> Targets; // one column per target field
    int32_t RecordCount = 0;
};

// Computes the targets for every record of `table`. Each input field is taken from the table's first
// column of that name in any letter case; other columns are ignored. A table from which the reader
// left out lines is refused with "Неверное число значений в строке K" (K the first of them).
// Everything is computed before anything is returned, so a failing record yields nothing.
TBatchPrediction PredictTable(TWizard& w, const TSampleTable& table);

// The prediction as sample text: names, then one record per line, tab-separated, 15 significant
// digits, every line ended by `eol`.
std::string FormatPredictionText(const TBatchPrediction& p, const char* eol);

} // namespace nirvex

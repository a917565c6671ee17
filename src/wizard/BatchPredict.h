#pragma once

#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "wizard/NetModel.h"

#include <functional>
#include <string>
#include <vector>

namespace nirvex {

// Raises msgNetMismatch unless the network's input and output layers have as many neurons as
// there are input and target fields.
void CheckNetworkFits(const TNeuralNetwork& net, int32_t inputCount, int32_t outputCount);

// Values by target slot for raw values by input slot (a category as its position, a gap as NaN):
// normalized, computed, denormalized; a category target gives the position of its class and, in
// `shares`, each class's share. Raises an arithmetic fault with its fixed message, and a gap of a
// field the project does not fill. The prediction steps refuse a network that does not fit the
// fields (msgNetMismatch) and one not yet taught (msgNotTrained).
std::vector<double> PredictRecord(const TNetModel& m, const std::vector<double>& inputs,
                                  std::vector<std::vector<double>>* shares = nullptr);

// The project's prediction for every record of a table: the input columns (in network order) as
// they were read, then the computed target columns.
struct TBatchPrediction {
    std::vector<std::string> InputNames;
    std::vector<std::string> TargetNames;
    // The values of each category field in order (empty for a number field).
    std::vector<std::vector<std::string>> InputCategories, TargetCategories;
    std::vector<std::vector<double>> Inputs;  // one column per input field; categories as positions
    std::vector<std::vector<double>> Targets; // one column per target field; a class as its position
    // Per target field, one column per class with the class's share of the outputs.
    std::vector<std::vector<std::vector<double>>> Shares;
    int32_t RecordCount = 0;
};

// Computes the targets for every record of `table`. Each input field is taken from the table's first
// column of that name in any letter case; other columns are ignored whatever they hold. A category
// value training never saw, a gap the project does not fill and text in a number field are refused
// with the field and the record. A table from which the reader
// left out lines is refused with "Неверное число значений в строке K" (K the first of them).
// Everything is computed before anything is returned, so a failing record yields nothing. Reports
// the share of the records computed through `progress`.
TBatchPrediction PredictTable(const TNetModel& m, const TSampleTable& table, const TProgressProc& progress = {});

// The prediction as sample text: names, then one record per line, tab-separated, 15 significant
// digits, every line ended by `eol`.
std::string FormatPredictionText(const TBatchPrediction& p, const char* eol);

// The prediction as CSV: UTF-8, "," between values, "." in numbers, a header of names (quoted when
// they hold a comma, a quote or a line break), 15 significant digits, LF line ends.
std::string FormatPredictionCsv(const TBatchPrediction& p);

// Writes the prediction over `path`: CSV for a ".csv" name in any letter case, otherwise sample text
// (Windows-1251 when every name fits, CR LF) that the program opens again.
void WritePredictionFile(const TBatchPrediction& p, const std::string& path);

// Reads `input` (any sample file by its extension; an unknown extension is read as sample text),
// computes every record and writes the result to `output`; nothing is written when any step fails.
// Returns the number of records written. `status` hears the reading's texts and the progress;
// `progress`, when given, hears the share done of reading (first half) and computing (second half).
int32_t PredictFile(const TNetModel& m, const std::string& input, const std::string& output, const TStatusProc& status,
                    const TProgressProc& progress = {});

} // namespace nirvex

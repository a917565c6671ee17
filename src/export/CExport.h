#pragma once

#include "export/ExportModel.h"

#include <string>

namespace nirvex {

// A C identifier: ASCII letters, digits and "_", not starting with a digit.
bool IsCIdentifier(const std::string& name);

// One C99 source file needing only <math.h>: NAME_INPUT_COUNT, NAME_OUTPUT_COUNT and
// void NAME_predict(const double *inputs, double *outputs), in the fields' units and network
// order, computing what the program computes (NAME is `name`, in capitals for the macros).
// With category fields: int NAME_predict(const double *inputs, double *outputs, double *scores),
// a category as the number of its value or class, the classes' shares in scores (NAME_SCORE_COUNT),
// the values in NAME_input_values and NAME_output_values; a number naming no value gives NaN
// everywhere and returns the input's slot + 1, else 0.
std::string CSource(const TExportNet& net, const std::string& name);

} // namespace nirvex

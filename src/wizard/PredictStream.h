#pragma once

#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "wizard/NetModel.h"
#include "wizard/PredictFigures.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace nirvex {

// What a prediction over a file did: the records written, and for each target whose actual values
// the input holds (in target order) how the computed values compare with them.
struct TFilePrediction {
    int64_t Records = 0;
    std::vector<TFileFigures> Figures;
};

// Computes every record of `input` (any sample file by its extension; an unknown extension is read as sample text) and
// writes the input fields and the computed targets to `output`: CSV for a ".csv" name in any letter case (UTF-8, LF),
// otherwise sample text that the program opens again (Windows-1251 when every name fits, else UTF-8 with a byte order
// mark; CR LF). The input is read in blocks and computed on every core (NIRVEX_THREADS limits them), so memory stays
// the same whatever its size; the lines go to a temporary file beside `output` that replaces it at the end. Any
// failure, a bad value in the last record or a call-off through `progress` alike, leaves `output` as it was. Each input
// field is taken from the input's first column of that name in any letter case; other columns are ignored whatever they
// hold, but for a target's: its actual values are read as the field takes them and written right after the computed
// ones (header "FIELD (факт)" in CSV, "FIELD.факт" in sample text), and measured against them (a gap is left out; a
// class training never saw counts as wrong). A value the field cannot take is refused with the field and the record (or
// the line, for a line of the wrong count). `status` hears "Расчёт: N%" as it goes; `progress` the share of the input
// done.
TFilePrediction PredictFile(const TNetModel& m, const std::string& input, const std::string& output,
                            const TStatusProc& status, const TProgressProc& progress = {});

// The same lines as sample text in UTF-8 with LF ends, written to `out` once all are computed (they wait
// in a temporary file), so a failure writes nothing.
TFilePrediction PredictToStream(const TNetModel& m, const std::string& input, std::ostream& out);

} // namespace nirvex

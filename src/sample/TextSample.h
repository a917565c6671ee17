#pragma once

#include "FieldInfo.h"
#include "LoadProgress.h"

#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

inline constexpr const char* msgBadInputFile = "Ошибка во входном файле";

// Reads a sample text file: a header line of field names, then one record of numbers per line.
// Any failure raises "Ошибка во входном файле". Lines end at CR or LF. Reports the share of the
// file's bytes done through `progress` (about every megabyte).
TSampleTable ReadTextSample(const std::string& fileName, const TProgressProc& progress = {});
// The same reader over bytes already in memory.
TSampleTable ParseTextSample(std::string_view bytes);

// Splits a data line into values; true when exactly `expected` values were found. Values beyond
// `expected` are counted but not stored. A malformed number raises "Ошибка во входном файле".
bool ParseValues(std::string_view line, int expected, std::vector<double>& values);
// Names of a header line (UTF-8, from Windows-1251 bytes).
std::vector<std::string> ParseHeader(std::string_view line);

} // namespace nirvex

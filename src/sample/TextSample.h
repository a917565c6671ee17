#pragma once

#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "sample/Messages.h"

#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

// Reads a sample text file: a header line of field names, then one record of numbers per line.
// Any failure raises "Ошибка во входном файле". Lines end at CR, LF or CR LF. A line whose count of
// values differs from the header's is left out and counted (SkippedLines, FirstSkippedLine). The
// header is UTF-8 after a byte order mark or when it is valid UTF-8 with a non-ASCII character,
// otherwise Windows-1251. Reports the share of the file's bytes done through `progress` (about
// every megabyte).
TSampleTable ReadTextSample(const std::string& fileName, const TProgressProc& progress = {});
// The same reader over bytes already in memory.
TSampleTable ParseTextSample(std::string_view bytes);

// Splits a data line into values; true when exactly `expected` values were found. Values beyond
// `expected` are counted but not stored. A malformed number raises "Ошибка во входном файле".
bool ParseValues(std::string_view line, int expected, std::vector<double>& values);
// Counts the values of a data line [b, e), storing the first `expected` of them in `out` and, with
// `spans`, the text each was read from. A malformed number raises "Ошибка во входном файле".
int ScanLineValues(const char* b, const char* e, int expected, double* out, std::string_view* spans = nullptr);
// True when a header line without byte order mark is to be read as UTF-8.
bool IsUtf8Header(std::string_view line);
// Names of a header line, from Windows-1251 or UTF-8 bytes, as UTF-8. Either way only Latin letters,
// Cyrillic А–я, digits, "." and "," make names.
std::vector<std::string> ParseHeader(std::string_view line, bool utf8 = false);

// "Пропущено строк с неверным числом значений: N (первая — строка K)", or empty when none was.
std::string SkippedLinesNotice(const TSampleTable& table);

} // namespace nirvex

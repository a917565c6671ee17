#pragma once

#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "sample/Messages.h"

#include <string>
#include <string_view>

namespace nirvex {

// Reads a CSV sample: a header of column names, then one record per line. The delimiter (";", tab
// or ",") is found from the first records; text columns are left out and listed in TextColumns.
// A file that cannot be read raises "Ошибка во входном файле"; bad content raises a message
// naming the field and line.
TSampleTable ReadCsvSample(const std::string& fileName, const TProgressProc& progress = {});
// The same reader over bytes already in memory.
TSampleTable ParseCsvSample(std::string_view bytes, const TProgressProc& progress = {});

// The status line that names the text columns a load left out; empty when there were none.
std::string TextColumnsNote(const TSampleTable& table);

} // namespace nirvex

#pragma once

#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "sample/table/Messages.h"

#include <string>

namespace nirvex {

// The file name's extension from its last full stop, upper-cased; empty when there is none.
std::string UpperExtension(const std::string& fileName);
// True when ReadSampleFile knows the file's kind by its extension.
bool IsSampleFileName(const std::string& fileName);
// Reads a sample file of any kind the program opens, chosen by the extension in any letter case:
// ".txt" sample text file, ".csv" CSV sample, ".dbf" dBase and ".db" Paradox table. Other names raise
// "Неизвестный тип файла обучающей выборки". Reports the text and table readers' progress through
// `progress`.
TSampleTable ReadSampleFile(const std::string& fileName, const TStatusProc& status, const TProgressProc& progress = {});

} // namespace nirvex

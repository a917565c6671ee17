#pragma once

#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "sample/table/Messages.h"

#include <string>

namespace nirvex {

// The file name's extension from its last full stop, upper-cased; empty when there is none.
std::string UpperExtension(const std::string& fileName);
// Refuses, with its own message and the name, a file that is missing, a folder, unreadable or empty,
// and one that should be text (`text`) but holds a zero byte in its first kilobytes (a picture, say).
void CheckSampleFile(const std::string& fileName, bool text);
// True when ReadSampleFile knows the file's kind by its extension.
bool IsSampleFileName(const std::string& fileName);
// Reads a sample file of any kind the program opens, chosen by the extension in any letter case:
// ".txt" sample text file, ".csv" CSV sample, ".dbf" dBase and ".db" Paradox table. Other names raise
// "Неизвестный тип файла обучающей выборки". A text or CSV file is checked first (CheckSampleFile). Reports the
// text and table readers' progress through `progress`.
TSampleTable ReadSampleFile(const std::string& fileName, const TStatusProc& status, const TProgressProc& progress = {});

} // namespace nirvex

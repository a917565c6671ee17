#pragma once

#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"
#include "sample/table/DbTable.h"
#include "sample/table/Messages.h"

#include <string>

namespace nirvex {

// Reads the numeric fields of a dBase (".DBF") or Paradox (".DB") table, the extension deciding without
// regard to case. Each accepted field keeps its position among all table fields in TableFieldNo.
// Errors: the reader's own on opening (DbTable.h: not found, unreadable, not a dBase or Paradox table,
// damaged header, damaged Paradox data); msgBadTableValue + the field name for a null or unreadable value
// and for a table without records (naming the first accepted field). A table without any accepted field
// gives a sample without fields. Shows msgTableLoading through `status` after the first record and leaves
// clearing it to the caller. Reports the share of the records read through `progress`.
TSampleTable ReadTableSample(const std::string& fileName, const TStatusProc& status,
                             const TProgressProc& progress = {});

// The reader for the file's extension: ".DBF" dBase, ".DB" Paradox, without regard to case.
// Raises msgUnknownTableKind for anything else.
std::unique_ptr<TDbTable> CreateDbTable(const std::string& fileName);

} // namespace nirvex

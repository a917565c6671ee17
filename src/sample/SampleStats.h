#pragma once

#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"

#include <cstdint>
#include <vector>

namespace nirvex {

// Gives every field its load defaults and statistics: role input (the last field target),
// linear normalization over the data's extremes, Alpha 1, NetIndex = column, the running mean
// and the sample standard deviation. Needs at least one record. Reports the share of the values
// done through `progress`.
void InitFieldDefaults(std::vector<TFieldInfo>& fields, int32_t recordCount, const TProgressProc& progress = {});

// The position of the category most records of a category field hold (the first of equals).
double MostFrequentCategory(const TFieldInfo& field);

// Records with a gap in any field: those a load with every field in use leaves out.
int32_t GapRecords(const std::vector<TFieldInfo>& fields, int32_t recordCount);

// The record order from the generator's current seed: for p = N-1 down to 0, take entry
// Random(p + 1) out of the pool of remaining record numbers (ascending). Stored projects
// reproduce their split from its seed alone, so the draw order and the removal rule are fixed.
// Reports the share of the records drawn through `progress`.
std::vector<int32_t> BuildRecordIndex(int32_t recordCount, const TProgressProc& progress = {});

} // namespace nirvex

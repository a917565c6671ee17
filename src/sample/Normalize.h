#pragma once

#include "sample/FieldInfo.h"

#include <cstdint>
#include <vector>

namespace nirvex {

// N(v) of the field's method (no scaling to [-1, 1]).
double NormalizeValue(const TFieldInfo& field, double v);
// D(y): the inverse of N for a target's network output.
double DenormalizeValue(const TFieldInfo& field, double y);

// Builds the example of record r: inputs[NetIndex] = 2·N(v) − 1 for input fields,
// targets[NetIndex] = N(v) for target fields. The vectors must be sized InputCount/OutputCount.
void BuildExample(const std::vector<TFieldInfo>& fields, int32_t record, double* inputs, double* targets);
// Asks the processor to fetch a record's values that BuildExample will soon read: records come in
// shuffled order, so every one of them is a cache miss otherwise.
void PrefetchExample(const std::vector<TFieldInfo>& fields, int32_t record);

// In place, on raw input values indexed by NetIndex: every entry becomes 2·N(v) − 1.
void NormalizeInputs(const std::vector<TFieldInfo>& fields, std::vector<double>& inputs);
// In place, on network outputs indexed by NetIndex: every entry becomes D(y).
void DenormalizeOutputs(const std::vector<TFieldInfo>& fields, std::vector<double>& outputs);

} // namespace nirvex

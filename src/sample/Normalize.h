#pragma once

#include "sample/FieldInfo.h"

#include <cstdint>
#include <vector>

namespace nirvex {

// N(v) of the field's method (no scaling to [-1, 1]).
double NormalizeValue(const TFieldInfo& field, double v);
// D(y): the inverse of N for a target's network output.
double DenormalizeValue(const TFieldInfo& field, double y);
// D(y) that raises no floating-point flag for the statistics: where D is infinite (an output at 0
// or 1 of a method with a logistic) it gives an infinity.
double DenormalizeQuiet(const TFieldInfo& field, double y);

// The fields of a role in network order (by NetIndex): position s is the field of input (or target)
// slot s, the unit the prediction steps take and give values in.
std::vector<const TFieldInfo*> NetOrder(const std::vector<TFieldInfo>& fields, TFieldRole role);

// Builds the example of record r: inputs[NetIndex] = 2·N(v) − 1 for number inputs, 1 at
// NetIndex + the value's position and 0 at the field's other columns for category inputs (a gap
// of a filled field takes its GapFill); targets likewise with N(v), categories as 1 and 0. The
// vectors must be sized InputCount/OutputCount; the record must have no gap left unfilled.
void BuildExample(const std::vector<TFieldInfo>& fields, int32_t record, double* inputs, double* targets);
// Asks the processor to fetch a record's values that BuildExample will soon read: records come in
// shuffled order, so every one of them is a cache miss otherwise.
void PrefetchExample(const std::vector<TFieldInfo>& fields, int32_t record);
// Whether BuildExample can take record r: no input or target has a gap there that is not filled.
bool RecordUsable(const std::vector<TFieldInfo>& fields, int32_t record);

// The network inputs (`inputCount` of them) for raw values by input slot (a category as its
// position; a gap of a filled field takes its GapFill).
std::vector<double> NormalizeInputs(const std::vector<TFieldInfo>& fields, const std::vector<double>& raw,
                                    std::size_t inputCount);
// The same into `net` (`inputCount` values, zeroed first) for one raw value per field of `order`, the
// input fields in network order (NetOrder): what a caller computing many records uses.
void NormalizeInputsInto(const std::vector<const TFieldInfo*>& order, const double* raw, double* net,
                         std::size_t inputCount);
// The values by target slot for network outputs: D(y) for a number, the position of the largest
// output for a category. `shares`, when given, receives by target slot each class's share of the
// field's outputs (empty for a number).
std::vector<double> DenormalizeOutputs(const std::vector<TFieldInfo>& fields, const std::vector<double>& outputs,
                                       std::vector<std::vector<double>>* shares = nullptr);
// The same into `values` (one per field of `order`, the target fields in network order) from
// `outputCount` outputs; a category field's shares go to shares[slot], which holds room for one per
// class (no shares are written when `shares` is null). A field that does not fit the outputs gives 0.
void DenormalizeOutputsInto(const std::vector<const TFieldInfo*>& order, const double* outputs, std::size_t outputCount,
                            double* values, double* const* shares);

} // namespace nirvex

#pragma once

#include "sample/FieldInfo.h"
#include "wizard/NetModel.h"

#include <string>
#include <vector>

namespace nirvex {

// Raises msgNetMismatch unless the network's input and output layers have as many neurons as
// there are input and target fields.
void CheckNetworkFits(const TNeuralNetwork& net, int32_t inputCount, int32_t outputCount);

// Values by target slot for raw values by input slot (a category as its position, a gap as NaN):
// normalized, computed, denormalized; a category target gives the position of its class and, in
// `shares`, each class's share. Raises an arithmetic fault with its fixed message, and a gap of a
// field the project does not fill. The prediction steps refuse a network that does not fit the
// fields (msgNetMismatch) and one not yet taught (msgNotTrained).
std::vector<double> PredictRecord(const TNetModel& m, const std::vector<double>& inputs,
                                  std::vector<std::vector<double>>* shares = nullptr);

// The field a record's arithmetic fault came from, after PredictRecord raised it for `raw`: every
// input's normalization and then every target's inverse is tried alone, in field order. Empty when
// none fails alone.
std::string FaultyField(const TNetModel& m, const std::vector<double>& raw);

} // namespace nirvex

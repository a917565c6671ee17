#pragma once

#include "engine/NeuralNetwork.h"
#include "sample/FieldInfo.h"
#include "wizard/Messages.h"

#include <cstdint>
#include <vector>

namespace nirvex {

// A project's network with the fields it was built for: what prediction and export read. The
// network is not const because computing an example stores its outputs in it.
struct TNetModel {
    const std::vector<TFieldInfo>& Fields;
    TNeuralNetwork& Network;
    int32_t InputCount = 0;
    int32_t OutputCount = 0;
    // The project has reached the training page and its network has been taught since it was built.
    bool Trained = false;
};

} // namespace nirvex

#pragma once

#include "sample/FieldInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nirvex {

// One input or target field as the exported model needs it: a number field with its normalization,
// or a category field with its values, which takes one network column per value from Column on.
struct TExportField {
    std::string Name; // UTF-8
    TNormMethod NormType = TNormMethod::Linear;
    double Min = 0, Max = 0, Mid = 0, Disp = 0, Alpha = 1;
    int32_t Column = 0;
    std::vector<std::string> Categories; // UTF-8, by position; empty for a number field

    bool IsCategory() const { return !Categories.empty(); }
};

// Everything a stand-alone model holds: the fields by slot (network order), the layer sizes, and
// per connection layer l the weights (row-major, Weights[l][i * size(l+1) + j] from neuron i of
// layer l to neuron j of layer l+1) and the thresholds of layer l+1.
struct TExportNet {
    std::vector<TExportField> Inputs, Outputs;
    std::vector<int32_t> LayerSizes;
    std::vector<std::vector<double>> Weights, Thresholds;
    double Alpha = 0; // slope of the neurons' sigmoid
    int32_t MaxLayerSize() const;
    bool HasCategories() const;
};

// Russian caption of a normalization method, as the field page shows it.
const char* NormTypeCaption(TNormMethod normType);

} // namespace nirvex

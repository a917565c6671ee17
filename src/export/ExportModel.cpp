#include "export/ExportModel.h"

#include <algorithm>

namespace nirvex {

int32_t TExportNet::MaxLayerSize() const {
    return LayerSizes.empty() ? 0 : *std::max_element(LayerSizes.begin(), LayerSizes.end());
}

bool TExportNet::HasCategories() const {
    auto category = [](const TExportField& f) { return f.IsCategory(); };
    return std::any_of(Inputs.begin(), Inputs.end(), category) || std::any_of(Outputs.begin(), Outputs.end(), category);
}

const char* NormTypeCaption(TNormMethod normType) {
    switch (normType) {
    case TNormMethod::Linear:
        return "(X-MIN)/(MAX-MIN)";
    case TNormMethod::Sigmoid:
        return "1/(1+exp(-ax))";
    case TNormMethod::Auto:
        return "авто";
    default:
        return "без нормализации";
    }
}

} // namespace nirvex

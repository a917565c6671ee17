#pragma once

#include "export/ExportModel.h"

#include <string>

namespace nirvex {

// The network with its whole normalization as a serialized ONNX model (IR 8, opset 13) that the
// ONNX checker accepts: input "inputs" and output "outputs", both float64 [N, fields] in the
// fields' own units and in network order; metadata "input_fields" and "output_fields" hold the
// field names joined by ",". `graphName` names the graph.
std::string OnnxModel(const TExportNet& net, const std::string& graphName);

} // namespace nirvex

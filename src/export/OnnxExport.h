#pragma once

#include "export/ExportModel.h"

#include <string>

namespace nirvex {

// The network with its whole normalization as a serialized ONNX model (IR 8, opset 13) that the
// ONNX checker accepts: input "inputs" and output "outputs", both float64 [N, fields] in the
// fields' own units and in network order; metadata "input_fields" and "output_fields" hold the
// field names joined by ",". With category fields the number fields keep "inputs" and "outputs" (when
// there are any), a category input is a string input [N, 1] named after its field, a category target
// gives FIELD_label (string [N]) and FIELD_scores (float64 [N, k]); the metadata are then JSON
// (arrays of the column names, and "categories": each category field's values), and an unknown value
// fails the run. `graphName` names the graph.
std::string OnnxModel(const TExportNet& net, const std::string& graphName);

} // namespace nirvex

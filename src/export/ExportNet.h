#pragma once

#include "export/ExportModel.h"
#include "export/Messages.h"
#include "wizard/NetModel.h"

#include <string>
#include <vector>

namespace nirvex {

// Takes the trained network and its fields out of a project on the training or prediction page.
// Refuses (EError) an earlier page, a network that does not fit the fields, and a model whose
// every prediction would fail (a normalization dividing by zero, weights that are not numbers).
TExportNet CollectExport(const TNetModel& model);

// Writes the project's network to `fileName` as ONNX (".onnx") or C (".c", functions named after
// `name`, a C identifier), chosen by the extension whatever its letter case.
void ExportProject(const TNetModel& model, const std::string& fileName, const std::string& name = "nirvex");

} // namespace nirvex

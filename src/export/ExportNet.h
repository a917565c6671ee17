#pragma once

#include "sample/FieldInfo.h"
#include "wizard/NetModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nirvex {

inline constexpr const char* msgExportFormat = "Формат экспорта задаётся расширением файла: .onnx или .c";
inline constexpr const char* msgExportName =
    "Имя модели должно состоять из латинских букв, цифр и знаков подчёркивания и начинаться не с цифры";
inline constexpr const char* msgExportShape = "Экспорт невозможен: слои сети не соответствуют полям выборки";
inline constexpr const char* msgExportEmptyLayer = "Экспорт невозможен: в сети есть слой без нейронов";
inline constexpr const char* msgExportNotFinite = "Экспорт невозможен: веса или параметры сети не являются числами";
// Followed by the field's name.
inline constexpr const char* msgExportDivByZero = "Экспорт невозможен: нормализация делит на ноль в поле ";

// One input or target field as the exported model needs it.
struct TExportField {
    std::string Name; // UTF-8
    TNormMethod NormType = TNormMethod::Linear;
    double Min = 0, Max = 0, Mid = 0, Disp = 0, Alpha = 1;
};

// Everything a stand-alone model holds: the fields in network order, the layer sizes, and per
// connection layer l the weights (row-major, Weights[l][i * size(l+1) + j] from neuron i of
// layer l to neuron j of layer l+1) and the thresholds of layer l+1.
struct TExportNet {
    std::vector<TExportField> Inputs, Outputs;
    std::vector<int32_t> LayerSizes;
    std::vector<std::vector<double>> Weights, Thresholds;
    double Alpha = 0; // slope of the neurons' sigmoid
    int32_t MaxLayerSize() const;
};

// Takes the trained network and its fields out of a project on the training or prediction page.
// Refuses (EError) an earlier page, a network that does not fit the fields, and a model whose
// every prediction would fail (a normalization dividing by zero, weights that are not numbers).
TExportNet CollectExport(const TNetModel& model);

// Writes the project's network to `fileName` as ONNX (".onnx") or C (".c", functions named after
// `name`, a C identifier), chosen by the extension whatever its letter case.
void ExportProject(const TNetModel& model, const std::string& fileName, const std::string& name = "nirvex");

// Russian caption of a normalization method, as the field page shows it.
const char* NormTypeCaption(TNormMethod normType);

} // namespace nirvex

#include "export/ExportNet.h"

#include "common/Errors.h"
#include "common/SafeFile.h"
#include "export/CExport.h"
#include "export/OnnxExport.h"
#include "sample/Normalize.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

namespace nirvex {

namespace {

bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

TExportField ExportField(const TFieldInfo& f) {
    TExportField e{f.FieldName, f.NormType, f.Min, f.Max, f.Mid, f.Disp, f.Alpha, f.NetIndex, {}};
    if (f.IsCategory())
        e.Categories = f.Categories;
    const auto method = static_cast<int32_t>(e.NormType);
    if (method < static_cast<int32_t>(TNormMethod::Linear) || method > static_cast<int32_t>(TNormMethod::None))
        e.NormType = TNormMethod::None; // the program's own normalization treats an unknown method so
    return e;
}

// The cases in which the program could not predict at all are refused rather than exported as
// a model that returns nothing but infinities.
void CheckField(const TExportField& f, bool input) {
    bool finite = true, dividesByZero = false;
    switch (f.NormType) {
    case TNormMethod::Linear:
        finite = Finite({f.Min, f.Max});
        dividesByZero = input && f.Max == f.Min;
        break;
    case TNormMethod::Sigmoid:
        finite = Finite({f.Alpha});
        dividesByZero = !input && f.Alpha == 0;
        break;
    case TNormMethod::Auto:
        finite = Finite({f.Mid, f.Disp});
        dividesByZero = input && f.Disp == 0;
        break;
    default:
        break;
    }
    if (!finite)
        throw EError(msgExportNotFinite);
    if (dividesByZero)
        throw EError(msgExportDivByZero + f.Name);
}

// The fields of a role by slot, each taking its network columns right after the previous one's, all
// of them `columns`, as the prediction takes them.
std::vector<TExportField> SlotFields(const std::vector<TFieldInfo>& fields, TFieldRole role, int32_t columns) {
    std::vector<TExportField> slots;
    int32_t next = 0;
    for (const TFieldInfo* f : NetOrder(fields, role)) {
        if (f->NetIndex != next || f->NetWidth() < 1)
            throw EError(msgExportShape);
        next += f->NetWidth();
        slots.push_back(ExportField(*f));
        if (!f->IsCategory())
            CheckField(slots.back(), role == TFieldRole::Input);
    }
    if (next != columns)
        throw EError(msgExportShape);
    return slots;
}

} // namespace

TExportNet CollectExport(const TNetModel& w) {
    if (!w.Trained)
        throw EError(msgNotTrained);
    const TNeuralNetwork& net = w.Network;
    TExportNet e;
    if (w.InputCount <= 0 || w.OutputCount <= 0 || net.CountLayers() < 1)
        throw EError(msgExportShape);
    e.Inputs = SlotFields(w.Fields, TFieldRole::Input, w.InputCount);
    e.Outputs = SlotFields(w.Fields, TFieldRole::Target, w.OutputCount);

    const int32_t layers = net.CountLayers();
    for (int32_t l = 0; l < layers; ++l)
        e.LayerSizes.push_back(net.GetLayerSize(l));
    if (e.LayerSizes.front() != w.InputCount || e.LayerSizes.back() != w.OutputCount)
        throw EError(msgExportShape);
    if (std::find(e.LayerSizes.begin(), e.LayerSizes.end(), 0) != e.LayerSizes.end())
        throw EError(msgExportEmptyLayer);
    e.Alpha = net.Alpha;
    bool finite = std::isfinite(e.Alpha);
    for (int32_t l = 0; l + 1 < layers; ++l) {
        const int32_t n = e.LayerSizes[l], m = e.LayerSizes[l + 1];
        std::vector<double>& weights = e.Weights.emplace_back();
        std::vector<double>& thresholds = e.Thresholds.emplace_back();
        weights.reserve(static_cast<std::size_t>(n) * m);
        for (int32_t i = 0; i < n; ++i)
            for (int32_t j = 0; j < m; ++j)
                weights.push_back(net.GetWeight(l, i, j));
        for (int32_t j = 0; j < m; ++j)
            thresholds.push_back(net.GetThreshold(l, j));
        for (const auto* v : {&weights, &thresholds})
            finite = finite && std::all_of(v->begin(), v->end(), [](double x) { return std::isfinite(x); });
    }
    if (!finite)
        throw EError(msgExportNotFinite);
    return e;
}

void ExportProject(const TNetModel& model, const std::string& fileName, const std::string& name) {
    std::string ext = std::filesystem::path(fileName).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext != ".onnx" && ext != ".c")
        throw EError(msgExportFormat);
    if (!IsCIdentifier(name))
        throw EError(msgExportName);
    const TExportNet net = CollectExport(model);
    WriteFileReplacing(fileName, ext == ".c" ? CSource(net, name) : OnnxModel(net, name));
}

} // namespace nirvex

#include "engine/NeuralINI.h"

#include "common/Errors.h"
#include "common/NumberText.h"

#include <vector>

namespace nirvex {

namespace {

std::string LayerKey(int32_t i) {
    return "Layer_" + std::to_string(i);
}

std::string WeightKey(int32_t l, int32_t i, int32_t j) {
    return "W_" + std::to_string(l) + "_" + std::to_string(i) + "_" + std::to_string(j);
}

std::string ThresholdKey(int32_t l, int32_t j) {
    return "WT_" + std::to_string(l) + "_" + std::to_string(j);
}

} // namespace

TNeuralNetworkINI::TNeuralNetworkINI() {
    Miu = 0.9;
    SetTeachSpeed(0.1);
    SetCountLayers(3);
    SetLayerSize(0, 10);
    SetLayerSize(1, 5);
    SetLayerSize(2, 1);
}

void TNeuralNetworkINI::SaveToIni(TIniFile& ini, const std::string& section) const {
    ini.EraseSection(section);
    ini.WriteFloat(section, "TeachSpeed", TeachSpeed);
    ini.WriteFloat(section, "Miu", Miu);
    ini.WriteFloat(section, "Alpha", Alpha);
    ini.WriteInteger(section, "Epoch", Epoch);
    const int32_t n = CountLayers();
    ini.WriteInteger(section, "CountLayers", n);
    for (int32_t i = 0; i < n; ++i)
        ini.WriteInteger(section, LayerKey(i), GetLayerSize(i));
    // Weights and thresholds with as many digits as give the same double back (15 where those do, so
    // such values read as they always did), so a reopened project computes exactly as before.
    for (int32_t l = 0; l + 1 < n; ++l)
        for (int32_t i = 0; i < GetLayerSize(l); ++i)
            for (int32_t j = 0; j < GetLayerSize(l + 1); ++j)
                ini.WriteString(section, WeightKey(l, i, j), FormatExact(GetWeight(l, i, j)));
    for (int32_t l = 0; l + 1 < n; ++l)
        for (int32_t j = 0; j < GetLayerSize(l + 1); ++j)
            ini.WriteString(section, ThresholdKey(l, j), FormatExact(GetThreshold(l, j)));
}

void TNeuralNetworkINI::LoadFromIni(const TIniFile& ini, const std::string& section) {
    const int32_t n = ini.ReadInteger(section, "CountLayers", 0);

    // The whole shape is judged before anything changes: a section the network cannot take
    // leaves it as it was, and sizing layer by layer would only notice an oversized total after
    // building most of it.
    if (n > MaxCountLayers)
        throw EError(msgNetTooLarge);
    if (n < 1)
        throw EError(msgRangeCheck);
    std::vector<int32_t> sizes(static_cast<std::size_t>(n));
    int64_t connections = 0;
    for (int32_t i = 0; i < n; ++i) {
        sizes[i] = ini.ReadInteger(section, LayerKey(i), 0);
        if (sizes[i] < 0)
            throw EError(msgRangeCheck);
        if (sizes[i] > MaxNeuronsPerLayer)
            throw EError(msgNetTooLarge);
        if (i > 0 && sizes[i] > 0 && sizes[i - 1] > 0)
            connections += ConnectionSlots(sizes[i - 1], sizes[i]);
    }
    if (connections > MaxConnections)
        throw EError(msgNetTooLarge);

    SetTeachSpeed(ini.ReadFloat(section, "TeachSpeed", 0));
    Miu = ini.ReadFloat(section, "Miu", 0);
    Alpha = ini.ReadFloat(section, "Alpha", 0);
    SetCountLayers(n);
    for (int32_t i = 0; i < n; ++i)
        SetLayerSize(i, sizes[i]);
    for (int32_t l = 0; l + 1 < n; ++l)
        for (int32_t i = 0; i < sizes[l]; ++i)
            for (int32_t j = 0; j < sizes[l + 1]; ++j)
                SetWeight(l, i, j, ini.ReadFloat(section, WeightKey(l, i, j), 0));
    for (int32_t l = 0; l + 1 < n; ++l)
        for (int32_t j = 0; j < sizes[l + 1]; ++j)
            SetThreshold(l, j, ini.ReadFloat(section, ThresholdKey(l, j), 0));
    Epoch = ini.ReadInteger(section, "Epoch", 0);
}

} // namespace nirvex

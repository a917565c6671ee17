#pragma once

#include "engine/IniFile.h"
#include "engine/NeuralNetwork.h"

#include <string>

namespace nirvex {

// The network the program uses: starts as 10-5-1 with TeachSpeed 0.1, Miu 0.9, Alpha 0.5, and
// saves itself as one section of an INI file.
//
// Section keys, in this order: TeachSpeed, Miu, Alpha, Epoch, CountLayers, Layer_i for every
// layer, W_l_i_j for every weight (l, then i, then j increasing), WT_l_j for every threshold.
// Reals are written in the general format with 15 significant digits, weights and thresholds with
// the fewest from 15 to 17 that read back as the same double.
class TNeuralNetworkINI : public TNeuralNetwork {
public:
    TNeuralNetworkINI();

    // Replaces the section (keys of an earlier, larger network do not survive).
    void SaveToIni(TIniFile& ini, const std::string& section) const;
    // Missing or unreadable keys read as 0. A layer count below 1 or a negative layer size fails
    // with "Range check error", a shape too large for memory with msgNetTooLarge; either way before
    // anything of the network changes.
    void LoadFromIni(const TIniFile& ini, const std::string& section);
};

} // namespace nirvex

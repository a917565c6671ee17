#pragma once

#include "engine/EngineKernels.h"

#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

// The build of the network's hot loops in use, chosen once at first use: "avx512", "avx2" or
// "baseline", the widest the processor runs (AVX2 on AMD processors), or the one the environment
// variable NIRVEX_ENGINE names. All of them give the same results, bit for bit.
const char* EngineVariantName();

namespace detail {
const TEngineKernels* ChooseEngine();
// Inline: the network reaches the hot loops through it once per call.
inline const TEngineKernels*& ActiveEngineSlot() {
    static const TEngineKernels* active = ChooseEngine();
    return active;
}
} // namespace detail

inline const TEngineKernels& ActiveEngine() {
    return *detail::ActiveEngineSlot();
}

// Every build this processor can run, narrowest first.
std::vector<std::string> SupportedEngineVariants();
// Switches to the named build (for tests and measurements); false, changing nothing, when the
// processor cannot run it or no such build exists.
bool UseEngineVariant(std::string_view name);

// What the choice of a build reads of the processor.
struct TCpuFeatures {
    bool Avx2 = false;
    bool Avx512f = false;
    bool Amd = false;
};
TCpuFeatures ThisCpu();
// The builds a processor with these features runs, narrowest first.
std::vector<std::string_view> EngineVariantsFor(const TCpuFeatures& cpu);
// The build to start with on such a processor, given the value of NIRVEX_ENGINE (null when unset).
// Kept apart from the processor so that every rule can be tested on any machine.
std::string_view ChooseEngineVariant(const TCpuFeatures& cpu, const char* wanted);

} // namespace nirvex

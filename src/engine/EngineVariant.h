#pragma once

#include "engine/EngineKernels.h"

#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

// The build of the network's hot loops in use, chosen once at first use: "avx512", "avx2" or
// "baseline", the one the environment variable NIRVEX_ENGINE names, or else the fastest the
// processor runs, timed on a small and a large network for a few milliseconds. All of them give
// the same results, bit for bit, so the choice changes only the speed.
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
// The build to start with on such a processor, given the value of NIRVEX_ENGINE (null when unset):
// the one named when the processor runs it, the only one there is, or empty when a measurement must
// decide. Kept apart from the processor so that every rule can be tested on any machine.
std::string_view ChooseEngineVariant(const TCpuFeatures& cpu, const char* wanted);
// Of builds with their speeds on several networks ([build][network], any unit), the one whose worst
// share of the fastest speed on a network is the largest; the first of equals.
std::size_t FastestEngine(const std::vector<std::vector<double>>& speeds);
// Times every build this processor runs and names the fastest by that rule.
std::string_view MeasureFastestEngineVariant();

} // namespace nirvex

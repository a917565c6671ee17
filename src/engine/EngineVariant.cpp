#include "engine/EngineVariant.h"

#include <algorithm>
#include <cstdlib>

namespace nirvex {

namespace {

const TEngineKernels* KernelsNamed(std::string_view name) {
    static const TEngineKernels* const all[] = {
        &EngineKernelsBaseline(),
#if defined(__x86_64__)
        &EngineKernelsAvx2(),
        &EngineKernelsAvx512(),
#endif
    };
    for (const TEngineKernels* k : all)
        if (name == k->name)
            return k;
    return nullptr;
}

// Every build this processor runs, narrowest first.
std::vector<const TEngineKernels*> Supported() {
    std::vector<const TEngineKernels*> all;
    for (std::string_view name : EngineVariantsFor(ThisCpu()))
        all.push_back(KernelsNamed(name));
    return all;
}

const TEngineKernels* FindSupported(std::string_view name) {
    for (const TEngineKernels* k : Supported())
        if (name == k->name)
            return k;
    return nullptr;
}

} // namespace

TCpuFeatures ThisCpu() {
    TCpuFeatures cpu;
#if defined(__x86_64__)
    __builtin_cpu_init();
    cpu.Avx2 = __builtin_cpu_supports("avx2");
    cpu.Avx512f = __builtin_cpu_supports("avx512f");
    cpu.Amd = __builtin_cpu_is("amd");
#endif
    return cpu;
}

std::vector<std::string_view> EngineVariantsFor(const TCpuFeatures& cpu) {
    std::vector<std::string_view> names{"baseline"};
    if (cpu.Avx2) {
        names.emplace_back("avx2");
        if (cpu.Avx512f)
            names.emplace_back("avx512");
    }
    return names;
}

// The widest build, except that AMD processors get the AVX2 one: their 512-bit vectors go through
// 256-bit units in two halves, and the 512-bit build measured slower there on every shape.
// NIRVEX_ENGINE names another supported build.
std::string_view ChooseEngineVariant(const TCpuFeatures& cpu, const char* wanted) {
    const std::vector<std::string_view> names = EngineVariantsFor(cpu);
    if (wanted != nullptr && std::find(names.begin(), names.end(), wanted) != names.end())
        return wanted;
    if (names.size() == 3 && cpu.Amd)
        return names[1];
    return names.back();
}

const TEngineKernels* detail::ChooseEngine() {
    return KernelsNamed(ChooseEngineVariant(ThisCpu(), std::getenv("NIRVEX_ENGINE")));
}

const char* EngineVariantName() {
    return ActiveEngine().name;
}

std::vector<std::string> SupportedEngineVariants() {
    std::vector<std::string> names;
    for (const TEngineKernels* k : Supported())
        names.emplace_back(k->name);
    return names;
}

bool UseEngineVariant(std::string_view name) {
    const TEngineKernels* k = FindSupported(name);
    if (k == nullptr)
        return false;
    detail::ActiveEngineSlot() = k;
    return true;
}

} // namespace nirvex

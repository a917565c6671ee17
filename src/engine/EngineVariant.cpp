#include "engine/EngineVariant.h"

#include <cstdlib>

namespace nirvex {

namespace {

// Every build this processor runs, narrowest first.
std::vector<const TEngineKernels*> Supported() {
    std::vector<const TEngineKernels*> all{&EngineKernelsBaseline()};
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) {
        all.push_back(&EngineKernelsAvx2());
        if (__builtin_cpu_supports("avx512f"))
            all.push_back(&EngineKernelsAvx512());
    }
#endif
    return all;
}

const TEngineKernels* FindSupported(std::string_view name) {
    for (const TEngineKernels* k : Supported())
        if (name == k->name)
            return k;
    return nullptr;
}

} // namespace

// The widest build, except that AMD processors get the AVX2 one: their 512-bit vectors go through
// 256-bit units in two halves, and the 512-bit build measured slower there on every shape.
// NIRVEX_ENGINE names another supported build.
const TEngineKernels* detail::ChooseEngine() {
    if (const char* wanted = std::getenv("NIRVEX_ENGINE"))
        if (const TEngineKernels* k = FindSupported(wanted))
            return k;
    std::vector<const TEngineKernels*> all = Supported();
#if defined(__x86_64__)
    if (all.size() == 3 && __builtin_cpu_is("amd"))
        return all[1];
#endif
    return all.back();
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

#include "engine/EngineVariant.h"

#include <algorithm>
#include <cfenv>
#include <chrono>
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

// NIRVEX_ENGINE names a supported build; otherwise the only one there is, or none (empty), which
// leaves the choice to a measurement.
std::string_view ChooseEngineVariant(const TCpuFeatures& cpu, const char* wanted) {
    const std::vector<std::string_view> names = EngineVariantsFor(cpu);
    if (wanted != nullptr && std::find(names.begin(), names.end(), wanted) != names.end())
        return wanted;
    if (names.size() == 1)
        return names[0];
    return {};
}

std::size_t FastestEngine(const std::vector<std::vector<double>>& speeds) {
    std::vector<double> best;
    for (const std::vector<double>& build : speeds)
        for (std::size_t s = 0; s < build.size(); ++s) {
            if (best.size() <= s)
                best.push_back(0);
            best[s] = std::max(best[s], build[s]);
        }
    std::size_t chosen = 0;
    double chosenWorst = -1;
    for (std::size_t b = 0; b < speeds.size(); ++b) {
        double worst = 1;
        for (std::size_t s = 0; s < speeds[b].size(); ++s)
            worst = std::min(worst, best[s] > 0 ? speeds[b][s] / best[s] : 1.0);
        if (worst > chosenWorst) {
            chosen = b;
            chosenWorst = worst;
        }
    }
    return chosen;
}

namespace {

// A network of the given layer sizes laid out as the loops expect it, with fixed weights: enough
// to time a build without touching the program's generator or its networks.
class TTimingNet {
public:
    explicit TTimingNet(const std::vector<int32_t>& sizes) {
        const std::size_t n = sizes.size();
        outputs_.resize(n);
        for (std::size_t l = 0; l < n; ++l)
            outputs_[l].assign(static_cast<std::size_t>(PaddedSize(sizes[l])), 0.5);
        blocks_.resize((n - 1) * 7);
        for (std::size_t l = 0; l + 1 < n; ++l) {
            const auto rows = static_cast<std::size_t>(sizes[l]);
            const auto width = static_cast<std::size_t>(PaddedSize(sizes[l + 1]));
            auto block = [&](std::size_t k, std::size_t size) -> double* {
                std::vector<double>& b = blocks_[l * 7 + k];
                b.assign(size, 0.0);
                return b.data();
            };
            TLayerRefs r{};
            r.in = outputs_[l].data();
            r.out = outputs_[l + 1].data();
            r.w = block(0, rows * width);
            for (std::size_t i = 0; i < rows; ++i)
                for (std::size_t j = 0; j < static_cast<std::size_t>(sizes[l + 1]); ++j)
                    r.w[i * width + j] = 0.1 * static_cast<double>((i + 2 * j) % 7) - 0.3;
            r.wd = block(1, rows * width);
            r.t = block(2, width);
            r.td = block(3, width);
            r.delta = block(4, width);
            r.step = block(5, width);
            r.taught = block(6, static_cast<std::size_t>(PaddedSize(sizes[l])));
            r.n = sizes[l];
            r.m = sizes[l + 1];
            layers_.push_back(r);
        }
        net_ = TNetRefs{layers_.data(),
                        static_cast<int32_t>(layers_.size()),
                        outputs_.front().data(),
                        outputs_.back().data(),
                        1.0,
                        0.1,
                        0.9,
                        false};
        inputs_.assign(static_cast<std::size_t>(sizes.front()), 0.5);
        targets_.assign(static_cast<std::size_t>(sizes.back()), 0.25);
    }
    // Examples taught per second by `k` over about `seconds`.
    double Speed(const TEngineKernels& k, double seconds) {
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + std::chrono::duration<double>(seconds);
        int64_t count = 0;
        auto now = start;
        do {
            for (int i = 0; i < 32; ++i, ++count) {
                k.example(net_, inputs_.data(), static_cast<int32_t>(inputs_.size()), targets_.data(),
                          static_cast<int32_t>(targets_.size()), true);
                net_.pending = true;
            }
            now = std::chrono::steady_clock::now();
        } while (now < end);
        k.apply(net_);
        net_.pending = false;
        return static_cast<double>(count) / std::chrono::duration<double>(now - start).count();
    }

private:
    std::vector<std::vector<double>> outputs_, blocks_;
    std::vector<TLayerRefs> layers_;
    TNetRefs net_{};
    std::vector<double> inputs_, targets_;
};

} // namespace

std::string_view MeasureFastestEngineVariant() {
    const std::vector<const TEngineKernels*> builds = Supported();
    // A small and a large network; each build is timed in turns, and its best turn counts.
    const std::vector<std::vector<int32_t>> shapes = {{4, 10, 1}, {30, 50, 20, 5}};
    std::vector<std::vector<double>> speeds(builds.size(), std::vector<double>(shapes.size(), 0.0));
    for (std::size_t s = 0; s < shapes.size(); ++s) {
        TTimingNet net(shapes[s]);
        for (int turn = 0; turn < 3; ++turn)
            for (std::size_t b = 0; b < builds.size(); ++b)
                speeds[b][s] = std::max(speeds[b][s], net.Speed(*builds[b], 0.001));
    }
    return builds[FastestEngine(speeds)]->name;
}

const TEngineKernels* detail::ChooseEngine() {
    const std::string_view chosen = ChooseEngineVariant(ThisCpu(), std::getenv("NIRVEX_ENGINE"));
    if (!chosen.empty())
        return KernelsNamed(chosen);
    // The first use may come between a caller's clearing and checking of the floating-point flags.
    std::fenv_t env;
    std::fegetenv(&env);
    const TEngineKernels* fastest = KernelsNamed(MeasureFastestEngineVariant());
    std::fesetenv(&env);
    return fastest;
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

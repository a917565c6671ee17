#include "common/RandomGen.h"

#include <chrono>

namespace nirvex {

namespace {
uint32_t gSeed = 0;
}

uint32_t RandSeed() {
    return gSeed;
}

void SetRandSeed(uint32_t seed) {
    gSeed = seed;
}

int32_t Random(int32_t n) {
    gSeed = gSeed * 134775813u + 1u;
    return static_cast<int32_t>((static_cast<uint64_t>(gSeed) * static_cast<uint32_t>(n)) >> 32);
}

double RandomFloat() {
    gSeed = gSeed * 134775813u + 1u;
    return static_cast<double>(gSeed) / 4294967296.0;
}

uint32_t RandomizeFromClock() {
    using namespace std::chrono;
    auto now = system_clock::now().time_since_epoch();
    auto msOfDay = duration_cast<milliseconds>(now).count() % 86400000;
    gSeed = static_cast<uint32_t>(msOfDay);
    return gSeed;
}

} // namespace nirvex

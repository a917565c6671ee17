#pragma once

#include "common/NumberText.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <thread>

namespace nirvex {

// Threads for a computation over `items` independent pieces of work: NIRVEX_THREADS when it is a
// positive number, else every core; but a thread pays for its copy of the network only over at least
// `minItemsPerThread` items. Always at least 1.
inline std::size_t WorkerThreads(std::size_t items, std::size_t minItemsPerThread) {
    std::size_t n = std::max(1u, std::thread::hardware_concurrency());
    if (const char* env = std::getenv("NIRVEX_THREADS"))
        if (auto v = TryStrToInt(env); v && *v > 0)
            n = static_cast<std::size_t>(*v);
    return std::clamp<std::size_t>(items / std::max<std::size_t>(minItemsPerThread, 1), 1, n);
}

} // namespace nirvex

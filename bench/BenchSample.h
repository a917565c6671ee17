#pragma once

// The benchmarks' large sample: 5 numeric columns (three decimals), CR LF, about 100 MB.
#include "common/RandomGen.h"

#include <cstdint>
#include <fstream>
#include <string>

namespace nirvex {

// Written as a stream, so that the writer holds no table. Uses the program's generator.
inline void WriteBenchSample(const std::string& path, std::size_t bytes = 100u * 1000u * 1000u) {
    std::ofstream out(path, std::ios::binary);
    out << "a\tb\tc\td\ttarget\r\n";
    std::string line;
    std::size_t written = 0;
    for (uint64_t r = 0; written < bytes; ++r) {
        line.clear();
        for (int k = 0; k < 5; ++k) {
            uint32_t v = static_cast<uint32_t>(Random(1000000));
            line += std::to_string(v / 1000) + "." + std::to_string(v % 1000);
            line += k < 4 ? '\t' : '\r';
        }
        line += '\n';
        out << line;
        written += line.size();
    }
}

} // namespace nirvex

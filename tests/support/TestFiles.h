#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace nirvex::test {

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace nirvex::test

#pragma once

#include <cstdint>

namespace nirvex {

// The common case of a number in a data file, converted without the general conversion: at most 19
// characters, digits with at most one full stop (not the first), whose digits as a whole number m stay below 2^53 and
// whose decimals k number at most 22. Then m and 10^k are exact doubles and one correctly
// rounded division gives the correctly rounded value, the same double as the general
// conversion. False (and v untouched) for anything else, which the caller converts in full.
inline bool ParsePlainDecimal(const char* b, const char* e, double& v) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (e - b > 19) // no overflow of m below
        return false;
    uint64_t m = 0;
    const char* point = nullptr;
    for (const char* p = b; p < e; ++p) {
        auto d = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0');
        if (d < 10) {
            m = m * 10 + d;
        } else if (*p == '.' && point == nullptr) {
            point = p;
        } else {
            return false;
        }
    }
    if (m > (uint64_t{1} << 53) || point == b || (point == nullptr && e == b))
        return false;
    const auto decimals = point != nullptr ? e - point - 1 : 0;
    v = static_cast<double>(m) / kPow10[decimals];
    return true;
}

} // namespace nirvex

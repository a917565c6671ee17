#pragma once

#include <cstdint>

namespace nirvex {

// The common case of a number in a data file, converted without the general conversion: its
// digits as a whole number m below 2^53 (at most 19 digits, so m did not overflow) and at most 22
// decimals k. Then m and 10^k are exact doubles and one correctly rounded division gives the
// correctly rounded value, the same double as the general conversion. False (v untouched) for
// anything else, which the caller converts in full.
inline bool ExactDecimal(uint64_t m, int digits, long decimals, double& v) {
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (digits < 1 || digits > 19 || m > (uint64_t{1} << 53) || decimals < 0 || decimals > 22)
        return false;
    v = static_cast<double>(m) / kPow10[decimals];
    return true;
}

// The same over text: digits with at most one full stop, which is not the first character. With
// `asWritten`, also whether the general format with 15 significant digits writes the value as the
// text stands: at most 15 digits, none of them a zero leading the text or ending a fraction.
inline bool ParsePlainDecimal(const char* b, const char* e, double& v, bool* asWritten = nullptr) {
    uint64_t m = 0;
    int digits = 0;
    const char* point = nullptr;
    for (const char* p = b; p < e; ++p) {
        auto d = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0');
        if (d < 10) {
            m = m * 10 + d;
            ++digits;
        } else if (*p == '.' && point == nullptr && p != b) {
            point = p;
        } else {
            return false;
        }
    }
    if (!ExactDecimal(m, digits, point != nullptr ? static_cast<long>(e - point - 1) : 0, v))
        return false;
    if (asWritten)
        *asWritten = digits <= 15 && *b != '0' && (point == nullptr || (e[-1] != '0' && e[-1] != '.'));
    return true;
}

} // namespace nirvex

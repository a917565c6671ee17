#pragma once

// Helpers shared by the two table readers: whole-file reading, byte order, code pages.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

// The whole file; raises msgTableNotFound or msgTableUnreadable followed by `fileName`.
std::vector<uint8_t> ReadTableFile(const std::string& fileName);

inline uint16_t GetLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t GetLE32(const uint8_t* p) {
    return GetLE16(p) | static_cast<uint32_t>(GetLE16(p + 2)) << 16;
}
inline uint64_t GetLE64(const uint8_t* p) {
    return GetLE32(p) | static_cast<uint64_t>(GetLE32(p + 4)) << 32;
}
inline uint32_t GetBE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | p[2] << 8 | p[3];
}
inline uint64_t GetBE64(const uint8_t* p) {
    return static_cast<uint64_t>(GetBE32(p)) << 32 | GetBE32(p + 4);
}
inline bool AllZero(const uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

// Text in a numbered code page as UTF-8: 1251 through the program's own table, the others through iconv.
// Bytes that do not convert become "?"; a code page iconv does not know reads as 1251.
std::string CodePageToUtf8(std::string_view bytes, int codePage);
// True for well-formed UTF-8 holding at least one non-ASCII character.
bool LooksLikeUtf8(std::string_view bytes);

} // namespace nirvex

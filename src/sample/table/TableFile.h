#pragma once

// Helpers shared by the two table readers: whole-file reading, byte order, code pages.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

// The whole file; raises msgTableNotFound or msgTableUnreadable followed by `fileName`.
std::vector<uint8_t> ReadTableFile(const std::string& fileName);

// A table file read piece by piece where the reader asks, so that a table of any size is never held
// whole. Raises msgTableNotFound when it cannot be opened and msgTableUnreadable (both followed by
// `fileName`) when a piece cannot be read whole.
class TTableFileReader {
public:
    explicit TTableFileReader(const std::string& fileName);
    ~TTableFileReader();
    TTableFileReader(const TTableFileReader&) = delete;
    TTableFileReader& operator=(const TTableFileReader&) = delete;
    std::size_t Size() const { return size_; }
    const std::string& Name() const { return name_; }
    // Bytes [offset, offset + count) into `into`.
    void ReadAt(std::size_t offset, std::size_t count, uint8_t* into) const;
    std::vector<uint8_t> ReadAt(std::size_t offset, std::size_t count) const;

private:
    std::string name_;
    int fd_ = -1;
    std::size_t size_ = 0;
};

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
// The length of `bytes` without a multi-byte character cut short at its end, which fixed-width fields make.
std::size_t WholeUtf8Length(std::string_view bytes);

// A field's text as UTF-8, converted byte by byte through a table built once, since a table converts
// every value of its text fields. Code page 0 means the text is UTF-8 already.
class TTextDecoder {
public:
    explicit TTextDecoder(int codePage = 1251);
    // Blanks (spaces and NULs) trimmed at both ends, cut at a NUL left inside; false and empty when blank.
    bool Decode(std::string_view bytes, std::string& text) const;

private:
    bool utf8_ = false;
    std::array<std::string, 128> high_; // UTF-8 of the bytes 0x80..0xFF
};

} // namespace nirvex

#include "common/Cp1251.h"

#include <algorithm>
#include <array>

namespace nirvex {

namespace {

// Code points of the bytes 0x80..0xFF.
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

} // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Cp1251ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        if (b < 0x80)
            out += ch;
        else
            AppendUtf8(out, kHigh[b - 0x80]);
    }
    return out;
}

char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
    auto b0 = static_cast<unsigned char>(text[pos++]);
    if (b0 < 0x80)
        return b0;
    int extra = b0 >= 0xF0 && b0 < 0xF8 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC2 && b0 < 0xE0 ? 1 : -1;
    if (extra < 0)
        return 0xFFFD;
    char32_t cp = b0 & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (pos >= text.size())
            return 0xFFFD;
        auto b = static_cast<unsigned char>(text[pos]);
        if ((b & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (b & 0x3F);
        ++pos;
    }
    return cp;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        auto b0 = static_cast<unsigned char>(bytes[pos]);
        if (b0 < 0x80) {
            ++pos;
            continue;
        }
        std::size_t start = pos;
        char32_t cp = DecodeUtf8(bytes, pos);
        std::size_t length = pos - start;
        // DecodeUtf8 reads 4-byte leads up to 0xF7 and any 3-byte form; reject what it lets through.
        if (cp == 0xFFFD && !(length == 3 && bytes.substr(start, 3) == "\xEF\xBF\xBD"))
            return false;
        bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
    }
    return true;
}

std::string CleanUtf8(std::string_view text) {
    if (IsValidUtf8(text))
        return std::string(text);
    std::string out;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        DecodeUtf8(text, pos);
        const std::string_view one = std::string_view(text).substr(start, pos - start);
        if (IsValidUtf8(one))
            out += one;
        else
            AppendUtf8(out, 0xFFFD);
    }
    return out;
}

bool StripUtf8Bom(std::string_view& bytes) {
    if (bytes.substr(0, 3) != "\xEF\xBB\xBF")
        return false;
    bytes.remove_prefix(3);
    return true;
}

bool HasCp1251Byte(char32_t cp) {
    if (cp < 0x80)
        return true;
    return cp != 0xFFFD && std::find(kHigh.begin(), kHigh.end(), cp) != kHigh.end();
}

bool FitsCp1251(std::string_view utf8) {
    if (!IsValidUtf8(utf8))
        return false;
    std::size_t pos = 0;
    while (pos < utf8.size())
        if (!HasCp1251Byte(DecodeUtf8(utf8, pos)))
            return false;
    return true;
}

std::string EncodeTextFile(std::string_view utf8) {
    if (FitsCp1251(utf8))
        return Utf8ToCp1251(utf8);
    return "\xEF\xBB\xBF" + std::string(utf8);
}

std::string Utf8ToCp1251(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = DecodeUtf8(text, pos);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (std::size_t i = 0; i < kHigh.size(); ++i) {
            if (kHigh[i] == cp && cp != 0xFFFD) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

} // namespace nirvex

#include "sample/table/TableFile.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "sample/table/Messages.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <memory>

namespace nirvex {

std::vector<uint8_t> ReadTableFile(const std::string& fileName) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(fileName.c_str(), "rb"), &std::fclose);
    if (!f)
        throw EError(msgTableNotFound + fileName);
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        std::size_t got = std::fread(chunk, 1, sizeof chunk, f.get());
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < sizeof chunk)
            break;
    }
    if (std::ferror(f.get()))
        throw EError(msgTableUnreadable + fileName);
    return bytes;
}

std::string CodePageToUtf8(std::string_view bytes, int codePage) {
    bool ascii = true;
    for (char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return std::string(bytes);
    if (codePage == 1251)
        return Cp1251ToUtf8(bytes);
    iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return Cp1251ToUtf8(bytes);
    std::string out;
    std::string in(bytes);
    char* src = in.data();
    std::size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char buf[256];
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += '?';
            ++src;
            --srcLeft;
        }
    }
    iconv_close(cd);
    return out;
}

bool LooksLikeUtf8(std::string_view bytes) {
    bool wide = false;
    for (std::size_t i = 0; i < bytes.size();) {
        auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
        if (n == 9 || (n == 1 && c < 0xC2) || n >= bytes.size() - i)
            return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        wide = wide || n > 0;
        i += n + 1;
    }
    return wide;
}

} // namespace nirvex

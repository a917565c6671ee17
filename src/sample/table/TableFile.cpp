#include "sample/table/TableFile.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "sample/table/Messages.h"

#include <cerrno>
#include <cstdio>
#include <iconv.h>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TTableFileReader::TTableFileReader(const std::string& fileName) : name_(fileName) {
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw EError(msgTableNotFound + fileName);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd_);
        throw EError(msgTableUnreadable + fileName);
    }
    size_ = static_cast<std::size_t>(st.st_size);
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

TTableFileReader::~TTableFileReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

void TTableFileReader::ReadAt(std::size_t offset, std::size_t count, uint8_t* into) const {
    while (count > 0) {
        const ssize_t got = ::pread(fd_, into, count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw EError(msgTableUnreadable + name_);
        into += got;
        offset += static_cast<std::size_t>(got);
        count -= static_cast<std::size_t>(got);
    }
}

std::vector<uint8_t> TTableFileReader::ReadAt(std::size_t offset, std::size_t count) const {
    std::vector<uint8_t> bytes(count);
    ReadAt(offset, count, bytes.data());
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

std::size_t WholeUtf8Length(std::string_view bytes) {
    // Step back over at most three continuation bytes to the lead of the last character.
    std::size_t lead = bytes.size();
    for (int k = 0; k < 4 && lead > 0; ++k) {
        const auto c = static_cast<unsigned char>(bytes[--lead]);
        if ((c & 0xC0) == 0x80)
            continue;
        const std::size_t need = c < 0x80             ? 1
                                 : (c & 0xE0) == 0xC0 ? 2
                                 : (c & 0xF0) == 0xE0 ? 3
                                 : (c & 0xF8) == 0xF0 ? 4
                                                      : 0;
        return need != 0 && bytes.size() - lead < need ? lead : bytes.size();
    }
    return bytes.size();
}

TTextDecoder::TTextDecoder(int codePage) : utf8_(codePage == 0) {
    if (utf8_)
        return;
    std::string upper;
    for (int b = 0x80; b <= 0xFF; ++b)
        upper += static_cast<char>(b);
    // One conversion of all 128 bytes; single-byte pages give one character for each.
    const std::string all = CodePageToUtf8(upper, codePage);
    std::size_t pos = 0, i = 0;
    for (; pos < all.size() && i < high_.size(); ++i) {
        const std::size_t start = pos;
        DecodeUtf8(all, pos);
        high_[i] = all.substr(start, pos - start);
    }
    if (pos != all.size() || i != high_.size())
        for (std::size_t k = 0; k < high_.size(); ++k)
            high_[k] = CodePageToUtf8(upper.substr(k, 1), codePage);
}

bool TTextDecoder::Decode(std::string_view bytes, std::string& text) const {
    text.clear();
    const std::string_view blanks(" \0", 2);
    const auto first = bytes.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return false;
    bytes.remove_prefix(first);
    auto trimEnd = [](std::string_view t) { return t.substr(0, t.find_last_not_of(' ') + 1); };
    bytes = trimEnd(bytes.substr(0, bytes.find('\0')));
    if (utf8_) {
        // A character cut by the field's end goes, and so do the blanks before it.
        text.assign(trimEnd(bytes.substr(0, WholeUtf8Length(bytes))));
        return !text.empty();
    }
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            text += c;
        else
            text += high_[b - 0x80];
    }
    return true;
}

} // namespace nirvex

#pragma once

// Small dBase and Paradox tables written byte by byte for the reader tests, and a scratch directory.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace tabletest {

inline std::string LE(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}
inline std::string BE(uint64_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}
// Integers and doubles in the "sortable" big-endian form of dBase 7 and Paradox.
inline std::string SortableInt(int32_t v, int bytes = 4) {
    const uint64_t sign = 1ULL << (8 * bytes - 1);
    return BE((static_cast<uint64_t>(static_cast<int64_t>(v)) & (sign * 2 - 1)) ^ sign, bytes);
}
inline std::string SortableDouble(double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    return BE(v >= 0 ? bits ^ (1ULL << 63) : ~bits, 8);
}
inline std::string Zeros(std::size_t n) {
    return std::string(n, '\0');
}

struct TDbfField {
    std::string Name;
    char Type;
    uint8_t Length;
    uint8_t Decimals = 0;
};

struct TDbfSpec {
    uint8_t Version = 0x03;
    uint8_t DriverId = 0;
    std::string DriverName; // dBase 7 only
    std::vector<TDbfField> Fields;
    std::vector<std::string> Records; // each a whole record: deletion flag, then the fields
    std::optional<uint32_t> CountInHeader;
    bool EndMark = true;
};

// A record from field texts: numbers right-aligned, characters left-aligned, binary values as given.
inline std::string Record(const std::vector<TDbfField>& fields, const std::vector<std::string>& values,
                          bool deleted = false) {
    std::string r(1, deleted ? '*' : ' ');
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::string v = values.at(i);
        const std::size_t len = fields[i].Length;
        if (v.size() < len)
            v = fields[i].Type == 'N' || fields[i].Type == 'F' ? std::string(len - v.size(), ' ') + v
                                                               : v + std::string(len - v.size(), ' ');
        r += v.substr(0, len);
    }
    return r;
}

inline std::string BuildDbf(const TDbfSpec& s) {
    const bool dbase7 = s.Version == 0x04 || s.Version == 0x8C;
    const bool vfp = s.Version >= 0x30 && s.Version <= 0x32;
    const std::size_t descStart = dbase7 ? 68 : 32, descSize = dbase7 ? 48 : 32;
    std::size_t recordLength = 1;
    for (const auto& f : s.Fields)
        recordLength += f.Length;
    const std::size_t headerLength = descStart + descSize * s.Fields.size() + 1 + (vfp ? 263 : 0);
    std::string h(descStart, '\0');
    h[0] = static_cast<char>(s.Version);
    h[1] = 124, h[2] = 5, h[3] = 17;
    h.replace(4, 4, LE(s.CountInHeader.value_or(static_cast<uint32_t>(s.Records.size())), 4));
    h.replace(8, 2, LE(headerLength, 2));
    h.replace(10, 2, LE(recordLength, 2));
    h[29] = static_cast<char>(s.DriverId);
    if (dbase7)
        h.replace(32, s.DriverName.size(), s.DriverName);
    for (const auto& f : s.Fields) {
        std::string d(descSize, '\0');
        d.replace(0, f.Name.size(), f.Name);
        const std::size_t typeAt = dbase7 ? 32 : 11, lengthAt = dbase7 ? 33 : 16;
        d[typeAt] = f.Type;
        d[lengthAt] = static_cast<char>(f.Length);
        d[lengthAt + 1] = static_cast<char>(f.Decimals);
        h += d;
    }
    h += '\x0D';
    h.resize(headerLength, '\0');
    for (const auto& r : s.Records)
        h += r;
    if (s.EndMark)
        h += '\x1A';
    return h;
}

struct TPxField {
    std::string Name;
    uint8_t Type;
    uint8_t Size;
};

// Paradox type codes and the bytes each takes in a record.
enum : uint8_t {
    pxAlpha = 0x01,
    pxShort = 0x03,
    pxLong = 0x04,
    pxCurrency = 0x05,
    pxNumber = 0x06,
    pxLogical = 0x09,
    pxAutoInc = 0x16
};

struct TPxSpec {
    uint8_t Version = 12; // 7.x
    uint16_t CodePage = 1252;
    std::vector<TPxField> Fields;
    std::vector<std::string> Records; // each exactly the record size
    std::size_t RecordsPerBlock = 1000;
};

// A not keyed table with a 2048-byte header and 1 KB blocks chained 1 -> 2 -> ...
inline std::string BuildParadox(const TPxSpec& s) {
    std::size_t recordSize = 0;
    for (const auto& f : s.Fields)
        recordSize += f.Size;
    const std::size_t perBlock = std::min(s.RecordsPerBlock, (1024 - 6) / recordSize);
    const std::size_t blocks = (s.Records.size() + perBlock - 1) / perBlock;
    const std::size_t n = s.Fields.size();
    std::string h(0x78, '\0');
    h.replace(0x00, 2, LE(recordSize, 2));
    h.replace(0x02, 2, LE(2048, 2));
    h[0x04] = 2;
    h[0x05] = 1;
    h.replace(0x06, 4, LE(s.Records.size(), 4));
    h.replace(0x0A, 2, LE(blocks + 1, 2));
    h.replace(0x0C, 2, LE(blocks, 2));
    h.replace(0x0E, 2, LE(blocks ? 1 : 0, 2));
    h.replace(0x10, 2, LE(blocks, 2));
    h.replace(0x21, 2, LE(n, 2));
    h[0x39] = static_cast<char>(s.Version);
    h.replace(0x6A, 2, LE(s.CodePage, 2));
    for (const auto& f : s.Fields)
        h += std::string{static_cast<char>(f.Type), static_cast<char>(f.Size)};
    h += Zeros(4 + 4 * n);
    std::string table = "built.db";
    table.resize(s.Version >= 12 ? 261 : 79, '\0');
    h += table;
    for (const auto& f : s.Fields)
        h += f.Name + '\0';
    for (std::size_t i = 0; i < n; ++i)
        h += LE(i + 1, 2);
    h += std::string("ascii") + '\0';
    h.resize(2048, '\0');
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t first = b * perBlock, count = std::min(perBlock, s.Records.size() - first);
        std::string block = LE(b + 1 < blocks ? b + 2 : 0, 2) + LE(b, 2) + LE((count - 1) * recordSize, 2);
        for (std::size_t r = first; r < first + count; ++r)
            block += s.Records[r];
        block.resize(1024, '\0');
        h += block;
    }
    return h;
}

// A fresh directory for one test, removed afterwards.
class TScratch {
public:
    TScratch() {
        static int counter = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("nirvex_table_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
        std::filesystem::create_directories(dir_);
    }
    ~TScratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Dir() const { return dir_.string() + "/"; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return (dir_ / name).string();
    }

private:
    std::filesystem::path dir_;
};

// Builders taking a function that fills in the table description.
template <class TFill> std::string BuildDbfSpec(TFill fill) {
    TDbfSpec s;
    fill(s);
    return BuildDbf(s);
}
template <class TFill> std::string BuildParadoxSpec(TFill fill) {
    TPxSpec s;
    fill(s);
    return BuildParadox(s);
}

// Every remaining record's text of one field of an open table; nullopt marks a null. Leaves the table at its end.
using TTexts = std::vector<std::optional<std::string>>;
template <class TTable> TTexts TextColumn(TTable& table, int32_t field) {
    TTexts out;
    for (; !table.Eof(); table.Next()) {
        std::string text = "stale";
        if (table.GetText(field, text))
            out.emplace_back(text);
        else
            out.emplace_back(text.empty() ? std::nullopt : std::optional<std::string>("null but not emptied"));
    }
    return out;
}

#ifdef NIRVEX_TESTDATA_DIR
inline const std::string TestData = NIRVEX_TESTDATA_DIR;
#else
inline const std::string TestData;
#endif
#define REQUIRE_TESTDATA()                                                                                             \
    if (tabletest::TestData.empty() || !std::filesystem::is_directory(tabletest::TestData))                            \
    GTEST_SKIP() << "no shared table files"

} // namespace tabletest

#include "TextSample.h"

#include "Cp1251.h"
#include "Errors.h"
#include "PlainDecimal.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

namespace nirvex {

namespace {

inline bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
inline bool IsNumberChar(unsigned char c) {
    return IsDigit(c) || c == '.' || c == ',';
}
inline bool IsNameChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0xC0 || IsNumberChar(c);
}
inline bool IsLineEnd(unsigned char c) {
    return c == '\r' || c == '\n';
}

[[noreturn]] void Fail() {
    throw EError(msgBadInputFile);
}

// Digits with at most one full stop; a comma or a second full stop is not a number.
double ConvertValue(const char* b, const char* e) {
    if (double v; ParsePlainDecimal(b, e, v))
        return v;
    const char* point = nullptr;
    for (const char* p = b; p < e; ++p) {
        if (*p == ',')
            Fail();
        if (*p == '.') {
            if (point)
                Fail();
            point = p;
        }
    }
    const char* end = (point && point + 1 == e) ? point : e; // "12." reads as 12
    double v = 0;
    auto res = std::from_chars(b, end, v, std::chars_format::fixed);
    if (res.ec == std::errc::result_out_of_range) {
        // Only a huge integer part overflows; anything else is a tiny fraction.
        for (const char* p = b; p < (point ? point : end); ++p)
            if (*p != '0')
                Fail();
        return 0.0;
    }
    if (res.ec != std::errc() || res.ptr != end)
        Fail();
    return v;
}

// Counts the values of a line, storing the first `expected` of them.
int ScanValues(const char* p, const char* e, int expected, double* out) {
    int count = 0;
    while (p < e) {
        while (p < e && !IsDigit(static_cast<unsigned char>(*p)))
            ++p;
        if (p == e)
            break;
        const char* b = p;
        while (p < e && IsNumberChar(static_cast<unsigned char>(*p)))
            ++p;
        double v = ConvertValue(b, p);
        if (count < expected)
            out[count] = v;
        ++count;
    }
    return count;
}

// Values of one column in blocks, so that growing never copies the whole column; the final
// vector is built once at the end.
class TColumnBuffer {
public:
    void Push(double v) {
        if (used_ == kBlock || blocks_.empty()) {
            blocks_.push_back(std::make_unique<double[]>(kBlock));
            used_ = 0;
        }
        blocks_.back()[used_++] = v;
    }
    // `tick` is called every few megabytes copied.
    std::vector<double> Take(std::size_t count, const std::function<void()>& tick) {
        std::vector<double> out;
        out.reserve(count);
        for (std::size_t i = 0; i < blocks_.size(); ++i) {
            if (tick && i % 64 == 63)
                tick();
            std::size_t n = i + 1 == blocks_.size() ? used_ : kBlock;
            out.insert(out.end(), blocks_[i].get(), blocks_[i].get() + n);
            blocks_[i].reset(); // released as it is copied, so the peak stays near one copy
        }
        blocks_.clear();
        return out;
    }

private:
    static constexpr std::size_t kBlock = 16384;
    std::vector<std::unique_ptr<double[]>> blocks_;
    std::size_t used_ = 0;
};

// Feeds lines to the header and record handlers; a line ends at CR or LF.
class TSampleBuilder {
public:
    void Line(const char* b, const char* e) {
        if (!headerDone_) {
            headerDone_ = true;
            names_ = ParseHeader(std::string_view(b, static_cast<std::size_t>(e - b)));
            if (names_.empty())
                Fail();
            columns_.resize(names_.size());
            values_.resize(names_.size());
            return;
        }
        int n = static_cast<int>(names_.size());
        if (ScanValues(b, e, n, values_.data()) != n)
            return;
        if (records_ == INT32_MAX)
            Fail();
        for (int k = 0; k < n; ++k)
            columns_[static_cast<std::size_t>(k)].Push(values_[static_cast<std::size_t>(k)]);
        ++records_;
    }
    TSampleTable Finish(const TProgressProc& progress = {}) {
        if (!headerDone_)
            Fail(); // empty file: empty header
        TSampleTable table;
        table.RecordCount = records_;
        table.Fields.resize(names_.size());
        const double total = static_cast<double>(records_) * static_cast<double>(names_.size());
        double done = 0;
        std::function<void()> tick;
        if (progress && total > 0)
            tick = [&] {
                done += 64.0 * 16384.0;
                progress(done / total);
            };
        for (std::size_t k = 0; k < names_.size(); ++k) {
            table.Fields[k].FieldName = std::move(names_[k]);
            table.Fields[k].Values = columns_[k].Take(static_cast<std::size_t>(records_), tick);
        }
        if (progress)
            progress(1.0);
        return table;
    }

private:
    bool headerDone_ = false;
    std::vector<std::string> names_;
    std::vector<TColumnBuffer> columns_;
    std::vector<double> values_;
    int32_t records_ = 0;
};

} // namespace

std::vector<std::string> ParseHeader(std::string_view line) {
    std::vector<std::string> names;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && !IsNameChar(static_cast<unsigned char>(line[i])))
            ++i;
        std::size_t b = i;
        while (i < line.size() && IsNameChar(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > b)
            names.push_back(Cp1251ToUtf8(line.substr(b, i - b)));
    }
    return names;
}

bool ParseValues(std::string_view line, int expected, std::vector<double>& values) {
    values.assign(static_cast<std::size_t>(expected > 0 ? expected : 0), 0.0);
    return ScanValues(line.data(), line.data() + line.size(), expected, values.data()) == expected;
}

TSampleTable ParseTextSample(std::string_view bytes) {
    TSampleBuilder builder;
    const char* p = bytes.data();
    const char* e = p + bytes.size();
    if (p == e)
        Fail();
    while (p < e) {
        const char* b = p;
        while (p < e && !IsLineEnd(static_cast<unsigned char>(*p)))
            ++p;
        builder.Line(b, p);
        if (p < e)
            ++p;
    }
    return builder.Finish();
}

TSampleTable ReadTextSample(const std::string& fileName, const TProgressProc& progress) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
    if (!file)
        Fail();
    // Reading takes most of the time; handing the columns over the rest.
    std::error_code sizeError;
    const double size = static_cast<double>(std::filesystem::file_size(fileName, sizeError));
    const TProgressProc reading = sizeError || size <= 0 ? TProgressProc() : ProgressPart(progress, 0, 0.9);
    double done = 0;
    TSampleBuilder builder;
    constexpr std::size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> buf(new char[kChunk]);
    std::string carry; // a line that crosses the end of a chunk
    bool any = false;
    for (;;) {
        std::size_t got = std::fread(buf.get(), 1, kChunk, file.get());
        if (got == 0) {
            if (std::ferror(file.get()))
                Fail();
            break;
        }
        any = true;
        done += static_cast<double>(got);
        if (reading)
            reading(done / size);
        const char* p = buf.get();
        const char* e = p + got;
        while (p < e) {
            const char* b = p;
            while (p < e && !IsLineEnd(static_cast<unsigned char>(*p)))
                ++p;
            if (p == e) {
                carry.append(b, p);
                break;
            }
            if (!carry.empty()) {
                carry.append(b, p);
                builder.Line(carry.data(), carry.data() + carry.size());
                carry.clear();
            } else {
                builder.Line(b, p);
            }
            ++p;
        }
    }
    if (!any)
        Fail();
    if (!carry.empty())
        builder.Line(carry.data(), carry.data() + carry.size());
    return builder.Finish(ProgressPart(progress, 0.9, 1.0));
}

} // namespace nirvex

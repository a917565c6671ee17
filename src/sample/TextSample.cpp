#include "sample/TextSample.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"

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

// A sign starts a value when a digit (or a full stop and a digit) follows, unless it stands right
// after a digit or a full stop: "1-2" stays two values.
inline bool StartsSignedValue(const char* p, const char* begin, const char* e) {
    if (p > begin && (IsDigit(static_cast<unsigned char>(p[-1])) || p[-1] == '.'))
        return false;
    if (p + 1 < e && IsDigit(static_cast<unsigned char>(p[1])))
        return true;
    return p + 2 < e && p[1] == '.' && IsDigit(static_cast<unsigned char>(p[2]));
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

// Feeds lines to the header and record handlers; a line ends at CR, LF or CR LF.
class TSampleBuilder {
public:
    // The file started with a UTF-8 byte order mark.
    void SetUtf8Mark() { utf8Mark_ = true; }
    // One run of bytes up to a CR or LF (`end` that byte, 0 at the end of the file).
    void Segment(const char* b, const char* e, char end) {
        const bool pairTail = b == e && end == '\n' && afterCr_; // the LF of a CR LF ends no line
        afterCr_ = end == '\r';
        if (pairTail)
            return;
        ++lineNo_;
        Line(b, e);
    }
    TSampleTable Finish(const TProgressProc& progress = {}) {
        if (!headerDone_)
            Fail(); // empty file: empty header
        TSampleTable table;
        table.RecordCount = records_;
        table.SkippedLines = skipped_;
        table.FirstSkippedLine = firstSkipped_;
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
    void Line(const char* b, const char* e) {
        if (!headerDone_) {
            headerDone_ = true;
            const std::string_view header(b, static_cast<std::size_t>(e - b));
            names_ = ParseHeader(header, utf8Mark_ || IsUtf8Header(header));
            if (names_.empty())
                Fail();
            columns_.resize(names_.size());
            values_.resize(names_.size());
            return;
        }
        int n = static_cast<int>(names_.size());
        const int found = ScanLineValues(b, e, n, values_.data());
        if (found != n) {
            // A line without any value (blank, or words only) is no record at all.
            if (found > 0 && skipped_++ == 0)
                firstSkipped_ = lineNo_;
            return;
        }
        if (records_ == INT32_MAX)
            Fail();
        for (int k = 0; k < n; ++k)
            columns_[static_cast<std::size_t>(k)].Push(values_[static_cast<std::size_t>(k)]);
        ++records_;
    }

    bool utf8Mark_ = false;
    bool headerDone_ = false;
    bool afterCr_ = false;
    int64_t lineNo_ = 0;
    int64_t skipped_ = 0;
    int64_t firstSkipped_ = 0;
    std::vector<std::string> names_;
    std::vector<TColumnBuffer> columns_;
    std::vector<double> values_;
    int32_t records_ = 0;
};

// A character Windows-1251 cannot hold; what a broken sequence decodes to is none.
bool IsForeignLetter(char32_t cp) {
    return cp != 0xFFFD && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) && !HasCp1251Byte(cp);
}

} // namespace

int ScanLineValues(const char* p, const char* e, int expected, double* out, std::string_view* spans) {
    const char* const begin = p;
    int count = 0;
    for (;;) {
        for (; p < e; ++p) {
            const char c = *p;
            if (IsDigit(static_cast<unsigned char>(c)))
                break;
            if ((c == '-' || c == '+') && StartsSignedValue(p, begin, e))
                break;
        }
        if (p == e)
            break;
        const TScannedNumber n = ScanNumber(p, e);
        if (n.Status != TNumberScan::Ok)
            Fail();
        if (count < expected) {
            out[count] = n.Value;
            if (spans)
                spans[count] = std::string_view(p, static_cast<std::size_t>(n.End - p));
        }
        ++count;
        p = n.End;
    }
    return count;
}

bool IsUtf8Header(std::string_view line) {
    for (char c : line)
        if (static_cast<unsigned char>(c) >= 0x80)
            return IsValidUtf8(line);
    return false;
}

std::vector<std::string> ParseHeader(std::string_view line, bool utf8) {
    std::vector<std::string> names;
    if (!utf8) {
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
    // The same name characters as in Windows-1251 (Latin and the Cyrillic А–я, digits, "." and ","),
    // so a header reads alike in both encodings; letters that Windows-1251 cannot hold (ö, ß, ...)
    // belong to names too, so that such a name is not cut. Names are re-encoded, so a broken or
    // overlong sequence never reaches them.
    std::string name;
    for (std::size_t i = 0; i < line.size();) {
        const char32_t cp = DecodeUtf8(line, i);
        const bool nameChar = cp < 0x80 ? IsNameChar(static_cast<unsigned char>(cp))
                                        : (cp >= 0x410 && cp <= 0x44F) || IsForeignLetter(cp);
        if (nameChar) {
            AppendUtf8(name, cp);
        } else if (!name.empty()) {
            names.push_back(std::move(name));
            name.clear();
        }
    }
    if (!name.empty())
        names.push_back(std::move(name));
    return names;
}

bool ParseValues(std::string_view line, int expected, std::vector<double>& values) {
    values.assign(static_cast<std::size_t>(expected > 0 ? expected : 0), 0.0);
    return ScanLineValues(line.data(), line.data() + line.size(), expected, values.data()) == expected;
}

TSampleTable ParseTextSample(std::string_view bytes) {
    TSampleBuilder builder;
    if (bytes.empty())
        Fail();
    if (StripUtf8Bom(bytes))
        builder.SetUtf8Mark();
    const char* p = bytes.data();
    const char* e = p + bytes.size();
    while (p < e) {
        const char* b = p;
        while (p < e && !IsLineEnd(static_cast<unsigned char>(*p)))
            ++p;
        builder.Segment(b, p, p < e ? *p : '\0');
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
        done += static_cast<double>(got);
        if (reading)
            reading(done / size);
        const char* p = buf.get();
        const char* e = p + got;
        if (!any) {
            std::string_view head(p, got);
            if (StripUtf8Bom(head)) {
                builder.SetUtf8Mark();
                p = head.data();
            }
        }
        any = true;
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
                builder.Segment(carry.data(), carry.data() + carry.size(), *p);
                carry.clear();
            } else {
                builder.Segment(b, p, *p);
            }
            ++p;
        }
    }
    if (!any)
        Fail();
    if (!carry.empty())
        builder.Segment(carry.data(), carry.data() + carry.size(), '\0');
    return builder.Finish(ProgressPart(progress, 0.9, 1.0));
}

std::string SkippedLinesNotice(const TSampleTable& table) {
    if (table.SkippedLines <= 0)
        return "";
    return "Пропущено строк с неверным числом значений: " + std::to_string(table.SkippedLines) + " (первая — строка " +
           std::to_string(table.FirstSkippedLine) + ")";
}

} // namespace nirvex

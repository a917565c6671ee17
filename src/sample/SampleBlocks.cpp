#include "sample/SampleBlocks.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "sample/CsvScanner.h"
#include "sample/Messages.h"
#include "sample/TextSample.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>

namespace nirvex {

namespace {

[[noreturn]] void Fail() {
    throw EError(msgBadInputFile);
}

inline bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

constexpr uint64_t kOnes = 0x0101010101010101ull;

// The high bit of each byte of `w` that is zero, and no other bit.
inline uint64_t ZeroBytes(uint64_t w) {
    constexpr uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    return ~(((w & low7) + low7) | w | low7);
}

// Where a block of `bytes` may end: after the last line end whose next byte is known, a CR LF
// kept whole; 0 when there is none.
std::size_t LineBoundary(std::string_view bytes) {
    for (std::size_t i = bytes.size(); i-- > 1;) {
        const std::size_t at = i - 1;
        if (IsLineEnd(bytes[at]))
            return bytes[at] == '\r' && bytes[i] == '\n' ? i + 1 : i;
    }
    return 0;
}

// The same for CSV with quotes, where a line end inside a quoted cell ends nothing. libcsv's states
// as far as they decide where a record ends: before a cell, in a plain cell, in a quoted one, and
// after a quote in a quoted one with and without blanks since.
std::size_t QuotedBoundary(std::string_view bytes, char delimiter) {
    enum { Start, Plain, Quoted, AfterQuote, AfterQuoteBlank } state = Start;
    const bool tabDelimits = delimiter == '\t';
    std::size_t boundary = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool blank = c == ' ' || (c == '\t' && !tabDelimits);
        const bool lineEnd = IsLineEnd(c);
        switch (state) {
        case Start:
            state = c == '"' ? Quoted : lineEnd || c == delimiter || blank ? Start : Plain;
            break;
        case Plain:
            state = lineEnd || c == delimiter ? Start : Plain;
            break;
        case Quoted:
            state = c == '"' ? AfterQuote : Quoted;
            break;
        case AfterQuote:
            state = lineEnd || c == delimiter ? Start : blank ? AfterQuoteBlank : Quoted;
            break;
        case AfterQuoteBlank:
            state = lineEnd || c == delimiter ? Start : blank ? AfterQuoteBlank : c == '"' ? AfterQuote : Quoted;
            break;
        }
        if (lineEnd && state == Start)
            boundary = c == '\r' && bytes[i + 1] == '\n' ? i + 2 : i + 1;
    }
    return boundary;
}

} // namespace

TSampleBlockReader::TSampleBlockReader(const std::string& fileName, TBlockFormat format, bool forceCp1251,
                                       std::size_t blockBytes)
    : file_(std::fopen(fileName.c_str(), "rb"), &std::fclose), format_(format), blockBytes_(blockBytes) {
    if (!file_)
        Fail();
    ::posix_fadvise(::fileno(file_.get()), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::error_code ec;
    size_ = static_cast<double>(std::filesystem::file_size(fileName, ec));
    // The header, with what the first megabytes tell of the rest.
    constexpr std::size_t kProbeBytes = 4u << 20;
    Fill(kProbeBytes);
    while (!eof_ && LineBoundary(Pending()) == 0) // a header longer than the probe
        Fill(Pending().size() * 2);
    if (Pending().empty())
        Fail();
    std::string_view head = Pending();
    marked_ = StripUtf8Bom(head);
    const std::size_t start = Pending().size() - head.size();
    std::size_t data = 0;
    if (format_ == TBlockFormat::Text) {
        std::size_t n = 0;
        while (n < head.size() && !IsLineEnd(head[n]))
            ++n;
        const std::string_view line = head.substr(0, n);
        names_ = ParseHeader(line, marked_ || IsUtf8Header(line));
        if (names_.empty())
            Fail();
        if (n < head.size())
            n += head[n] == '\r' && n + 1 < head.size() && head[n + 1] == '\n' ? 2 : 1;
        data = start + n;
    } else {
        const std::string_view probe = eof_ ? head : head.substr(0, LineBoundary(head));
        utf8_ = marked_ || (!forceCp1251 && IsValidUtf8(probe));
        delimiter_ = DetectDelimiter(probe);
        TCsvScanner scan(probe, delimiter_);
        std::vector<std::string> cells;
        int32_t line = 0;
        if (!scan.Next(cells, line))
            Fail();
        names_ = ColumnNames(cells, utf8_);
        headerLines_ = scan.Lines();
        data = start + scan.Consumed();
    }
    begin_ += data;
    handedOut_ = static_cast<double>(data);
}

TSampleBlockReader::~TSampleBlockReader() = default;

void TSampleBlockReader::Fill(std::size_t bytes) {
    if (eof_ || end_ - begin_ >= bytes)
        return;
    if (capacity_ - begin_ < bytes) { // the pending bytes to the start, of a larger buffer if need be
        const std::size_t have = end_ - begin_;
        if (capacity_ < bytes) {
            std::unique_ptr<char[]> room(new char[bytes]); // read into, so never cleared
            if (have > 0)
                std::memcpy(room.get(), buffer_.get() + begin_, have);
            buffer_ = std::move(room);
            capacity_ = bytes;
        } else if (have > 0) {
            std::memmove(buffer_.get(), buffer_.get() + begin_, have);
        }
        begin_ = 0;
        end_ = have;
    }
    while (!eof_ && end_ - begin_ < bytes) {
        const std::size_t got = std::fread(buffer_.get() + end_, 1, begin_ + bytes - end_, file_.get());
        end_ += got;
        if (got == 0) {
            if (std::ferror(file_.get()))
                Fail();
            eof_ = true;
        }
    }
}

std::size_t TSampleBlockReader::Boundary(std::string_view bytes) const {
    if (format_ == TBlockFormat::Csv && std::memchr(bytes.data(), '"', bytes.size()) != nullptr)
        return QuotedBoundary(bytes, delimiter_);
    return LineBoundary(bytes);
}

bool TSampleBlockReader::Next(std::string& block) {
    for (std::size_t want = blockBytes_;; want *= 2) {
        Fill(want + 1);
        const std::string_view pending = Pending();
        if (pending.empty())
            return false;
        std::size_t cut = pending.size(); // the rest of the file
        if (!eof_ || cut > want) {
            cut = Boundary(pending.substr(0, want + 1));
            if (cut == 0) // a record longer than a block
                continue;
        }
        block.assign(pending.data(), cut);
        begin_ += cut;
        handedOut_ += static_cast<double>(cut);
        return true;
    }
}

double TSampleBlockReader::Done() const {
    return size_ > 0 ? std::min(1.0, handedOut_ / size_) : 1.0;
}

TTextBlockCursor::TTextBlockCursor(std::string_view block, int fieldCount)
    : p_(block.data()), e_(block.data() + block.size()), fieldCount_(fieldCount),
      values_(static_cast<std::size_t>(fieldCount)), spans_(static_cast<std::size_t>(fieldCount)) {}

bool TTextBlockCursor::Next(int& found, int64_t& line) {
    while (p_ < e_) {
        const char* b = p_;
        while (p_ < e_ && !IsLineEnd(*p_))
            ++p_;
        const char* end = p_;
        const char ender = p_ < e_ ? *p_++ : '\0';
        const bool pairTail = b == end && ender == '\n' && afterCr_; // the LF of a CR LF ends no line
        afterCr_ = ender == '\r';
        if (pairTail)
            continue;
        ++lines_;
        found = ScanLineValues(b, end, fieldCount_, values_.data(), spans_.data());
        if (found > 0) {
            line = lines_;
            return true;
        }
    }
    return false;
}

class TCsvBlockCursor::TQuoted {
public:
    TQuoted(std::string_view block, char delimiter) : Scan(block, delimiter) {}
    TCsvScanner Scan;
    std::vector<std::string> Cells;
};

TCsvBlockCursor::TCsvBlockCursor(std::string_view block, char delimiter)
    : p_(block.data()), e_(block.data() + block.size()), delimiter_(delimiter) {
    if (std::memchr(block.data(), '"', block.size()) != nullptr)
        quoted_ = std::make_unique<TQuoted>(block, delimiter);
}

TCsvBlockCursor::~TCsvBlockCursor() = default;

int64_t TCsvBlockCursor::Lines() const {
    return quoted_ ? quoted_->Scan.Lines() : lines_;
}

bool TCsvBlockCursor::Next(std::vector<std::string_view>& cells, int64_t& line) {
    cells.clear();
    if (quoted_) {
        int32_t at = 0;
        if (!quoted_->Scan.Next(quoted_->Cells, at))
            return false;
        for (const std::string& cell : quoted_->Cells)
            cells.emplace_back(cell);
        line = at;
        return true;
    }
    // Without quotes every line is a record, but one of blanks alone (libcsv skips it); cells keep
    // the blanks around them, which every reader of a cell trims as libcsv would.
    // Kept in locals: the cells written through `cells` could alias the members otherwise.
    const char delimiter = delimiter_;
    const char blankTab = delimiter == '\t' ? ' ' : '\t';
    const char* p = p_;
    const char* const e = e_;
    while (p < e) {
        const char* cell = p;
        // The delimiters and the line end, eight bytes at a time while eight remain.
        for (;;) {
            uint64_t hits = 0;
            if (e - p >= 8) {
                uint64_t w;
                std::memcpy(&w, p, 8);
                hits = ZeroBytes(w ^ (kOnes * static_cast<unsigned char>(delimiter))) | ZeroBytes(w ^ (kOnes * '\n')) |
                       ZeroBytes(w ^ (kOnes * '\r'));
                if (hits == 0) {
                    p += 8;
                    continue;
                }
                p += __builtin_ctzll(hits) / 8;
            } else {
                while (p < e && *p != delimiter && !IsLineEnd(*p))
                    ++p;
            }
            if (p == e || IsLineEnd(*p))
                break;
            cells.emplace_back(cell, static_cast<std::size_t>(p - cell));
            cell = ++p;
        }
        cells.emplace_back(cell, static_cast<std::size_t>(p - cell));
        if (p < e)
            p += *p == '\r' && p + 1 < e && p[1] == '\n' ? 2 : 1;
        ++lines_;
        // A line of blanks alone has no delimiter (libcsv skips it).
        bool blank = cells.size() == 1;
        for (const char* c = cell; blank && c < cell + cells[0].size(); ++c)
            blank = *c == ' ' || *c == blankTab;
        if (!blank) {
            p_ = p;
            line = lines_;
            return true;
        }
        cells.clear();
    }
    p_ = p;
    return false;
}

} // namespace nirvex

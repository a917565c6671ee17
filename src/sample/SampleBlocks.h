#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

enum class TBlockFormat { Text, Csv };

// A sample text or CSV file handed out in blocks of whole records, so that whoever reads a file of any
// size holds a block or two of it: the header is read on opening (with the rules of the whole-file
// readers: names, and for CSV the delimiter and the encoding), then block after block. Each block
// starts where a record may start and ends after a line end that closes a record (a CR LF is never
// split), or at the end of the file. A file that cannot be opened or read, an empty one and a header
// without names raise "Ошибка во входном файле"; so does a CSV header the parser refuses.
class TSampleBlockReader {
public:
    static constexpr std::size_t kBlockBytes = 512 * 1024;

    // `forceCp1251`: read CSV cells as Windows-1251 whatever the first megabytes looked like. Blocks
    // are about `blockBytes` long.
    TSampleBlockReader(const std::string& fileName, TBlockFormat format, bool forceCp1251 = false,
                       std::size_t blockBytes = kBlockBytes);
    ~TSampleBlockReader();
    TSampleBlockReader(const TSampleBlockReader&) = delete;
    TSampleBlockReader& operator=(const TSampleBlockReader&) = delete;

    const std::vector<std::string>& Names() const { return names_; }
    // Lines the header took, counted as the whole-file readers count them.
    int64_t HeaderLines() const { return headerLines_; }
    char Delimiter() const { return delimiter_; }
    // CSV text is taken as UTF-8 (a byte order mark, or valid UTF-8 as far as the first megabytes
    // show), else as Windows-1251. A block that is not valid UTF-8 while this holds, without a byte
    // order mark, means the whole file is Windows-1251 after all.
    bool Utf8() const { return utf8_; }
    bool Utf8Marked() const { return marked_; }
    // The next block; false at the end of the file.
    bool Next(std::string& block);
    // Share of the file's bytes handed out.
    double Done() const;

private:
    // Reads until `bytes` are pending or the file ends.
    void Fill(std::size_t bytes);
    std::size_t Boundary(std::string_view bytes) const;
    std::string_view Pending() const { return {buffer_.get() + begin_, end_ - begin_}; }

    std::unique_ptr<FILE, int (*)(FILE*)> file_;
    TBlockFormat format_;
    std::vector<std::string> names_;
    int64_t headerLines_ = 1;
    char delimiter_ = ';';
    bool utf8_ = false;
    bool marked_ = false;
    bool eof_ = false;
    std::size_t blockBytes_;
    // Bytes read and not yet handed out: [begin_, end_) of a buffer that is never cleared.
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0, begin_ = 0, end_ = 0;
    double size_ = 0;
    double handedOut_ = 0;
};

// The lines of a block of a sample text file that hold values, each with its line within the block
// (from 1). A malformed number raises "Ошибка во входном файле".
class TTextBlockCursor {
public:
    TTextBlockCursor(std::string_view block, int fieldCount);
    // The next line with any value: `found` values, of which the first fieldCount are in Values()
    // with the text of each in Spans().
    bool Next(int& found, int64_t& line);
    const double* Values() const { return values_.data(); }
    const std::string_view* Spans() const { return spans_.data(); }
    // Lines passed so far; after the last record, the block's lines.
    int64_t Lines() const { return lines_; }

private:
    const char* p_;
    const char* e_;
    int fieldCount_;
    bool afterCr_ = false;
    int64_t lines_ = 0;
    std::vector<double> values_;
    std::vector<std::string_view> spans_;
};

// The records of a block of a CSV file, each with the line it starts on within the block (from 1),
// as libcsv splits them; a block without quotes is split directly, with the same result.
class TCsvBlockCursor {
public:
    TCsvBlockCursor(std::string_view block, char delimiter);
    ~TCsvBlockCursor();
    TCsvBlockCursor(const TCsvBlockCursor&) = delete;
    TCsvBlockCursor& operator=(const TCsvBlockCursor&) = delete;
    // The cells stay valid until the next call.
    bool Next(std::vector<std::string_view>& cells, int64_t& line);
    int64_t Lines() const;

private:
    class TQuoted;
    const char* p_;
    const char* e_;
    char delimiter_;
    int64_t lines_ = 0;
    std::unique_ptr<TQuoted> quoted_; // libcsv, for a block with quotes
};

} // namespace nirvex

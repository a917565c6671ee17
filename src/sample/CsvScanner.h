#pragma once

// The CSV reading that the whole-file reader and the block reader share: records through libcsv
// with the file lines they start on, the delimiter, cells as numbers and the header's names.
// Included by the sample library's own sources only (it needs libcsv's header).

#include "common/NumberText.h"

#include <csv.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

// What the parser's callbacks collect. They run inside the C library, so they never throw.
struct TCsvCallbackState {
    std::vector<std::string> Cells;
    std::vector<std::string> Record;
    bool Ready = false;
    bool OutOfMemory = false;
};

// Records of a CSV text one by one, each with the line it starts on (counted from 1 within the
// text). The text is fed to the parser one physical line (CR, LF or CR LF) at a time so that lines
// can be counted. Raises "Ошибка во входном файле" when the parser fails.
class TCsvScanner {
public:
    TCsvScanner(std::string_view bytes, char delimiter);
    ~TCsvScanner();
    TCsvScanner(const TCsvScanner&) = delete;
    TCsvScanner& operator=(const TCsvScanner&) = delete;

    bool Next(std::vector<std::string>& cells, int32_t& line);
    // Share of the text handed to the parser so far.
    double Done() const {
        return size_ > 0 ? 1.0 - static_cast<double>(rest_.size()) / static_cast<double>(size_) : 1.0;
    }
    // Bytes and lines handed to the parser so far: after a record, where the next one may start.
    std::size_t Consumed() const { return size_ - rest_.size(); }
    int32_t Lines() const { return lines_; }

private:
    std::string_view TakeLine();
    void Feed(std::string_view line);

    csv_parser parser_{};
    TCsvCallbackState state_;
    std::string_view rest_;
    std::size_t size_;
    char delimiter_;
    int32_t lines_ = 0;
    int32_t start_ = 0;
    bool open_ = false;
    bool finished_ = false;
};

// The delimiter that splits the header and the first records into the same number (more than
// one) of cells, ";" first, then tab, then ",". Without one, the delimiter that splits the header
// most, so that a short record is reported as such.
char DetectDelimiter(std::string_view bytes);

// The cell as a number; Malformed for anything else, blanks and gaps included.
TScannedNumber CellNumber(std::string_view cell, bool commaIsDecimal);

// The header's cells as field names: decoded, a blank one named by its position; a repeated
// name raises msgCsvDuplicateName.
std::vector<std::string> ColumnNames(const std::vector<std::string>& cells, bool utf8);

} // namespace nirvex

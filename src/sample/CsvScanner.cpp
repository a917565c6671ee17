#include "sample/CsvScanner.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "sample/Messages.h"

#include <set>

namespace nirvex {

namespace {

int IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}
int IsSpaceOnly(unsigned char c) {
    return c == ' ';
}

void OnCell(void* text, std::size_t len, void* data) {
    auto* st = static_cast<TCsvCallbackState*>(data);
    try {
        st->Cells.emplace_back(len ? std::string(static_cast<const char*>(text), len) : std::string());
    } catch (...) {
        st->OutOfMemory = true;
    }
}

void OnRecord(int, void* data) {
    auto* st = static_cast<TCsvCallbackState*>(data);
    st->Record.swap(st->Cells);
    st->Cells.clear();
    st->Ready = true;
}

} // namespace

TCsvScanner::TCsvScanner(std::string_view bytes, char delimiter)
    : rest_(bytes), size_(bytes.size()), delimiter_(delimiter) {
    if (csv_init(&parser_, 0) != 0)
        throw EError(msgBadInputFile);
    csv_set_delim(&parser_, static_cast<unsigned char>(delimiter));
    csv_set_space_func(&parser_, delimiter == '\t' ? IsSpaceOnly : IsBlank);
}

TCsvScanner::~TCsvScanner() {
    csv_free(&parser_);
}

bool TCsvScanner::Next(std::vector<std::string>& cells, int32_t& line) {
    while (!state_.Ready) {
        if (rest_.empty()) {
            if (finished_)
                return false;
            finished_ = true;
            csv_fini(&parser_, OnCell, OnRecord, &state_);
        } else {
            Feed(TakeLine());
        }
        if (state_.OutOfMemory)
            throw EError(msgBadInputFile);
    }
    state_.Ready = false;
    open_ = false;
    cells.swap(state_.Record);
    line = start_;
    return true;
}

std::string_view TCsvScanner::TakeLine() {
    std::size_t n = 0;
    while (n < rest_.size() && rest_[n] != '\r' && rest_[n] != '\n')
        ++n;
    if (n < rest_.size())
        n += (rest_[n] == '\r' && n + 1 < rest_.size() && rest_[n + 1] == '\n') ? 2 : 1;
    std::string_view line = rest_.substr(0, n);
    rest_.remove_prefix(n);
    return line;
}

void TCsvScanner::Feed(std::string_view line) {
    if (lines_ == INT32_MAX)
        throw EError(msgBadInputFile);
    ++lines_;
    if (!open_) {
        // A record starts on the first line that holds more than blanks.
        for (unsigned char c : line)
            if (c != '\r' && c != '\n' && !(c == ' ' || (c == '\t' && delimiter_ != '\t'))) {
                open_ = true;
                start_ = lines_;
                break;
            }
    }
    if (csv_parse(&parser_, line.data(), line.size(), OnCell, OnRecord, &state_) != line.size())
        throw EError(msgBadInputFile);
}

// The delimiter that splits the header and the first records into the same number (more than
// one) of cells, ";" first, then tab, then ",". Without one, the delimiter that splits the header
// most, so that a short record is reported as such.
char DetectDelimiter(std::string_view bytes) {
    constexpr char kOrder[] = {';', '\t', ','};
    constexpr int kProbeRecords = 10;
    char best = ';';
    std::size_t bestHeader = 1;
    for (char d : kOrder) {
        TCsvScanner scan(bytes, d);
        std::vector<std::string> cells;
        int32_t line = 0;
        if (!scan.Next(cells, line))
            return ';';
        const std::size_t header = cells.size();
        if (header > bestHeader) {
            best = d;
            bestHeader = header;
        }
        bool same = header > 1;
        for (int i = 0; same && i < kProbeRecords && scan.Next(cells, line); ++i)
            same = cells.size() == header;
        if (same)
            return d;
    }
    return best;
}

// The cell as a number; Malformed for anything else, blanks and gaps included.
TScannedNumber CellNumber(std::string_view cell, bool commaIsDecimal) {
    const std::size_t b = cell.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const std::size_t n = cell.find_last_not_of(" \t") + 1;
    const char* end = cell.data() + n;
    TScannedNumber v = ScanNumber(cell.data() + b, end, commaIsDecimal);
    if (v.Status == TNumberScan::Ok && v.End != end)
        v.Status = TNumberScan::Malformed;
    return v;
}

// Broken sequences of a file taken as UTF-8 become U+FFFD, so names stay valid text.
std::vector<std::string> ColumnNames(const std::vector<std::string>& cells, bool utf8) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        std::string name = utf8 ? CleanUtf8(cells[k]) : Cp1251ToUtf8(cells[k]);
        if (name.empty())
            name = msgCsvUnnamedColumn + std::to_string(k + 1);
        if (!seen.insert(name).second)
            throw EError(msgCsvDuplicateName + name);
        names.push_back(std::move(name));
    }
    return names;
}

} // namespace nirvex

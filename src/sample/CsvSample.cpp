#include "sample/CsvSample.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "sample/Categories.h"
#include "sample/TextSample.h"

#include <csv.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace nirvex {

namespace {

[[noreturn]] void FailFile() {
    throw EError(msgBadInputFile);
}

int IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}
int IsSpaceOnly(unsigned char c) {
    return c == ' ';
}

// What the parser's callbacks collect. They run inside the C library, so they never throw.
struct TCallbackState {
    std::vector<std::string> Cells;
    std::vector<std::string> Record;
    bool Ready = false;
    bool OutOfMemory = false;
};

void OnCell(void* text, std::size_t len, void* data) {
    auto* st = static_cast<TCallbackState*>(data);
    try {
        st->Cells.emplace_back(len ? std::string(static_cast<const char*>(text), len) : std::string());
    } catch (...) {
        st->OutOfMemory = true;
    }
}

void OnRecord(int, void* data) {
    auto* st = static_cast<TCallbackState*>(data);
    st->Record.swap(st->Cells);
    st->Cells.clear();
    st->Ready = true;
}

// Records of a CSV text one by one, each with the file line it starts on. The text is fed to the
// parser one physical line (CR, LF or CR LF) at a time so that lines can be counted.
class TCsvScanner {
public:
    TCsvScanner(std::string_view bytes, char delimiter) : rest_(bytes), size_(bytes.size()), delimiter_(delimiter) {
        if (csv_init(&parser_, 0) != 0)
            FailFile();
        csv_set_delim(&parser_, static_cast<unsigned char>(delimiter));
        csv_set_space_func(&parser_, delimiter == '\t' ? IsSpaceOnly : IsBlank);
    }
    ~TCsvScanner() { csv_free(&parser_); }
    // Share of the text handed to the parser so far.
    double Done() const {
        return size_ > 0 ? 1.0 - static_cast<double>(rest_.size()) / static_cast<double>(size_) : 1.0;
    }
    TCsvScanner(const TCsvScanner&) = delete;
    TCsvScanner& operator=(const TCsvScanner&) = delete;

    bool Next(std::vector<std::string>& cells, int32_t& line) {
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
                FailFile();
        }
        state_.Ready = false;
        open_ = false;
        cells.swap(state_.Record);
        line = start_;
        return true;
    }

private:
    std::string_view TakeLine() {
        std::size_t n = 0;
        while (n < rest_.size() && rest_[n] != '\r' && rest_[n] != '\n')
            ++n;
        if (n < rest_.size())
            n += (rest_[n] == '\r' && n + 1 < rest_.size() && rest_[n + 1] == '\n') ? 2 : 1;
        std::string_view line = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return line;
    }

    void Feed(std::string_view line) {
        if (lines_ == INT32_MAX)
            FailFile();
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
            FailFile();
    }

    csv_parser parser_{};
    TCallbackState state_;
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
TScannedNumber CellNumber(const std::string& cell, bool commaIsDecimal) {
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
std::string CleanUtf8(const std::string& text) {
    if (IsValidUtf8(text))
        return text;
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

} // namespace

namespace {

// A column's kind as far as the records read so far tell.
enum class TColumnState { Gaps, Number, Category, TooMany };

struct TColumn {
    TColumnState State = TColumnState::Gaps;
    bool Reread = false; // turned to text after numbers: its categories are collected in a second pass
    std::vector<double> Values;
    TCategoryCollector Categories;
};

} // namespace

TSampleTable ParseCsvSample(std::string_view bytes, const TProgressProc& progress) {
    const bool utf8 = StripUtf8Bom(bytes) || IsValidUtf8(bytes);
    const char delimiter = DetectDelimiter(bytes);
    const bool commaIsDecimal = delimiter != ',';
    const auto decode = [utf8](std::string_view v) {
        return utf8 ? CleanUtf8(std::string(v)) : Cp1251ToUtf8(std::string(v));
    };
    std::vector<std::string> cells;
    int32_t line = 0;
    std::vector<std::string> names;
    std::vector<TColumn> columns;
    int32_t recordCount = 0;
    {
        TCsvScanner scan(bytes, delimiter);
        if (!scan.Next(cells, line))
            FailFile();
        names = ColumnNames(cells, utf8);
        columns.resize(names.size());
        while (scan.Next(cells, line)) {
            if (cells.size() != names.size())
                throw EError(msgCsvBadCount + std::to_string(line));
            if (recordCount == INT32_MAX)
                FailFile();
            for (std::size_t k = 0; k < cells.size(); ++k) {
                TColumn& c = columns[k];
                const std::string& cell = cells[k];
                if (c.State == TColumnState::TooMany || c.Reread)
                    continue;
                if (c.State != TColumnState::Category) {
                    const TScannedNumber num = CellNumber(cell, commaIsDecimal);
                    if (num.Status == TNumberScan::Ok) {
                        c.State = TColumnState::Number;
                        c.Values.push_back(num.Value);
                        continue;
                    }
                    if (IsGapText(cell)) {
                        c.Values.push_back(std::nan(""));
                        continue;
                    }
                    if (num.Status == TNumberScan::Overflow)
                        throw EError(msgCsvBadValue + names[k] + ", строка " + std::to_string(line));
                    if (c.State == TColumnState::Number) {
                        c.Reread = true; // the numbers before this record are text of the same column
                        c.Values = {};
                        continue;
                    }
                    c.State = TColumnState::Category;
                } else if (IsGapText(cell)) {
                    c.Values.push_back(std::nan(""));
                    continue;
                }
                const int32_t pos = c.Categories.Add(TrimBlanks(cell), decode);
                if (pos < 0) {
                    c.State = TColumnState::TooMany;
                    c.Values = {};
                    continue;
                }
                c.Values.push_back(pos);
            }
            ++recordCount;
            if (progress && (recordCount & 4095) == 0)
                progress(scan.Done() * 0.99);
        }
    }
    bool reread = false;
    for (TColumn& c : columns)
        if (c.Reread) {
            reread = true;
            c.State = TColumnState::Category;
            c.Values.reserve(static_cast<std::size_t>(recordCount));
        }
    if (reread) { // rare: a column of numbers with text further down
        TCsvScanner scan(bytes, delimiter);
        scan.Next(cells, line);
        while (scan.Next(cells, line))
            for (std::size_t k = 0; k < cells.size(); ++k) {
                TColumn& c = columns[k];
                if (!c.Reread || c.State == TColumnState::TooMany)
                    continue;
                if (IsGapText(cells[k])) {
                    c.Values.push_back(std::nan(""));
                    continue;
                }
                const int32_t pos = c.Categories.Add(TrimBlanks(cells[k]), decode);
                if (pos < 0) {
                    c.State = TColumnState::TooMany;
                    c.Values = {};
                } else {
                    c.Values.push_back(pos);
                }
            }
    }
    if (progress)
        progress(1.0);

    TSampleTable table;
    table.RecordCount = recordCount;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        TColumn& c = columns[k];
        if (c.State == TColumnState::TooMany) {
            table.TextColumns.push_back(names[k]);
            continue;
        }
        TFieldInfo f;
        f.FieldName = names[k];
        f.Values = std::move(c.Values);
        if (c.State == TColumnState::Category) {
            f.Kind = TFieldKind::Category;
            f.NormType = TNormMethod::Category;
            f.Categories = c.Categories.TakeNames();
        }
        table.Fields.push_back(std::move(f));
    }
    if (table.Fields.empty()) // nothing but long text: no column to learn from
        throw EError(msgCsvBadValue + names[0] + ", строка 2");
    return table;
}

TSampleTable ReadCsvSample(const std::string& fileName, const TProgressProc& progress) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
    if (!file)
        FailFile();
    std::string bytes;
    char chunk[65536];
    for (;;) {
        std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes.append(chunk, got);
        if (got < sizeof chunk)
            break;
    }
    if (std::ferror(file.get()))
        FailFile();
    return ParseCsvSample(bytes, progress);
}

std::string TextColumnsNote(const TSampleTable& table) {
    if (table.TextColumns.empty())
        return "";
    std::string note = msgTooManyTexts;
    for (std::size_t i = 0; i < table.TextColumns.size(); ++i)
        note += (i ? ", " : "") + table.TextColumns[i];
    return note;
}

} // namespace nirvex

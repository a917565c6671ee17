#include "sample/CsvSample.h"

#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "sample/Categories.h"
#include "sample/CsvScanner.h"
#include "sample/TextSample.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace nirvex {

namespace {

[[noreturn]] void FailFile() {
    throw EError(msgBadInputFile);
}

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

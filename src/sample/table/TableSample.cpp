#include "sample/table/TableSample.h"

#include "common/Errors.h"
#include "sample/Categories.h"
#include "sample/table/DbTable.h"
#include "sample/table/DbfTable.h"
#include "sample/table/ParadoxTable.h"

#include <cmath>

namespace nirvex {

TSampleTable ReadTableSample(const std::string& fileName, const TStatusProc& status, const TProgressProc& progress) {
    auto table = CreateDbTable(fileName);
    table->Close();
    const auto cut = fileName.find_last_of('/');
    const std::string databaseName = cut == std::string::npos ? std::string() : fileName.substr(0, cut + 1);
    table->Open(databaseName, fileName.substr(databaseName.size()));

    TSampleTable sample;
    sample.RecordCount = table->RecordCount();
    const auto records = static_cast<std::size_t>(sample.RecordCount);
    std::vector<int32_t> byName; // where the name leads; a repeated name would lead to its first field
    std::vector<bool> text;      // read as text: character and logical fields
    std::vector<TCategoryCollector> categories;
    for (int32_t i = 0; i < table->FieldCount(); ++i) {
        const TDbFieldType type = table->FieldType(i);
        if (type == TDbFieldType::Other)
            continue;
        TFieldInfo f;
        f.FieldName = table->FieldName(i);
        f.TableFieldNo = i;
        f.Values.resize(records);
        sample.Fields.push_back(std::move(f));
        byName.push_back(table->FieldIndex(sample.Fields.back().FieldName));
        text.push_back(type == TDbFieldType::Text || type == TDbFieldType::Logical);
        categories.emplace_back();
    }
    if (!sample.Fields.empty() && (records == 0 || table->Eof()))
        throw EError(msgBadTableValue + sample.Fields.front().FieldName);

    std::string value;
    const auto same = [](std::string_view v) { return std::string(v); };
    std::size_t r = 0;
    for (; !table->Eof() && r < records; ++r) {
        for (std::size_t k = 0; k < sample.Fields.size(); ++k) {
            TFieldInfo& f = sample.Fields[k];
            if (text[k]) {
                // A blank value or a null is a gap, as is a gap word.
                int32_t pos = -1;
                if (table->GetText(f.TableFieldNo, value) && !IsGapText(value))
                    pos = categories[k].Add(TrimBlanks(value), same);
                f.Values[r] = pos >= 0 ? pos : std::nan("");
                continue;
            }
            bool isNull = true;
            const double v = r == 0 || byName[k] != f.TableFieldNo ? table->GetFloat(f.TableFieldNo, isNull)
                                                                   : table->GetFloat(f.FieldName, isNull);
            // A blank number or a null is a gap; text that is no number is an error.
            if (isNull && !table->BlankNumber(f.TableFieldNo))
                throw EError(msgBadTableValue + f.FieldName);
            f.Values[r] = isNull ? std::nan("") : v;
        }
        table->Next();
        if (r == 0 && status)
            status(msgTableLoading);
        if (progress && r % 4096 == 4095)
            progress(static_cast<double>(r + 1) / static_cast<double>(records));
    }
    if (r < records && !sample.Fields.empty())
        throw EError(msgBadTableValue + sample.Fields.front().FieldName);
    table->Close();
    // Text fields of too many values are left out, as in a CSV file.
    std::vector<TFieldInfo> kept;
    for (std::size_t k = 0; k < sample.Fields.size(); ++k) {
        TFieldInfo& f = sample.Fields[k];
        if (text[k] && categories[k].TooMany()) {
            sample.TextColumns.push_back(f.FieldName);
            continue;
        }
        // A text field of nothing but blanks is all gaps, as a CSV column would be.
        if (text[k] && !categories[k].Empty()) {
            f.Kind = TFieldKind::Category;
            f.NormType = TNormMethod::Category;
            f.Categories = categories[k].TakeNames();
        }
        kept.push_back(std::move(f));
    }
    sample.Fields = std::move(kept);
    if (progress)
        progress(1.0);
    return sample;
}

std::unique_ptr<TDbTable> CreateDbTable(const std::string& fileName) {
    const auto slash = fileName.find_last_of('/');
    const auto dot = fileName.find_last_of('.');
    std::string ext;
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        for (char c : fileName.substr(dot))
            ext += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (ext == ".DBF")
        return std::make_unique<TDbfTable>();
    if (ext == ".DB")
        return std::make_unique<TParadoxTable>();
    throw EError(msgUnknownTableKind + fileName);
}

} // namespace nirvex

#include "wizard/PredictPlan.h"

#include "common/Cp1251.h"
#include "common/CsvCell.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "sample/Categories.h"
#include "sample/FieldName.h"
#include "sample/Messages.h"
#include "sample/Normalize.h"
#include "wizard/Messages.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace nirvex {

namespace {

// The cell as a number, as the CSV reader takes one: blanks around, a decimal comma when allowed.
TScannedNumber CsvNumber(std::string_view cell, bool commaIsDecimal) {
    const std::string_view t = TrimBlanks(cell);
    if (t.empty())
        return {};
    TScannedNumber v = ScanNumber(t.data(), t.data() + t.size(), commaIsDecimal);
    if (v.Status == TNumberScan::Ok && v.End != t.data() + t.size())
        v.Status = TNumberScan::Malformed;
    return v;
}

// A text of at most 16 bytes (a number as written) copied by fixed-size moves rather than a call.
char* CopyShort(char* out, std::string_view text) {
    const std::size_t n = text.size();
    const char* src = text.data();
    if (n >= 8) {
        std::memcpy(out, src, 8);
        std::memcpy(out + n - 8, src + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(out, src, 4);
        std::memcpy(out + n - 4, src + n - 4, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = src[i];
    }
    return out + n;
}

} // namespace

TPredictPlan::TPredictPlan(const TNetModel& m, TSourceKind kind, const std::vector<std::string>& columns)
    : model_(m), kind_(kind), inputs_(NetOrder(m.Fields, TFieldRole::Input)),
      targets_(NetOrder(m.Fields, TFieldRole::Target)), columnCount_(columns.size()) {
    for (const TFieldInfo* f : inputs_) {
        int found = -1;
        for (std::size_t c = 0; c < columns.size() && found < 0; ++c)
            if (SameFieldName(columns[c], f->FieldName))
                found = static_cast<int>(c);
        if (found < 0)
            throw EError(msgInputFieldMissing + f->FieldName);
        inputColumns_.push_back(found);
    }
    for (const TFieldInfo* f : targets_) {
        int found = -1;
        for (std::size_t c = 0; c < columns.size() && found < 0; ++c)
            if (SameFieldName(columns[c], f->FieldName))
                found = static_cast<int>(c);
        actualColumns_.push_back(found);
    }
    SetForm({});
}

bool TPredictPlan::HasActuals() const {
    return std::any_of(actualColumns_.begin(), actualColumns_.end(), [](int c) { return c >= 0; });
}

int TPredictPlan::ReadCell(const TFieldInfo& f, const TCell& cell, double& value, std::string& unseen,
                           TBlockFailure& failure, const std::string& column) const {
    const std::string& name = f.FieldName;
    value = std::nan("");
    auto fail = [&](std::function<std::string(int64_t, int64_t)> message) {
        failure.Message = std::move(message);
        return -1;
    };
    if (cell.Kind == TCell::TKind::Number) {
        if (!f.IsCategory()) {
            value = cell.Value;
            return 1;
        }
        // A number names a category value by its general form.
        unseen = FormatGeneral(cell.Value, 15);
        const int32_t pos = FindCategory(f.Categories, unseen);
        value = pos;
        return pos < 0 ? 0 : 1;
    }
    if (cell.Kind != TCell::TKind::Text || IsGapText(cell.Text))
        return 1;
    if (!f.IsCategory()) {
        const TScannedNumber n = kind_ == TSourceKind::Csv ? CsvNumber(cell.Text, commaIsDecimal_) : TScannedNumber{};
        if (n.Status == TNumberScan::Overflow)
            return fail([column](int64_t, int64_t line) {
                return msgCsvBadValue + column + ", строка " + std::to_string(line);
            });
        if (n.Status != TNumberScan::Ok)
            return fail([name](int64_t r, int64_t) { return NotNumberMessage(name, r); });
        value = n.Value;
        return 1;
    }
    const std::string_view t = TrimBlanks(cell.Text);
    unseen = kind_ != TSourceKind::Csv ? std::string(t) : utf8_ ? CleanUtf8(t) : Cp1251ToUtf8(t);
    int32_t pos = FindCategory(f.Categories, unseen);
    // A number written otherwise than training saw it ("1.0" for "1") still names its value.
    if (pos < 0 && kind_ == TSourceKind::Csv)
        if (const TScannedNumber n = CsvNumber(t, commaIsDecimal_); n.Status == TNumberScan::Ok)
            pos = FindCategory(f.Categories, FormatGeneral(n.Value, 15));
    value = pos;
    return pos < 0 ? 0 : 1;
}

bool TPredictPlan::InputValue(std::size_t s, const TCell& cell, double& value, TBlockFailure& failure,
                              const std::string& column) const {
    const TFieldInfo& f = *inputs_[s];
    std::string unseen;
    const int taken = ReadCell(f, cell, value, unseen, failure, column);
    if (taken < 0)
        return false;
    const std::string name = f.FieldName;
    if (taken == 0)
        failure.Message = [unseen, name](int64_t r, int64_t) { return UnknownValueMessage(unseen, name, r); };
    else if (IsGap(value) && !f.FillGaps)
        failure.Message = [name](int64_t r, int64_t) { return GapValueMessage(name, r); };
    else
        return true;
    return false;
}

bool TPredictPlan::ActualValue(std::size_t t, const TCell& cell, TActual& actual, TBlockFailure& failure,
                               const std::string& column) const {
    const int taken = ReadCell(*targets_[t], cell, actual.Value, actual.Unseen, failure, column);
    if (taken < 0)
        return false;
    actual.Kind = taken == 0            ? TActual::TKind::Unseen
                  : IsGap(actual.Value) ? TActual::TKind::Gap
                                        : TActual::TKind::Value;
    return true;
}

TPredictPlan::TEncoded TPredictPlan::Encode(const std::string& text) const {
    if (form_.Csv)
        return {CsvCell(text), true};
    if (!form_.Cp1251)
        return {text, true};
    if (!FitsCp1251(text))
        return {text, false};
    return {Utf8ToCp1251(text), true};
}

void TPredictPlan::SetForm(const TOutputForm& form) {
    form_ = form;
    auto encode = [&](const std::vector<const TFieldInfo*>& fields, std::vector<std::vector<TEncoded>>& names) {
        names.clear();
        for (const TFieldInfo* f : fields) {
            names.emplace_back();
            for (const std::string& c : f->Categories)
                names.back().push_back(Encode(c));
        }
    };
    encode(inputs_, inputNames_);
    encode(targets_, targetNames_);
    // Every cell at its longest, a separator after each, the line end.
    auto longest = [](const std::vector<TEncoded>& names) {
        std::size_t n = kMaxGeneralLength;
        for (const TEncoded& e : names)
            n = std::max(n, e.Bytes.size());
        return n + 1;
    };
    lineBound_ = 2;
    for (const std::vector<TEncoded>& names : inputNames_)
        lineBound_ += longest(names);
    for (std::size_t t = 0; t < targetNames_.size(); ++t)
        lineBound_ += longest(targetNames_[t]) * (actualColumns_[t] >= 0 ? 2 : 1) +
                      targetNames_[t].size() * (kMaxGeneralLength + 1);
}

std::size_t TPredictPlan::LineBound(const TActual* actuals) const {
    std::size_t bound = lineBound_;
    for (std::size_t t = 0; actuals && t < targets_.size(); ++t)
        if (actualColumns_[t] >= 0 && actuals[t].Kind == TActual::TKind::Unseen)
            bound += 2 * actuals[t].Unseen.size() + 2; // quoted, its quotes doubled
    return bound;
}

std::string TPredictPlan::Header(bool& utf8) const {
    std::vector<std::string> cells;
    for (const TFieldInfo* f : inputs_)
        cells.push_back(f->FieldName);
    for (std::size_t t = 0; t < targets_.size(); ++t) {
        const std::string& name = targets_[t]->FieldName;
        cells.push_back(name);
        if (actualColumns_[t] >= 0)
            cells.push_back(name + (form_.Csv ? kActualCsv : kActualText));
        for (const std::string& c : targets_[t]->Categories)
            cells.push_back(name + ":" + c);
    }
    std::string line;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        line += form_.Csv ? CsvCell(cells[k]) : cells[k];
        line += k + 1 < cells.size() ? (form_.Csv ? "," : "\t") : form_.Eol;
    }
    if (form_.Csv || !form_.Cp1251)
        return line;
    if (!FitsCp1251(line)) {
        utf8 = true;
        return line;
    }
    return Utf8ToCp1251(line);
}

char* TPredictPlan::WriteValue(char* out, double v, const std::vector<TEncoded>& names, bool& utf8) const {
    if (IsGap(v))
        return out;
    if (names.empty())
        return WriteGeneral(out, v, 15);
    if (v >= 0 && v < static_cast<double>(names.size())) {
        const TEncoded& name = names[static_cast<std::size_t>(v)];
        utf8 = utf8 || !name.Fits;
        out = std::copy(name.Bytes.begin(), name.Bytes.end(), out);
    }
    return out;
}

char* TPredictPlan::WriteNumber(char* out, double v, std::string_view text, bool asWritten) const {
    if (asWritten)
        return CopyShort(out, text);
    char* end = text.empty() ? nullptr : WritePlainDecimal15(out, text);
    return end ? end : WriteGeneral(out, v, 15);
}

char* TPredictPlan::WriteActual(char* out, std::size_t t, const TActual& a, bool& utf8) const {
    if (a.Kind == TActual::TKind::Gap)
        return out;
    if (a.Kind == TActual::TKind::Value)
        return targetNames_[t].empty() ? WriteNumber(out, a.Value, a.Text, a.AsWritten)
                                       : WriteValue(out, a.Value, targetNames_[t], utf8);
    const TEncoded text = Encode(a.Unseen);
    utf8 = utf8 || !text.Fits;
    return std::copy(text.Bytes.begin(), text.Bytes.end(), out);
}

char* TPredictPlan::WriteLine(char* out, const double* raw, const std::string_view* texts, const bool* asWritten,
                              const double* values, const TActual* actuals, const double* const* shares,
                              bool& utf8) const {
    const char sep = form_.Csv ? ',' : '\t';
    for (std::size_t s = 0; s < inputs_.size(); ++s) {
        // A number is written from the text it was read from when that gives the same digits.
        out = inputNames_[s].empty() && !IsGap(raw[s]) ? WriteNumber(out, raw[s], texts[s], asWritten[s])
                                                       : WriteValue(out, raw[s], inputNames_[s], utf8);
        *out++ = sep;
    }
    for (std::size_t t = 0; t < targets_.size(); ++t) {
        out = WriteValue(out, values[t], targetNames_[t], utf8);
        if (actualColumns_[t] >= 0) {
            *out++ = sep;
            out = WriteActual(out, t, actuals[t], utf8);
        }
        for (std::size_t c = 0; c < targetNames_[t].size(); ++c) {
            *out++ = sep;
            out = WriteGeneral(out, shares[t][c], 15);
        }
        if (t + 1 < targets_.size())
            *out++ = sep;
    }
    for (const char* e = form_.Eol; *e; ++e)
        *out++ = *e;
    return out;
}

} // namespace nirvex

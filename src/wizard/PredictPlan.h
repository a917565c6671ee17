#pragma once

// How the records of one input file become the network's inputs and one output line each: which
// column feeds which field, how a cell is read against the project's field (a number input takes a
// number or a gap word, a category input one of the values training saw), and how a line is written.
// The prediction over a file (PredictStream.cpp) runs it on blocks of records on several threads.

#include "sample/FieldInfo.h"
#include "wizard/NetModel.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nirvex {

enum class TSourceKind { Text, Csv, Table };

// The output's bytes: sample text (tab-separated, in Windows-1251 or UTF-8) or CSV (UTF-8, ","
// between cells, quoted where needed), with its line end.
struct TOutputForm {
    bool Csv = false;
    bool Cp1251 = false;
    const char* Eol = "\r\n";
};

// The first failure in a block, told once the block's place in the file is known.
struct TBlockFailure {
    int64_t Record = -1; // within the block, from 0; -1 when there is none
    // The message for the record's number and its line in the file, both from 1.
    std::function<std::string(int64_t record, int64_t line)> Message;
};

// A cell as a source gives it: a number (with the text it was read from, when there was one), a gap,
// or text.
struct TCell {
    enum class TKind { Number, Gap, Text } Kind = TKind::Gap;
    double Value = 0;
    std::string_view Text;
};

// A target's actual value in a record: a gap, a number or a class (its position, with the text a
// number came from), or a class training never saw (its text).
struct TActual {
    enum class TKind { Gap, Value, Unseen } Kind = TKind::Gap;
    double Value = 0;
    std::string_view Text;
    bool AsWritten = false; // Text is the number as the general format writes it
    std::string Unseen;
};

class TPredictPlan {
public:
    // Refuses a project field the columns lack (msgInputFieldMissing); a field is taken from the
    // first column of its name in any letter case.
    TPredictPlan(const TNetModel& m, TSourceKind kind, const std::vector<std::string>& columns);

    const TNetModel& Model() const { return model_; }
    const std::vector<const TFieldInfo*>& Inputs() const { return inputs_; }
    const std::vector<const TFieldInfo*>& Targets() const { return targets_; }
    // The column of each input, by input slot, and of each target's actual values, by target slot
    // (-1 for a target the input does not hold).
    const std::vector<int>& InputColumns() const { return inputColumns_; }
    const std::vector<int>& ActualColumns() const { return actualColumns_; }
    bool HasActuals() const;
    std::size_t ColumnCount() const { return columnCount_; }

    // How CSV cells read: a decimal comma unless "," delimits; text as UTF-8 or Windows-1251.
    void SetCsvRules(bool commaIsDecimal, bool utf8) {
        commaIsDecimal_ = commaIsDecimal;
        utf8_ = utf8;
    }
    bool Utf8() const { return utf8_; }

    // The value of input slot s for a cell of its column: a number, a category's position or a gap
    // (NaN). False with `failure` set (its record left to the caller) when the cell cannot be taken;
    // `column` names the column in messages about the cell itself.
    bool InputValue(std::size_t s, const TCell& cell, double& value, TBlockFailure& failure,
                    const std::string& column) const;
    // Target slot t's actual value for a cell of its column: a gap where the cell is one, a value
    // training never saw kept as text; false with `failure` set as InputValue.
    bool ActualValue(std::size_t t, const TCell& cell, TActual& actual, TBlockFailure& failure,
                     const std::string& column) const;

    // The form of the output lines; the category values' texts are encoded for it once.
    void SetForm(const TOutputForm& form);
    const TOutputForm& Form() const { return form_; }
    // The header line. Sets `utf8` when the Windows-1251 text form cannot hold it.
    std::string Header(bool& utf8) const;
    // One record's line written at `out`, which has room for LineBound(actuals) bytes; returns its end.
    // The inputs as read (`texts[s]`, when not empty, is the text a number came from, and with
    // asWritten[s] also how it is written), then per target its value, its actual value where the input
    // holds them (`actuals`, by target slot) and a category's shares. Sets `utf8` when a text that
    // Windows-1251 cannot hold was to be written in it.
    char* WriteLine(char* out, const double* raw, const std::string_view* texts, const bool* asWritten,
                    const double* values, const TActual* actuals, const double* const* shares, bool& utf8) const;
    std::size_t LineBound(const TActual* actuals = nullptr) const;

private:
    // A text as the form writes it; Fits is false when Windows-1251 was asked for and cannot hold it.
    struct TEncoded {
        std::string Bytes;
        bool Fits = true;
    };
    TEncoded Encode(const std::string& utf8Text) const;
    char* WriteValue(char* out, double v, const std::vector<TEncoded>& names, bool& utf8) const;
    char* WriteNumber(char* out, double v, std::string_view text, bool asWritten) const;
    char* WriteActual(char* out, std::size_t t, const TActual& a, bool& utf8) const;
    // A cell as field f takes it: a number, a category's position or a gap (NaN). 1 when taken, 0 for
    // a category value training never saw (its text in `unseen`), -1 with `failure` set.
    int ReadCell(const TFieldInfo& f, const TCell& cell, double& value, std::string& unseen, TBlockFailure& failure,
                 const std::string& column) const;

    const TNetModel& model_;
    TSourceKind kind_;
    std::vector<const TFieldInfo*> inputs_, targets_;
    std::vector<int> inputColumns_, actualColumns_;
    std::size_t columnCount_ = 0;
    bool commaIsDecimal_ = true;
    bool utf8_ = true;
    TOutputForm form_;
    std::vector<std::vector<TEncoded>> inputNames_, targetNames_; // each category field's values
    std::size_t lineBound_ = 0;
};

} // namespace nirvex

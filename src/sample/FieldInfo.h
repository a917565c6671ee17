#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nirvex {

// Roles of a field; the values are the item positions of the role group on the field page and
// what project files store.
enum class TFieldRole : int32_t { Input = 0, Target = 1, Unused = 2 };
// Normalization methods; the values are the item positions of the method group on the field page
// and what project files store.
enum class TNormMethod : int32_t { Linear = 0, Sigmoid = 1, Auto = 2, None = 3, Category = 4 };
// What a column holds: numbers, or text values of which there are few enough to be categories.
enum class TFieldKind : int32_t { Number = 0, Category = 1 };

// One column of the training sample with its role, normalization and statistics. A gap is a NaN
// value; a category field holds the position of its value in Categories.
struct TFieldInfo {
    std::string FieldName;    // UTF-8
    int32_t TableFieldNo = 0; // position among all fields of the source table (table import only)
    TFieldRole FieldType = TFieldRole::Input;
    double Max = 0; // bounds of the linear normalization, start as the data's extremes
    double Min = 0;
    double Mid = 0;  // mean of the column
    double Disp = 0; // sample standard deviation; 0 below 2 records
    double DataMax = 0;
    double DataMin = 0;
    TNormMethod NormType = TNormMethod::Linear;
    double Alpha = 1.0;   // slope of the sigmoid normalization
    int32_t NetIndex = 0; // the first of the network columns the field takes
    TFieldKind Kind = TFieldKind::Number;
    std::vector<std::string> Categories; // UTF-8, in order of first appearance
    bool FillGaps = false;               // an input's gaps take GapFill instead of leaving the record out
    double GapFill = 0;                  // the mean of a number field, the most frequent category's position
    int32_t GapCount = 0;
    std::vector<double> Values; // one per record, in file order

    bool IsCategory() const { return Kind == TFieldKind::Category; }
    // Network columns the field takes: one per category, one for a number.
    int32_t NetWidth() const { return IsCategory() ? static_cast<int32_t>(Categories.size()) : 1; }
};

inline bool IsGap(double v) {
    return v != v;
}

// A freshly read table: the fields in file or table order, each with FieldName and Values.
struct TSampleTable {
    std::vector<TFieldInfo> Fields;
    int32_t RecordCount = 0;
    std::vector<std::string> TextColumns; // columns left out because they hold too many different texts
    // Lines a reader left out because their count of values differs from the header's, and the
    // first of them (the file's lines counted from 1, the header included).
    int64_t SkippedLines = 0;
    int64_t FirstSkippedLine = 0;
};

// Shows a progress line in the window's status bar (and lets the window repaint); empty clears it.
using TStatusProc = std::function<void(const std::string&)>;

} // namespace nirvex

#pragma once

// How the values computed for a file compare with the actual values the file holds: a number
// target's errors in its own units, a category target's answers per class.

#include "training/EpochStats.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nirvex {

struct TFileFigures {
    std::string Field;
    std::vector<std::string> Classes; // a category target's values; empty for a number target
    int64_t Records = 0;              // records with an actual value (a gap is none)
    TUnitErrors Errors;               // a number target's errors
    // A category target's answers: a row per actual class and a last row for actual values training
    // never saw, a column per class answered.
    std::vector<int64_t> Matrix;

    TFileFigures() = default;
    TFileFigures(std::string field, std::vector<std::string> classes);
    void AddNumber(double computed, double actual);
    // `actual` -1: a value training never saw, which no answer gets right.
    void AddClass(int32_t actual, int32_t answered);
    // Adds another part's figures (blocks in input order, so the sums are the same on any threads).
    void Add(const TFileFigures& part);

    double Rmse() const;
    double MeanAbsError() const;
    int64_t Right() const;
    int64_t Unseen() const;
};

// The rows of a confusion matrix: a header of the corner and the classes, then a row per actual class
// with its counts per class answered (`counts` row-major, `rows` rows of classes.size()); a row past the
// classes is named `extraRow`.
std::vector<std::vector<std::string>> ConfusionRows(const std::vector<std::string>& classes,
                                                    const std::vector<int64_t>& counts, std::size_t rows,
                                                    const std::string& extraRow = {});

// The figures of every target the file held, of a file of `records` records: lines of tab-separated
// text, or HTML for a message box (the matrices as tables).
std::string FormatFileFigures(const std::vector<TFileFigures>& figures, int64_t records, bool html = false);

} // namespace nirvex

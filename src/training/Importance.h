#pragma once

#include "engine/NeuralNetwork.h"
#include "sample/FieldInfo.h"
#include "sample/LoadProgress.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nirvex {

// Permutation importance: how much the network's mean error on a part of the sample grows when
// one input field's values are shuffled among the part's records, so that the field no longer tells
// the network anything about its record. It is this network's dependence on the field, not a
// cause, and inputs that carry the same information share it.

// Shuffles per field, averaged; drawn from this seed, so the same project gives the same figures.
inline constexpr int32_t kImportanceShuffles = 5;
inline constexpr uint64_t kImportanceSeed = 0x6E6972766578ULL;

// An input field and the network inputs it feeds: shuffled together as one unit, so a field that
// takes several inputs counts once.
struct TInputColumns {
    std::string Name;
    std::vector<int32_t> Columns; // network input numbers
};
// The input fields in network order, each with its inputs: today one, its NetIndex.
std::vector<TInputColumns> InputFieldColumns(const std::vector<TFieldInfo>& fields);

enum class TSamplePart { Test, Validation, Training };
// "тестовая часть", ... and, for files, "test", "validation", "training".
const char* SamplePartName(TSamplePart part);
const char* SamplePartKey(TSamplePart part);

// A part of the sample: positions From .. From + Count - 1 of the record order.
struct TPartSpan {
    TSamplePart Part = TSamplePart::Test;
    int32_t From = 0;
    int32_t Count = 0;
};
// The first part of `preference` that holds records; the last one when none does.
TPartSpan ChooseMeasuredPart(const std::vector<TPartSpan>& preference);

struct TFieldImportance {
    std::string Field;
    double Increase = 0; // of the mean error, averaged over the shuffles; negative: the field does not help
    double Share = 0;    // percent of the largest increase (100 for the top); 0 for all when none is positive
};

struct TImportance {
    TSamplePart Part = TSamplePart::Test;
    int32_t RecordCount = 0;
    double BaseError = 0;                 // the part's mean error as it stands
    std::vector<TFieldImportance> Fields; // most important first; equal ones in network order
};

// What a measurement reads. The network computes (its outputs change), the rest is read only.
struct TImportanceInput {
    TNeuralNetwork* Network = nullptr;
    const std::vector<TFieldInfo>* Fields = nullptr;
    const std::vector<int32_t>* RecordIndex = nullptr;
    int32_t InputCount = 0;
    int32_t OutputCount = 0;
    TPartSpan Part;
    // The fields measured; empty: InputFieldColumns(*Fields).
    std::vector<TInputColumns> Inputs;
};

// Measures every input field of `in.Fields` on the part, with the error the statistics use (half the
// sum of squared output errors, in the network's units, averaged over the part). The shuffled copies
// run on several threads (NIRVEX_THREADS limits them) and give the same figures on any number. Raises
// msgNetMismatch for a network that does not fit, an arithmetic fault with its message; `progress`
// hears the share done and may call the measurement off by raising.
TImportance MeasureImportance(const TImportanceInput& in, const TProgressProc& progress = {});

// The share as shown: 3 significant digits and "%".
std::string FormatImportanceShare(double share);
// A header line, then one line per field, most important first, tab-separated: the field, the increase
// (5 significant digits), the share and the part; every line ended by LF.
std::string FormatImportanceText(const TImportance& m);
// The same as CSV (UTF-8, "," and ".", LF): field,increase,share_percent,part, then one line per field
// with 15 significant digits and the part's key.
std::string FormatImportanceCsv(const TImportance& m);

} // namespace nirvex

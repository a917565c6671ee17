#pragma once

// What the prediction over a file passes from its reading thread to its workers: blocks of records,
// and the sources that read them (sample text and CSV in blocks of bytes, tables through their cursor).

#include "sample/SampleBlocks.h"
#include "wizard/PredictFigures.h"
#include "wizard/PredictPlan.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace nirvex {

// A table cell as the reader took it, kept until a worker reads it.
struct TStoredCell {
    TCell::TKind Kind = TCell::TKind::Gap;
    double Value = 0;
    std::string Text;
};

struct TWorkBlock {
    // What the reader took: text or CSV bytes, or table cells (record by record, one per used column).
    std::string Bytes;
    std::vector<TStoredCell> Cells;
    int64_t TableRecords = 0;
    std::string ReadFailure; // a value the table reader refused right after this block's records
    double DoneAt = 0;       // share of the input read with this block
    // What a worker made of it: the first OutputUsed bytes of Output (which keeps its size when the
    // block is used again, so that its room is not cleared for every block).
    bool Taken = false, Done = false;
    std::string Output;
    std::size_t OutputUsed = 0;
    int64_t Records = 0, Lines = 0;
    TBlockFailure Failure;
    int64_t FailureLine = 0;
    std::vector<TFileFigures> Figures; // of the targets whose actual values the input holds
    std::exception_ptr Error;
    bool NotUtf8 = false, NeedsUtf8 = false;
};

// Where the blocks come from.
class TBlockSource {
public:
    virtual ~TBlockSource() = default;
    virtual const std::vector<std::string>& Names() const = 0;
    // The columns the plan reads (tables keep only those).
    virtual void Use(const std::vector<int>& /*columns*/) {}
    virtual bool Next(TWorkBlock& block) = 0;
    virtual std::size_t Blocks() const = 0; // about how many blocks the input makes
    // A text or CSV file's reader (null for a table): its header's lines, delimiter and encoding.
    virtual const TSampleBlockReader* Reader() const { return nullptr; }
};

// The source for the input's extension (".dbf" and ".db" tables, ".csv", anything else sample text),
// with its kind. A text or CSV file is checked first as the sample load checks it.
std::unique_ptr<TBlockSource> OpenBlockSource(const std::string& input, bool cp1251Input, TSourceKind& kind);

} // namespace nirvex

#pragma once

// A worker of the prediction over a file: its own copy of the network turns blocks of records into
// their output lines, or into the first failure among them.

#include "engine/NeuralNetwork.h"
#include "wizard/PredictBlocks.h"
#include "wizard/PredictPlan.h"

#include <memory>
#include <string>
#include <vector>

namespace nirvex {

// Empty figures of each target whose actual values the input holds.
std::vector<TFileFigures> FiguresFor(const TPredictPlan& plan);

// What the workers share: the plan, the source's kind and its CSV rules.
struct TRunShared {
    const TPredictPlan& Plan;
    TSourceKind Kind;
    char Delimiter = ';';
    bool CheckUtf8 = false; // CSV taken as UTF-8 without a byte order mark
    std::vector<std::string> Columns;
};

// One worker's network and buffers.
class TBlockWorker {
public:
    TBlockWorker(const TRunShared& run, TNeuralNetwork& net);
    ~TBlockWorker();
    TBlockWorker(const TBlockWorker&) = delete;
    TBlockWorker& operator=(const TBlockWorker&) = delete;
    // The block's lines, or the first failure in it. Faults are looked for once per block: a block
    // that raised one is computed again record by record, as a single prediction checks it.
    void Process(TWorkBlock& b);

private:
    class TImpl;
    std::unique_ptr<TImpl> impl_;
};

} // namespace nirvex

#pragma once

#include "engine/NeuralNetwork.h"
#include "sample/FieldInfo.h"
#include "training/EpochStats.h"
#include "training/Messages.h"
#include "training/StopCriteria.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace nirvex {

// The largest epoch counter a run leaves and a project file holds: a run ends at it as at the
// epoch limit, so the counter never wraps.
inline constexpr int32_t kMaxEpoch = 2147483646;

// What a run tells its surroundings. The window turns these into repaints and a pumped event
// loop, the command line into printed lines, tests into recorded values. All default to nothing.
class ITrainingView {
public:
    virtual ~ITrainingView() = default;
    // Called after every example. Returns true when it let the event loop run (the run then
    // forgets floating-point flags that window code may have raised).
    virtual bool Pump() { return false; }
    // The share of the examples prepared before the first epoch, now and then and 1 at the end.
    virtual void Progress(double /*fraction*/) {}
    virtual void HistoClear() {}
    virtual void HistoRepaint() {}
    virtual void SetPointCounts(int32_t /*teach*/, int32_t /*test*/) {}
    // One example of the training pass (k-th of the pass): mean target x and mean output y, both in
    // 0..1, and error e.
    virtual void TeachExample(int32_t /*k*/, double /*x*/, double /*y*/, double /*e*/) {}
    virtual void TestExample(int32_t /*k*/, double /*x*/, double /*y*/, double /*e*/) {}
    // After every epoch, before its refresh; `epoch` is the counter after this epoch's increase.
    virtual void EpochDone(const TEpochStats& /*stats*/, int32_t /*teachCount*/, int32_t /*testCount*/,
                           int32_t /*epoch*/) {}
    // The page refresh after an epoch; `epoch` is the counter after this epoch's increase.
    virtual void Refresh(const TEpochStats& /*stats*/, int32_t /*teachCount*/, int32_t /*testCount*/,
                         int32_t /*epoch*/) {}
    // The run took back the network of counter `epoch`; `stats` are that network's over all parts,
    // whose examples have just been handed over again (after HistoClear) as the passes hand them.
    virtual void Restored(const TEpochStats& /*stats*/, int32_t /*teachCount*/, int32_t /*testCount*/,
                          int32_t /*epoch*/) {}
};

// How a run ended. Validation: the mean test error grew; ValidationPart: the mean error of the
// validation part grew (the rule watches that part while it is not empty).
enum class TRunEnd { UserStop, EpochLimit, Validation, Criteria, ValidationPart };

// The largest share of the training part page 4 sets aside as the validation part.
inline constexpr int32_t kMaxValidShare = 50;

// Examples of a training part of `trainingPart` that the share `validShare` (percent) sets aside: the
// share of the part, rounded down.
inline int32_t ValidationCount(int32_t trainingPart, int32_t validShare) {
    return static_cast<int32_t>(static_cast<int64_t>(trainingPart) * validShare / 100);
}

// Everything one run reads and writes besides the network.
struct TTrainingContext {
    TNeuralNetwork* Network = nullptr;
    const std::vector<TFieldInfo>* Fields = nullptr;
    const std::vector<int32_t>* RecordIndex = nullptr;
    int32_t InputCount = 0;
    int32_t OutputCount = 0;
    // Presentation positions: TeachCount taught examples, then ValidCount examples of the
    // validation part (measured after each epoch's teaching, never taught), then TestCount.
    int32_t TeachCount = 0;
    int32_t ValidCount = 0;
    int32_t TestCount = 0;
    int32_t* ExampleCursor = nullptr; // shared by the training and the test fetch
    double* PrevTestErr = nullptr;
    const bool* StopRequested = nullptr;
    TStopRules Rules;
    // The category targets' output columns. With any, an example is recognized when every class is
    // answered right (and, with number targets too, its error is below the limit).
    std::vector<TClassColumns> Classes;
    bool NumberTargets = true;
    // Keep the network of the epoch with the least mean error of the part that chooses (the
    // validation part when it is not empty, else the test part) and take it back when the run ends
    // (not on a failure) unless that is the last epoch. Ignored when both parts are empty. The
    // rule TestAsValid watches the same part, through PrevTestErr.
    bool KeepBest = false;
    // Set by the run: the epoch counter of the network taken back, -1 when none was.
    int32_t RestoredEpoch = -1;
};

// Runs epochs until a stop rule or a stop request ends the run. Raises EError on a network
// error or an arithmetic fault, leaving the network as the interrupted epoch left it; a network
// whose input or output layer differs from the fields is refused with msgNetMismatch before any
// example is read. A network already at the epoch limit (past the ticked count, or at kMaxEpoch)
// runs no epoch and ends as at the limit.
TRunEnd RunTrainingLoop(TTrainingContext& ctx, ITrainingView& view);

// "Восстановлена лучшая сеть: эпоха N" for the counter `epoch` (N = epoch - 1, as refreshes print).
std::string BestRestoredMessage(int32_t epoch);

// The end message of a run, empty for a user stop.
const char* RunEndMessage(TRunEnd end);

// Recognized share for the statistics grid: "0" for an empty part, else the percent in the
// 3-digit format followed by "%".
std::string FormatIdentShare(int32_t identCount, int32_t count);

// Decides when a pump is due without reading the clock after every example: the clock is read
// every `stride` calls, and the stride adapts so that reads happen about every 0.5 ms.
class TPumpBudget {
public:
    explicit TPumpBudget(double budgetMs = 20.0)
        : budget_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
              std::chrono::duration<double, std::milli>(budgetMs))) {}
    bool Due() {
        if (++calls_ < stride_)
            return false;
        calls_ = 0;
        auto now = std::chrono::steady_clock::now();
        auto sinceRead = now - lastRead_;
        lastRead_ = now;
        if (sinceRead < std::chrono::microseconds(250) && stride_ < (1 << 20))
            stride_ *= 2;
        else if (sinceRead > std::chrono::milliseconds(2) && stride_ > 1)
            stride_ /= 2;
        if (now - lastPump_ < budget_)
            return false;
        lastPump_ = now;
        return true;
    }
    void Reset() { lastPump_ = lastRead_ = std::chrono::steady_clock::now(); }

private:
    std::chrono::steady_clock::duration budget_;
    std::chrono::steady_clock::time_point lastPump_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastRead_ = lastPump_;
    int32_t calls_ = 0;
    int32_t stride_ = 16;
};

} // namespace nirvex

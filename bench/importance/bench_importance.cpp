// The permutation importance of 13 inputs over a test part of 100,000 records, for a 13-10-1
// network, on every core the machine gives (NIRVEX_THREADS limits it). Prints, each the best of 3:
//   importance_13_inputs_100k_ms: the wall-clock time;
//   importance_13_inputs_100k_cpu_ms: the processor time of all threads, which a busy machine does not inflate;
//   importance_vs_engine: that processor time over the bare engine loop's for the same 14 passes.
#include "common/RandomGen.h"
#include "sample/SampleStats.h"
#include "training/Importance.h"

#include "sample/Normalize.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace nirvex;

namespace {

double CpuMs() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

} // namespace

int main() {
    constexpr int32_t kInputs = 13, kTeach = 20000, kTest = 100000, kRecords = kTeach + kTest;
    std::vector<TFieldInfo> fields(kInputs + 1);
    SetRandSeed(3);
    for (int32_t r = 0; r < kRecords; ++r) {
        double target = 0;
        for (int32_t i = 0; i < kInputs; ++i) {
            const double v = RandomFloat() * 10;
            fields[static_cast<std::size_t>(i)].Values.push_back(v);
            target += v * (i + 1);
        }
        fields.back().Values.push_back(target);
    }
    InitFieldDefaults(fields, kRecords);
    for (int32_t k = 0; k <= kInputs; ++k) {
        TFieldInfo& f = fields[static_cast<std::size_t>(k)];
        f.FieldName = "x" + std::to_string(k);
        f.FieldType = k < kInputs ? TFieldRole::Input : TFieldRole::Target;
        f.NetIndex = k < kInputs ? k : 0;
    }
    const std::vector<int32_t> index = BuildRecordIndex(kRecords);
    TNeuralNetwork net;
    const int32_t sizes[] = {kInputs, 10, 1};
    net.SetCountLayers(3);
    for (int32_t l = 0; l < 3; ++l)
        net.SetLayerSize(l, sizes[l]);
    net.Alpha = 1;

    TImportanceInput in;
    in.Network = &net;
    in.Fields = &fields;
    in.RecordIndex = &index;
    in.InputCount = kInputs;
    in.OutputCount = 1;
    in.Part = {TSamplePart::Test, kTeach, kTest};
    double best = 1e300, bestCpu = 1e300;
    for (int round = 0; round < 3; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuMs();
        const TImportance m = MeasureImportance(in);
        bestCpu = std::min(bestCpu, CpuMs() - c0);
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        if (m.Fields.size() != kInputs)
            return 1;
    }
    // The engine alone: the part's examples, built once, through the network as often as the measure
    // runs them (once as they are, five times per input shuffled).
    std::vector<double> rows(static_cast<std::size_t>(kTest) * (kInputs + 1));
    for (int32_t k = 0; k < kTest; ++k) {
        double* row = &rows[static_cast<std::size_t>(k) * (kInputs + 1)];
        BuildExample(fields, index[static_cast<std::size_t>(kTeach + k)], row, row + kInputs);
    }
    double bestEngine = 1e300, sink = 0;
    for (int round = 0; round < 3; ++round) {
        const double c0 = CpuMs();
        for (int32_t pass = 0; pass < 1 + kInputs * kImportanceShuffles; ++pass)
            for (int32_t k = 0; k < kTest; ++k) {
                const double* row = &rows[static_cast<std::size_t>(k) * (kInputs + 1)];
                sink += net.RunExample(row, kInputs, row + kInputs, 1, false).Error;
            }
        bestEngine = std::min(bestEngine, CpuMs() - c0);
    }
    std::printf("importance_13_inputs_100k_ms: %.0f ms\n", best);
    std::printf("importance_13_inputs_100k_cpu_ms: %.0f ms\n", bestCpu);
    std::printf("importance_vs_engine: %.2f x\n", sink > 0 ? bestCpu / bestEngine : 0.0);
    return 0;
}

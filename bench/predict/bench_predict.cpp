// Prediction of a whole table on every core against one thread, for a 30-50-20-5 network.
// Prints predict_threads_speedup: <ratio> x and predict_threads: <count>.
#include "common/RandomGen.h"
#include "wizard/BatchPredict.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace nirvex;

namespace {

constexpr int32_t kRecords = 200000;
constexpr int32_t kInputs = 30, kOutputs = 5;

double BestSeconds(const TNetModel& m, const TSampleTable& table, const char* threads) {
    setenv("NIRVEX_THREADS", threads, 1);
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        const TBatchPrediction p = PredictTable(m, table);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        if (p.RecordCount != kRecords)
            std::exit(1);
    }
    unsetenv("NIRVEX_THREADS");
    return best;
}

} // namespace

int main() {
    SetRandSeed(7);
    std::vector<TFieldInfo> fields;
    TSampleTable table;
    for (int32_t k = 0; k < kInputs + kOutputs; ++k) {
        TFieldInfo f;
        f.FieldName = "f" + std::to_string(k);
        f.FieldType = k < kInputs ? TFieldRole::Input : TFieldRole::Target;
        f.NetIndex = k < kInputs ? k : k - kInputs;
        f.Min = 0;
        f.Max = 1;
        fields.push_back(f);
        if (k < kInputs) {
            f.Values.resize(kRecords);
            for (double& v : f.Values)
                v = RandomFloat();
            table.Fields.push_back(std::move(f));
        }
    }
    table.RecordCount = kRecords;
    TNeuralNetwork net;
    const int32_t sizes[] = {kInputs, 50, 20, kOutputs};
    net.SetCountLayers(4);
    for (int32_t l = 0; l < 4; ++l)
        net.SetLayerSize(l, sizes[l]);
    net.Alpha = 1;
    const TNetModel m{fields, net, kInputs, kOutputs, true};
    const std::string all = std::to_string(std::max(1u, std::thread::hardware_concurrency()));
    const double one = BestSeconds(m, table, "1");
    const double many = BestSeconds(m, table, all.c_str());
    std::printf("predict_threads: %s\n", all.c_str());
    std::printf("predict_threads_speedup: %.2f x\n", one / many);
    return 0;
}

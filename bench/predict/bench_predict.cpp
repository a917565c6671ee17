// Prediction over a file as the program runs it: a generated CSV streamed through a 13-10-1 network
// on every core, and a 30-50-20-5 network on every core against one thread. Prints
//   predict_stream_MBps: <input megabytes per second> MB/s
//   predict_stream_peak_rss: <largest resident memory of the run> MB
//   predict_threads: <cores used>
//   predict_threads_speedup: <one thread's time / every core's time> x
// The stream's input is 1000 MB (10^6 bytes), written to the temporary folder and removed afterwards;
// NIRVEX_BENCH_STREAM_MB sets another size for a quick run. Its output goes beside it, as a user's
// would, synced to the disk at the end. The speedup's output goes to memory (/dev/shm where there is
// one), so that the disk's sync, which no number of cores hastens, stays out of the ratio.
#include "common/RandomGen.h"
#include "wizard/PredictStream.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace nirvex;

namespace {

// A trained-looking project: number inputs scaled from 0..1000, targets from 0..1, random weights.
struct TBenchProject {
    std::vector<TFieldInfo> Fields;
    TNeuralNetwork Net;
    int32_t Inputs, Outputs;

    TBenchProject(int32_t inputs, const std::vector<int32_t>& hidden, int32_t outputs)
        : Inputs(inputs), Outputs(outputs) {
        for (int32_t k = 0; k < inputs + outputs; ++k) {
            TFieldInfo f;
            f.FieldName = (k < inputs ? "x" : "y") + std::to_string(k < inputs ? k : k - inputs);
            f.FieldType = k < inputs ? TFieldRole::Input : TFieldRole::Target;
            f.NetIndex = k < inputs ? k : k - inputs;
            f.Max = k < inputs ? 1000 : 1;
            Fields.push_back(f);
        }
        std::vector<int32_t> sizes = {inputs};
        sizes.insert(sizes.end(), hidden.begin(), hidden.end());
        sizes.push_back(outputs);
        Net.SetCountLayers(static_cast<int32_t>(sizes.size()));
        for (std::size_t l = 0; l < sizes.size(); ++l)
            Net.SetLayerSize(static_cast<int32_t>(l), sizes[l]);
        Net.Alpha = 1;
    }
    TNetModel Model() { return TNetModel{Fields, Net, Inputs, Outputs, true}; }
};

// A CSV of `columns` numbers with three decimals below 1000, about `bytes` long; returns its size.
std::uintmax_t WriteCsv(const std::string& path, int32_t columns, std::uintmax_t bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::exit(1);
    std::string chunk;
    for (int32_t k = 0; k < columns; ++k)
        chunk += (k ? ",x" : "x") + std::to_string(k);
    chunk += '\n';
    std::uintmax_t written = 0;
    while (written < bytes) {
        for (int32_t k = 0; k < columns; ++k) {
            const auto v = static_cast<uint32_t>(Random(1000000));
            char text[16];
            const int n = std::snprintf(text, sizeof text, "%u.%03u", v / 1000, v % 1000);
            chunk.append(text, static_cast<std::size_t>(n));
            chunk += k + 1 < columns ? ',' : '\n';
        }
        if (chunk.size() >= (1u << 20)) {
            written += std::fwrite(chunk.data(), 1, chunk.size(), f);
            chunk.clear();
        }
    }
    written += std::fwrite(chunk.data(), 1, chunk.size(), f);
    // On the disk before it is read, as a user's file is: its writing does not share the disk with the run's.
    std::fflush(f);
    ::fsync(::fileno(f));
    std::fclose(f);
    return written;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The prediction in a child process, so that its largest resident memory is its own: seconds taken
// and the peak in megabytes.
std::pair<double, double> PredictInChild(TBenchProject& p, const std::string& input, const std::string& output) {
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            PredictFile(p.Model(), input, output, {});
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::exit(1);
    return {Seconds(t0), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

double BestSeconds(TBenchProject& p, const std::string& input, const std::string& output, const char* threads) {
    setenv("NIRVEX_THREADS", threads, 1);
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        PredictFile(p.Model(), input, output, {});
        best = std::min(best, Seconds(t0));
    }
    unsetenv("NIRVEX_THREADS");
    return best;
}

} // namespace

int main() {
    SetRandSeed(7);
    const std::string dir = std::filesystem::temp_directory_path().string();
    const std::string tag = "/nirvex_bench_predict_" + std::to_string(::getpid());
    const std::string input = dir + tag + ".csv", output = dir + tag + "_out.csv";
    double megabytes = 1000;
    if (const char* env = std::getenv("NIRVEX_BENCH_STREAM_MB"))
        megabytes = std::max(1.0, std::atof(env));

    TBenchProject stream(13, {10}, 1);
    const std::uintmax_t size = WriteCsv(input, 13, static_cast<std::uintmax_t>(megabytes * 1e6));
    const auto [seconds, peak] = PredictInChild(stream, input, output);
    std::filesystem::remove(output);
    std::filesystem::remove(input);
    std::printf("predict_stream_MBps: %.0f MB/s\n", static_cast<double>(size) / 1e6 / seconds);
    std::printf("predict_stream_peak_rss: %.1f MB\n", peak);

    TBenchProject wide(30, {50, 20}, 5);
    WriteCsv(input, 30, 40u * 1000u * 1000u);
    const std::string memory = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" + tag + "_out.csv" : output;
    const std::string all = std::to_string(std::max(1u, std::thread::hardware_concurrency()));
    const double one = BestSeconds(wide, input, memory, "1");
    const double many = BestSeconds(wide, input, memory, all.c_str());
    std::filesystem::remove(memory);
    std::filesystem::remove(input);
    std::printf("predict_threads: %s\n", all.c_str());
    std::printf("predict_threads_speedup: %.2f x\n", one / many);
    return 0;
}

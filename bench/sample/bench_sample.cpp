// The record order of a million records, the load of a 100 MB sample text file (read,
// statistics, record order) with its speed and peak memory, and the read speed of a CSV sample.
#include "BenchSample.h"
#include "common/RandomGen.h"
#include "sample/CsvSample.h"
#include "sample/SampleStats.h"
#include "sample/TextSample.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

using namespace nirvex;

namespace {

// Peak resident set size of this process so far, in MB.
double PeakRssMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main() {
    // The machine may be shared: every figure is the best of a few rounds.
    double indexBest = 1e300, indexCpuBest = 1e300;
    for (int round = 0; round < 5; ++round) {
        SetRandSeed(12345);
        const std::clock_t c0 = std::clock();
        auto t0 = std::chrono::steady_clock::now();
        std::vector<int32_t> index = BuildRecordIndex(1000000);
        indexBest = std::min(indexBest, Ms(std::chrono::steady_clock::now() - t0));
        indexCpuBest = std::min(indexCpuBest, 1000.0 * static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC);
    }
    std::printf("record_index_1M: %.1f ms\n", indexBest);
    std::printf("record_index_1M_cpu: %.1f ms\n", indexCpuBest);

    auto path = std::filesystem::temp_directory_path() / "nirvex_bench_sample.txt";
    WriteBenchSample(path.string());
    const double fileMb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    const double rssBefore = PeakRssMb();
    // Wall time is what the user waits; the process's processor time says what the load costs
    // when other work competes for the processor.
    double seconds = 1e300, cpuSeconds = 1e300, readMs = 0, statsMs = 0, orderMs = 0;
    TSampleTable table;
    std::vector<int32_t> order;
    for (int round = 0; round < 3; ++round) {
        table = {};
        order = {};
        const std::clock_t c1 = std::clock();
        auto t1 = std::chrono::steady_clock::now();
        table = ReadTextSample(path.string());
        auto t2 = std::chrono::steady_clock::now();
        InitFieldDefaults(table.Fields, table.RecordCount);
        auto t3 = std::chrono::steady_clock::now();
        RandomizeFromClock();
        order = BuildRecordIndex(table.RecordCount);
        auto t4 = std::chrono::steady_clock::now();
        cpuSeconds = std::min(cpuSeconds, static_cast<double>(std::clock() - c1) / CLOCKS_PER_SEC);
        if (Ms(t4 - t1) / 1000.0 < seconds) {
            seconds = Ms(t4 - t1) / 1000.0;
            readMs = Ms(t2 - t1);
            statsMs = Ms(t3 - t2);
            orderMs = Ms(t4 - t3);
        }
    }
    const double tableMb = static_cast<double>(table.RecordCount) * table.Fields.size() * sizeof(double) / 1e6 +
                           static_cast<double>(order.size()) * sizeof(int32_t) / 1e6;
    std::filesystem::remove(path);
    std::printf("sample_load_MBps: %.1f MB/s\n", fileMb / seconds);
    std::printf("sample_load_cpu_MBps: %.1f MB/s\n", fileMb / cpuSeconds);
    std::printf("sample_load_read_ms: %.0f ms\n", readMs);
    std::printf("sample_load_stats_ms: %.0f ms\n", statsMs);
    std::printf("sample_load_order_ms: %.0f ms\n", orderMs);
    std::printf("sample_load_peak_rss: %.1f MB\n", PeakRssMb());
    std::printf("sample_load_table_size: %.1f MB\n", tableMb);
    std::printf("sample_load_rss_before: %.1f MB\n", rssBefore);
    table = {};
    order = {};

    // About 20 MB as a spreadsheet exports it: ";", decimal commas, a quoted text column.
    std::string csv = "\"id\";a;b;c;d;target\r\n";
    for (uint64_t r = 0; csv.size() < 20u * 1000u * 1000u; ++r) {
        csv += "\"r" + std::to_string(r) + "\"";
        for (int k = 0; k < 5; ++k) {
            uint32_t v = static_cast<uint32_t>(Random(1000000));
            csv += ";" + std::to_string(v / 1000) + "," + std::to_string(v % 1000);
        }
        csv += "\r\n";
    }
    // The same with two category columns and 5 % of the numbers missing ("NA").
    const char* colours[] = {"red", "green", "blue", "white", "black"};
    const char* sizes[] = {"\"small\"", "\"medium\"", "\"large\""};
    std::string categories = "\"id\";a;b;c;d;colour;size;target\r\n";
    for (uint64_t r = 0; categories.size() < 20u * 1000u * 1000u; ++r) {
        categories += "\"r" + std::to_string(r) + "\"";
        for (int k = 0; k < 5; ++k) {
            if (k == 4)
                categories += std::string(";") + colours[Random(5)] + ";" + sizes[Random(3)];
            uint32_t v = static_cast<uint32_t>(Random(1000000));
            categories +=
                Random(20) == 0 ? std::string(";NA") : ";" + std::to_string(v / 1000) + "," + std::to_string(v % 1000);
        }
        categories += "\r\n";
    }
    // Best of three rounds each, alternating, so that a busy moment does not favour one.
    double csvSeconds = 1e300, categoriesSeconds = 1e300;
    int32_t records = 0;
    for (int round = 0; round < 3; ++round) {
        auto t2 = std::chrono::steady_clock::now();
        records += ParseCsvSample(csv).RecordCount;
        csvSeconds = std::min(csvSeconds, Ms(std::chrono::steady_clock::now() - t2) / 1000.0);
        t2 = std::chrono::steady_clock::now();
        records += ParseCsvSample(categories).RecordCount;
        categoriesSeconds = std::min(categoriesSeconds, Ms(std::chrono::steady_clock::now() - t2) / 1000.0);
    }
    const double csvMBps = static_cast<double>(csv.size()) / 1e6 / csvSeconds;
    const double categoriesMBps = static_cast<double>(categories.size()) / 1e6 / categoriesSeconds;
    std::printf("csv_read_MBps: %.1f MB/s\n", csvMBps);
    std::printf("csv_read_categories_MBps: %.1f MB/s\n", categoriesMBps);
    std::printf("csv_read_categories_share: %.0f %%\n", 100.0 * categoriesMBps / csvMBps);
    return records > 0 ? 0 : 1;
}

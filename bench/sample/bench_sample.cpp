// The record order of a million records, the load of a 100 MB sample text file (read,
// statistics, record order) with its speed and peak memory, and the read speed of a CSV sample.
#include "CsvSample.h"
#include "RandomGen.h"
#include "SampleStats.h"
#include "TextSample.h"

#include <chrono>
#include <cstdio>
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
    SetRandSeed(12345);
    auto t0 = std::chrono::steady_clock::now();
    std::vector<int32_t> index = BuildRecordIndex(1000000);
    std::printf("record_index_1M: %.1f ms\n", Ms(std::chrono::steady_clock::now() - t0));
    index = {};

    // 5 numeric columns, CR LF, about 100 MB; written as a stream so the writer holds no table.
    auto path = std::filesystem::temp_directory_path() / "nirvex_bench_sample.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << "a\tb\tc\td\ttarget\r\n";
        std::string line;
        std::size_t written = 0;
        for (uint64_t r = 0; written < 100u * 1000u * 1000u; ++r) {
            line.clear();
            for (int k = 0; k < 5; ++k) {
                uint32_t v = static_cast<uint32_t>(Random(1000000));
                line += std::to_string(v / 1000) + "." + std::to_string(v % 1000);
                line += k < 4 ? '\t' : '\r';
            }
            line += '\n';
            out << line;
            written += line.size();
        }
    }
    const double fileMb = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    const double rssBefore = PeakRssMb();
    auto t1 = std::chrono::steady_clock::now();
    TSampleTable table = ReadTextSample(path.string());
    InitFieldDefaults(table.Fields, table.RecordCount);
    RandomizeFromClock();
    std::vector<int32_t> order = BuildRecordIndex(table.RecordCount);
    const double seconds = Ms(std::chrono::steady_clock::now() - t1) / 1000.0;
    const double tableMb = static_cast<double>(table.RecordCount) * table.Fields.size() * sizeof(double) / 1e6 +
                           static_cast<double>(order.size()) * sizeof(int32_t) / 1e6;
    std::filesystem::remove(path);
    std::printf("sample_load_MBps: %.1f MB/s\n", fileMb / seconds);
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
    auto t2 = std::chrono::steady_clock::now();
    TSampleTable csvTable = ParseCsvSample(csv);
    const double csvSeconds = Ms(std::chrono::steady_clock::now() - t2) / 1000.0;
    std::printf("csv_read_MBps: %.1f MB/s\n", static_cast<double>(csv.size()) / 1e6 / csvSeconds);
    return csvTable.RecordCount > 0 ? 0 : 1;
}

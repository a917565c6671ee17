// A file read in small blocks gives the records, values and line numbers of the file read whole.
#include "common/Errors.h"
#include "common/RandomGen.h"
#include "sample/CsvScanner.h"
#include "sample/SampleBlocks.h"
#include "sample/TextSample.h"

#include "support/ErrorCatch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

using namespace nirvex;

namespace {

struct TRecord {
    std::vector<std::string> Cells;
    int64_t Line = 0;
    bool operator==(const TRecord&) const = default;
};

std::string Trim(std::string_view c) {
    const std::size_t b = std::min(c.size(), c.find_first_not_of(" \t"));
    return std::string(c.substr(b, c.find_last_not_of(" \t") + 1 - b));
}

std::string WriteFile(const std::string& bytes) {
    // One file per test: ctest runs the tests of this file side by side.
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("nirvex_sample_blocks_" +
                               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".csv"))
                                 .string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// The records as the whole-file scanner sees them, cells without the blanks around them.
std::vector<TRecord> WholeRecords(const std::string& bytes, char delimiter) {
    TCsvScanner scan(bytes, delimiter);
    std::vector<TRecord> records;
    std::vector<std::string> cells;
    int32_t line = 0;
    while (scan.Next(cells, line)) {
        TRecord r{{}, line};
        for (const std::string& c : cells)
            r.Cells.push_back(Trim(c));
        records.push_back(r);
    }
    return records;
}

// The same through blocks of about `blockBytes`: the header first, then the records of each block
// with its lines counted on from the lines before it.
std::vector<TRecord> BlockRecords(const std::string& path, std::size_t blockBytes, std::size_t& blocks) {
    TSampleBlockReader reader(path, TBlockFormat::Csv, false, blockBytes);
    std::vector<TRecord> records = {{reader.Names(), 0}};
    int64_t lines = reader.HeaderLines();
    std::string block;
    std::vector<std::string_view> cells;
    int64_t line = 0;
    for (blocks = 0; reader.Next(block); ++blocks) {
        TCsvBlockCursor cursor(block, reader.Delimiter());
        while (cursor.Next(cells, line)) {
            TRecord r{{}, lines + line};
            for (std::string_view c : cells)
                r.Cells.push_back(Trim(c));
            records.push_back(r);
        }
        lines += cursor.Lines();
    }
    return records;
}

} // namespace

// Random CSV of quoted cells with delimiters, quotes and line breaks inside, blanks around cells,
// blank lines and all three line ends, cut into blocks of many sizes: libcsv's records and the lines
// they start on, whatever the cuts. The header names are compared as read (decoded), the rest as cells.
TEST(SampleBlocks, CsvBlocksGiveTheRecordsAndLinesOfTheWholeFile) {
    SetRandSeed(3);
    const char* pieces[] = {"12", "3.5", "x",      " ",    "\"a;b\"", "\"q\"\"q\"", "\"l\r\nm\"", "\"\"",
                            "NA", "\t",  "\"o\" ", "p\"q", "\"r\"s",  "\" \" \"",   "\"\r\"",     "7,25"};
    const char* ends[] = {"\r\n", "\n", "\r", "\r\n\r\n", "\n  \n"};
    for (int file = 0; file < 40; ++file) {
        std::string text = "a;b;c\r\n";
        for (int line = 0; line < 60; ++line) {
            for (int cell = 0; cell < 3; ++cell) {
                text += pieces[Random(16)];
                text += cell < 2 ? ";" : ends[Random(5)];
            }
        }
        const std::string path = WriteFile(text);
        std::vector<TRecord> whole = WholeRecords(text, ';');
        whole.front() = {{"a", "b", "c"}, 0};
        for (std::size_t size : {1, 2, 3, 5, 8, 13, 64, 4096}) {
            std::size_t blocks = 0;
            ASSERT_EQ(BlockRecords(path, size, blocks), whole) << "file " << file << ", blocks of " << size;
            if (size < 64) {
                EXPECT_GT(blocks, 10u);
            }
        }
        std::filesystem::remove(path);
    }
}

// Sample text: the values of every line and its number, a CR LF never cut in two.
TEST(SampleBlocks, TextBlocksGiveTheValuesAndLinesOfTheWholeFile) {
    const std::string text = "x y\r\n1 2\r\n\r\n3.5 -4\n5e1 6\r7 8\r\nwords\r\n9 10 11\r\n12 13";
    const TSampleTable whole = ParseTextSample(text);
    const std::string path = WriteFile(text);
    for (std::size_t size : {1, 2, 4, 7, 100}) {
        TSampleBlockReader reader(path, TBlockFormat::Text, false, size);
        EXPECT_EQ(reader.Names(), (std::vector<std::string>{"x", "y"}));
        std::vector<double> values;
        std::vector<int64_t> wrongLines;
        int64_t lines = reader.HeaderLines(), line = 0;
        int found = 0;
        std::string block;
        while (reader.Next(block)) {
            TTextBlockCursor cursor(block, 2);
            while (cursor.Next(found, line))
                if (found == 2)
                    values.insert(values.end(), cursor.Values(), cursor.Values() + 2);
                else
                    wrongLines.push_back(lines + line);
            lines += cursor.Lines();
        }
        ASSERT_EQ(values.size(), 2u * static_cast<std::size_t>(whole.RecordCount));
        for (std::size_t r = 0; r < values.size(); ++r)
            EXPECT_EQ(values[r], whole.Fields[r % 2].Values[r / 2]) << "blocks of " << size;
        EXPECT_EQ(wrongLines, std::vector<int64_t>{whole.FirstSkippedLine}) << "blocks of " << size;
        EXPECT_EQ(lines, 9);
    }
    std::filesystem::remove(path);
}

// A CSV is UTF-8 when its first megabytes are; Windows-1251 when asked, or when they are not.
TEST(SampleBlocks, CsvEncodingComesFromTheFirstMegabytes) {
    const std::string utf8 = "\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0;x\n1;2\n", cp1251 = "\xD6\xE5\xED\xE0;x\n1;2\n";
    for (const auto& [bytes, force, names, isUtf8] :
         std::vector<std::tuple<std::string, bool, std::string, bool>>{{utf8, false, "Цена", true},
                                                                       {cp1251, false, "Цена", false},
                                                                       {utf8, true, "Р¦РµРЅР°", false},
                                                                       {"\xEF\xBB\xBF" + utf8, true, "Цена", true}}) {
        const std::string path = WriteFile(bytes);
        TSampleBlockReader reader(path, TBlockFormat::Csv, force);
        EXPECT_EQ(reader.Names().front(), names);
        EXPECT_EQ(reader.Utf8(), isUtf8);
        std::filesystem::remove(path);
    }
    EXPECT_EQ(test::ErrorOf([] { TSampleBlockReader("/nonexistent/x.csv", TBlockFormat::Csv); }),
              "Ошибка во входном файле");
}

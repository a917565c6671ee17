// Prediction over a file in blocks: the bytes the whole-table prediction wrote (kept in
// tests/wizard/data/predict, made before the input was read in blocks), on one thread and several;
// nothing written when the last record fails or the run is called off in the middle.
#include "common/Cp1251.h"
#include "common/Errors.h"
#include "common/NumberText.h"
#include "engine/IniFile.h"
#include "project/ProjectFile.h"
#include "support/ErrorCatch.h"
#include "support/TestFiles.h"
#include "wizard/PredictStream.h"
#include "wizard/Wizard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace nirvex;
namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(NIRVEX_DATA_DIR) + "/predict/";
const std::string kTables = std::string(NIRVEX_TESTDATA_DIR) + "/";

class PredictStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nirvex-stream-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        unsetenv("NIRVEX_THREADS");
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // A fixture project, its sample named where it lies.
    void Open(TWizard& into, const std::string& project, const std::string& sample) {
        fs::copy_file(kData + project, Path(project), fs::copy_options::overwrite_existing);
        TIniFile ini(Path(project));
        ini.WriteString("Phase1", "LearnSampleFileName", sample);
        ini.UpdateFile();
        LoadProject(into, Path(project));
    }
    std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {})); }

    fs::path dir_;
    TWizard w;
};

struct TFixture {
    const char* Project;
    std::string Sample, Input;
    const char* Expected; // what the whole-table prediction wrote, in the format of its extension
};

const TFixture kFixtures[] = {
    {"numbers.qvx", kData + "numbers.txt", kData + "numbers_in.txt", "numbers_in.out.txt"},
    {"numbers.qvx", kData + "numbers.txt", kData + "numbers_in.txt", "numbers_in.out.csv"},
    {"mixed.qvx", kData + "mixed.csv", kData + "mixed_in.csv", "mixed_in.out.txt"}, // UTF-8: Köln is written
    {"mixed.qvx", kData + "mixed.csv", kData + "mixed_in.csv", "mixed_in.out.csv"},
    {"mixed.qvx", kData + "mixed.csv", kData + "mixed_in2.csv", "mixed_in2.out.txt"}, // Windows-1251
    {"mixed.qvx", kData + "mixed.csv", kData + "mixed_in2.csv", "mixed_in2.out.csv"},
    {"orders.qvx", kTables + "paradox/ORDERS.DB", kTables + "paradox/ORDERS.DB", "ORDERS.out.csv"},
    {"states.qvx", kTables + "paradox/tblsttes.DB", kTables + "paradox/tblsttes.DB", "tblsttes.out.txt"},
    {"states.qvx", kTables + "paradox/tblsttes.DB", kTables + "paradox/tblsttes.DB", "tblsttes.out.csv"},
    {"parish.qvx", kTables + "dbf/dbase_f5.dbf", kTables + "dbf/dbase_f5.dbf", "dbase_f5.out.txt"},
    {"products.qvx", kTables + "dbf/dbase_31.dbf", kTables + "dbf/dbase_31.dbf", "dbase_31.out.txt"},
    {"products.qvx", kTables + "dbf/dbase_31.dbf", kTables + "dbf/dbase_31.dbf", "dbase_31.out.csv"},
};

// The text the command line prints for a text file's bytes: UTF-8, LF.
std::string Printed(std::string bytes) {
    std::string_view view(bytes);
    std::string text = StripUtf8Bom(view) ? std::string(view) : Cp1251ToUtf8(view);
    std::string out;
    for (char c : text)
        if (c != '\r')
            out += c;
    return out;
}

// The output without the columns of the targets' actual values, which the whole-table prediction did
// not write; `dropped` counts them.
std::string WithoutActuals(const std::string& bytes, bool csv, int& dropped) {
    const std::string eol = csv ? "\n" : "\r\n";
    const char sep = csv ? ',' : '\t';
    std::vector<std::vector<std::string>> lines;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = bytes.find(eol, at);
        lines.emplace_back();
        const std::string line = bytes.substr(at, end - at);
        for (std::size_t b = 0;;) {
            const std::size_t e = line.find(sep, b);
            lines.back().push_back(line.substr(b, e - b));
            if (e == std::string::npos)
                break;
            b = e + 1;
        }
        at = end + eol.size();
    }
    std::vector<bool> actual;
    for (const std::string& cell : lines.at(0))
        actual.push_back(cell.ends_with(" (факт)") || cell.ends_with(".факт") || cell.ends_with(Utf8ToCp1251(".факт")));
    dropped = static_cast<int>(std::count(actual.begin(), actual.end(), true));
    std::string out;
    for (const std::vector<std::string>& cells : lines) {
        std::string line;
        for (std::size_t k = 0; k < cells.size(); ++k)
            if (!actual.at(k))
                line += (k == 0 ? "" : std::string(1, sep)) + cells[k]; // the first column is an input
        out += line + eol;
    }
    return out;
}

} // namespace

// The input files of text and CSV hold no target; the tables do, and their actual values' columns are
// left out of the comparison (and counted).
TEST_F(PredictStreamTest, OutputIsByteForByteTheWholeTablePredictionOnAnyNumberOfThreads) {
    for (const TFixture& f : kFixtures) {
        SCOPED_TRACE(f.Expected);
        TWizard w;
        Open(w, f.Project, f.Sample);
        const std::string expected = test::ReadBytes(kData + f.Expected);
        ASSERT_FALSE(expected.empty());
        const bool csv = std::string(f.Expected).ends_with(".csv"),
                   table = !f.Input.ends_with("csv") && !f.Input.ends_with("txt");
        for (const char* threads : {"1", "3"}) {
            setenv("NIRVEX_THREADS", threads, 1);
            const std::string out = Path(f.Expected);
            const TFilePrediction p = PredictFile(w.NetModel(), f.Input, out, {});
            int dropped = 0;
            EXPECT_EQ(WithoutActuals(test::ReadBytes(out), csv, dropped), expected) << threads << " threads";
            EXPECT_EQ(dropped, table ? static_cast<int>(p.Figures.size()) : 0);
            EXPECT_EQ(p.Figures.empty(), !table);
            if (!csv && !table) {
                std::ostringstream printed;
                PredictToStream(w.NetModel(), f.Input, printed);
                EXPECT_EQ(printed.str(), Printed(expected));
            }
        }
    }
}

// Inputs of several blocks whose last record cannot be taken: the message names it, and the target
// keeps its old content with nothing left beside it.
TEST_F(PredictStreamTest, FailureInTheLastRecordWritesNothing) {
    Open(w, "mixed.qvx", kData + "mixed.csv");
    std::string many = "city;rooms;area;kind;year\n";
    for (int r = 0; r < 40000; ++r)
        many += std::string(r % 2 ? "Тула" : "Казань") + ";" + std::to_string(1 + r % 5) + ";" +
                std::to_string(20 + r % 90) + ",5;дом;" + std::to_string(1950 + r % 70) + "\n";
    const struct {
        std::string Last, Message;
    } cases[] = {
        {"Berlin;2;50;дом;1990\n", "Неизвестное значение «Berlin» поля city в записи 40001"},
        {"Тула;2;50;дом\n", "Неверное число значений в строке 40002"},
        {"Тула;2;fifty;дом;1990\n", "Не число в поле area в записи 40001"},
        {"Тула;NA;50;дом;1990\n",
         "Пропуск в поле rooms в записи 40001. Пропуски этого поля при обучении не заполнялись"},
        {"Тула;2;1e999;дом;1990\n", "Неверное значение или пропуск в файле. Поле area, строка 40002"},
    };
    const std::string input = Path("in.csv"), target = Path("out.txt");
    for (const auto& c : cases) {
        std::ofstream(input, std::ios::binary | std::ios::trunc) << many << c.Last;
        std::ofstream(target, std::ios::binary | std::ios::trunc) << "old";
        EXPECT_EQ(test::ErrorOf([&] { PredictFile(w.NetModel(), input, target, {}); }), c.Message);
        EXPECT_EQ(test::ReadBytes(target), "old");
        EXPECT_EQ(Entries(), 3u); // the project, the input, the target
    }
    // A sample text file's malformed number is the reader's error.
    TWizard numbers;
    Open(numbers, "numbers.qvx", kData + "numbers.txt");
    std::string text = "Length Width Height\r\n";
    for (int r = 0; r < 40000; ++r)
        text += "2 -1.5 900\r\n";
    std::ofstream(Path("in.txt"), std::ios::binary)
        << Utf8ToCp1251("Длина Ширина Высота\r\n") << text.substr(21) << "2 1.2.3 900\r\n";
    EXPECT_EQ(test::ErrorOf([&] { PredictFile(numbers.NetModel(), Path("in.txt"), target, {}); }),
              "Ошибка во входном файле");
    EXPECT_EQ(test::ReadBytes(target), "old");
}

// Called off from a progress report in the middle: the target and its folder are as they were.
TEST_F(PredictStreamTest, CallOffInTheMiddleWritesNothing) {
    Open(w, "numbers.qvx", kData + "numbers.txt");
    std::string text = "Длина Ширина Высота\r\n";
    for (int r = 0; r < 200000; ++r)
        text += std::to_string(r % 30) + ".5 " + std::to_string(r % 9 - 4) + " " + std::to_string(r % 2000) + "\r\n";
    const std::string input = Path("in.txt"), target = Path("out.txt");
    std::ofstream(input, std::ios::binary) << Utf8ToCp1251(text);
    std::ofstream(target, std::ios::binary) << "old";
    std::vector<double> reports;
    const auto callOff = [&](double f) {
        reports.push_back(f);
        if (f > 0.3)
            throw ELoadCancelled();
    };
    EXPECT_THROW(PredictFile(w.NetModel(), input, target, {}, callOff), ELoadCancelled);
    ASSERT_FALSE(reports.empty());
    EXPECT_LT(reports.back(), 1.0);
    EXPECT_EQ(test::ReadBytes(target), "old");
    EXPECT_EQ(Entries(), 3u);
    // Without the call-off it runs to the end.
    reports.clear();
    EXPECT_EQ(PredictFile(w.NetModel(), input, target, {}, [&](double f) { reports.push_back(f); }).Records, 200000);
    EXPECT_EQ(reports.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
}

// A CSV whose first megabytes are UTF-8 and a later byte is not is Windows-1251 throughout, as the
// whole-file reader takes it: the city written in UTF-8 no longer names a value.
TEST_F(PredictStreamTest, CsvThatIsNotUtf8PastItsFirstMegabytesIsReadAsWindows1251) {
    Open(w, "mixed.qvx", kData + "mixed.csv");
    std::string csv = "city;rooms;area;kind;year;note\n";
    while (csv.size() < (5u << 20))
        csv += "Москва;2;50;дом;1990;x\n";
    const std::string input = Path("in.csv");
    std::ofstream(input, std::ios::binary) << csv << "Москва;2;50;дом;1990;\xC0\n";
    EXPECT_EQ(test::ErrorOf([&] { PredictFile(w.NetModel(), input, Path("out.csv"), {}); }),
              "Неизвестное значение «" + Cp1251ToUtf8("Москва") + "» поля city в записи 1");
    std::ofstream(input, std::ios::binary | std::ios::trunc) << csv;
    EXPECT_EQ(PredictFile(w.NetModel(), input, Path("out.csv"), {}).Records,
              std::count(csv.begin(), csv.end(), '\n') - 1);
}

// An input that holds the targets: each actual value right after the computed one, as it came (a gap
// empty, a class training never saw as written), and the figures against a count by hand from the
// written lines: a gap left out, the unseen class counted wrong.
TEST_F(PredictStreamTest, ActualValuesAreWrittenBesideTheComputedOnesAndMeasured) {
    Open(w, "mixed.qvx", kData + "mixed.csv");
    const std::string input = Path("in.csv");
    std::ofstream(input, std::ios::binary) << "class;city;rooms;area;kind;year;price\n"
                                              "A;Москва;2;50,5;дом;1990;160,5\n"
                                              "B;Тула;3;70;квартира;NA;NA\n"
                                              "NA;Казань;1;30;дом;2000;80\n"
                                              "Z;Köln;4;90;дом;1980;120\n"
                                              "C;Тула;2;40;дом;1995;1,25e2\n";
    const TFilePrediction p = PredictFile(w.NetModel(), input, Path("out.csv"), {});
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(test::ReadBytes(Path("out.csv")));
    for (std::string line; std::getline(lines, line);) {
        rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            rows.back().push_back(cell);
    }
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"city", "rooms", "area", "kind", "year", "price", "price (факт)",
                                                 "class", "class (факт)", "class:B", "class:A", "class:C"}));
    const std::vector<std::string> prices = {"160.5", "", "80", "120", "125"}, classes = {"A", "B", "", "Z", "C"};
    double squares = 0, absolute = 0;
    int priced = 0, right = 0;
    std::vector<int64_t> matrix(12); // 3 classes answered, for A, B, C and the unseen
    const std::vector<std::string> names = {"B", "A", "C"};
    for (std::size_t r = 1; r < rows.size(); ++r) {
        ASSERT_GE(rows[r].size(), 9u);
        EXPECT_EQ(rows[r][6], prices[r - 1]);
        EXPECT_EQ(rows[r][8], classes[r - 1]);
        if (!prices[r - 1].empty()) {
            const double error = StrToFloat(rows[r][5]) - StrToFloat(prices[r - 1]);
            squares += error * error;
            absolute += std::fabs(error);
            ++priced;
        }
        if (!classes[r - 1].empty()) {
            const auto answered = std::find(names.begin(), names.end(), rows[r][7]) - names.begin();
            const auto actual = std::find(names.begin(), names.end(), classes[r - 1]) - names.begin(); // 3: unseen
            ++matrix[static_cast<std::size_t>(actual * 3 + answered)];
            right += actual == answered ? 1 : 0;
        }
    }
    ASSERT_EQ(p.Figures.size(), 2u);
    const TFileFigures& price = p.Figures[0];
    EXPECT_EQ(price.Records, priced);
    EXPECT_NEAR(price.Rmse(), std::sqrt(squares / priced), 1e-9 * price.Rmse());
    EXPECT_NEAR(price.MeanAbsError(), absolute / priced, 1e-9 * price.MeanAbsError());
    const TFileFigures& cls = p.Figures[1];
    EXPECT_EQ(cls.Records, 4);
    EXPECT_EQ(cls.Right(), right);
    EXPECT_EQ(cls.Unseen(), 1);
    EXPECT_EQ(cls.Matrix, matrix);
    EXPECT_EQ(FormatFileFigures(p.Figures, p.Records).substr(0, 7), "price: ");

    // The same columns in sample text, where a name holds no blank; the figures do not depend on it.
    const TFilePrediction text = PredictFile(w.NetModel(), input, Path("out.txt"), {});
    std::string_view bytes = test::ReadBytes(Path("out.txt"));
    const std::string header(bytes.substr(0, bytes.find('\r')));
    EXPECT_NE(header.find("\tprice\tprice.факт\tclass\tclass.факт\t"), std::string::npos) << header; // UTF-8: Köln
    EXPECT_EQ(text.Figures[0].Errors.SumSquares, price.Errors.SumSquares);
    EXPECT_EQ(text.Figures[1].Matrix, cls.Matrix);
}

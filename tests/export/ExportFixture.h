#pragma once

// Networks on the prediction page with every normalization method on both sides and several
// shapes, the inputs to run them on, and a runner for the outside programs that check them.

#include "common/CsvCell.h"
#include "common/Errors.h"
#include "export/ExportNet.h"
#include "sample/table/SampleFile.h"
#include "support/WizardTestPeer.h"
#include "wizard/BatchPredict.h"
#include "wizard/PredictStream.h"
#include "wizard/Wizard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace nirvex::test {

struct TExportCase {
    const char* Name; // also the C prefix
    std::vector<int32_t> Layers;
    std::vector<TNormMethod> InputMethods, OutputMethods; // by NetIndex
};

// Together they put each method on inputs and on targets; 17 hidden neurons take the program's
// wide path of the forward pass.
inline const std::vector<TExportCase>& ExportCases() {
    static const std::vector<TExportCase> cases = {
        {"nirvex", {2, 3, 1}, {TNormMethod::Linear, TNormMethod::Sigmoid}, {TNormMethod::Auto}},
        {"iris_2",
         {4, 6, 5, 4},
         {TNormMethod::Auto, TNormMethod::None, TNormMethod::Sigmoid, TNormMethod::Linear},
         {TNormMethod::Sigmoid, TNormMethod::None, TNormMethod::Linear, TNormMethod::Auto}},
        {"Model",
         {3, 1, 2},
         {TNormMethod::None, TNormMethod::Auto, TNormMethod::Linear},
         {TNormMethod::Linear, TNormMethod::Sigmoid}},
        {"_wide",
         {5, 17, 3},
         {TNormMethod::Sigmoid, TNormMethod::Linear, TNormMethod::Auto, TNormMethod::None, TNormMethod::Linear},
         {TNormMethod::None, TNormMethod::Auto, TNormMethod::Sigmoid}},
    };
    return cases;
}

inline std::string Num(double v) {
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

// Parameters that keep the targets away from zero, so that relative differences stay meaningful.
inline TFieldInfo MakeField(const std::string& name, TFieldRole role, TNormMethod method, int32_t netIndex) {
    TFieldInfo f;
    f.FieldName = name;
    f.FieldType = role;
    f.NormType = method;
    f.NetIndex = netIndex;
    f.Min = role == TFieldRole::Input ? -2.0 + netIndex : 10;
    f.Max = role == TFieldRole::Input ? 7.5 + netIndex : 30.25;
    f.Mid = role == TFieldRole::Input ? 3.1 : 50;
    f.Disp = role == TFieldRole::Input ? 2.5 : 4.2;
    f.Alpha = role == TFieldRole::Input ? 0.35 : 0.8;
    return f;
}

// A wizard on the prediction page: fields listed out of network order with unused ones among
// them, one name in Cyrillic, random weights of either sign.
inline void MakeTrainedWizard(TWizard& w, const TExportCase& c, unsigned seed) {
    TWizardTestPeer::Fields(w).clear();
    const auto inputs = static_cast<int32_t>(c.InputMethods.size());
    const auto outputs = static_cast<int32_t>(c.OutputMethods.size());
    for (int32_t j = outputs - 1; j >= 0; --j)
        TWizardTestPeer::Fields(w).push_back(
            MakeField("y" + std::to_string(j), TFieldRole::Target, c.OutputMethods[j], j));
    TWizardTestPeer::Fields(w).push_back(MakeField("unused", TFieldRole::Unused, TNormMethod::Linear, 0));
    for (int32_t i = inputs - 1; i >= 0; --i)
        TWizardTestPeer::Fields(w).push_back(
            MakeField(i == 1 ? "Длина" : "x" + std::to_string(i), TFieldRole::Input, c.InputMethods[i], i));
    TWizardTestPeer::InputCount(w) = inputs;
    TWizardTestPeer::OutputCount(w) = outputs;
    TNeuralNetwork& net = TWizardTestPeer::Network(w);
    net.SetCountLayers(static_cast<int32_t>(c.Layers.size()));
    for (std::size_t l = 0; l < c.Layers.size(); ++l)
        net.SetLayerSize(static_cast<int32_t>(l), c.Layers[l]);
    net.Alpha = 0.7;
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> weight(-1.5, 1.5);
    for (std::size_t l = 0; l + 1 < c.Layers.size(); ++l)
        for (int32_t j = 0; j < c.Layers[l + 1]; ++j) {
            for (int32_t i = 0; i < c.Layers[l]; ++i)
                net.SetWeight(static_cast<int32_t>(l), i, j, weight(gen));
            net.SetThreshold(static_cast<int32_t>(l), j, weight(gen) / 3);
        }
    net.Epoch = 1; // taught: prediction and export take only such a network
    TWizardTestPeer::State(w) = kPageCount - 1;
}

inline TFieldInfo CategoryField(const std::string& name, TFieldRole role, int32_t netIndex,
                                std::vector<std::string> values) {
    TFieldInfo f;
    f.FieldName = name;
    f.FieldType = role;
    f.Kind = TFieldKind::Category;
    f.NormType = TNormMethod::Category;
    f.NetIndex = netIndex;
    f.Categories = std::move(values);
    return f;
}

// A classification on the prediction page: two category inputs between number inputs, a category
// target and a number target, values that C, JSON and comments must escape.
inline void MakeCategoryWizard(TWizard& w, unsigned seed) {
    MakeTrainedWizard(w, {"cat", {7, 5, 4}, {}, {}}, seed);
    TWizardTestPeer::Fields(w) = {
        CategoryField("Класс", TFieldRole::Target, 0, {"A", "Б", "C\"/*"}),
        MakeField("x0", TFieldRole::Input, TNormMethod::Linear, 0),
        CategoryField("Цвет", TFieldRole::Input, 1, {"красный", "say \"hi\" ?\?=", "a*/b\\c?\?/"}),
        MakeField("y", TFieldRole::Target, TNormMethod::Auto, 3),
        MakeField("x1", TFieldRole::Input, TNormMethod::Sigmoid, 4),
        CategoryField("Форма", TFieldRole::Input, 5, {"круг", "квадрат"}),
    };
    TWizardTestPeer::InputCount(w) = 7;
    TWizardTestPeer::OutputCount(w) = 4;
    TNeuralNetwork& net = TWizardTestPeer::Network(w);
    for (int32_t c = 0; c < 3; ++c) { // the colour's value leads to its class through hidden neuron c
        net.SetWeight(0, 1 + c, c, 8);
        net.SetWeight(1, c, c, 8);
    }
}

// The category project's prediction of a file: the input values by slot (a category as its position),
// and per target the class's position or the number, with the classes' shares.
struct TBatchPrediction {
    std::vector<std::vector<std::string>> InputCategories, TargetCategories;
    std::vector<std::vector<double>> Inputs;              // [slot][record]
    std::vector<std::vector<double>> Targets;             // [slot][record]
    std::vector<std::vector<std::vector<double>>> Shares; // [category target][class][record]
    int32_t RecordCount = 0;
};

// The cells of one line of the program's CSV: quoted cells with doubled quotes.
inline std::vector<std::string> CsvCells(const std::string& line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            cells.back() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

// Writes `rows` records for the category project as CSV, values in another order than the
// project's, and returns what `nirvex-cli predict` writes for that file (PredictFile), read back.
inline TBatchPrediction PredictCategoryFile(TWizard& w, const std::string& file, unsigned seed, int rows = 30) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> value(-3.0, 11.0);
    std::string text = "Форма,x1,Цвет,x0\n";
    const std::vector<TFieldInfo>& f = w.Fields();
    TBatchPrediction p;
    p.InputCategories = {{}, f[2].Categories, {}, f[5].Categories};
    p.TargetCategories = {f[0].Categories, {}};
    p.Inputs.assign(4, {});
    for (int r = 0; r < rows; ++r) {
        const std::size_t shape = gen() % 2;
        const double x1 = value(gen);
        const std::size_t colour = gen() % 3;
        const double x0 = value(gen);
        text += CsvCell(f[5].Categories[shape]) + "," + Num(x1) + "," + CsvCell(f[2].Categories[colour]) + "," +
                Num(x0) + "\n";
        p.Inputs[0].push_back(x0);
        p.Inputs[1].push_back(static_cast<double>(colour));
        p.Inputs[2].push_back(x1);
        p.Inputs[3].push_back(static_cast<double>(shape));
    }
    std::ofstream(file) << text;
    const std::string out = file + ".out.csv";
    PredictFile(w.NetModel(), file, out, {});
    // x0, Цвет, x1, Форма, Класс, its three shares, y
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    p.Targets.assign(2, {});
    p.Shares.assign(1, std::vector<std::vector<double>>(3));
    const std::vector<std::string>& classes = p.TargetCategories[0];
    while (std::getline(in, line)) {
        const std::vector<std::string> cells = CsvCells(line);
        if (cells.size() != 9u)
            throw std::runtime_error("unexpected prediction line: " + line);
        p.Targets[0].push_back(
            static_cast<double>(std::find(classes.begin(), classes.end(), cells[4]) - classes.begin()));
        for (std::size_t c = 0; c < 3; ++c)
            p.Shares[0][c].push_back(std::strtod(cells[5 + c].c_str(), nullptr));
        p.Targets[1].push_back(std::strtod(cells[8].c_str(), nullptr));
        ++p.RecordCount;
    }
    if (p.RecordCount != rows)
        throw std::runtime_error("the prediction lost records");
    return p;
}

// Another program's answers against the program's prediction: per record the class's position, y
// and the three classes' shares.
inline void ExpectSameAnswers(const TBatchPrediction& p, const std::vector<std::vector<double>>& answers) {
    ASSERT_EQ(answers.size(), static_cast<std::size_t>(p.RecordCount));
    for (std::size_t r = 0; r < answers.size(); ++r) {
        ASSERT_EQ(answers[r].size(), 5u) << "record " << r;
        EXPECT_EQ(answers[r][0], p.Targets[0][r]) << "class of record " << r;
        EXPECT_LE(std::fabs(answers[r][1] - p.Targets[1][r]), 1e-12 * std::fabs(p.Targets[1][r])) << "record " << r;
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_LE(std::fabs(answers[r][2 + c] - p.Shares[0][c][r]), 1e-12) << "record " << r << ", class " << c;
    }
    for (double c : {0, 1, 2})
        EXPECT_NE(std::find(p.Targets[0].begin(), p.Targets[0].end(), c), p.Targets[0].end()) << "no class " << c;
}

// Input rows in the fields' units, inside and beyond the fields' ranges.
inline std::vector<std::vector<double>> InputRows(const TWizard& w, unsigned seed, int rows = 6) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> value(-3.0, 11.0);
    std::vector<std::vector<double>> r(static_cast<std::size_t>(rows), std::vector<double>(w.InputCount()));
    for (auto& row : r)
        for (double& v : row)
            v = value(gen);
    return r;
}

inline std::string RowsText(const std::vector<std::vector<double>>& rows) {
    std::string s;
    for (const auto& row : rows) {
        for (std::size_t k = 0; k < row.size(); ++k)
            s += (k ? " " : "") + Num(row[k]);
        s += "\n";
    }
    return s;
}

inline std::vector<std::vector<double>> ParseRows(std::istream& in) {
    std::vector<std::vector<double>> rows;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<double>& row = rows.emplace_back();
        std::string word;
        while (words >> word)
            row.push_back(std::strtod(word.c_str(), nullptr));
    }
    return rows;
}

// Lines of cells, tab-separated: records for run_model.js, the first line naming each column's input.
inline std::string RecordsText(const std::vector<std::vector<std::string>>& rows) {
    std::string s;
    for (const auto& row : rows)
        for (std::size_t k = 0; k < row.size(); ++k)
            s += row[k] + (k + 1 < row.size() ? "\t" : "\n");
    return s;
}

// Lines of tab-separated cells.
inline std::vector<std::vector<std::string>> SplitRecords(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line, cell;
    while (std::getline(in, line)) {
        std::istringstream cells(line);
        for (rows.emplace_back(); std::getline(cells, cell, '\t');)
            rows.back().push_back(cell);
    }
    return rows;
}

struct TProgramRun {
    int Status = -1;
    std::string Out;
};

// Runs a shell command; standard error goes to the test's log.
inline TProgramRun RunProgram(const std::string& command) {
    TProgramRun r;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.Out.append(buf, n);
    r.Status = pclose(p);
    return r;
}

// Every output row of the other program against the program's own prediction, 1e-12 relative.
inline void ExpectSamePredictions(TWizard& w, const std::vector<std::vector<double>>& inputs,
                                  const std::vector<std::vector<double>>& outputs) {
    ASSERT_EQ(outputs.size(), inputs.size());
    for (std::size_t r = 0; r < inputs.size(); ++r) {
        const std::vector<double> expected = w.PredictValues(inputs[r]);
        ASSERT_EQ(outputs[r].size(), expected.size()) << "row " << r;
        for (std::size_t j = 0; j < expected.size(); ++j)
            EXPECT_LE(std::fabs(outputs[r][j] - expected[j]), 1e-12 * std::fabs(expected[j]))
                << "row " << r << ", output " << j << ": " << Num(outputs[r][j]) << " against " << Num(expected[j]);
    }
}

// A fresh folder per test, removed afterwards.
class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "nirvex-export-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    std::string dir_;
};

} // namespace nirvex::test

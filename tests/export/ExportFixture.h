#pragma once

// Networks on the prediction page with every normalization method on both sides and several
// shapes, the inputs to run them on, and a runner for the outside programs that check them.

#include "common/Errors.h"
#include "export/ExportNet.h"
#include "support/WizardTestPeer.h"
#include "wizard/Wizard.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

// The C file against the program's own prediction (built with the system compiler), and the
// projects the exporters refuse.
#include "ExportFixture.h"
#include "support/TestFiles.h"
#include "support/WizardTestPeer.h"

#include <algorithm>
#include <fstream>

namespace nirvex {
namespace {

using test::ExportCases;
using test::ExportTest;

// A program around the exported file that predicts every row of its standard input, through the
// file's own count macros; with categories it prints the scores and the returned value after the
// outputs.
std::string Harness(const std::string& name) {
    std::string upper;
    for (char c : name)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return "#include \"model.c\"\n#include <stdio.h>\n\nint main(void)\n{\n"
           "    double in[" +
           upper + "_INPUT_COUNT], out[" + upper +
           "_OUTPUT_COUNT];\n"
           "    int i;\n"
           "    for (;;) {\n"
           "        for (i = 0; i < " +
           upper +
           "_INPUT_COUNT; ++i)\n"
           "            if (scanf(\"%lf\", &in[i]) != 1)\n"
           "                return 0;\n"
           "#ifdef " +
           upper +
           "_SCORE_COUNT\n"
           "        double scores[" +
           upper +
           "_SCORE_COUNT];\n"
           "        int status = " +
           name +
           "_predict(in, out, scores);\n"
           "#else\n"
           "        " +
           name +
           "_predict(in, out);\n"
           "#endif\n"
           "        for (i = 0; i < " +
           upper +
           "_OUTPUT_COUNT; ++i)\n"
           "            printf(i ? \" %.17g\" : \"%.17g\", out[i]);\n"
           "#ifdef " +
           upper +
           "_SCORE_COUNT\n"
           "        for (i = 0; i < " +
           upper +
           "_SCORE_COUNT; ++i)\n"
           "            printf(\" %.17g\", scores[i]);\n"
           "        printf(\" %d\", status);\n"
           "#endif\n"
           "        printf(\"\\n\");\n"
           "    }\n}\n";
}

// The exported file with its harness built as the README says, warnings as errors.
void Compile(const std::string& dir) {
    const std::string build =
        "cc -std=c99 -Wall -Wextra -Werror -pedantic -o " + dir + "/model " + dir + "/main.c -lm 2>&1";
    test::TProgramRun compiled = test::RunProgram(build);
    ASSERT_EQ(compiled.Status, 0) << compiled.Out;
    ASSERT_EQ(compiled.Out, "") << "the compiler warned";
}

TEST_F(ExportTest, CFileComputesWhatTheProgramComputes) {
    unsigned seed = 1;
    for (const test::TExportCase& c : ExportCases()) {
        SCOPED_TRACE(c.Name);
        TWizard w;
        test::MakeTrainedWizard(w, c, seed++);
        ExportProject(w.NetModel(), Path("model.c"), c.Name);
        std::ofstream(Path("main.c")) << Harness(c.Name);
        const auto inputs = test::InputRows(w, seed++);
        std::ofstream(Path("rows.txt")) << test::RowsText(inputs);

        ASSERT_NO_FATAL_FAILURE(Compile(dir_));
        test::TProgramRun run = test::RunProgram(Path("model") + " < " + Path("rows.txt"));
        ASSERT_EQ(run.Status, 0);
        std::istringstream out(run.Out);
        test::ExpectSamePredictions(w, inputs, test::ParseRows(out));
    }
}

// Category inputs as the numbers of their values, the category target's class number and shares;
// a number that names no value gives NAN everywhere and the input's number + 1.
TEST_F(ExportTest, CFileAnswersCategoriesAsPredictDoes) {
    TWizard w;
    test::MakeCategoryWizard(w, 31);
    ExportProject(w.NetModel(), Path("model.c"), "cat");
    std::ofstream(Path("main.c")) << Harness("cat");
    ASSERT_NO_FATAL_FAILURE(Compile(dir_));
    const test::TBatchPrediction p = test::PredictCategoryFile(w, Path("rows.csv"), 32);
    std::vector<std::vector<double>> rows;
    for (std::size_t r = 0; r < static_cast<std::size_t>(p.RecordCount); ++r)
        rows.push_back({p.Inputs[0][r], p.Inputs[1][r], p.Inputs[2][r], p.Inputs[3][r]});
    rows.push_back({1, 3, 1, 0});   // Цвет has 3 values
    rows.push_back({1, 0, 1, 0.5}); // Форма: no whole number
    std::ofstream(Path("rows.txt")) << test::RowsText(rows);
    test::TProgramRun run = test::RunProgram(Path("model") + " < " + Path("rows.txt"));
    ASSERT_EQ(run.Status, 0);
    std::istringstream out(run.Out);
    std::vector<std::vector<double>> answers = test::ParseRows(out); // outputs, scores, returned value
    ASSERT_EQ(answers.size(), rows.size());
    for (std::size_t r = 0; r < answers.size(); ++r) {
        const std::size_t refused = r < rows.size() - 2 ? 0 : r + 2 == rows.size() ? 2 : 4;
        ASSERT_EQ(answers[r].size(), 6u);
        EXPECT_EQ(answers[r].back(), refused) << "record " << r;
        answers[r].pop_back();
        EXPECT_TRUE(refused == 0 ||
                    std::all_of(answers[r].begin(), answers[r].end(), [](double v) { return std::isnan(v); }));
    }
    answers.resize(rows.size() - 2);
    test::ExpectSameAnswers(p, answers);
    const std::string text = test::ReadBytes(Path("model.c"));
    for (const char* part : {" *   1  Цвет: категория, номер значения:\n *        0  \"красный\"\n"
                             " *        1  \"say \"hi\" ?\?=\"\n *        2  \"a* /b\\c?\?/\"\n",
                             "    \"say \\\"hi\\\" \\?\\?=\",\n    \"a*/b\\\\c\\?\\?/\"\n};\n",
                             " *   0  Класс: категория, номер класса; доли классов в scores[0..2]:\n",
                             "int cat_predict(const double *inputs, double *outputs, double *scores);\n"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
}

TEST_F(ExportTest, CFileHeaderNamesFieldsMethodsAndShape) {
    TWizard w;
    test::MakeTrainedWizard(w, ExportCases()[1], 3);
    TWizardTestPeer::Fields(w).back().FieldName = "x0 */ broken";
    ExportProject(w.NetModel(), Path("model.C"), "iris_2");
    const std::string text = test::ReadBytes(Path("model.C"));
    for (const char* part :
         {"Слои: 4-6-5-4 нейронов, наклон сигмоиды 0.69999999999999996",
          " *   0  x0 * / broken: авто, среднее = 3.1000000000000001, отклонение = 2.5\n",
          " *   1  Длина: без нормализации\n", " *   2  x2: 1/(1+exp(-ax)), a = 0.34999999999999998\n",
          " *   3  x3: (X-MIN)/(MAX-MIN), MIN = 1.0, MAX = 10.5\n",
          " *   2  y2: (X-MIN)/(MAX-MIN), MIN = 10.0, MAX = 30.25\n", "#define IRIS_2_INPUT_COUNT 4\n",
          "#define IRIS_2_OUTPUT_COUNT 4\n", "static const double iris_2_w1[4 * 6] = {",
          "static const double iris_2_t3[4] = {", "void iris_2_predict(const double *inputs, double *outputs)\n{"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    // The first weight reads back exactly.
    const std::string start = "iris_2_w1[4 * 6] = {\n    ";
    ASSERT_NE(text.find(start), std::string::npos);
    EXPECT_EQ(std::strtod(text.c_str() + text.find(start) + start.size(), nullptr), w.Network().GetWeight(0, 0, 0));
}

TEST_F(ExportTest, RefusedProjectsWriteNothing) {
    struct TRefusal {
        const char* What;
        std::string File, Name;
        std::function<void(TWizard&)> Spoil;
        std::string Message;
    };
    const std::vector<TRefusal> refusals = {
        {"page 5", "m.onnx", "nirvex", [](TWizard& w) { TWizardTestPeer::State(w) = 4; }, msgNotTrained},
        {"network built anew", "m.c", "nirvex", [](TWizard& w) { TWizardTestPeer::Network(w).Epoch = 0; },
         msgNotTrained},
        {"unknown extension", "m.txt", "nirvex", [](TWizard&) {}, msgExportFormat},
        {"no extension", "m", "nirvex", [](TWizard&) {}, msgExportFormat},
        {"name with a blank", "m.c", "my net", [](TWizard&) {}, msgExportName},
        {"name starting with a digit", "m.c", "2net", [](TWizard&) {}, msgExportName},
        {"empty name", "m.c", "", [](TWizard&) {}, msgExportName},
        {"linear input without a range", "m.onnx", "nirvex",
         [](TWizard& w) { TWizardTestPeer::Fields(w).back().Max = TWizardTestPeer::Fields(w).back().Min; },
         std::string(msgExportDivByZero) + "x0"},
        {"automatic input without spread", "m.c", "nirvex",
         [](TWizard& w) {
             TWizardTestPeer::Fields(w).back().NormType = TNormMethod::Auto;
             TWizardTestPeer::Fields(w).back().Disp = 0;
         },
         std::string(msgExportDivByZero) + "x0"},
        {"sigmoid target with slope 0", "m.c", "nirvex",
         [](TWizard& w) {
             TWizardTestPeer::Fields(w)[0].NormType = TNormMethod::Sigmoid;
             TWizardTestPeer::Fields(w)[0].Alpha = 0;
         },
         std::string(msgExportDivByZero) + "y0"},
        {"weight not a number", "m.onnx", "nirvex",
         [](TWizard& w) { TWizardTestPeer::Network(w).SetWeight(0, 1, 2, NAN); }, msgExportNotFinite},
        {"infinite parameter", "m.c", "nirvex", [](TWizard& w) { TWizardTestPeer::Fields(w).back().Min = INFINITY; },
         msgExportNotFinite},
        {"input layer of another size", "m.onnx", "nirvex", [](TWizard& w) { TWizardTestPeer::InputCount(w) = 1; },
         msgExportShape},
        {"two inputs on one position", "m.onnx", "nirvex",
         [](TWizard& w) { TWizardTestPeer::Fields(w).back().NetIndex = 1; }, msgExportShape},
        {"empty hidden layer", "m.c", "nirvex",
         [](TWizard& w) {
             TWizardTestPeer::Network(w).SetLayerSize(1, 0);
             TWizardTestPeer::Network(w).Epoch = 1; // reshaping starts the count again
         },
         msgExportEmptyLayer},
    };
    for (const TRefusal& r : refusals) {
        SCOPED_TRACE(r.What);
        TWizard w;
        test::MakeTrainedWizard(w, ExportCases()[0], 7);
        r.Spoil(w);
        std::string error;
        try {
            ExportProject(w.NetModel(), Path(r.File), r.Name);
        } catch (const EError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, r.Message);
        EXPECT_FALSE(std::filesystem::exists(Path(r.File)));
    }
}

} // namespace
} // namespace nirvex

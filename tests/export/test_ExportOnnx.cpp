// The ONNX model read back and run by ONNX Runtime (through its Node.js package) against the
// program's own prediction; the Python checker's full check.
#include "ExportFixture.h"

#include <onnx/onnx_pb.h>

#include <algorithm>
#include <fstream>

namespace nirvex {
namespace {

using test::ExportCases;
using test::ExportTest;

onnx::ModelProto ReadModel(const std::string& fileName) {
    onnx::ModelProto model;
    std::ifstream in(fileName, std::ios::binary);
    EXPECT_TRUE(model.ParseFromIstream(&in));
    return model;
}

std::string Metadata(const onnx::ModelProto& model, const std::string& key) {
    for (const auto& p : model.metadata_props())
        if (p.key() == key)
            return p.value();
    return "(missing)";
}

// The model run by ONNX Runtime on `records` (see run_model.js).
test::TProgramRun RunOnnxRuntime(const std::string& model, const std::vector<std::vector<std::string>>& records,
                                 const std::string& file) {
    std::ofstream(file) << test::RecordsText(records);
    return test::RunProgram(std::string(NIRVEX_NODE) + " " + NIRVEX_ORT_DIR "/run_model.js " + model + " " + file);
}

void ExpectCheckerAccepts(const std::string& model) {
    const std::string check = std::string(NIRVEX_PYTHON) +
                              " -c 'import onnx, sys; onnx.checker.check_model(onnx.load(sys.argv[1]), "
                              "full_check=True)' " +
                              model + " 2>&1";
    test::TProgramRun checked = test::RunProgram(check);
    EXPECT_EQ(checked.Status, 0) << checked.Out;
}

TEST_F(ExportTest, OnnxRuntimeComputesWhatTheProgramComputes) {
    ASSERT_TRUE(std::filesystem::exists(NIRVEX_ORT_DIR "/node_modules/onnxruntime-node"))
        << "ONNX Runtime for Node.js is not installed (node and npm come from scripts/setup.sh)";
    unsigned seed = 11;
    for (const test::TExportCase& c : ExportCases()) {
        SCOPED_TRACE(c.Name);
        TWizard w;
        test::MakeTrainedWizard(w, c, seed++);
        ExportProject(w.NetModel(), Path("model.onnx"), c.Name);
        const auto inputs = test::InputRows(w, seed++, 7);
        ExpectCheckerAccepts(Path("model.onnx"));
        std::vector<std::vector<std::string>> records = {std::vector<std::string>(inputs[0].size(), "inputs")};
        for (const auto& row : inputs)
            std::transform(row.begin(), row.end(), std::back_inserter(records.emplace_back()), test::Num);
        test::TProgramRun run = RunOnnxRuntime(Path("model.onnx"), records, Path("records.txt"));
        ASSERT_EQ(run.Status, 0) << run.Out;
        std::istringstream out(run.Out);
        test::ExpectSamePredictions(w, inputs, test::ParseRows(out));
    }
}

// Category inputs are strings, a category target gives its class and the shares; a value the field
// never had is an error.
TEST_F(ExportTest, OnnxRuntimeAnswersCategoriesAsPredictDoes) {
    TWizard w;
    test::MakeCategoryWizard(w, 21);
    ExportProject(w.NetModel(), Path("model.onnx"));
    ExpectCheckerAccepts(Path("model.onnx"));
    const test::TBatchPrediction p = test::PredictCategoryFile(w, Path("rows.csv"), 22);
    auto run = [&](const std::string& unseen) {
        std::vector<std::vector<std::string>> records = {{"inputs", "Цвет", "inputs", "Форма"}};
        for (std::size_t r = 0; r < static_cast<std::size_t>(p.RecordCount); ++r)
            records.push_back({test::Num(p.Inputs[0][r]),
                               r == 3 && !unseen.empty() ? unseen : p.InputCategories[1][p.Inputs[1][r]],
                               test::Num(p.Inputs[2][r]), p.InputCategories[3][p.Inputs[3][r]]});
        return RunOnnxRuntime(Path("model.onnx"), records, Path("records.txt"));
    };
    const test::TProgramRun answered = run("");
    ASSERT_EQ(answered.Status, 0) << answered.Out;
    // Each line: outputs (y), Класс_label, Класс_scores.
    std::vector<std::vector<double>> answers;
    for (const std::vector<std::string>& cells : test::SplitRecords(answered.Out)) {
        ASSERT_EQ(cells.size(), 5u);
        const std::vector<std::string>& classes = p.TargetCategories[0];
        answers.push_back({static_cast<double>(std::find(classes.begin(), classes.end(), cells[1]) - classes.begin())});
        for (std::size_t c : {0, 2, 3, 4})
            answers.back().push_back(std::strtod(cells[c].c_str(), nullptr));
    }
    test::ExpectSameAnswers(p, answers);

    const test::TProgramRun unseen = run("зелёный");
    EXPECT_NE(unseen.Status, 0);
    EXPECT_EQ(unseen.Out, "");
}

TEST_F(ExportTest, OnnxModelDescribesItself) {
    TWizard w;
    test::MakeTrainedWizard(w, ExportCases()[1], 5);
    ExportProject(w.NetModel(), Path("model.ONNX"), "iris_2");
    const onnx::ModelProto model = ReadModel(Path("model.ONNX"));
    EXPECT_EQ(model.ir_version(), 8);
    ASSERT_EQ(model.opset_import_size(), 1);
    EXPECT_EQ(model.opset_import(0).version(), 13);
    EXPECT_EQ(Metadata(model, "input_fields"), "x0,Длина,x2,x3");
    EXPECT_EQ(Metadata(model, "output_fields"), "y0,y1,y2,y3");
    EXPECT_NE(model.doc_string().find("4-6-5-4"), std::string::npos) << model.doc_string();
    EXPECT_NE(model.doc_string().find("Nirvex " NIRVEX_VERSION), std::string::npos) << model.doc_string();
    EXPECT_EQ(model.graph().name(), "iris_2");
    for (const auto* io : {&model.graph().input(0), &model.graph().output(0)}) {
        const auto& t = io->type().tensor_type();
        EXPECT_EQ(t.elem_type(), onnx::TensorProto::DOUBLE);
        ASSERT_EQ(t.shape().dim_size(), 2);
        EXPECT_EQ(t.shape().dim(0).dim_param(), "N");
        EXPECT_EQ(t.shape().dim(1).dim_value(), 4);
    }
    EXPECT_EQ(model.graph().input(0).name(), "inputs");
    EXPECT_EQ(model.graph().output(0).name(), "outputs");
}

TEST_F(ExportTest, OnnxModelNamesCategoriesAsJson) {
    TWizard w;
    test::MakeCategoryWizard(w, 4);
    TWizardTestPeer::Fields(w)[1].FieldName = "x\"0";        // a number input's name, escaped in JSON
    TWizardTestPeer::Fields(w)[5].FieldName = "Класс_label"; // a category input taking a target's name
    ExportProject(w.NetModel(), Path("model.onnx"), "cat");
    const onnx::ModelProto model = ReadModel(Path("model.onnx"));
    EXPECT_EQ(Metadata(model, "input_fields"), R"(["x\"0","x1"])");
    EXPECT_EQ(Metadata(model, "output_fields"), R"(["y"])");
    EXPECT_EQ(Metadata(model, "categories"),
              R"({"Цвет":["красный","say \"hi\" ??=","a*/b\\c??/"],"Класс_label":["круг","квадрат"],)"
              R"("Класс":["A","Б","C\"/*"]})");
    ASSERT_EQ(model.opset_import_size(), 2);
    EXPECT_EQ(model.opset_import(1).domain(), "ai.onnx.ml");
    std::vector<std::string> inputs, outputs;
    for (const auto& v : model.graph().input())
        inputs.push_back(v.name() + ":" + std::to_string(v.type().tensor_type().elem_type()));
    for (const auto& v : model.graph().output())
        outputs.push_back(v.name() + ":" + std::to_string(v.type().tensor_type().elem_type()));
    EXPECT_EQ(inputs, (std::vector<std::string>{"inputs:11", "Цвет:8", "Класс_label:8"}));
    EXPECT_EQ(outputs, (std::vector<std::string>{"outputs:11", "Класс_label_2:8", "Класс_scores:11"}));
}

} // namespace
} // namespace nirvex

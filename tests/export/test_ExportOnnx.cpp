// The ONNX model read back and run by ONNX Runtime (through its Node.js package) against the
// program's own prediction; the Python checker's full check.
#include "ExportFixture.h"

#include <onnx/onnx_pb.h>

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
        std::ofstream(Path("rows.txt")) << test::RowsText(inputs);

        const std::string check = std::string(NIRVEX_PYTHON) +
                                  " -c 'import onnx, sys; onnx.checker.check_model(onnx.load(sys.argv[1]), "
                                  "full_check=True)' " +
                                  Path("model.onnx") + " 2>&1";
        test::TProgramRun checked = test::RunProgram(check);
        EXPECT_EQ(checked.Status, 0) << checked.Out;

        test::TProgramRun run = test::RunProgram(std::string(NIRVEX_NODE) + " " + NIRVEX_ORT_DIR "/run_model.js " +
                                                 Path("model.onnx") + " " + Path("rows.txt"));
        ASSERT_EQ(run.Status, 0) << run.Out;
        std::istringstream out(run.Out);
        std::string head;
        std::getline(out, head);
        EXPECT_EQ(head, "float64 " + std::to_string(inputs.size()) + " " + std::to_string(w.OutputCount()));
        test::ExpectSamePredictions(w, inputs, test::ParseRows(out));
    }
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

} // namespace
} // namespace nirvex

// What the export takes out of a project: an all-number project exactly as before categories were
// exported (the files kept under data/), and the category fields' values.
#include "ExportFixture.h"
#include "support/TestFiles.h"

#include <onnx/onnx_pb.h>

namespace nirvex {
namespace {

using test::ExportTest;

// The stored files were written by version 1.5.0; only that text may differ.
std::string WithVersion(std::string text) {
    const std::string stored = "Nirvex 1.5.0";
    for (std::size_t at = text.find(stored); at != std::string::npos; at = text.find(stored, at + 1))
        text.replace(at, stored.size(), "Nirvex " NIRVEX_VERSION);
    return text;
}

TEST_F(ExportTest, AllNumberProjectExportsAsBefore) {
    TWizard w;
    test::MakeTrainedWizard(w, test::ExportCases()[1], 1);
    // Weights from exact arithmetic alone, whatever the library's random distributions do.
    TNeuralNetwork& net = TWizardTestPeer::Network(w);
    int k = 0;
    for (int32_t l = 0; l + 1 < net.CountLayers(); ++l)
        for (int32_t j = 0; j < net.GetLayerSize(l + 1); ++j) {
            for (int32_t i = 0; i < net.GetLayerSize(l); ++i)
                net.SetWeight(l, i, j, ((k++ * 37) % 101 - 50) / 33.0);
            net.SetThreshold(l, j, ((k++ * 53) % 97 - 48) / 71.0);
        }
    net.Epoch = 1;
    ExportProject(w.NetModel(), Path("iris_2.c"), "iris_2");
    EXPECT_EQ(test::ReadBytes(Path("iris_2.c")), WithVersion(test::ReadBytes(NIRVEX_EXPORT_DATA "/iris_2.c")));

    ExportProject(w.NetModel(), Path("iris_2.onnx"), "iris_2");
    onnx::ModelProto stored;
    ASSERT_TRUE(stored.ParseFromString(test::ReadBytes(NIRVEX_EXPORT_DATA "/iris_2.onnx")));
    stored.set_producer_version(NIRVEX_VERSION);
    stored.set_doc_string(WithVersion(stored.doc_string()));
    EXPECT_EQ(test::ReadBytes(Path("iris_2.onnx")), stored.SerializeAsString());
}

} // namespace
} // namespace nirvex

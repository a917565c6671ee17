// The main of the high-density window tests: unless a platform is set, an offscreen desktop of two
// screens side by side, the first (primary) of device pixel ratio 2, the second of 1.
#include <QApplication>
#include <QFont>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    QTemporaryDir dir;
    // The plain offscreen platform the test script sets has one screen of density 1: these tests bring
    // their own screens.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((platform == nullptr || std::string(platform) == "offscreen") && dir.isValid()) {
        const std::string config = dir.filePath(QStringLiteral("screens.json")).toStdString();
        std::ofstream(config) << R"({"screens": [
            {"name": "Dense", "x": 0, "y": 0, "width": 1600, "height": 1000, "logicalDpi": 96, "dpr": 2},
            {"name": "Plain", "x": 1600, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96, "dpr": 1}]})";
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).c_str(), 1);
    }
    QApplication app(argc, argv);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Any bytes as a project file: the load either restores a project or ends in one fixed message.
// The project sits in a directory with a small sample "s.txt", which a project naming any path
// ending in s.txt finds through the directory fallback, so the later pages are reached too; a
// network restored for the training page is then trained for an epoch and asked to predict.
#include "common/Errors.h"
#include "engine/IniFile.h"
#include "project/ProjectFile.h"
#include "wizard/Wizard.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& ProjectDir() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/nirvex-fuzz-project-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        std::ofstream(std::string(pattern) + "/s.txt", std::ios::binary)
            << "a\tb\tc\r\n1\t2\t3\r\n4\t5\t6.5\r\n7\t8\t9\r\n0\t1\t0\r\n";
        return std::string(pattern);
    }();
    return dir;
}

// A restored network is used as the training and the prediction page would: one epoch, then
// one prediction. Large shapes are left out; they only slow the search down.
void TrainAndPredict(nirvex::TWizard& w) {
    using namespace nirvex;
    int64_t connections = 0;
    for (int32_t l = 0; l + 1 < w.Network().CountLayers(); ++l)
        connections += int64_t{w.Network().GetLayerSize(l)} * w.Network().GetLayerSize(l + 1);
    if (connections > 100000)
        return;
    // One epoch past the counter the project holds: a run at its limit trains nothing.
    w.CriterionClicked(TCriterion::Epoch, true);
    w.SetCriterionCount(TCriterion::Epoch, std::min(w.Network().Epoch, 100000));
    w.LearnClicked(TWizard::TRunHooks{});
    try {
        w.PredictValues(std::vector<double>(static_cast<std::size_t>(w.InputCount()), 0.5));
    } catch (const EError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace nirvex;
    const TIniFile ini =
        TIniFile::FromBytes(std::string_view(reinterpret_cast<const char*>(data), size), ProjectDir() + "/p.qvx");
    TWizard w;
    try {
        LoadProjectFromIni(w, ini);
    } catch (const EError&) {
        return 0;
    }
    // Only a sample taken from beside the project leaves it modified.
    if (w.State() < 0 || w.State() >= kPageCount || w.Modified() != (w.NoticeCount() > 0) || w.PageChanged())
        std::abort();
    for (int32_t r : w.RecordIndex())
        if (r < 0 || r >= w.RecordCount())
            std::abort();
    if (w.State() >= 5)
        TrainAndPredict(w);
    TIniFile copy = ini;
    try {
        WriteProject(w, copy);
    } catch (const EError&) {
    }
    return 0;
}

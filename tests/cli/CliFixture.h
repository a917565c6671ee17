#pragma once

// The command line run in-process on a copy of the bundled iris sample in a folder of its own.
#include "app/cli/Cli.h"
#include "project/ProjectFile.h"
#include "wizard/Wizard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace nirvex::test {

namespace fs = std::filesystem;

inline std::vector<std::string> Split(const std::string& text, const std::string& sep) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    for (;;) {
        std::size_t next = text.find(sep, pos);
        if (next == std::string::npos) {
            parts.push_back(text.substr(pos));
            return parts;
        }
        parts.push_back(text.substr(pos, next - pos));
        pos = next + sep.size();
    }
}

struct TCliResult {
    int Code;
    std::string Out, Err;
};

inline TCliResult RunCommand(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int code = RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "nirvex-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        sample_ = Path("iris.txt");
        fs::copy_file(std::string(NIRVEX_EXAMPLES_DIR) + "/iris.txt", sample_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // A project built in the window's way: iris, 4 hidden neurons, the epoch limit ticked, saved on
    // page `state` + 1. A project past the training page was trained there to its limit first.
    std::string MakeProject(const std::string& name, int32_t state, bool epochLimit = true, bool keepBest = false) {
        TWizard w;
        w.SampleFileTextChanged(sample_);
        for (;;) {
            if (w.State() == 5 && state > 5)
                w.LearnClicked({});
            if (w.State() == 2)
                w.SetLayerCell(1, "4");
            if (w.State() == 3 && epochLimit) {
                w.CriterionClicked(TCriterion::Epoch, true);
                w.SetCriterionCount(TCriterion::Epoch, 20);
            }
            if (w.State() == 3 && keepBest)
                w.KeepBestClicked(true);
            if (w.State() >= state)
                break;
            w.Next();
        }
        return SaveProject(w, Path(name));
    }

    std::string dir_;
    std::string sample_;
};

} // namespace nirvex::test

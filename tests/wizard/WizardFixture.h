#pragma once

#include "common/Errors.h"
#include "support/ErrorCatch.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace nirvex::test {

// A wizard with helpers that walk it as a user would.
class WizardTest : public ::testing::Test {
protected:
    std::string Iris() const { return std::string(NIRVEX_EXAMPLES_DIR) + "/iris.txt"; }

    std::string WriteSample(const std::string& name, const std::string& content) {
        auto path = std::filesystem::temp_directory_path() / ("nirvex_wizard_" + name);
        std::ofstream(path, std::ios::binary) << content;
        files_.push_back(path);
        return path.string();
    }
    void TearDown() override {
        for (auto& f : files_)
            std::filesystem::remove(f);
    }
    void Type(const std::string& fileName) { w.SampleFileTextChanged(fileName); }
    // Pages 1 and 2 with the default roles, landing on page 3.
    void ToNetPage(const std::string& fileName) {
        Type(fileName);
        w.Next();
        w.Next();
        ASSERT_EQ(w.State(), 2);
    }
    void ToLearnPage(const std::string& fileName) {
        ToNetPage(fileName);
        w.Next();
        ASSERT_EQ(w.State(), 3);
    }
    // On to page 7 past a run of `epochs` + 1 epochs: a network taught, as prediction needs.
    void ToTrainedPredictPage(const std::string& fileName, int32_t epochs = 2) {
        ToLearnPage(fileName);
        w.CriterionClicked(TCriterion::Epoch, true);
        w.SetCriterionCount(TCriterion::Epoch, epochs);
        w.Next();
        w.Next();
        w.LearnClicked({});
        w.Next();
        ASSERT_EQ(w.State(), 6);
        ASSERT_TRUE(w.NetworkTrained());
    }

    TWizard w;
    std::vector<std::filesystem::path> files_;
};

} // namespace nirvex::test

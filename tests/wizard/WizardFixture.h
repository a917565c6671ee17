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

    TWizard w;
    std::vector<std::filesystem::path> files_;
};

} // namespace nirvex::test

#pragma once

#include "sample/LoadProgress.h"

#include <gtest/gtest.h>

#include <vector>

namespace nirvex::test {

// Records the reports of a long step.
struct TProgressLog {
    std::vector<double> Reports;

    TProgressProc Proc() {
        return [this](double f) { Reports.push_back(f); };
    }
    // At least `atLeast` reports, none going down or leaving [0, 1], the last one 1.
    ::testing::AssertionResult Complete(std::size_t atLeast = 2) const {
        if (Reports.size() < atLeast)
            return ::testing::AssertionFailure() << Reports.size() << " reports, expected " << atLeast;
        for (std::size_t i = 0; i < Reports.size(); ++i) {
            if (Reports[i] < 0 || Reports[i] > 1 || (i > 0 && Reports[i] < Reports[i - 1]))
                return ::testing::AssertionFailure() << "report " << i << " is " << Reports[i];
        }
        if (Reports.back() != 1.0)
            return ::testing::AssertionFailure() << "ends at " << Reports.back();
        return ::testing::AssertionSuccess();
    }
};

} // namespace nirvex::test

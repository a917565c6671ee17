#pragma once

#include "training/StopCriteria.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nirvex {

class TWizard;

// The choices of `nirvex-cli new` as typed; each is checked by the page it belongs to.
struct TNewProjectOptions {
    std::string Sample;
    std::optional<std::string> Output;
    std::vector<std::string> Targets, Inputs, Ignored, FillGaps;
    std::vector<std::string> Norms; // NAME=METHOD
    std::optional<std::string> Hidden, Slope, Rate, Momentum, TrainShare, ValidShare, Seed, IdentError;
    std::array<std::optional<std::string>, kCriterionCount> Criteria;
    bool Validate = false, KeepBest = false;
};

// The option that ticks a stop criterion and gives its value.
const char* CriterionOption(TCriterion id);

// `new`'s arguments after the word "new"; nullopt for wrong usage (an unknown option, a value missing,
// an option given twice that takes one value, no sample or no -o).
std::optional<TNewProjectOptions> ParseNewProject(const std::vector<std::string>& args);

// Drives `w` through pages 1 to 4 with these choices as the window would, onto the report page: the
// sample as the open dialog gives it, then the roles and methods on page 2, the shape and slope on
// page 3, the settings on page 4, each page left with "Далее >>". What is not chosen stays as the
// window proposes it, except the epoch limit, which is ticked (1000 epochs unless given) so that the
// project can train. `tell` gets the lines to print on standard error (the target taken by default,
// the drawn record order). Raises the pages' errors, prefixed with the option at fault.
void MakeNewProject(TWizard& w, const TNewProjectOptions& options, const std::function<void(const std::string&)>& tell);

} // namespace nirvex

#pragma once

#include "wizard/Wizard.h"

namespace nirvex {

// Reaches the model's state where a test must force what no operation would do: a network that no
// longer fits its fields, a parameter set behind the page's back, a page reached without its steps.
class TWizardTestPeer {
public:
    static TNeuralNetworkINI& Network(TWizard& w) { return w.network_; }
    static std::vector<TFieldInfo>& Fields(TWizard& w) { return w.fields_; }
    static int32_t& State(TWizard& w) { return w.state_; }
    static int32_t& InputCount(TWizard& w) { return w.inputCount_; }
    static int32_t& OutputCount(TWizard& w) { return w.outputCount_; }
    static bool& PageChanged(TWizard& w) { return w.pageChanged_; }
    static bool& Modified(TWizard& w) { return w.modified_; }
    static bool& StopRequested(TWizard& w) { return w.stopRequested_; }
    static uint32_t& IndexSeed(TWizard& w) { return w.indexSeed_; }
    static std::string& LearnSampleFileName(TWizard& w) { return w.learnSampleFileName_; }
    static TLearnPage& LearnPage(TWizard& w) { return w.learnPage_; }
    static int32_t& ExampleCursor(TWizard& w) { return w.exampleCursor_; }
    static double& PrevTestErr(TWizard& w) { return w.prevTestErr_; }
    static double IdentErrLimit(const TWizard& w) { return w.identErrLimit_; }
    static double CriterionLimit(const TWizard& w, TCriterion c) { return w.criterionLimits_[CriterionSlot(c)]; }
    static void ShowFieldSettings(TWizard& w) { w.ShowFieldSettings(); }
};

} // namespace nirvex

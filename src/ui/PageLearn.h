#pragma once

#include "WizardHost.h"

namespace nirvex {

// Page tsLearn. (Placeholder until the page's controls land.)
class TPageLearn : public TWizardPage {
public:
    TPageLearn(IWizardHost& host, QWidget* parent);
    void ShowPage() override;
};

} // namespace nirvex

#pragma once

#include "WizardHost.h"

namespace nirvex {

// Page tsLearnConfig. (Placeholder until the page's controls land.)
class TPageLearnConfig : public TWizardPage {
public:
    TPageLearnConfig(IWizardHost& host, QWidget* parent);
    void ShowPage() override;
};

} // namespace nirvex

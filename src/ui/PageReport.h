#pragma once

#include "WizardHost.h"

namespace nirvex {

// Page tsInfo. (Placeholder until the page's controls land.)
class TPageReport : public TWizardPage {
public:
    TPageReport(IWizardHost& host, QWidget* parent);
    void ShowPage() override;
};

} // namespace nirvex

#pragma once

#include "WizardHost.h"

namespace nirvex {

// Page tsPredict. (Placeholder until the page's controls land.)
class TPagePredict : public TWizardPage {
public:
    TPagePredict(IWizardHost& host, QWidget* parent);
    void ShowPage() override;
};

} // namespace nirvex

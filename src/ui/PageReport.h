#pragma once

#include "ui/WizardHost.h"

class QPlainTextEdit;

namespace nirvex {

// Page tsInfo: the configuration report, rebuilt by the model's show step, read-only.
class TPageReport : public TWizardPage {
public:
    TPageReport(IWizardHost& host, QWidget* parent);
    void ShowPage() override;

private:
    QPlainTextEdit* mReport_;
};

} // namespace nirvex

#pragma once

#include "ui/WizardHost.h"

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace nirvex {

// Page tsLearnSample: the name of the training sample file.
class TPageSample : public TWizardPage {
    Q_OBJECT
public:
    TPageSample(IWizardHost& host, QWidget* parent);
    void ShowPage() override;
    void SyncToModel() override;

    void btnBrowseLearnSampleFileClick();

private:
    // The keyboard focus moved; entering the page from another control of the window clears
    // the page's change mark.
    void FocusChanged(QWidget* old, QWidget* now);

    QPlainTextEdit* memo_;
    QGroupBox* group_;
    QLineEdit* edtFileName_;
    QPushButton* btnBrowse_;
};

} // namespace nirvex

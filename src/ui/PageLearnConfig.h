#pragma once

#include "ui/WizardHost.h"

#include <array>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;

namespace nirvex {

// Page tsLearnConfig: share of the sample used for training, learning rate, momentum, the
// recognition threshold and the stop criteria. The controls only store what is typed; the
// values are applied by the model's forward step when the page is left with "Далее >>".
class TPageLearnConfig : public TWizardPage {
public:
    TPageLearnConfig(IWizardHost& host, QWidget* parent);
    void ShowPage() override;
    void SyncToModel() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // One criterion of the group: its check box and the control its tick enables.
    struct TCriterionRow {
        QCheckBox* Box = nullptr;
        QWidget* Value = nullptr;
    };
    TCriterionRow& Row(int which) { return rows_[static_cast<std::size_t>(which)]; }
    void CriterionClicked(int which, bool checked);

    QSpinBox* seUseForTeach;
    QLineEdit* edtTS;
    QLineEdit* edtMiu;
    QLineEdit* edtIdentErr;
    QCheckBox* cbValidate;
    QCheckBox* cbKeepBest;
    QGroupBox* gbCriteria;
    QSpinBox* seEpoch;
    QLineEdit* edtMaxTeachErr;
    QLineEdit* edtMidTeachErr;
    QSpinBox* seTeachIdent;
    QLineEdit* edtMaxTestErr;
    QLineEdit* edtMidTestErr;
    QSpinBox* seTestIdent;
    std::array<TCriterionRow, 7> rows_;
    bool painting_ = false; // ShowPage writes the controls: their change signals must not echo back
};

} // namespace nirvex

#pragma once

#include "training/StopCriteria.h"
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
    // One criterion of the group: its check box and the spin box or edit its tick enables.
    struct TCriterionRow {
        QCheckBox* Box = nullptr;
        QWidget* Value = nullptr;
        QSpinBox* Spin = nullptr;
        QLineEdit* Edit = nullptr;
    };
    TCriterionRow& Row(TCriterion which) { return rows_[CriterionSlot(which)]; }
    void CriterionClicked(TCriterion which, bool checked);
    // The two boxes that choose by the validation part while the shares make one, else by the test
    // part: their captions say which; the best network needs one of the two.
    void PaintChoosingPart();

    QSpinBox* seUseForTeach_;
    QSpinBox* seValidShare_;
    QLineEdit* edtTS_;
    QLineEdit* edtMiu_;
    QLineEdit* edtIdentErr_;
    QCheckBox* cbValidate_;
    QCheckBox* cbKeepBest_;
    QGroupBox* gbCriteria_;
    std::array<TCriterionRow, kCriterionCount> rows_;
    bool painting_ = false; // ShowPage writes the controls: their change signals must not echo back
};

} // namespace nirvex

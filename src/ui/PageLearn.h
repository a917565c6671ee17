#pragma once

#include "ui/WizardHost.h"
#include "wizard/Wizard.h"

#include <memory>

class QPushButton;
class QTableWidget;
class QToolButton;

namespace nirvex {

class THisto;
class TGraphPanel;
class TErrorCurveView;

// Page tsLearn: the statistics grid, the error histogram, the two distribution panels and the
// start/stop button of a training run.
class TPageLearn : public TWizardPage {
public:
    TPageLearn(IWizardHost& host, QWidget* parent);
    ~TPageLearn() override;
    void ShowPage() override;

    // The start/stop button's click: starts a run when idle (returning when it ends) and asks
    // a running one to stop.
    void btnLearnClick();
    // The switch above the picture: the error histogram or the error curve in its place.
    void ShowCurve(bool curve);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class TView;
    void PaintStats();
    void PaintButton();

    THisto* hErrors_;
    TErrorCurveView* crvErrors_;
    QToolButton* btnShowHisto_;
    QToolButton* btnShowCurve_;
    TGraphPanel* gpTeach_;
    TGraphPanel* gpTest_;
    QTableWidget* sgStat_;
    QPushButton* btnLearn_;
    QWidget* bottom_; // the band along the bottom edge: the panels, the grid and the button
    std::unique_ptr<TView> view_;
    TWizard::TRunHooks hooks_;
    int32_t shownBuild_ = 0; // the network the pictures were drawn from (TWizard::NetworkBuild)
};

} // namespace nirvex

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
    // The switch above the picture: which view takes the picture's place.
    enum class TPicture { Histogram, Curve, Confusion };
    void ShowPicture(TPicture picture);
    void ShowCurve(bool curve) { ShowPicture(curve ? TPicture::Curve : TPicture::Histogram); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class TView;
    void PaintStats();
    void LayOut();
    void PaintButton();
    // The first category target's confusion as the model holds it; the switch to it exists only
    // for a project with one.
    void PaintConfusion();
    // The grid as it stands without a validation part (parts across), or with one: parts down, so
    // that the three parts fit the same room.
    void ArrangeGrid(bool partsDown);

    THisto* hErrors_;
    TErrorCurveView* crvErrors_;
    QToolButton* btnShowHisto_;
    QToolButton* btnShowCurve_;
    QToolButton* btnShowConfusion_;
    class TConfusionView* cmErrors_;
    TGraphPanel* gpTeach_;
    TGraphPanel* gpTest_;
    QTableWidget* sgStat_;
    QPushButton* btnLearn_;
    QWidget* bottom_; // the panel along the bottom edge, 97 high
    std::unique_ptr<TView> view_;
    TWizard::TRunHooks hooks_;
    int32_t shownBuild_ = 0; // the network the pictures were drawn from (TWizard::NetworkBuild)
    bool partsDown_ = false;
};

} // namespace nirvex

#pragma once

#include "ui/WizardHost.h"
#include "wizard/Wizard.h"

#include <memory>
#include <vector>

class QAction;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace nirvex {

class THisto;
class TGraphPanel;
class TErrorCurveView;
class TImportanceView;

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
    // The switch above the picture: which of the views (histogram, error curve, importance of the
    // inputs) takes the picture's place.
    void ShowView(std::size_t view);
    void ShowCurve(bool curve) { ShowView(curve ? 1 : 0); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class TView;
    void PaintStats();
    void LayOut();
    void PaintButton();
    // The first category target's confusion as the model holds it; its view is offered only for a
    // project with one.
    void PaintConfusion();
    // The grid as it stands without a validation part (parts across), or with one: parts down, so
    // that the three parts fit the same room.
    void ArrangeGrid(bool partsDown);
    // Measures the importance when its view is shown and the trained network has none yet.
    void MeasureImportanceIfShown();

    THisto* hErrors_;
    TErrorCurveView* crvErrors_;
    TImportanceView* impInputs_;
    class TTargetFiguresView* tfErrors_;
    class TConfusionView* cmErrors_;
    QToolButton* btnView_; // the switch: the view shown, and the list of them
    struct TPictureView {
        QAction* Action;
        QWidget* Widget;
    };
    std::vector<TPictureView> views_; // in the switch's order, the histogram first
    TGraphPanel* gpTeach_;
    TGraphPanel* gpTest_;
    QTableWidget* sgStat_;
    QPushButton* btnLearn_ = nullptr;
    QWidget* bottom_; // the band along the bottom edge: the panels, the grid and the button
    std::unique_ptr<TView> view_;
    TWizard::TRunHooks hooks_;
    int32_t shownBuild_ = 0; // the network the pictures were drawn from (TWizard::NetworkBuild)
    bool partsDown_ = false;
    bool runFailed_ = false; // the last run ended with an error
};

} // namespace nirvex

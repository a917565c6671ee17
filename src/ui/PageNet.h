#pragma once

#include "ui/WizardHost.h"

class QChart;
class QChartView;
class QLabel;
class QLineEdit;
class QLineSeries;
class QSlider;
class QSpinBox;
class QTableWidget;

namespace nirvex {

// Page tsNetConfig: hidden layers, the neurons of each, and the sigmoid's slope with its curve.
class TPageNet : public TWizardPage {
    Q_OBJECT
public:
    TPageNet(IWizardHost& host, QWidget* parent);
    void ShowPage() override;
    void SyncToModel() override;
    // Repaints every control from the model's network page.
    void Repaint();

    void seHideLayerCountChange(int value);
    void tbAlphaChange(int position);
    // Focus left the slope edit, or Enter was pressed in it.
    bool edtAlphaExit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowGrid();
    void ShowCurve();

    QLabel* stEntryLayer_;
    QLabel* stOutputLayer_;
    QSpinBox* seHideLayerCount_;
    QTableWidget* sgHideLayerConfig_;
    QLineEdit* edtAlpha_;
    QSlider* tbAlpha_;
    QChartView* chartView_;
    QLineSeries* series_;
};

} // namespace nirvex

#pragma once

#include <string>
#include <vector>

#include "ui/WizardHost.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace nirvex {

class TPredictGrid;

// Page tsPredict: input values typed per input field, outputs computed per target field, and
// the store and export buttons.
class TPagePredict : public TWizardPage {
public:
    TPagePredict(IWizardHost& host, QWidget* parent);
    void ShowPage() override;
    void SyncToModel() override;

    void btnPredictClick();
    // "Сохранить": into the project's own file, asking for a name only for a new project.
    void btnStoreClick();
    // "Сохранить как...": always asks, proposing the project's or the sample's name.
    void btnStoreAsClick();
    // "Расчёт по файлу...": asks for an input sample and an output file, computes every record.
    void btnPredictFileClick();
    void btnExportClick();
    // What a cell of sgOut_ (`output`) or sgInp_ shows of its text.
    QString ShownText(bool output, int row, int column) const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PaintOutputs();
    // Row `row` of the input grid as a drop-down of a category input's values; none for a number.
    void ShowChoices(int row, const std::vector<std::string>& choices);
    QString AskProjectName();
    // What the page is wider than its client area.
    int ExtraWidth() const;
    // Both grids' columns for the page's width: names whole as far as there is room.
    void FitGrids();

    QLabel* lblTitles_;
    QLabel* lblResultTitle_;
    int resultTitleLeft_ = 0; // where the result title starts on the narrowest page
    TPredictGrid* sgInp_;
    QWidget* pnlResult_;
    TPredictGrid* sgOut_;
    QPushButton* btnPredict_;
    QPushButton* btnStore_;
    QPushButton* btnStoreAs_;
    QPushButton* btnPredictFile_;
    QPushButton* btnExport_;
    bool painting_ = false;
};

} // namespace nirvex

#pragma once

#include <QDialog>

class QLabel;

namespace nirvex {

// The about window: the program's icon, name, version and what it does.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The icon for the density of the screen the window is on.
    void DrawIcon();

    QLabel* imgAbout_;
};

} // namespace nirvex

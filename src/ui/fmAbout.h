#pragma once

#include <QDialog>

namespace nirvex {

// The about window: the program's icon, name, version and what it does.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace nirvex

#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace nirvex {

// Finds one of the program's own files: beside the executable, then in ../share/nirvex
// relative to it, then in the source tree's data folder. Empty when there is none.
QString FindProgramFile(const QString& name);

// The help file's name; one anchor per help context number.
inline constexpr const char* kHelpFileName = "wizard.html";

// The help window: the program's manual opened at a help context.
class THelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit THelpViewer(QWidget* parent = nullptr);
    // Shows the manual at the context's anchor. Without a help file nothing happens.
    void ShowContext(int context);
    int Context() const { return context_; }
    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    int context_ = 0;
};

} // namespace nirvex

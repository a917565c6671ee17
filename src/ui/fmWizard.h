#pragma once

#include "ui/WizardHost.h"

#include <array>
#include <chrono>
#include <memory>

class QLabel;
class QProgressBar;
class QSettings;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTimer;

namespace nirvex {

class TAnchors;
class THelpViewer;
class TfrmAbout;

// The main window: picture, page host, button row and status bar over the one wizard model.
class TfrmWizard : public QWidget, public IWizardHost {
    Q_OBJECT
public:
    // `dialogs` answers the boxes and file dialogs; nullptr for the real ones.
    explicit TfrmWizard(IDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~TfrmWizard() override;

    TWizard& Model() override { return *model_; }
    IDialogs& Dialogs() override { return *dialogs_; }
    bool Guard(const std::function<void()>& fn) override;
    void RefreshFrame() override;
    void NextPage() override { btnNextClick(); }

    // Puts the model's page in front and repaints it and the frame.
    void ShowModelPage();
    // The start-up project: restores it; a failure is shown and the window goes on.
    void OpenProject(const QString& fileName);
    // First activation: the animated icon, the splash for its two seconds (when `splash`), then
    // the project named on the command line, if any.
    void FormActivate(const QString& project, bool splash = true);
    TfrmAbout* About() const { return about_; }
    QTimer* IconTimer() const { return tmrIcon_; }
    int IconFrame() const { return iconFrame_; }
    void tmrIconTimer();
    // Types a file name into page 1 as the user would.
    void TypeSampleFileName(const QString& fileName);
    // The sample named on the command line: in page 1's edit, loaded by "Далее >>", and not an
    // unsaved change.
    void StartWithSample(const QString& fileName);

    TWizardPage* Page(int index) const { return pages_.at(static_cast<std::size_t>(index)); }
    // The help context F1 would open: the focused control's, an enclosing one's, or the page's.
    int CurrentHelpContext() const;
    void ShowHelp();
    THelpViewer* HelpViewer() const { return help_; }
    QString StatusText() const;
    QProgressBar* ProgressBar() const { return pbProgress_; }

    void btnNextClick();
    void btnPrevClick();
    // Closes the window, or, while a load runs, calls the load off without a question.
    void btnQuitClick();
    void btnAboutClick();
    // The window's caption: the project's file name, "*" while something is unsaved, and "Nirvex".
    QString Caption() const;

    // Keeps the window's size, place and maximized state in `settings` between runs: restores what
    // they hold now (onto a screen that exists; nothing for a first start, which stays centred) and
    // writes them when the window closes. Without a call the window remembers nothing, which is what
    // tests want. Call before the window is shown.
    void RememberGeometry(std::unique_ptr<QSettings> settings);
    // Where the user's copy of the program keeps them.
    static std::unique_ptr<QSettings> UserSettings();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Enter on a focused button presses it, as Space does.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowStatus(const std::string& text);
    // The model's long steps: the bar in the status bar, and the events served every 10 ms so
    // that the window repaints, moves and can be closed meanwhile.
    void ShowProgress(double fraction);
    // The model's announcements, each in a box with one OK button.
    void ShowNotices();
    // Writes the size, place and maximized state into the settings given to RememberGeometry.
    void SaveGeometry();

    std::unique_ptr<IDialogs> ownDialogs_;
    IDialogs* dialogs_;
    std::unique_ptr<TWizard> model_;
    std::unique_ptr<TAnchors> anchors_;
    std::unique_ptr<QSettings> geometryStore_;
    QLabel* picture_ = nullptr;
    QStackedWidget* pcHost_ = nullptr;
    std::array<TWizardPage*, 7> pages_{};
    QPushButton* btnAbout_ = nullptr;
    QPushButton* btnPrev_ = nullptr;
    QPushButton* btnNext_ = nullptr;
    QPushButton* btnQuit_ = nullptr;
    QStatusBar* sbStatus_ = nullptr;
    QLabel* statusText_ = nullptr;
    QProgressBar* pbProgress_ = nullptr;
    std::chrono::steady_clock::time_point lastPump_;
    THelpViewer* help_ = nullptr;
    TfrmAbout* about_ = nullptr;
    QTimer* tmrIcon_ = nullptr;
    int iconFrame_ = 0;
    std::string pictureShown_;
    qreal pictureRatio_ = 0; // the screen density the picture shown was loaded for
    bool centred_ = false;
    bool watchingScreen_ = false;
};

} // namespace nirvex

#pragma once

#include "ui/Anchors.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <string>

namespace nirvex {

class TWizard;

// Context help: a widget's help context number is this dynamic property; F1 uses the focused
// widget's, else the nearest enclosing widget's, else the window's (the page's).
inline constexpr const char* kHelpContextProperty = "HelpContext";
inline void SetHelpContext(QWidget* w, int context) {
    w->setProperty(kHelpContextProperty, context);
}

// Every page lays its controls out in a client area of this size (the page host's inner area).
inline constexpr int kPageClientWidth = 394;
inline constexpr int kPageClientHeight = 292;

// Modal boxes and file dialogs go through here, so that tests answer them without blocking.
class IDialogs {
public:
    virtual ~IDialogs() = default;
    // The common error display: the message with "." appended by the rule, caption "Nirvex",
    // error icon, OK.
    virtual void ShowError(const QString& message) = 0;
    // A box with one OK button and the application's title (training end messages).
    virtual void ShowMessage(const QString& message) = 0;
    enum class TAnswer { Yes, No, Cancel };
    // Yes/No/Cancel question, Yes the default, caption "Nirvex".
    virtual TAnswer AskYesNoCancel(const QString& question) = 0;
    // Empty when the user cancels.
    virtual QString OpenFileName(QWidget* parent, const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& filter, const QString& proposed) = 0;
};

// What a page needs of the main window.
class IWizardHost {
public:
    virtual ~IWizardHost() = default;
    virtual TWizard& Model() = 0;
    virtual IDialogs& Dialogs() = 0;
    // Runs fn and shows an EError (or any std::exception) in the common error display; returns
    // false when it raised. Every handler goes through this: nothing escapes to Qt.
    virtual bool Guard(const std::function<void()>& fn) = 0;
    // Repaints the frame (buttons, picture, status bar, help context) from the model.
    virtual void RefreshFrame() = 0;
    // "Далее >>" as if clicked (Enter in page 1's file box).
    virtual void NextPage() {}
};

// One page of the main window: a thin view over the model's page settings.
class TWizardPage : public QWidget {
public:
    TWizardPage(IWizardHost& host, QWidget* parent)
        : QWidget(parent), host_(host), anchors_(this, QSize(kPageClientWidth, kPageClientHeight)) {}
    // After the model's show step: repaint every control from the model.
    virtual void ShowPage() = 0;
    // Before a forward step or a save: copy whatever the controls hold and the model has not
    // yet seen (an edit still focused, say) into the model.
    virtual void SyncToModel() {}

protected:
    // The controls stand where they were placed for the page's client area; those added to Anchors()
    // follow a larger page by their rule.
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        anchors_.Apply();
    }
    TAnchors& Anchors() { return anchors_; }

    IWizardHost& host_;

private:
    TAnchors anchors_;
};

} // namespace nirvex

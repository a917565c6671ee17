#pragma once

#include "ui/WizardHost.h"
#include "ui/fmWizard.h"
#include "wizard/Wizard.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QSpinBox>
#include <QStringList>
#include <QTest>

#include <functional>
#include <memory>

namespace nirvex::test {

// Answers every box and dialog at once and remembers what was shown.
class TFakeDialogs : public IDialogs {
public:
    QStringList Errors;
    QStringList Messages;
    QStringList Questions;
    TAnswer NextAnswer = TAnswer::Yes;
    QString NextOpenFile;
    QString NextSaveFile;
    QString LastFilter;
    // Runs while an error box would be open: what the window shows behind it.
    std::function<void()> OnError;

    void ShowError(const QString& message) override {
        Errors << message;
        if (OnError)
            OnError();
    }
    void ShowMessage(const QString& message) override { Messages << message; }
    TAnswer AskYesNoCancel(const QString& question) override {
        Questions << question;
        return NextAnswer;
    }
    QString OpenFileName(QWidget*, const QString& filter) override {
        LastFilter = filter;
        return NextOpenFile;
    }
    QString SaveFileName(QWidget*, const QString& filter, const QString&) override {
        LastFilter = filter;
        return NextSaveFile;
    }
};

inline QString ExampleFile(const char* name) {
    return QStringLiteral(NIRVEX_EXAMPLES_DIR "/") + QString::fromLatin1(name);
}

// A shown, active main window over fake dialogs.
class TWindowFixture {
public:
    TFakeDialogs Dialogs;
    std::unique_ptr<TfrmWizard> Window;

    TWindowFixture() : Window(std::make_unique<TfrmWizard>(&Dialogs)) {
        Window->show();
        Window->activateWindow();
        (void)QTest::qWaitForWindowActive(Window.get());
    }
    ~TWindowFixture() { Window.reset(); }

    TWizard& Model() { return Window->Model(); }

    template <class T = QWidget> T* Find(const char* name) {
        T* w = Window->findChild<T*>(QString::fromLatin1(name));
        if (w == nullptr)
            throw std::runtime_error(std::string("no control ") + name);
        return w;
    }

    void Click(const char* button) { QTest::mouseClick(Find<QAbstractButton>(button), Qt::LeftButton); }

    // Replaces an edit's text by typing, as the user does.
    void Type(const char* edit, const QString& text) {
        QLineEdit* e = Find<QLineEdit>(edit);
        e->setFocus(Qt::MouseFocusReason);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }

    // Page 1 with the file name typed, then "Далее >>".
    void LoadSample(const QString& fileName) {
        Type("edtLearnSampleFileName", fileName);
        Click("btnNext");
    }
    void LoadIris() { LoadSample(ExampleFile("iris.txt")); }
    // Through pages 1 to 5 with the epoch limit ticked, landing on the training page.
    void ToTrainingPage(int epochLimit) {
        LoadIris();
        Click("btnNext");
        Click("btnNext");
        Click("cbEpoch");
        Find<QSpinBox>("seEpoch")->setValue(epochLimit);
        Click("btnNext");
        Click("btnNext");
        ASSERT_EQ(Model().State(), 5);
    }
};

} // namespace nirvex::test

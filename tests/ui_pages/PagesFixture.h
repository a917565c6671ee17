#pragma once

// Support shared by the page tests and the screenshot program: a main-window stand-in whose
// dialogs answer at once, and a small sample taken through the model's first three pages.

#include "common/Errors.h"
#include "common/RandomGen.h"
#include "ui/WizardHost.h"
#include "wizard/Wizard.h"

#include <QString>

#include <charconv>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace nirvex::test {

class TTestDialogs : public IDialogs {
public:
    std::vector<QString> Errors;
    std::vector<QString> Messages;
    std::vector<QString> SaveFilters, SaveProposed;
    QString NextSaveName; // the answer of the next save dialog; empty = cancelled
    QString NextOpenName; // the answer of the next open dialog; empty = cancelled
    std::vector<QString> OpenFilters;
    std::function<void(const QString&)> OnMessage;

    void ShowError(const QString& message) override { Errors.push_back(message); }
    void ShowMessage(const QString& message) override {
        Messages.push_back(message);
        if (OnMessage)
            OnMessage(message);
    }
    TAnswer AskYesNoCancel(const QString&) override { return TAnswer::Cancel; }
    QString OpenFileName(QWidget*, const QString& filter) override {
        OpenFilters.push_back(filter);
        return NextOpenName;
    }
    QString SaveFileName(QWidget*, const QString& filter, const QString& proposed) override {
        SaveFilters.push_back(filter);
        SaveProposed.push_back(proposed);
        return NextSaveName;
    }
};

// What the frame would show after each RefreshFrame.
struct TFrameState {
    bool Next, Prev, Quit, IconTimer;
    std::string Caption, Hint;
};

class TTestHost : public IWizardHost {
public:
    TWizard Wizard;
    TTestDialogs Boxes;
    std::vector<TFrameState> Frames;

    TWizard& Model() override { return Wizard; }
    IDialogs& Dialogs() override { return Boxes; }
    bool Guard(const std::function<void()>& fn) override {
        try {
            fn();
            return true;
        } catch (const std::exception& e) {
            Boxes.ShowError(QString::fromStdString(e.what()));
            return false;
        }
    }
    void RefreshFrame() override {
        const TWizard& m = Wizard;
        Frames.push_back(
            {m.NextEnabled(), m.PrevEnabled(), m.QuitEnabled(), m.IconTimerEnabled(), m.LearnCaption(), m.LearnHint()});
    }
};

// Locale-independent number text ("." always).
inline std::string Num(double v) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

// A sample text file: inputs A, B, C and the target Y = A + 2B (C is noise), `records` lines,
// tab-separated with CR LF, as the program's own sample files are.
inline void WriteSample(const std::string& path, int records) {
    std::ofstream out(path, std::ios::binary);
    out << "A\tB\tC\tY\r\n";
    for (int r = 0; r < records; ++r) {
        double a = (r * 7) % 13;
        double b = ((r * 5) % 11) / 2.0;
        double c = (r * 3) % 4;
        out << Num(a) << '\t' << Num(b) << '\t' << Num(c) << '\t' << Num(a + 2 * b) << "\r\n";
    }
}

// Loads `sample` and takes the model through pages 1 to 3 with one hidden layer of `hidden`
// neurons; the model then shows page 4. The load draws the record order from the clock; it is
// drawn again from the generator's seed as it was before the load, as a project load does, so
// that the order, the first weights and so every training run are the same in every test run.
inline void ConfigureUpToLearnPage(TWizard& m, const std::string& sample, int hidden = 5) {
    const uint32_t seed = RandSeed();
    m.SampleFileTextChanged(sample);
    m.Next();
    m.RestoreRecordSeed(seed);
    m.Next();
    m.SetLayerCell(1, std::to_string(hidden));
    m.Next();
}

} // namespace nirvex::test

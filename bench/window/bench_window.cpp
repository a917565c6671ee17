// Drives the training page through whole runs on a 100,000-record synthetic sample (network
// 8-20-10-1, epoch limit 20) and the same runs through the core with a view that does nothing,
// and prints how fast the window trains compared with the core:
//   window_training_vs_core: <ratio> x
// Then loads the 100 MB sample through page 1 of the whole window and prints the longest time
// its event loop went without serving events (the largest gap between the ticks of a 1 ms timer):
//   window_load_max_pause_ms: <ms> ms

#include "BenchSample.h"
#include "support/WizardTestPeer.h"
#include "ui/PageLearn.h"
#include "ui/WizardHost.h"
#include "ui/fmWizard.h"
#include "wizard/Wizard.h"

#include "common/RandomGen.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace nirvex;

namespace {

constexpr int kRecords = 100000;
constexpr int kInputs = 8;
constexpr int kEpochLimit = 20;
constexpr int kRounds = 3; // each way; the best time counts, the machine is shared

class TQuietDialogs : public IDialogs {
public:
    void ShowError(const QString& m) override { std::fprintf(stderr, "error: %s\n", m.toUtf8().constData()); }
    void ShowMessage(const QString&) override {}
    TAnswer AskYesNoCancel(const QString&) override { return TAnswer::Cancel; }
    QString OpenFileName(QWidget*, const QString&) override { return {}; }
    QString SaveFileName(QWidget*, const QString&, const QString&) override { return {}; }
};

class THost : public IWizardHost {
public:
    TWizard Wizard;
    TQuietDialogs Boxes;
    int Errors = 0;
    TWizard& Model() override { return Wizard; }
    IDialogs& Dialogs() override { return Boxes; }
    bool Guard(const std::function<void()>& fn) override {
        try {
            fn();
            return true;
        } catch (const std::exception& e) {
            ++Errors;
            Boxes.ShowError(QString::fromStdString(e.what()));
            return false;
        }
    }
    void RefreshFrame() override {}
};

// Eight inputs in [0, 10) with two decimals and a target that depends on half of them.
void WriteSample(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < kInputs; ++i)
        out << "X" << i << '\t';
    out << "Y\r\n";
    uint32_t s = 12345;
    auto next = [&s] {
        s = s * 1103515245u + 12345u;
        return static_cast<int>((s >> 8) % 1000);
    };
    for (int r = 0; r < kRecords; ++r) {
        int sum = 0;
        for (int i = 0; i < kInputs; ++i) {
            int v = next();
            if (i % 2 == 0)
                sum += v;
            out << v / 100 << '.' << (v % 100) / 10 << v % 10 << '\t';
        }
        out << sum / 4 << "\r\n";
    }
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// One load of `path` through page 1 of a fresh window: the longest pause of its event loop in
// ms, and the load's speed; false when the load did not reach page 2.
bool MeasureWindowLoad(const std::string& path, double& maxPauseMs, double& seconds) {
    using Clock = std::chrono::steady_clock;
    TQuietDialogs boxes;
    TfrmWizard window(&boxes);
    window.show();
    QApplication::processEvents();
    window.TypeSampleFileName(QString::fromStdString(path));
    auto* btnNext = window.findChild<QPushButton*>("btnNext");
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    Clock::time_point last;
    maxPauseMs = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        auto now = Clock::now();
        maxPauseMs = std::max(maxPauseMs, Seconds(now - last) * 1000);
        last = now;
    });
    tick.start();
    const auto start = last = Clock::now();
    btnNext->click();
    const auto end = Clock::now();
    maxPauseMs = std::max(maxPauseMs, Seconds(end - last) * 1000);
    seconds = Seconds(end - start);
    return window.Model().State() == 1 && window.Model().RecordCount() > 0;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string sample = dir.filePath("synthetic.txt").toStdString();
    WriteSample(sample);

    SetRandSeed(1);
    THost host;
    TWizard& m = host.Wizard;
    bool ok = host.Guard([&] {
        m.SampleFileTextChanged(sample);
        m.Next(); // load
        m.Next(); // roles: X0..X7 inputs, Y the target
        m.SetHideLayerCount(2);
        m.SetLayerCell(1, "20");
        m.SetLayerCell(2, "10");
        m.Next(); // network 8-20-10-1
        m.CriterionClicked(TCriterion::Epoch, true);
        m.SetCriterionCount(TCriterion::Epoch, kEpochLimit);
        m.Next(); // training settings
        m.Next(); // report
    });
    if (!ok || m.State() != 5)
        return 1;
    TPageLearn page(host, nullptr);
    page.resize(kPageClientWidth, kPageClientHeight);
    page.show();
    page.ShowPage();
    QApplication::processEvents();
    auto* btnLearn = page.findChild<QPushButton*>("btnLearn");

    const TNeuralNetworkINI start = m.Network();
    auto reset = [&] {
        TWizardTestPeer::Network(m) = start;
        TWizardTestPeer::ExampleCursor(m) = 0;
    };
    ITrainingView nothing;
    double coreBest = 1e300, windowBest = 1e300;
    int32_t epochs = 0;
    for (int round = 0; round < kRounds; ++round) {
        reset();
        TTrainingContext ctx;
        ctx.Network = &TWizardTestPeer::Network(m);
        ctx.Fields = &m.Fields();
        ctx.RecordIndex = &m.RecordIndex();
        ctx.InputCount = m.InputCount();
        ctx.OutputCount = m.OutputCount();
        ctx.TeachCount = m.TeachCount();
        ctx.TestCount = m.TestCount();
        ctx.ExampleCursor = &TWizardTestPeer::ExampleCursor(m);
        ctx.PrevTestErr = &TWizardTestPeer::PrevTestErr(m);
        ctx.StopRequested = &TWizardTestPeer::StopRequested(m);
        ctx.Rules = m.StopRules();
        TWizardTestPeer::PrevTestErr(m) = 0;
        TWizardTestPeer::StopRequested(m) = false;
        auto t0 = std::chrono::steady_clock::now();
        RunTrainingLoop(ctx, nothing);
        coreBest = std::min(coreBest, Seconds(std::chrono::steady_clock::now() - t0));
        const int32_t coreEpochs = m.Network().Epoch;

        reset();
        t0 = std::chrono::steady_clock::now();
        btnLearn->click();
        windowBest = std::min(windowBest, Seconds(std::chrono::steady_clock::now() - t0));
        epochs = m.Network().Epoch;
        if (epochs != coreEpochs || host.Errors > 0) {
            std::fprintf(stderr, "runs differ: %d epochs in the core, %d in the window\n", coreEpochs, epochs);
            return 1;
        }
    }
    const double examples = static_cast<double>(epochs) * (m.TeachCount() + m.TestCount());
    std::printf("window_examples_per_second: %.0f examples/s\n", examples / windowBest);
    std::printf("core_examples_per_second: %.0f examples/s\n", examples / coreBest);
    std::printf("window_training_vs_core: %.3f x\n", coreBest / windowBest);

    const std::string big = dir.filePath("bench_sample.txt").toStdString();
    WriteBenchSample(big);
    const double mb = static_cast<double>(std::filesystem::file_size(big)) / 1e6;
    double pauseBest = 1e300, loadBest = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        double pause = 0, seconds = 0;
        if (!MeasureWindowLoad(big, pause, seconds)) {
            std::fprintf(stderr, "the window did not load the sample\n");
            return 1;
        }
        pauseBest = std::min(pauseBest, pause);
        loadBest = std::min(loadBest, seconds);
    }
    std::printf("window_load_max_pause_ms: %.1f ms\n", pauseBest);
    std::printf("window_load_MBps: %.1f MB/s\n", mb / loadBest);
    return 0;
}

// Renders both controls with sample data, as the training page shows them, into PNG files.
#include "common/RandomGen.h"
#include "controls/GraphPanel.h"
#include "controls/Histo.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace nirvex;

namespace {

// Roughly bell-shaped noise in (-1, 1) from the program's generator.
double Noise() {
    return (RandomFloat() + RandomFloat() + RandomFloat() - 1.5) / 1.5;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    SetRandSeed(2024);

    THisto histo;
    histo.resize(394, 195);
    histo.SetColor(Qt::black);
    histo.SetHistoColor1(Qt::green);
    histo.SetHistoColor2(Qt::red);
    histo.SetAxisColor(Qt::white);
    histo.SetBorderStyle(THisto::bsSingle);
    histo.Clear();
    // Training errors mostly small; test errors somewhat larger, a few outside [0, 1).
    for (int k = 0; k < 400; ++k)
        histo.AddTeachErr(std::fabs(Noise()) * 0.12);
    for (int k = 0; k < 100; ++k)
        histo.AddTestErr(std::fabs(Noise()) * 0.25);
    for (int k = 0; k < 20; ++k) {
        histo.AddTeachErr(-0.1);
        histo.AddTestErr(1.2);
    }

    TGraphPanel panel;
    panel.resize(97, 97);
    panel.SetColor(Qt::green);
    panel.SetPountsCount(150);
    for (int k = 0; k < panel.PountsCount(); ++k) {
        double target = 0.5 + 0.5 * RandomFloat();
        panel.SetPointX(k, target);
        panel.SetPointY(k, target + 0.06 * Noise());
    }

    bool ok = histo.grab().save(out.filePath("histo.png")) && panel.grab().save(out.filePath("graphpanel.png"));
    if (!ok) {
        std::fprintf(stderr, "cannot write the pictures into %s\n", qPrintable(out.absolutePath()));
        return 1;
    }
    return 0;
}

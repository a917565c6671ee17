// Renders the seven pages of the main window offscreen, page 6 during a real run, and pages 2, 6
// and 7 again in a window of 1280 x 800: ui_screenshots <output folder>
#include "UiTestSupport.h"
#include "support/WizardTestPeer.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>

using namespace nirvex;

namespace {

bool Save(QWidget& window, const QString& dir, const char* name) {
    QCoreApplication::processEvents();
    QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

// The page shown in a window of 1280 x 800, then the window back at its first size.
bool SaveLarge(QWidget& window, const QString& dir, const char* name) {
    const QSize first = window.size();
    window.resize(1280, 800);
    const bool ok = Save(window, dir, name);
    window.resize(first);
    QCoreApplication::processEvents();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ui_screenshots <output folder>\n");
        return 2;
    }
    QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);

    test::TFakeDialogs dialogs;
    TfrmWizard window(&dialogs);
    window.show();
    bool ok = true;
    {
        // A large sample on its way in: the progress bar, the pages and buttons disabled.
        QTemporaryDir temp;
        QString large = temp.filePath(QStringLiteral("large.txt"));
        std::ofstream out(large.toStdString(), std::ios::binary);
        out << "x y t\r\n";
        for (int r = 0; r < 600000; ++r)
            out << r % 101 << ' ' << r % 7 << '.' << r % 3 << ' ' << r << "\r\n";
        out.close();
        window.TypeSampleFileName(large);
        bool saved = false;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            if (!saved && window.ProgressBar()->value() >= 30)
                saved = Save(window, dir, "page1_loading.png");
        });
        tick.start(1);
        window.btnNextClick();
        ok = saved && window.Model().State() == 1;
        window.btnPrevClick();
    }
    window.TypeSampleFileName(test::ExampleFile("iris.txt"));
    ok = Save(window, dir, "page1.png") && ok;
    window.btnNextClick();
    ok = ok && window.Model().State() == 1 && Save(window, dir, "page2.png");
    ok = SaveLarge(window, dir, "page2-1280x800.png") && ok;
    window.btnNextClick();
    ok = ok && window.Model().State() == 2 && Save(window, dir, "page3.png");
    window.btnNextClick();
    // An epoch limit, so that the run on page 6 ends by itself, and the network of the least error on
    // a validation part kept.
    window.findChild<QCheckBox*>(QStringLiteral("cbEpoch"))->click();
    window.findChild<QSpinBox*>(QStringLiteral("seEpoch"))->setValue(1000);
    window.findChild<QSpinBox*>(QStringLiteral("seValidShare"))->setValue(20);
    window.findChild<QCheckBox*>(QStringLiteral("cbKeepBest"))->click();
    ok = ok && window.Model().State() == 3 && Save(window, dir, "page4.png");
    window.btnNextClick();
    ok = ok && window.Model().State() == 4 && Save(window, dir, "page5.png");
    window.btnNextClick();
    // Page 6 is pictured during the run, once the status shows epoch 100 or later: the histogram,
    // the panels and the statistics all show that epoch.
    bool pictured = false;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        const QString epoch = QStringLiteral("Эпоха: ");
        const QString status = window.StatusText();
        if (!pictured && status.startsWith(epoch) && status.mid(epoch.size()).toInt() >= 100) {
            pictured = true;
            ok = Save(window, dir, "page6.png") && ok;
        }
    });
    during.start(1);
    window.findChild<QAbstractButton*>(QStringLiteral("btnLearn"))->click();
    during.stop();
    ok = ok && pictured && window.Model().State() == 5;
    ok = SaveLarge(window, dir, "page6-1280x800.png") && ok;
    window.findChild<QAction*>(QStringLiteral("actShowCurve"))->trigger();
    ok = ok && Save(window, dir, "page6-curve.png");
    ok = SaveLarge(window, dir, "page6-curve-1280x800.png") && ok;
    // The inputs' importance, measured when the run ended.
    window.findChild<QAction*>(QStringLiteral("actShowImportance"))->trigger();
    ok = ok && window.Model().Importance() && Save(window, dir, "page6-importance.png");
    // Each target's errors in its own units.
    window.findChild<QAction*>(QStringLiteral("actShowFigures"))->trigger();
    ok = ok && Save(window, dir, "page6-units.png");
    window.findChild<QAction*>(QStringLiteral("actShowHisto"))->trigger();
    window.btnNextClick();
    // The target in millionths of its unit: a result of 15 digits and an exponent, shown whole.
    TFieldInfo& target = TWizardTestPeer::Fields(window.Model()).back();
    target.Min *= 1e-6;
    target.Max *= 1e-6;
    auto* inputs = window.findChild<QTableWidget*>(QStringLiteral("sgInp"));
    const char* values[] = {"6.1", "2.8", "4.7", "1.2"};
    for (int row = 1; row < inputs->rowCount() && row <= 4; ++row)
        inputs->item(row, 1) ? inputs->item(row, 1)->setText(QString::fromLatin1(values[row - 1]))
                             : inputs->setItem(row, 1, new QTableWidgetItem(QString::fromLatin1(values[row - 1])));
    window.findChild<QAbstractButton*>(QStringLiteral("btnPredict"))->click();
    ok = ok && window.Model().State() == 6 && Save(window, dir, "page7.png");
    ok = SaveLarge(window, dir, "page7-1280x800.png") && ok;
    if (!dialogs.Errors.isEmpty())
        std::fprintf(stderr, "%s\n", dialogs.Errors.join(QLatin1Char('\n')).toLocal8Bit().constData());
    return ok && dialogs.Errors.isEmpty() ? 0 : 1;
}

// Renders the seven pages of the main window offscreen, with a real run on page 6:
// ui_screenshots <output folder>
#include "UiTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QSpinBox>
#include <QTableWidget>

#include <cstdio>
#include <cstdlib>

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
    window.TypeSampleFileName(test::ExampleFile("iris.txt"));
    bool ok = Save(window, dir, "page1.png");
    window.btnNextClick();
    ok = ok && window.Model().State == 1 && Save(window, dir, "page2.png");
    window.btnNextClick();
    ok = ok && window.Model().State == 2 && Save(window, dir, "page3.png");
    window.btnNextClick();
    // An epoch limit, so that the run on page 6 ends by itself, and the network of the least test error kept.
    window.findChild<QCheckBox*>(QStringLiteral("cbEpoch"))->click();
    window.findChild<QSpinBox*>(QStringLiteral("seEpoch"))->setValue(1000);
    window.findChild<QCheckBox*>(QStringLiteral("cbKeepBest"))->click();
    ok = ok && window.Model().State == 3 && Save(window, dir, "page4.png");
    window.btnNextClick();
    ok = ok && window.Model().State == 4 && Save(window, dir, "page5.png");
    window.btnNextClick();
    window.findChild<QAbstractButton*>(QStringLiteral("btnLearn"))->click();
    ok = ok && window.Model().State == 5 && Save(window, dir, "page6.png");
    window.findChild<QAbstractButton*>(QStringLiteral("btnShowCurve"))->click();
    ok = ok && Save(window, dir, "page6-curve.png");
    window.findChild<QAbstractButton*>(QStringLiteral("btnShowHisto"))->click();
    window.btnNextClick();
    auto* inputs = window.findChild<QTableWidget*>(QStringLiteral("sgInp"));
    const char* values[] = {"6.1", "2.8", "4.7", "1.2"};
    for (int row = 1; row < inputs->rowCount() && row <= 4; ++row)
        inputs->item(row, 1) ? inputs->item(row, 1)->setText(QString::fromLatin1(values[row - 1]))
                             : inputs->setItem(row, 1, new QTableWidgetItem(QString::fromLatin1(values[row - 1])));
    window.findChild<QAbstractButton*>(QStringLiteral("btnPredict"))->click();
    ok = ok && window.Model().State == 6 && Save(window, dir, "page7.png");
    if (!dialogs.Errors.isEmpty())
        std::fprintf(stderr, "%s\n", dialogs.Errors.join(QLatin1Char('\n')).toLocal8Bit().constData());
    return ok && dialogs.Errors.isEmpty() ? 0 : 1;
}

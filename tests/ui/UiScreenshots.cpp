// Renders pages 1 to 3 of the main window offscreen: ui_screenshots <output folder>
#include "UiTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFont>

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
    if (!dialogs.Errors.isEmpty())
        std::fprintf(stderr, "%s\n", dialogs.Errors.join(QLatin1Char('\n')).toLocal8Bit().constData());
    return ok && dialogs.Errors.isEmpty() ? 0 : 1;
}

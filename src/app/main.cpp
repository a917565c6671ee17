#include "fmWizard.h"

#include <QApplication>
#include <QFont>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nirvex"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    nirvex::TfrmWizard window;
    QStringList args = QApplication::arguments();
    QString project;
    if (args.size() >= 3 && args[1] == QLatin1String("--sample"))
        window.TypeSampleFileName(args[2]);
    else if (args.size() >= 2)
        project = args[1];
    window.show();
    if (!project.isEmpty())
        QTimer::singleShot(0, &window, [&window, project] { window.OpenProject(project); });
    return app.exec();
}

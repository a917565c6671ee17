#include "ui/AppSetup.h"
#include "ui/HelpViewer.h"
#include "ui/fmWizard.h"

#include <QApplication>
#include <QSettings>
#include <QTextStream>
#include <QTimer>

namespace {

// Lists the files the program looks up beside itself; exit status 1 when one is missing.
int ListDataFiles() {
    QTextStream out(stdout);
    int missing = 0;
    QStringList names{QStringLiteral("wizard.html"), QStringLiteral("Splash.bmp"), QStringLiteral("nirvex.png")};
    for (int i = 1; i <= 7; ++i)
        names << QString::number(i) + QStringLiteral(".bmp");
    for (const QString& name : names) {
        QString path = nirvex::FindProgramFile(name);
        out << name << ": " << (path.isEmpty() ? QStringLiteral("-") : path) << "\n";
        missing += path.isEmpty() ? 1 : 0;
    }
    return missing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    nirvex::SetUpApplication();
    nirvex::InstallQtRussian();

    QStringList args = QApplication::arguments();
    if (args.size() >= 2 && args[1] == QLatin1String("--list-data"))
        return ListDataFiles();

    nirvex::TfrmWizard window;
    QString project;
    bool splash = true;
    if (args.size() >= 3 && args[1] == QLatin1String("--sample")) {
        window.StartWithSample(args[2]);
    } else if (args.size() >= 2 && args[1] == QLatin1String("--no-splash")) {
        splash = false;
        if (args.size() >= 3)
            project = args[2];
    } else if (args.size() >= 2) {
        project = args[1];
    }
    // The size, place and maximized state of the last run.
    window.RememberGeometry(nirvex::TfrmWizard::UserSettings());
    window.show();
    QTimer::singleShot(0, &window, [&window, project, splash] { window.FormActivate(project, splash); });
    return app.exec();
}

#include "ui/HelpViewer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace nirvex {

QString FindProgramFile(const QString& name) {
    const QString appDir = QCoreApplication::applicationDirPath();
    QStringList dirs{appDir, QDir(appDir).filePath(QStringLiteral("../share/nirvex"))};
#ifdef NIRVEX_SOURCE_DATA_DIR
    // The installation test turns the source tree off to prove the installed files are found.
    if (qEnvironmentVariableIsEmpty("NIRVEX_NO_SOURCE_DATA"))
        dirs << QStringLiteral(NIRVEX_SOURCE_DATA_DIR);
#endif
    for (const QString& dir : dirs) {
        QFileInfo info(QDir(dir).filePath(name));
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return QString();
}

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Справка Nirvex"));
    resize(560, 440);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("tbHelp"));
    browser_->setOpenExternalLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
}

void THelpViewer::ShowContext(int context) {
    const QString file = FindProgramFile(QString::fromLatin1(kHelpFileName));
    if (file.isEmpty())
        return;
    context_ = context;
    show();
    raise();
    activateWindow();
    const QUrl url = QUrl::fromLocalFile(file);
    if (browser_->source() != url)
        browser_->setSource(url);
    browser_->scrollToAnchor(QString::number(context));
}

} // namespace nirvex

#include "ui/PageReport.h"

#include "wizard/Wizard.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

namespace nirvex {

TPageReport::TPageReport(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) {
    setObjectName("tsInfo");
    setProperty("HelpContext", 65);
    mReport = new QPlainTextEdit(this);
    mReport->setObjectName("mReport");
    mReport->setReadOnly(true);
    mReport->setLineWrapMode(QPlainTextEdit::NoWrap);
    mReport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mReport->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mReport->setToolTip(QString::fromUtf8("Информация о конфигурации нейросистемы"));
    QPalette pal = mReport->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    mReport->setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mReport);
}

void TPageReport::ShowPage() {
    const std::vector<std::string>& lines = host_.Model().Report();
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        text << QString::fromStdString(line);
    mReport->hide();
    mReport->setPlainText(text.join('\n'));
    mReport->moveCursor(QTextCursor::Start);
    mReport->ensureCursorVisible();
    mReport->show();
}

} // namespace nirvex

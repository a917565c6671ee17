#include "ui/PageReport.h"

#include "wizard/Wizard.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

namespace nirvex {

TPageReport::TPageReport(IWizardHost& host, QWidget* parent) : TWizardPage(host, parent) {
    setObjectName("tsInfo");
    setProperty("HelpContext", 65);
    mReport_ = new QPlainTextEdit(this);
    mReport_->setObjectName("mReport");
    mReport_->setReadOnly(true);
    // Read with the keyboard too: the caret shows where the focus is, and Tab leaves the report.
    mReport_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    mReport_->setTabChangesFocus(true);
    mReport_->setLineWrapMode(QPlainTextEdit::NoWrap);
    mReport_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mReport_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mReport_->setToolTip(QString::fromUtf8("Информация о конфигурации нейросистемы"));
    QPalette pal = mReport_->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    mReport_->setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mReport_);
}

void TPageReport::ShowPage() {
    const std::vector<std::string>& lines = host_.Model().Report();
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines)
        text << QString::fromStdString(line);
    mReport_->hide();
    mReport_->setPlainText(text.join('\n'));
    mReport_->moveCursor(QTextCursor::Start);
    mReport_->ensureCursorVisible();
    mReport_->show();
}

} // namespace nirvex

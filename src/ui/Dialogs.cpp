#include "ui/Dialogs.h"

#include "common/Errors.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

namespace nirvex {

namespace {

const QString kCaption = QStringLiteral("Nirvex");

// The extension of a type in the list, "(*.qvx)" giving "qvx"; empty when it names none.
QString TypeSuffix(const QString& type) {
    static const QRegularExpression firstPattern(QStringLiteral("\\(\\*\\.([^ )]+)"));
    const QRegularExpressionMatch m = firstPattern.match(type);
    return m.hasMatch() ? m.captured(1) : QString();
}

// A name typed without an extension takes the one of the type chosen in the list (the export
// tells its formats apart by the extension alone), before the dialog asks about a file to
// overwrite, so that it asks about the file the save will really replace.
class TSaveDialog : public QFileDialog {
public:
    TSaveDialog(QWidget* parent, const QString& proposed, const QString& filter)
        : QFileDialog(parent, QString(), proposed, filter) {
        setAcceptMode(QFileDialog::AcceptSave);
        setDefaultSuffix(TypeSuffix(selectedNameFilter()));
        connect(this, &QFileDialog::filterSelected, this,
                [this](const QString& type) { setDefaultSuffix(TypeSuffix(type)); });
    }

protected:
    void accept() override {
        setDefaultSuffix(TypeSuffix(selectedNameFilter()));
        QFileDialog::accept();
    }
};

} // namespace

QString BoxText(const QString& message) {
    QString text = message;
    return text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
}

void TDialogs::ShowError(const QString& message) {
    QMessageBox box(QMessageBox::Critical, kCaption,
                    BoxText(QString::fromStdString(DisplayMessage(message.toStdString()))), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void TDialogs::ShowMessage(const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, kCaption, BoxText(message), QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

IDialogs::TAnswer TDialogs::AskYesNoCancel(const QString& question) {
    QMessageBox box(QMessageBox::Question, kCaption, question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Yes);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return TAnswer::Yes;
    case QMessageBox::No:
        return TAnswer::No;
    default:
        return TAnswer::Cancel;
    }
}

QString TDialogs::OpenFileName(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

QString TDialogs::SaveFileName(QWidget* parent, const QString& filter, const QString& proposed) {
    TSaveDialog dialog(parent, proposed, filter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace nirvex

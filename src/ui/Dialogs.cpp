#include "Dialogs.h"

#include "Errors.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace nirvex {

namespace {

const QString kCaption = QStringLiteral("Nirvex");

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
    // The extension is added before the dialog checks for a file to overwrite, so it asks about
    // the file the save will really replace.
    QFileDialog dialog(parent, QString(), proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("qvx"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace nirvex

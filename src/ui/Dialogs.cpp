#include "Dialogs.h"

#include "Errors.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace nirvex {

namespace {

const QString kCaption = QStringLiteral("Nirvex");

} // namespace

void TDialogs::ShowError(const QString& message) {
    QMessageBox box(QMessageBox::Critical, kCaption, QString::fromStdString(DisplayMessage(message.toStdString())),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void TDialogs::ShowMessage(const QString& message) {
    QMessageBox box(QMessageBox::NoIcon, kCaption, message, QMessageBox::Ok, QApplication::activeWindow());
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
    return QFileDialog::getSaveFileName(parent, QString(), proposed, filter);
}

} // namespace nirvex

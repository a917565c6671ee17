#include "Dialogs.h"

#include "Errors.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

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
    QString selected;
    QString name = QFileDialog::getSaveFileName(parent, QString(), proposed, filter, &selected);
    // A name typed without an extension takes the one of the type chosen in the list: the export
    // tells its formats apart by the extension alone.
    static const QRegularExpression firstPattern(QStringLiteral("\\(\\*(\\.[^ )]+)"));
    const QRegularExpressionMatch m = firstPattern.match(selected);
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty() && m.hasMatch())
        name += m.captured(1);
    return name;
}

} // namespace nirvex

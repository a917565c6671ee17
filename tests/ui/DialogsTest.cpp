#include "Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace nirvex;

namespace {

struct TShownBox {
    QString Title, Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Default = QMessageBox::NoButton;
};

// Reads the box the next call opens and answers it with `answer`.
TShownBox AnswerNextBox(QMessageBox::StandardButton answer, const std::function<void()>& open) {
    TShownBox shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        shown.Title = box->windowTitle();
        shown.Text = box->text();
        shown.Icon = box->icon();
        shown.Buttons = box->standardButtons();
        if (box->defaultButton() != nullptr)
            shown.Default = box->standardButton(box->defaultButton());
        box->button(answer)->click();
    });
    open();
    return shown;
}

} // namespace

TEST(DialogsTest, ErrorBoxAppendsTheFullStopAndShowsTheErrorIcon) {
    TDialogs dialogs;
    TShownBox box =
        AnswerNextBox(QMessageBox::Ok, [&] { dialogs.ShowError(QStringLiteral("Не указано имя файла БД")); });
    EXPECT_EQ(box.Title, QStringLiteral("Nirvex"));
    EXPECT_EQ(box.Text, QStringLiteral("Не указано имя файла БД."));
    EXPECT_EQ(box.Icon, QMessageBox::Critical);
    EXPECT_EQ(box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(DialogsTest, ErrorBoxKeepsAMessageEndingBelowTheFullStop) {
    TDialogs dialogs;
    TShownBox box =
        AnswerNextBox(QMessageBox::Ok, [&] { dialogs.ShowError(QStringLiteral("'1,5' is not a valid value)")); });
    EXPECT_EQ(box.Text, QStringLiteral("'1,5' is not a valid value)"));
    box = AnswerNextBox(QMessageBox::Ok, [&] { dialogs.ShowError(QStringLiteral("Обучение завершено.")); });
    EXPECT_EQ(box.Text, QStringLiteral("Обучение завершено."));
}

TEST(DialogsTest, MessageBoxHasOneOkButton) {
    TDialogs dialogs;
    TShownBox box = AnswerNextBox(QMessageBox::Ok, [&] { dialogs.ShowMessage(QStringLiteral("Готово")); });
    EXPECT_EQ(box.Title, QStringLiteral("Nirvex"));
    EXPECT_EQ(box.Text, QStringLiteral("Готово"));
    EXPECT_EQ(box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(DialogsTest, QuestionDefaultsToYesAndMapsEveryAnswer) {
    TDialogs dialogs;
    IDialogs::TAnswer answer{};
    TShownBox box = AnswerNextBox(QMessageBox::No, [&] { answer = dialogs.AskYesNoCancel(QStringLiteral("?")); });
    EXPECT_EQ(answer, IDialogs::TAnswer::No);
    EXPECT_EQ(box.Default, QMessageBox::Yes);
    EXPECT_EQ(box.Icon, QMessageBox::Question);
    EXPECT_EQ(box.Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    AnswerNextBox(QMessageBox::Yes, [&] { answer = dialogs.AskYesNoCancel(QStringLiteral("?")); });
    EXPECT_EQ(answer, IDialogs::TAnswer::Yes);
    AnswerNextBox(QMessageBox::Cancel, [&] { answer = dialogs.AskYesNoCancel(QStringLiteral("?")); });
    EXPECT_EQ(answer, IDialogs::TAnswer::Cancel);
}

TEST(DialogsTest, SavedNameWithoutExtensionTakesTheChosenTypes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TDialogs dialogs;
    struct TCase {
        const char* Typed;
        const char* Type;
        const char* Expected;
    };
    for (const TCase& c :
         {TCase{"model", "Исходный текст на C (*.c)", "model.c"}, TCase{"model", "Модель ONNX (*.onnx)", "model.onnx"},
          TCase{"model.onnx", "Исходный текст на C (*.c)", "model.onnx"}}) {
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (d == nullptr)
                return;
            d->selectNameFilter(QString::fromUtf8(c.Type));
            d->selectFile(dir.filePath(QString::fromUtf8(c.Typed)));
            QMetaObject::invokeMethod(d, "accept");
        });
        const QString name = dialogs.SaveFileName(nullptr, QString::fromUtf8(kExportFileFilter), "nirvex");
        EXPECT_EQ(name.toStdString(), dir.filePath(QString::fromUtf8(c.Expected)).toStdString()) << c.Type;
    }
}

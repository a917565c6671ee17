#include "ui/AppSetup.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

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

TEST(DialogsTest, TheFixedMessagesLineBreakIsOneBreak) {
    TDialogs dialogs;
    const QString stop = QString::fromUtf8("Остановка обучения\n\rИсчерпан лимит эпох.");
    const QString shown = QString::fromUtf8("Остановка обучения\nИсчерпан лимит эпох.");
    EXPECT_EQ(AnswerNextBox(QMessageBox::Ok, [&] { dialogs.ShowMessage(stop); }).Text, shown);
    EXPECT_EQ(AnswerNextBox(QMessageBox::Ok, [&] { dialogs.ShowError(stop); }).Text, shown);
}

TEST(DialogsTest, SaveDialogAddsTheProjectExtension) {
    TDialogs dialogs;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString chosen;
    for (const char* typed : {"proj", "named.qvx"}) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            dialog->selectFile(dir.filePath(QString::fromLatin1(typed)));
            static_cast<QDialog*>(dialog)->accept(); // typed and confirmed with "Save"
        });
        chosen = dialogs.SaveFileName(nullptr, QStringLiteral("Файлы Nirvex (*.qvx)"), QStringLiteral("Default"));
        EXPECT_EQ(QFileInfo(chosen).fileName(), QString::fromLatin1(typed).endsWith(QLatin1String(".qvx"))
                                                    ? QString::fromLatin1(typed)
                                                    : QString::fromLatin1(typed) + QStringLiteral(".qvx"));
    }
}

TEST(AppSetupTest, QtsOwnTextsReadRussian) {
    std::unique_ptr<QTranslator> russian(InstallQtRussian());
    ASSERT_NE(russian, nullptr) << "qt6-translations-l10n is not installed";
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QString::fromUtf8("Да"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QString::fromUtf8("Нет"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QString::fromUtf8("Отмена"));
    EXPECT_EQ(QFileDialog::tr("Save As"), QString::fromUtf8("Сохранить как"));
}

TEST(AppSetupTest, NoDisplayNameIsAppendedToWindowTitles) {
    SetUpApplication();
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Nirvex"));
    // Without a display name of its own, the application's follows its name and is never added
    // to a title such as "О программе...".
    QApplication::setApplicationName(QStringLiteral("probe"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("probe"));
    SetUpApplication();
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

#include "ui/HelpViewer.h"

#include <QFile>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace nirvex;

namespace {

QStringList AnchorNames(const QTextDocument& doc) {
    QStringList names;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            names << it.fragment().charFormat().anchorNames();
    return names;
}

// The manual's text, and the part of it from the heading of `context` to the next section's.
QString ManualText() {
    QFile file(FindProgramFile(QString::fromLatin1(kHelpFileName)));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(file.readAll()));
    return doc.toPlainText();
}
QString Stage(const QString& text, int stage) {
    const qsizetype from = text.indexOf(QStringLiteral("Этап %1.").arg(stage));
    const qsizetype to = text.indexOf(QStringLiteral("Этап %1.").arg(stage + 1));
    return from < 0 ? QString() : text.mid(from, to < 0 ? -1 : to - from);
}

} // namespace

// The manual speaks of the files and buttons the window has, spelled as the window spells them.
TEST(HelpViewerTest, ManualNamesTheFilesAndButtonsAsTheWindowDoes) {
    const QString text = ManualText();
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(Stage(text, 1).contains(QStringLiteral("CSV (*.csv)")));
    const QString last = Stage(text, 7);
    for (const char* button : {"«Расчёт»", "«Расчёт по файлу...»", "«Экспорт...»", "«Сохранить»", "«Сохранить как...»"})
        EXPECT_TRUE(last.contains(QString::fromUtf8(button))) << button;
    EXPECT_FALSE(text.contains(QStringLiteral("Рассчет"), Qt::CaseInsensitive));
    // "авто" is described as the page and the report treat it: no parameters to type, its formula shown.
    const QString fields = Stage(text, 2);
    EXPECT_TRUE(fields.contains(QStringLiteral("авто — сигмоида 1/(1+exp(-(X-M)/S))")));
    EXPECT_TRUE(fields.contains(QStringLiteral("поля параметров недоступны")));
}

TEST(HelpViewerTest, ManualHasAnAnchorForEveryHelpContext) {
    QString path = FindProgramFile(QString::fromLatin1(kHelpFileName));
    ASSERT_FALSE(path.isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(file.readAll()));
    QStringList names = AnchorNames(doc);
    for (int context : {61, 62, 63, 64, 65, 66, 67, 204})
        EXPECT_TRUE(names.contains(QString::number(context))) << context;
    EXPECT_TRUE(doc.toPlainText().contains(QStringLiteral("Параметры нормализации")));
}

TEST(HelpViewerTest, MissingFileIsNotFound) {
    EXPECT_TRUE(FindProgramFile(QStringLiteral("no-such-file.bmp")).isEmpty());
}

TEST(HelpViewerTest, OpensAtTheContextsAnchor) {
    THelpViewer viewer;
    viewer.ShowContext(61);
    ASSERT_TRUE(viewer.isVisible());
    EXPECT_EQ(viewer.Context(), 61);
    EXPECT_TRUE(viewer.Browser()->source().toLocalFile().endsWith(QStringLiteral("wizard.html")));
    int top = viewer.Browser()->verticalScrollBar()->value();
    // The last page's section lies further down than the first page's.
    viewer.ShowContext(67);
    EXPECT_EQ(viewer.Context(), 67);
    EXPECT_GT(viewer.Browser()->verticalScrollBar()->value(), top);
}

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

} // namespace

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

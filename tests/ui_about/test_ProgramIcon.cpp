#include "ui/ProgramIcon.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace nirvex;

namespace {

QImage IconImage(const QIcon& icon) {
    return icon.pixmap(QSize(64, 64)).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(ProgramIconTest, DrawnIconHasTheAskedSizeAndATransparentCorner) {
    for (int size : {16, 33, 64}) {
        const QImage image = DrawProgramIcon(size).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << size;
        EXPECT_EQ(image.pixelColor(size / 2, size / 2).alpha(), 255) << size;
    }
}

TEST(ProgramIconTest, LoadsTheIconFileFromTheFolder) {
    QTemporaryDir dir;
    QImage red(64, 64, QImage::Format_ARGB32);
    red.fill(QColor(220, 0, 0));
    ASSERT_TRUE(red.save(dir.filePath(QStringLiteral("nirvex.png")), "PNG"));
    const QImage shown = IconImage(ProgramIcon(dir.path()));
    EXPECT_EQ(shown.pixelColor(32, 32), QColor(220, 0, 0));
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(220, 0, 0));
}

TEST(ProgramIconTest, MissingFileGivesTheDrawnIcon) {
    QTemporaryDir dir;
    const QImage shown = IconImage(ProgramIcon(dir.path()));
    EXPECT_EQ(shown, DrawProgramIcon(64).convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(IconImage(ProgramIcon(QString{})), shown);
}

TEST(ProgramIconTest, UnreadableFileGivesTheDrawnIcon) {
    QTemporaryDir dir;
    QFile bad(dir.filePath(QStringLiteral("nirvex.png")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("\x89PNG broken");
    bad.close();
    EXPECT_EQ(IconImage(ProgramIcon(dir.path())), DrawProgramIcon(64).convertToFormat(QImage::Format_ARGB32));
}

TEST(ProgramIconTest, CommittedIconFileIsTheDrawnIcon) {
    // make_art writes nirvex.png from the same drawing; a changed drawing needs the file redrawn.
    const QImage file(QDir(QStringLiteral(NIRVEX_DATA_DIR)).filePath(QStringLiteral("nirvex.png")));
    ASSERT_FALSE(file.isNull());
    EXPECT_EQ(file.convertToFormat(QImage::Format_ARGB32), DrawProgramIcon(64).convertToFormat(QImage::Format_ARGB32));
}

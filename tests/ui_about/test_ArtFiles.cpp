#include "ui/Pictures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cstdlib>

// The pictures the program looks up beside itself, as committed in data/.

namespace {

struct TBmpHeader {
    bool Valid = false;
    int Width = 0, Height = 0, Bits = 0, Compression = -1;
};

// The fields of the BITMAPFILEHEADER / BITMAPINFOHEADER that decide whether any reader takes the file.
TBmpHeader ReadBmpHeader(const QString& path) {
    TBmpHeader header;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return header;
    const QByteArray bytes = file.read(54);
    if (bytes.size() < 54 || !bytes.startsWith("BM"))
        return header;
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    header.Valid = qFromLittleEndian<quint32>(p + 14) >= 40;
    header.Width = qFromLittleEndian<qint32>(p + 18);
    header.Height = qFromLittleEndian<qint32>(p + 22);
    header.Bits = qFromLittleEndian<quint16>(p + 28);
    header.Compression = static_cast<int>(qFromLittleEndian<quint32>(p + 30));
    return header;
}

QString DataFile(const QString& name) {
    return QDir(QStringLiteral(NIRVEX_DATA_DIR)).filePath(name);
}

void ExpectPicture(const QString& name, int width, int height) {
    const TBmpHeader header = ReadBmpHeader(DataFile(name));
    ASSERT_TRUE(header.Valid) << name.toStdString();
    EXPECT_EQ(header.Width, width) << name.toStdString();
    EXPECT_EQ(header.Height, height) << name.toStdString();
    EXPECT_EQ(header.Bits, 24) << name.toStdString();
    EXPECT_EQ(header.Compression, 0) << name.toStdString();
    const QImage image(DataFile(name));
    ASSERT_FALSE(image.isNull()) << name.toStdString();
    EXPECT_EQ(image.size(), QSize(width, height)) << name.toStdString();
}

} // namespace

TEST(ArtFilesTest, PagePicturesAreUncompressed24BitBitmapsOf150By300) {
    for (int page = 1; page <= 7; ++page)
        ExpectPicture(QStringLiteral("%1.bmp").arg(page), 150, 300);
}

TEST(ArtFilesTest, SplashPictureIsAnUncompressed24BitBitmapOf400By300) {
    ExpectPicture(QStringLiteral("Splash.bmp"), 400, 300);
}

TEST(ArtFilesTest, EveryPagePictureIsItsOwn) {
    std::vector<QImage> pictures;
    for (int page = 1; page <= 7; ++page)
        pictures.emplace_back(DataFile(QStringLiteral("%1.bmp").arg(page)));
    for (std::size_t a = 0; a < pictures.size(); ++a)
        for (std::size_t b = a + 1; b < pictures.size(); ++b)
            EXPECT_NE(pictures[a], pictures[b]) << a + 1 << " and " << b + 1;
}

TEST(ArtFilesTest, ProgramIconIsA64By64PngWithTransparency) {
    const QImage icon(DataFile(QStringLiteral("nirvex.png")));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(64, 64));
    EXPECT_TRUE(icon.hasAlphaChannel());
}

// Each picture's copy for high-density screens: twice the size each way, and the same picture.
TEST(ArtFilesTest, DoubleDensityCopiesBesideThePictures) {
    QStringList names{QStringLiteral("Splash.bmp")};
    for (int page = 1; page <= 7; ++page)
        names << QStringLiteral("%1.bmp").arg(page);
    for (const QString& name : names) {
        const QImage plain = QImage(DataFile(name)).convertToFormat(QImage::Format_RGB32);
        const QString denseName = nirvex::DoubleDensityName(DataFile(name));
        EXPECT_TRUE(denseName.endsWith(QString(name).replace(QStringLiteral(".bmp"), QStringLiteral("@2x.png"))));
        const QImage dense = QImage(denseName).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(dense.isNull()) << denseName.toStdString();
        EXPECT_EQ(dense.size(), plain.size() * 2) << denseName.toStdString();
        // Halved, it differs from the plain picture only where edges fall between pixels.
        const QImage half = dense.scaled(plain.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        double difference = 0;
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x) {
                const QRgb a = plain.pixel(x, y), b = half.pixel(x, y);
                difference +=
                    std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
            }
        EXPECT_LT(difference / (3.0 * plain.width() * plain.height()), 8.0) << denseName.toStdString();
    }
}

TEST(ArtFilesTest, PictureLoadedForTheScreensDensity) {
    const QString page = DataFile(QStringLiteral("1.bmp"));
    const QPixmap plain = nirvex::LoadPicture(page, 1.0);
    EXPECT_EQ(plain.size(), QSize(150, 300));
    EXPECT_EQ(plain.devicePixelRatio(), 1.0);
    const QPixmap dense = nirvex::LoadPicture(page, 2.0);
    EXPECT_EQ(dense.size(), QSize(300, 600));
    EXPECT_EQ(dense.devicePixelRatio(), 2.0);
    // A density between: the dense copy brought to the screen's pixels.
    const QPixmap between = nirvex::LoadPicture(page, 1.5);
    EXPECT_EQ(between.size(), QSize(225, 450));
    EXPECT_EQ(between.devicePixelRatio(), 1.5);
    EXPECT_EQ(between.deviceIndependentSize().toSize(), QSize(150, 300));
    // Without a dense copy, the picture itself.
    QTemporaryDir dir;
    const QString alone = dir.filePath(QStringLiteral("1.bmp"));
    ASSERT_TRUE(QFile::copy(page, alone));
    EXPECT_EQ(nirvex::LoadPicture(alone, 2.0).size(), QSize(150, 300));
    EXPECT_TRUE(nirvex::LoadPicture(dir.filePath(QStringLiteral("none.bmp")), 2.0).isNull());
}

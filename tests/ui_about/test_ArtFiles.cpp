#include <QDir>
#include <QFile>
#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>

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

#include "ui/Pictures.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

namespace nirvex {

QString DoubleDensityName(const QString& path) {
    const QFileInfo file(path);
    return file.dir().filePath(file.completeBaseName() + QStringLiteral("@2x.png"));
}

QPixmap LoadPicture(const QString& path, qreal ratio) {
    QPixmap plain;
    plain.load(path);
    if (ratio <= 1.0)
        return plain;
    QImage dense(DoubleDensityName(path));
    if (dense.isNull())
        return plain;
    // The copy's own density is 2; a screen of another density gets it scaled smoothly to its own pixels.
    const QSize logical = plain.isNull() ? dense.size() / 2 : plain.size();
    const QSize pixels = (QSizeF(logical) * ratio).toSize();
    if (dense.size() != pixels)
        dense = dense.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPixmap picture = QPixmap::fromImage(dense);
    picture.setDevicePixelRatio(ratio);
    return picture;
}

} // namespace nirvex

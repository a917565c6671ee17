#include "ui/ProgramIcon.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace nirvex {

QImage DrawProgramIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 64-unit grid and scaled, so every size shows the same picture.
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient tile(0, 2, 0, 62);
    tile.setColorAt(0.0, QColor(74, 122, 214));
    tile.setColorAt(1.0, QColor(30, 52, 116));
    p.setPen(QPen(QColor(22, 38, 88), 1.5));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2.75, 2.75, 58.5, 58.5), 13, 13);

    const std::array<QPointF, 3> inputs = {QPointF(13, 16), QPointF(11, 32), QPointF(13, 48)};
    const QPointF body(34, 32);
    p.setPen(QPen(QColor(225, 235, 255), 3.2, Qt::SolidLine, Qt::RoundCap));
    for (const QPointF& in : inputs)
        p.drawLine(in, body);
    p.drawLine(body, QPointF(50, 32));
    QPainterPath head;
    head.moveTo(56, 32);
    head.lineTo(47, 26);
    head.lineTo(47, 38);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(225, 235, 255));
    p.drawPath(head);
    for (const QPointF& in : inputs)
        p.drawEllipse(in, 5, 5);

    p.setBrush(QColor(255, 255, 255, 55));
    p.drawEllipse(body, 14, 14);
    p.setPen(QPen(QColor(255, 255, 255), 2.5));
    p.setBrush(QColor(255, 186, 48));
    p.drawEllipse(body, 10, 10);
    return image;
}

QIcon ProgramIcon(const QString& dataDir) {
    QPixmap pixmap;
    if (!dataDir.isEmpty() && pixmap.load(QDir(dataDir).filePath(QString::fromLatin1(kProgramIconFileName))))
        return QIcon(pixmap);
    return QIcon(QPixmap::fromImage(DrawProgramIcon(64)));
}

} // namespace nirvex

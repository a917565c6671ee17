#include "ui/Icons.h"

#include <QPainter>
#include <QPixmap>

#include <array>

namespace nirvex {

namespace {

constexpr int kFrames = 8;
constexpr int kSize = 16;

// Where the pulse stands in each frame: on the three dendrites (frames 0-2), in the body (3, 4:
// it lights up, then glows) and along the axon (5-7).
struct TPulse {
    QPointF At;
    int Body; // 0 dark, 1 lit, 2 glowing
};

constexpr std::array<QPointF, 3> kDendrites = {QPointF(1.5, 2.5), QPointF(1.5, 8.0), QPointF(1.5, 13.5)};
const QPointF kBody(7.5, 8.0);

TPulse PulseOf(int frame) {
    switch (frame) {
    case 0:
    case 1:
    case 2: {
        // half way along dendrite `frame`
        QPointF d = kDendrites[static_cast<std::size_t>(frame)];
        return {(d + kBody) / 2.0, 0};
    }
    case 3:
        return {kBody, 1};
    case 4:
        return {kBody, 2};
    default:
        return {QPointF(10.5 + (frame - 5) * 2.2, 8.0), 0};
    }
}

} // namespace

int AnimationFrameCount() {
    return kFrames;
}

QImage AnimationImage(int frame, int size) {
    frame = ((frame % kFrames) + kFrames) % kFrames;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (size != kSize)
        p.scale(size / double(kSize), size / double(kSize));
    const TPulse pulse = PulseOf(frame);

    QPen wire(QColor(40, 70, 150), 1.2);
    p.setPen(wire);
    for (const QPointF& d : kDendrites)
        p.drawLine(d, kBody);
    p.drawLine(kBody, QPointF(15.0, 8.0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 70, 150));
    for (const QPointF& d : kDendrites)
        p.drawEllipse(d, 1.5, 1.5);

    // The body glows while the pulse passes through it.
    if (pulse.Body == 2) {
        p.setBrush(QColor(255, 120, 0, 110));
        p.drawEllipse(kBody, 5.5, 5.5);
    }
    p.setPen(QPen(QColor(20, 40, 110), 1.0));
    p.setBrush(pulse.Body ? QColor(255, 210, 40) : QColor(90, 140, 230));
    p.drawEllipse(kBody, 4.0, 4.0);

    if (pulse.Body == 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 120, 0, 110));
        p.drawEllipse(pulse.At, 2.6, 2.6);
        p.setBrush(QColor(255, 230, 60));
        p.drawEllipse(pulse.At, 1.6, 1.6);
    }
    return image;
}

QIcon AnimationIcon(int frame) {
    QIcon icon;
    for (int size : {kSize, 24, 32, 48})
        icon.addPixmap(QPixmap::fromImage(AnimationImage(frame, size)));
    return icon;
}

} // namespace nirvex

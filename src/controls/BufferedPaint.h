#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cfenv>

namespace nirvex {

// The buffer holds the widget's picture in the pixels of the widget's screen: the widget's size times
// the screen's device pixel ratio, painted in the widget's own coordinates, so that a screen of a high
// density shows the picture sharp. On an ordinary screen it is the widget's size.
inline bool BufferFits(const QWidget& widget, const QImage& buffer) {
    const qreal ratio = widget.devicePixelRatio();
    return !buffer.isNull() && buffer.devicePixelRatio() == ratio &&
           buffer.size() == (QSizeF(widget.size()) * ratio).toSize();
}

inline void FitBuffer(const QWidget& widget, QImage& buffer) {
    if (BufferFits(widget, buffer))
        return;
    const qreal ratio = widget.devicePixelRatio();
    buffer = QImage((QSizeF(widget.size()) * ratio).toSize(), QImage::Format_RGB32);
    buffer.setDevicePixelRatio(ratio);
}

// Draws through an off-screen image the size of the widget and copies it in one go, so repaints
// during training do not flicker. A repaint may come in the middle of a training example, whose
// float checks must not see the drawing's flags: they are restored as found.
template <class TPaintBuffer> void PaintThroughBuffer(QWidget& widget, QImage& buffer, TPaintBuffer paintBuffer) {
    std::fexcept_t flags;
    std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
    FitBuffer(widget, buffer);
    if (!buffer.isNull()) {
        paintBuffer();
        QPainter(&widget).drawImage(0, 0, buffer);
    }
    std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
}

// Renders the buffer now, at the widget's size, from the data as it stands; `held` then keeps this
// picture on the screen until the next call, whatever the data does meanwhile.
template <class TPaintBuffer> void RenderBuffer(QWidget& widget, QImage& buffer, TPaintBuffer paintBuffer) {
    std::fexcept_t flags;
    std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
    FitBuffer(widget, buffer);
    if (!buffer.isNull())
        paintBuffer();
    std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
}

// The paint event of a control that may hold a rendered picture: the held picture as it is, or, when
// there is none or the widget's size or screen changed since, a fresh one drawn at the size now (a
// picture is never stretched).
template <class TPaintBuffer>
void PaintHeldOrFresh(QWidget& widget, QImage& buffer, bool held, TPaintBuffer paintBuffer) {
    if (held && BufferFits(widget, buffer))
        QPainter(&widget).drawImage(0, 0, buffer);
    else
        PaintThroughBuffer(widget, buffer, paintBuffer);
}

} // namespace nirvex

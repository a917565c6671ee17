#pragma once

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cfenv>

namespace nirvex {

// Draws through an off-screen image the size of the widget and copies it in one go, so repaints
// during training do not flicker. A repaint may come in the middle of a training example, whose
// float checks must not see the drawing's flags: they are restored as found.
template <class TPaintBuffer> void PaintThroughBuffer(QWidget& widget, QImage& buffer, TPaintBuffer paintBuffer) {
    std::fexcept_t flags;
    std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
    if (buffer.size() != widget.size())
        buffer = QImage(widget.size(), QImage::Format_RGB32);
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
    if (buffer.size() != widget.size())
        buffer = QImage(widget.size(), QImage::Format_RGB32);
    if (!buffer.isNull())
        paintBuffer();
    std::fesetexceptflag(&flags, FE_ALL_EXCEPT);
}

// The paint event of a control that may hold a rendered picture: the held picture as it is, or a
// fresh one from the data.
template <class TPaintBuffer>
void PaintHeldOrFresh(QWidget& widget, QImage& buffer, bool held, TPaintBuffer paintBuffer) {
    if (held && buffer.size() == widget.size() && !buffer.isNull())
        QPainter(&widget).drawImage(0, 0, buffer);
    else
        PaintThroughBuffer(widget, buffer, paintBuffer);
}

} // namespace nirvex

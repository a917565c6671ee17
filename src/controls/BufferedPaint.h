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

} // namespace nirvex

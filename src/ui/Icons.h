#pragma once

#include <QIcon>
#include <QImage>

namespace nirvex {

// The window icon's animation: a neuron whose inputs fire one after another and send a pulse
// down its axon, eight 16 x 16 frames shown 100 ms each.
int AnimationFrameCount();
// Frame `frame` taken modulo the frame count, drawn at `size` x `size` pixels (the 16-pixel drawing
// scaled, so that a title bar or task bar on a high-density screen shows it sharp).
QImage AnimationImage(int frame, int size = 16);
// The frame at 16, 24, 32 and 48 pixels: the window system picks the one its screen needs.
QIcon AnimationIcon(int frame);

} // namespace nirvex

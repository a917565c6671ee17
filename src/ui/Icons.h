#pragma once

#include <QIcon>
#include <QImage>

namespace nirvex {

// The window icon's animation: a neuron whose inputs fire one after another and send a pulse
// down its axon, eight 16 x 16 frames shown 100 ms each.
int AnimationFrameCount();
// Frame `frame` taken modulo the frame count.
QImage AnimationImage(int frame);
QIcon AnimationIcon(int frame);

} // namespace nirvex

#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace nirvex {

// The program icon's file name among the program's own files.
inline constexpr const char* kProgramIconFileName = "nirvex.png";

// The program icon drawn at `size` x `size`: a neuron on a blue tile whose three inputs meet in
// an amber body and leave by the axon, the same motif as the window animation.
QImage DrawProgramIcon(int size);

// The icon from nirvex.png in `dataDir`; the drawn icon when the file is missing or unreadable.
QIcon ProgramIcon(const QString& dataDir);

} // namespace nirvex

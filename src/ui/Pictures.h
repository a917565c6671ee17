#pragma once

#include <QPixmap>
#include <QString>

namespace nirvex {

// The name of the double-density copy of a picture, beside it: "1@2x.png" for "1.bmp".
QString DoubleDensityName(const QString& path);

// The picture in the file `path` for a screen of device pixel ratio `ratio`. Above 1 it is the picture's
// double-density copy when there is one, brought to the screen's density, so that it shows as sharp as
// the screen can show it at the picture's own size; otherwise the file as it is. Null when neither reads.
QPixmap LoadPicture(const QString& path, qreal ratio);

} // namespace nirvex

// The short notice a view paints in place of a picture that cannot be shown: the file's name
// and the reason, centred in the view.
#pragma once

#include <QRect>
#include <QString>

#include "PictureDecoder.h"

class QPainter;

namespace PictureNotice {

// "<fileName>" on one line, "cannot be shown: <reason>." on the next.
QString Text(const QString& fileName, const PictureFailure& failure);
// Draws `text` centred in `area`, wrapped to its width, in the palette's text colour.
void Paint(QPainter& painter, const QRect& area, const QString& text);

} // namespace PictureNotice

// The short notices a view paints: in place of a picture that cannot be shown (the file's name
// and the reason, centred in the view), while a picture is being opened, and over a picture
// that is cut short (a band along the view's bottom edge).
#pragma once

#include <QRect>
#include <QString>

#include "PictureDecoder.h"

class QPainter;

namespace PictureNotice {

// "<fileName>" on one line, "cannot be shown: <reason>." on the next.
QString Text(const QString& fileName, const PictureFailure& failure);
// "Opening "<fileName>"...".
QString LoadingText(const QString& fileName);
// ""<fileName>" is cut short: the missing part is shown grey."
QString TruncatedText(const QString& fileName);
// Draws `text` centred in `area`, wrapped to its width, in the palette's text colour.
void Paint(QPainter& painter, const QRect& area, const QString& text);
// Draws `text` on one line in a band of the palette's tool-tip colours along the bottom of
// `area`, over whatever is there.
void PaintBanner(QPainter& painter, const QRect& area, const QString& text);

} // namespace PictureNotice

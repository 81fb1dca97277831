// Scrolling a window surface the way a window system scrolls a window: the pixels move by the
// scroll distance and only the strip that comes into view needs drawing.
#pragma once

#include <QImage>
#include <QRegion>

// Moves the pixels of `image` by (dx, dy) logical pixels (dx and dy times its pixel ratio in
// device pixels); what moves out is dropped. Returns the exposed part, in logical coordinates,
// which still holds the old pixels and is to be drawn afresh. A distance beyond the image, or a
// pixel ratio that is not a whole number (a logical pixel would split), moves nothing and
// exposes the whole image.
QRegion ScrollSurfacePixels(QImage& image, int dx, int dy);

// Work on large images a band of rows at a time, so that Qt's conversions to a 32-bit format
// (which smooth scaling also makes first) never take a full-size copy of a narrower image.
#pragma once

#include <QImage>

namespace ImageBands {

// `image` converted to `format`.
QImage Convert(const QImage& image, QImage::Format format);
// `image` smooth-scaled to width x height (RGB32 or ARGB32_Premultiplied, ratio 1). Band edges
// are widened to whole source rows, which shifts a band's first and last rows by at most a
// fraction of a source row.
QImage SmoothResize(const QImage& image, int width, int height);

} // namespace ImageBands

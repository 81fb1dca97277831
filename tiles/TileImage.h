// Pixel helpers every tile source shares: halving a level into the next, the grey that stands
// for pixels a damaged file does not hold, and the display formats tiles come in. Any thread.
#pragma once

#include <QImage>
#include <QSize>

namespace tiles::TileImage {

// The pixels that stand for what a truncated or damaged file does not hold.
inline constexpr QRgb kMissing = 0xFF808080;

// RGB32, or ARGB32_Premultiplied when `alpha`.
QImage::Format DisplayFormat(bool alpha);

// `image` (RGB32 or ARGB32_Premultiplied) reduced by two on each side, each side rounded up: a
// box filter over 2 x 2 pixels, the last row or column of an odd side averaged with itself.
QImage Halve(const QImage& image);

// A new image of `size` filled with kMissing.
QImage Missing(QSize size, QImage::Format format);

// `image` copied into an image of `size` (not smaller), its last row and column repeated to
// fill the rest: a file level a pixel short of ours still fills our tile.
QImage Extend(const QImage& image, QSize size);

} // namespace tiles::TileImage

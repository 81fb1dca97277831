// How a pyramid keeps one tile: opaque tiles as baseline JPEG (libjpeg-turbo straight from and
// to RGB32 memory, no conversion), tiles with alpha as deflated ARGB32_Premultiplied pixels.
// Decoding trusts nothing: a tile whose bytes do not decode to exactly the size asked for is
// null. Any thread.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace tiles::TileCodec {

inline constexpr int kJpegQuality = 90;

// `tile` is RGB32 (JPEG) or ARGB32_Premultiplied (deflate). `fullChroma` keeps colour at full
// resolution (line art); without it colour is halved each way, as most photographs store it.
QByteArray Encode(const QImage& tile, bool fullChroma);
QImage Decode(const QByteArray& bytes, QSize size, bool alpha);

} // namespace tiles::TileCodec

// Big synthetic pictures for the tile benchmarks, written a row at a time so that making a
// gigapixel file costs no more memory than a few rows: grainy shading with edges, which a
// JPEG encodes at about the cost of a photograph.
#pragma once

#include <QString>

namespace BigPictures {

bool WriteJpeg(const QString& path, int width, int height, bool progressive = false);
bool WritePng(const QString& path, int width, int height);
// A tiled TIFF of JPEG tiles (quality 90), its reduced levels as further pages when `levels`.
bool WriteTiledTiff(const QString& path, int width, int height, bool levels);

} // namespace BigPictures

// A pyramidal tiled TIFF of any size made in seconds: a handful of distinct JPEG tiles are
// encoded once (by libtiff, so their tables and colour layout are its own), then every tile of
// every level is written raw as one of them. The file costs a few kilobytes a tile on disc and
// nothing in memory; a reader decodes each tile as it would a photograph's.
#pragma once

#include <QString>

namespace BigPictures {

// width x height, 256-pixel JPEG tiles (quality `quality`), its levels as further pages down to
// one tile. Each tile shows which of `distinct` patterns it is, picked by a hash of its place.
bool WriteRepeatedTileTiff(const QString& path, int width, int height, int distinct = 8,
                           int quality = 60);

} // namespace BigPictures

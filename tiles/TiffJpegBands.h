// The rows of a tiled TIFF whose tiles are JPEG, reduced by the JPEG decoder itself as it
// decodes each tile (to 1/2, 1/4 or 1/8 of each side): the coarse levels of such a picture
// that has no levels of its own, for little more than the cost of reading every tile's coded
// data once, where decoding the tiles at full size and halving them costs several times that.
#pragma once

#include <QString>

#include <memory>

#include "BandReader.h"

namespace tiles::TiffJpegBands {

// A reader of the first image of the TIFF at `path`, its rows reduced by `denominator` (2, 4
// or 8; each side rounded up, as a level's are). Null unless that image is tiles of 8-bit
// RGB or YCbCr JPEG whose sides `denominator` divides; no tile's coded data larger than
// `maxAlloc` is read.
std::unique_ptr<BandReader> Open(const QString& path, int denominator, qint64 maxAlloc);

} // namespace tiles::TiffJpegBands

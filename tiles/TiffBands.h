// The first image of a TIFF file read from the top in bands (libtiff decodes the strips or
// tiles each band covers): how pictures stored in strips, and tiled ones without levels, get a
// pyramid. A block that cannot be read stops the rows there.
#pragma once

#include <QString>

#include "BandReader.h"

namespace tiles::TiffBands {

std::unique_ptr<BandReader> Open(const QString& path, qint64 maxAlloc);

} // namespace tiles::TiffBands

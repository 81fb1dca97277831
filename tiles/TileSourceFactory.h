// The one door to big pictures: reads only a file's header (size, format, how its pixels are
// stored), checks it against the limits before any pixel memory is taken, and returns the
// source that serves its tiles:
// - a tiled TIFF or BigTIFF with all its levels: read in place (TiffTileSource);
// - a baseline or progressive JPEG, a PNG, a TIFF in strips, or a tiled TIFF short of levels:
//   the pyramid of the tile cache when it holds a sound one for this content, else a new one
//   built in the background (BuiltTileSource), coarse levels first for a JPEG.
// Null with `whyNot` set to a clause for the user ("it is too large: ..."), naming the limit
// and the figures. Any thread; a build it starts runs on its own thread.
#pragma once

#include <QString>

#include <memory>

#include "TileLimits.h"
#include "TileSource.h"

namespace tiles {

// Pictures from this many pixels on are better shown in tiles than decoded whole.
inline constexpr qint64 kTiledFromPixels = 64'000'000;

// What the open found, for callers that show progress and for tests.
struct OpenInfo {
    bool inPlace = false;   // every level read from the file itself
    bool fromCache = false; // a pyramid of the cache was found and checked
    bool building = false;  // a pyramid is being built
    QString pyramidPath;    // where the pyramid is or will be
};

std::shared_ptr<TileSource> OpenTileSource(const QString& path, const TileLimits& limits,
                                           QString* whyNot, OpenInfo* info = nullptr);

} // namespace tiles

// Opening a picture file as levels of tiles: reads only the header and returns a source, or
// null with the reason (naming the limit and the figures when the picture cannot be shown
// within them). No pixel memory is taken before the limits are checked.
// May run on any thread; the source it returns follows TileSource's threading contract.
#pragma once

#include <QString>

#include <memory>

#include "TileSource.h"

namespace tiles {

struct TileLimits {
    // Pixel memory a read or a build under way may take, in bytes (0: no more than the
    // picture's share of the machine).
    qint64 memoryBytes = 0;
    // Disc space the kept levels of all pictures may take, in bytes (0: the cache's own bound).
    qint64 cacheBytes = 0;
};

// A source for `path`, or null with `*whyNot` (when given) set to a clause the user can be told.
std::shared_ptr<TileSource> OpenTileSource(const QString& path, const TileLimits& limits,
                                           QString* whyNot);

} // namespace tiles

#include "TileSourceFactory.h"

namespace tiles {

// No file reader is built into this library yet: every file takes the whole-decode path.
std::shared_ptr<TileSource> OpenTileSource(const QString& path, const TileLimits& limits,
                                           QString* whyNot) {
    (void)path;
    (void)limits;
    if (whyNot != nullptr)
        *whyNot = QStringLiteral("no tile reader for this file");
    return nullptr;
}

} // namespace tiles

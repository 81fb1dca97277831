#include "TileCache.h"

#include <algorithm>

namespace {
constexpr int kRowBits = 24;
constexpr int kLevelShift = 48;
constexpr quint64 kFieldMask = (quint64(1) << kRowBits) - 1;
} // namespace

TileCache::TileCache(qint64 boundBytes) : m_tiles(qsizetype(std::max<qint64>(boundBytes, 0))) {}

const QImage* TileCache::find(const tiles::TileId& id) {
    return m_tiles.object(Key(id));
}

void TileCache::insert(const tiles::TileId& id, const QImage& tile) {
    if (tile.isNull()) {
        return;
    }
    // QCache deletes an object it cannot keep at once.
    m_tiles.insert(Key(id), new QImage(tile), qsizetype(tile.sizeInBytes()));
}

quint64 TileCache::Key(const tiles::TileId& id) {
    return (quint64(id.level) << kLevelShift) | ((quint64(id.column) & kFieldMask) << kRowBits) |
           (quint64(id.row) & kFieldMask);
}

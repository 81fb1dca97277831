// Decoded tiles kept in memory, bounded in bytes: inserting past the bound drops the least
// recently used tiles first. A tile larger than the whole bound is not kept.
// One thread only (the window thread).
#pragma once

#include <QCache>
#include <QImage>

#include "TileSource.h"

class TileCache {
public:
    explicit TileCache(qint64 boundBytes);

    // The tile, marked as used now; null when it is not kept.
    const QImage* find(const tiles::TileId& id);
    bool contains(const tiles::TileId& id) const { return m_tiles.contains(Key(id)); }
    void insert(const tiles::TileId& id, const QImage& tile);

    qint64 bytes() const { return m_tiles.totalCost(); }
    qint64 bound() const { return m_tiles.maxCost(); }

    // One number per tile: levels, columns and rows of any picture fit (columns and rows are
    // below 2^23 for pictures of int size cut into tiles of 256).
    static quint64 Key(const tiles::TileId& id);

private:
    QCache<quint64, QImage> m_tiles;
};

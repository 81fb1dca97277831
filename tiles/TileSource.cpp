#include "TileSource.h"

namespace tiles {

QSize TileSource::LevelSize(QSize size, int level)
{
    qint64 w = size.width();
    qint64 h = size.height();
    for (int k = 0; k < level; ++k) {
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    return QSize(int(w), int(h));
}

int TileSource::LevelCount(QSize size)
{
    int count = 1;
    while (size.width() > kTileSize || size.height() > kTileSize) {
        size = QSize((size.width() + 1) / 2, (size.height() + 1) / 2);
        ++count;
    }
    return count;
}

QRect TileSource::TileRect(QSize size, const TileId& id)
{
    if (id.level < 0 || id.level >= LevelCount(size) || id.column < 0 || id.row < 0)
        return QRect();
    const QSize level = LevelSize(size, id.level);
    const QRect tile(id.column * kTileSize, id.row * kTileSize, kTileSize, kTileSize);
    return tile.intersected(QRect(QPoint(0, 0), level));
}

} // namespace tiles

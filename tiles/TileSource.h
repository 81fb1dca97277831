// A big picture cut into levels of square tiles, read on worker threads.
//
// Level 0 is the picture at full size; level k is level 0 reduced by 2^k, each side rounded up,
// down to the first level whose both sides fit in one tile. Every tile is kTileSize square except
// those at the right and bottom edges of a level, which are cut to the level's size.
//
// readTile() may run on several worker threads at once and never touches objects of the window
// thread. A source whose levels are still being built (a picture that can only be read from the
// top) reports which levels can be read now; the others come later.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>

namespace tiles {

inline constexpr int kTileSize = 256;

struct TileId {
    int level = 0;
    int column = 0;
    int row = 0;
    friend bool operator==(const TileId&, const TileId&) = default;
};

class TileSource {
public:
    virtual ~TileSource() = default;

    // Size of level 0, from the file's header.
    virtual QSize pictureSize() const = 0;
    // Number of levels, at least 1 (LevelCount(pictureSize())).
    int levelCount() const { return LevelCount(pictureSize()); }
    // True when the tiles of `level` can be read now.
    virtual bool levelReady(int level) const = 0;
    // The pixels of one tile (RGB32 or ARGB32_Premultiplied), exactly TileRect(...).size();
    // null when the tile cannot be read (damaged, level not ready) or `cancelled` became true.
    // While its level is being built, a tile whose rows are only partly there may come as
    // those rows: as wide as its rectangle, fewer rows (never all of them).
    virtual QImage readTile(const TileId& id, const std::atomic<bool>& cancelled) const = 0;
    // True when this one tile can be read now: a level being built fills from the top, so its
    // first rows are there before the whole level is. Never false for a ready level.
    virtual bool tileReady(const TileId& id) const { return levelReady(id.level); }
    // The rows of `level` from its top that can be read now, whole tiles or the first rows of
    // the tiles below them: the level's height once it is ready.
    virtual int rowsReady(int level) const {
        return levelReady(level) ? LevelSize(pictureSize(), level).height() : 0;
    }
    // Blocks until `level` can be read, or until no build under way will make it readable;
    // true when it can be read. A source without a build answers at once.
    virtual bool waitForLevel(int level) const { return levelReady(level); }
    // Empty, or a clause for the user when the picture is shown only in part ("it is truncated
    // or damaged: ..."); may change while levels are built.
    virtual QString notice() const { return {}; }

    // The geometry every source shares.
    static int LevelCount(QSize size);
    static QSize LevelSize(QSize size, int level);
    // The tile's rectangle in its level's pixels; empty when the id lies outside the level.
    static QRect TileRect(QSize size, const TileId& id);
};

} // namespace tiles

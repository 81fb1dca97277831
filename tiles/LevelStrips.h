// Builds levels from rows read from the top: keeps one strip of kTileSize rows per level, cuts
// each full strip into tiles, and halves its rows into the next level's strip as soon as a pair
// of them is there (the last row of an odd level alone, once its strip is complete). So a
// picture of any height costs one strip per level (about two strips of the widest level in
// all), the tiles of every level come out top row first, and every level's rows arrive a few
// at a time, the coarse ones as soon as the fine ones. Levels below `firstWritten` are reduced
// but not handed out (the file serves them itself).
//
// One thread builds (addRows, finishEarly). Any thread may meanwhile ask how many rows of a
// level are there (rowsReady) and copy the rows of a tile of the strip under way (readRows):
// a tile's rows stay in its strip until the sink has taken every tile of that strip, so every
// row counted by rowsReady is either in the strip or already handed to the sink. A strip
// never shows its last row: a tile read from it is always shorter than the tile, so a reader
// can tell it from the finished one the sink keeps.
#pragma once

#include <QImage>
#include <QSize>

#include <functional>
#include <mutex>
#include <vector>

#include "TileSource.h"

namespace tiles {

class LevelStrips {
public:
    // False from the sink stops the build (the tile could not be kept).
    using TileSink = std::function<bool(const TileId&, const QImage&)>;
    using LevelDone = std::function<void(int level)>;

    // Rows come at `baseLevel`'s size; levels baseLevel .. lastLevel are built.
    LevelStrips(QSize picture, int baseLevel, int firstWritten, int lastLevel,
                QImage::Format format, TileSink sink, LevelDone done);

    // The memory the strips take.
    static qint64 Bytes(QSize picture, int baseLevel, int lastLevel);

    // The first `rows` rows of `band` (as wide as the base level) come next.
    bool addRows(const QImage& band, int rows);
    // The rows still to come are missing: the strips under way are filled with the missing
    // colour and handed out; the tiles below them are left unwritten.
    bool finishEarly();
    // All rows of the base level have come.
    bool complete() const;

    // Rows of `level` from its top that have come (0 for a level not built here).
    int rowsReady(int level) const;
    // The rows of tile `id` that have come, when they are in the strip under way: as wide as
    // the tile, fewer rows or all of them; null when the tile is not in the strip (not begun,
    // or already handed to the sink) or no row of it has come.
    QImage readRows(const TileId& id) const;

private:
    struct Strip {
        QImage image;
        uchar* bits = nullptr; // the image's pixels, written without touching the QImage
        qsizetype bytesPerLine = 0;
        QSize level;
        int filled = 0; // rows there
        int halved = 0; // rows already halved into the next level
        int shown = 0;  // rows other threads may read: under m_mutex, below expected()
        int row = 0;    // the tile row it holds; changed under m_mutex
    };

    int expected(const Strip& strip) const;
    bool push(int level, const uchar* rows, qsizetype bytesPerLine, int count);
    bool halveInto(int level, bool all);
    bool flush(int level);

    QSize m_picture;
    int m_base;
    int m_firstWritten;
    int m_last;
    QImage::Format m_format;
    TileSink m_sink;
    LevelDone m_done;
    std::vector<Strip> m_strips; // index: level - m_base
    mutable std::mutex m_mutex;
};

} // namespace tiles

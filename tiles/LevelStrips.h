// Builds levels from rows read from the top: keeps one strip of kTileSize rows per level, cuts
// each full strip into tiles, and halves it into the next level's strip. So a picture of any
// height costs one strip per level (about two strips of the widest level in all), and the tiles
// of every level come out top row first. Levels below `firstWritten` are reduced but not
// handed out (the file serves them itself). One thread.
#pragma once

#include <QImage>
#include <QSize>

#include <functional>
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

private:
    struct Strip {
        QImage image;
        QSize level;
        int filled = 0;
        int row = 0; // the tile row it holds
    };

    int expected(const Strip& strip) const;
    bool push(int level, const uchar* rows, qsizetype bytesPerLine, int count);
    bool flush(int level);

    QSize m_picture;
    int m_base;
    int m_firstWritten;
    int m_last;
    QImage::Format m_format;
    TileSink m_sink;
    LevelDone m_done;
    std::vector<Strip> m_strips; // index: level - m_base
};

} // namespace tiles

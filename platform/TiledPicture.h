// A big picture drawn from levels of tiles (a TileSource) instead of decoded pixels.
//
// A draw picks the level that matches the drawn size (the smallest level at least as large as
// the target in device pixels, so tiles are only ever reduced, by less than half, or enlarged
// beyond full size), takes the tiles it has from an in-memory cache bounded in bytes, and where
// a tile is missing draws the nearest coarser one it has scaled up, down to the coarsest level
// (one tile, read when the picture opens and always kept), so no part is ever left blank once
// that one is there. It works a band of rows at a time, so the memory a draw takes stays near
// the band's, whatever the target's size.
//
// With a handler set (the window), a draw never waits: it asks a TileFetcher for the missing
// tiles of what is visible plus a ring around it, nearest the centre first, replacing what it
// asked before. While the levels are being built it shows the rows a level has so far (tiles
// partly there, asked again as their rows come). Arriving tiles are cached and, gathered until the event loop is next idle,
// reported to the handler as the rectangle of the picture (in full-size pixels) that became
// sharper. Without a handler (files, printed pages) every draw waits for its level where that is
// still being built, then reads the tiles it needs on the pool's workers and waits for them, so
// what is drawn is final.
// Window thread only, except that it may be made (and readCoarsest called) on the thread that
// opens the picture before it is handed over.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "PixelBox.h"
#include "TileCache.h"
#include "TileFetcher.h"
#include "TileSource.h"

class QPainter;

class TiledPicture {
public:
    using Sharper = std::function<void(const QRect& pictureRect)>;

    TiledPicture(std::shared_ptr<const tiles::TileSource> source, qint64 cacheBytes);
    ~TiledPicture();
    TiledPicture(const TiledPicture&) = delete;
    TiledPicture& operator=(const TiledPicture&) = delete;

    QSize size() const { return m_size; }
    // Reads the coarsest level's tile now, where it is ready (for the thread that opens the
    // picture, which may wait on a read).
    void readCoarsest();
    void setSharperHandler(Sharper handler) { m_sharper = std::move(handler); }

    // Draws the whole picture scaled into `target` (painter's logical coordinates), only the part
    // inside `visible` (when not empty), on the device and inside the painter's clip.
    void draw(QPainter& painter, const QRect& target, const QRect& visible);
    // The same for a printed page: the whole part on the page, always final.
    void drawForPrint(QPainter& painter, const QRect& target);

    // True while tiles asked for are on their way.
    bool busy() const { return m_fetcher.busy(); }
    // Waits until the tiles asked for are in; the handler is not told about them.
    void waitForTiles();

    qint64 cachedBytes() const { return m_cache.bytes(); }
    qint64 cacheBound() const { return m_cache.bound(); }

    // The level drawn for a target of `width` x `height` device pixels.
    static int LevelFor(QSize picture, qint64 width, qint64 height);

private:
    struct Placement;
    using Local = std::unordered_map<quint64, QImage>;
    void render(QPainter& painter, const QRect& target, const QRect& shown, const QRect& wanted,
                bool block);
    void request(int level, const QRect& under);
    Local readNow(int level, const QRect& under);
    QImage compose(int level, const QRect& under, const Local& local);
    void drawCoarser(QPainter& painter, const tiles::TileId& id, const QRect& part,
                     const Local& local);
    const QImage* tileFor(const tiles::TileId& id, const Local& local);
    bool hasTileUnder(int level, const Placement& place, const PixelBox& band);
    void arrived(const tiles::TileId& id, QImage tile);
    void ensureTimers();
    void checkLevels();
    void notify();

    std::shared_ptr<const tiles::TileSource> m_source;
    QSize m_size;
    int m_topLevel = 0;
    QImage m_top; // the coarsest level's one tile
    TileCache m_cache;
    TileFetcher m_fetcher;
    std::unordered_set<quint64> m_failed; // tiles that could not be read: not asked again
    std::vector<bool> m_ready;            // levels known to be readable
    // Made on first use, on the window thread (a picture may be opened on another).
    std::unique_ptr<QTimer> m_levelPoll; // runs while some level is still being built
    // What the view asked for last (level drawn, its pixels), asked again as levels are built.
    struct Asked {
        int level = -1;
        QRect under;
    };
    Asked m_asked;
    Sharper m_sharper;
    QRect m_sharpened; // gathered until the next notice
    std::unique_ptr<QTimer> m_notice;
};

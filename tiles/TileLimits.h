// What a big picture may cost this machine: memory for a pyramid build and for one tile read,
// disc for the pyramids kept in the cache, and the largest sizes any header may claim.
// Every figure is checked against a file's header before any pixel memory is taken; a refusal
// names the limit it hit and the figures (TileRefusal). Plain values: any thread.
#pragma once

#include <QString>
#include <QtGlobal>

namespace tiles {

inline constexpr qint64 kMegabyte = 1024 * 1024;

struct TileLimits {
    // A pyramid build: the decoder's buffers and one strip of rows per level.
    qint64 buildBytes = 160 * kMegabyte;
    // One tile read: the file's own tile (which may be bigger than ours) or a region reduced
    // into a coarser tile.
    qint64 tileReadBytes = 64 * kMegabyte;
    // All pyramids kept in the cache together; the least recently used go first.
    qint64 cacheBytes = 20 * 1024 * kMegabyte;
    qint64 maxPixels = 20'000'000'000;
    int maxSide = 1'000'000;
    // The pyramid cache folder; empty: DefaultCacheDir().
    QString cacheDir;

    // $XDG_CACHE_HOME/zelvor/tiles (or the platform's cache folder when it is not set).
    static QString DefaultCacheDir();
    QString resolvedCacheDir() const { return cacheDir.isEmpty() ? DefaultCacheDir() : cacheDir; }
};

// The clauses a refusal or a notice is told in ("it is too large: ..."), one place for them all.
namespace TileRefusal {
QString NotTiled();
QString Unreadable(const QString& detail);
QString TooManyPixels(qint64 width, qint64 height, qint64 maxPixels, int maxSide);
QString ClaimsMoreThanFile(qint64 width, qint64 height, qint64 fileBytes);
QString DecodeMemory(const QString& what, qint64 neededBytes, qint64 limitBytes);
QString BuildMemory(qint64 neededBytes, qint64 limitBytes);
QString TileMemory(int tileWidth, int tileHeight, qint64 neededBytes, qint64 limitBytes);
QString CacheSpace(qint64 neededBytes, qint64 cacheBytes, qint64 freeBytes);
QString ShownInPart();
} // namespace TileRefusal

} // namespace tiles

#include "TileLimits.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace tiles {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("Picture", text); }

qint64 Mb(qint64 bytes) { return (bytes + kMegabyte - 1) / kMegabyte; }

constexpr qint64 kMillion = 1'000'000;

} // namespace

QString TileLimits::DefaultCacheDir() {
    // GenericCacheLocation is $XDG_CACHE_HOME (or ~/.cache) on Linux.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("zelvor/tiles"));
}

namespace TileRefusal {

QString NotTiled() { return Tr("it is not a TIFF, JPEG or PNG file"); }

QString Unreadable(const QString& detail) {
    return Tr("it cannot be read in tiles: %1").arg(detail);
}

QString TooManyPixels(qint64 width, qint64 height, qint64 maxPixels, int maxSide) {
    return Tr("it is too large: its header says %1 x %2 pixels, and a picture may have at most "
              "%3 million pixels and %4 pixels a side")
        .arg(width)
        .arg(height)
        .arg(maxPixels / kMillion)
        .arg(maxSide);
}

QString ClaimsMoreThanFile(qint64 width, qint64 height, qint64 fileBytes) {
    return Tr("it is truncated or damaged: its header says %1 x %2 pixels, more than a file of "
              "%3 bytes can hold")
        .arg(width)
        .arg(height)
        .arg(fileBytes);
}

QString DecodeMemory(const QString& what, qint64 neededBytes, qint64 limitBytes) {
    return Tr("it is %1 whose decode would need %2 MB of memory, and a picture may use at "
              "most %3 MB")
        .arg(what)
        .arg(Mb(neededBytes))
        .arg(Mb(limitBytes));
}

QString BuildMemory(qint64 neededBytes, qint64 limitBytes) {
    return Tr("it is too wide: reading it into tiles would need %1 MB of memory, and a picture "
              "may use at most %2 MB")
        .arg(Mb(neededBytes))
        .arg(Mb(limitBytes));
}

QString TileMemory(int tileWidth, int tileHeight, qint64 neededBytes, qint64 limitBytes) {
    return Tr("its pixels are stored in blocks of %1 x %2 pixels, which would need %3 MB each "
              "to read, and a read may use at most %4 MB")
        .arg(tileWidth)
        .arg(tileHeight)
        .arg(Mb(neededBytes))
        .arg(Mb(limitBytes));
}

QString CacheSpace(qint64 neededBytes, qint64 cacheBytes, qint64 freeBytes) {
    return Tr("its tiles would need about %1 MB of disc in the tile cache, which may hold %2 MB "
              "(%3 MB free on its disc)")
        .arg(Mb(neededBytes))
        .arg(Mb(cacheBytes))
        .arg(Mb(freeBytes));
}

QString ShownInPart() {
    return Tr("it is truncated or damaged: only the part before the damage is shown");
}

} // namespace TileRefusal

} // namespace tiles

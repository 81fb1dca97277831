// libFuzzer entry point over the tile readers: the input is written to a file and opened as a
// big picture would be (TIFF read in place, JPEG, PNG or striped TIFF built into a pyramid),
// under tight limits. Besides not crashing, every source must keep its promises: a refusal
// says why, the build ends, every level is then ready, and every tile read is null or exactly
// the size of its rectangle.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "BuiltTileSource.h"
#include "TileSourceFactory.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

constexpr qint64 kMegabyte = 1024 * 1024;
// Tiles read of level 0 at most: the coarse levels are read whole.
constexpr int kFineTiles = 16;

void readLevel(const tiles::TileSource& source, int level, int most) {
    const QSize size = tiles::TileSource::LevelSize(source.pictureSize(), level);
    const std::atomic<bool> cancelled{false};
    int read = 0;
    for (int row = 0; row * tiles::kTileSize < size.height() && read < most; ++row) {
        for (int column = 0; column * tiles::kTileSize < size.width() && read < most; ++column) {
            const tiles::TileId id{level, column, row};
            require(source.tileReady(id));
            const QImage tile = source.readTile(id, cancelled);
            require(tile.isNull() ||
                    tile.size() == tiles::TileSource::TileRect(source.pictureSize(), id).size());
            ++read;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    require(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("input"));
    {
        QFile file(path);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    tiles::TileLimits limits;
    limits.buildBytes = 32 * kMegabyte;
    limits.tileReadBytes = 16 * kMegabyte;
    limits.maxPixels = 64'000'000;
    limits.cacheBytes = 256 * kMegabyte;
    limits.cacheDir = dir.filePath(QStringLiteral("cache"));
    QString why;
    const auto source = tiles::OpenTileSource(path, limits, &why);
    if (!source) {
        require(!why.isEmpty());
        return 0;
    }
    if (auto built = std::dynamic_pointer_cast<tiles::BuiltTileSource>(source)) {
        built->waitForBuild();
    }
    const int levels = source->levelCount();
    for (int level = 0; level < levels; ++level) {
        require(source->levelReady(level));
    }
    readLevel(*source, levels - 1, INT32_MAX);
    readLevel(*source, 0, kFineTiles);
    QDir(limits.cacheDir).removeRecursively();
    return 0;
}

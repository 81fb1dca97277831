// Hostile pictures, timed from the open to their refusal or to the view they can give (goal:
// within a second each), beside the same opening of a sound picture of the same kind (the
// floor). Refusals come from the header; a picture shown in part is timed until the level a
// 1920-pixel window fits it to is read (damaged tiles come back marked missing). The files
// are made before the timing, in a temporary folder.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <zlib.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>

#include "BuiltTileSource.h"
#include "PictureFiles.h"
#include "RepeatedTileTiff.h"
#include "TileImage.h"
#include "TileSourceFactory.h"

namespace {

constexpr int kWindowWidth = 1920;
constexpr QSize kView(1920, 1080);
constexpr double kGiveUpSeconds = 30;

QTemporaryDir& Dir() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/zelvor-bench-hostile-XXXXXX"));
    return dir;
}

QString PathOf(const char* name) { return Dir().filePath(QString::fromLatin1(name)); }

void Put32(QByteArray& out, quint32 v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.append(char((v >> shift) & 0xFF));
    }
}

QByteArray Chunk(const char* type, const QByteArray& data) {
    QByteArray chunk;
    Put32(chunk, quint32(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    chunk += body;
    Put32(chunk, quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
    return chunk;
}

// An interlaced RGB PNG header claiming width x height, with `bytes` of an ancillary chunk
// after it (a file as large as such a picture's could be) and an empty data chunk.
QByteArray InterlacedPngHeader(quint32 width, quint32 height, int bytes) {
    QByteArray header;
    Put32(header, width);
    Put32(header, height);
    header += QByteArray("\x08\x02\x00\x00\x01", 5); // 8 bits, RGB, interlaced
    return QByteArray("\x89PNG\r\n\x1A\n", 8) + Chunk("IHDR", header) +
           Chunk("zlVr", QByteArray(bytes, 'x')) +
           Chunk("IDAT", QByteArray("\x78\x9C\x03\x00\x00\x00\x00\x01", 8)) +
           Chunk("IEND", QByteArray());
}

// Overwrites `count` bytes from `at` (a fraction of the file) with a pattern.
bool Damage(const QString& path, double at, qint64 count) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)) {
        return false;
    }
    f.seek(qint64(double(f.size()) * at));
    return f.write(QByteArray(count, '\x5A')) == count;
}

int FitLevel(QSize picture) {
    const int level = int(std::floor(std::log2(double(picture.width()) / kWindowWidth)));
    return std::clamp(level, 0, tiles::TileSource::LevelCount(picture) - 1);
}

// What an opening gave: refused, or the tiles of the view it was timed to (those missing).
struct Outcome {
    bool refused = false;
    int tiles = 0;
    int missing = 0;
    bool notice = false;
    QString why; // the refusal
};

// Reads the tiles of `level` under the window-sized view at the level's middle (the whole
// level when it is smaller).
void ReadView(const tiles::TileSource& source, int level, Outcome& out) {
    const QSize size = tiles::TileSource::LevelSize(source.pictureSize(), level);
    const QRect view =
        QRect(QPoint(std::max(0, size.width() / 2 - kView.width() / 2),
                     std::max(0, size.height() / 2 - kView.height() / 2)),
              kView) &
        QRect(QPoint(0, 0), size);
    const std::atomic<bool> cancelled{false};
    for (int r = view.top() / tiles::kTileSize; r <= view.bottom() / tiles::kTileSize; ++r) {
        for (int c = view.left() / tiles::kTileSize; c <= view.right() / tiles::kTileSize; ++c) {
            const QImage tile = source.readTile({level, c, r}, cancelled);
            ++out.tiles;
            out.missing += tile.isNull() || tile.pixel(tile.width() / 2, tile.height() / 2) ==
                                                tiles::TileImage::kMissing
                               ? 1
                               : 0;
        }
    }
}

// Opens `path` and waits for the view: the fitted level, or level 0 when `fullSize`.
Outcome Open(const QString& path, const tiles::TileLimits& limits, bool fullSize) {
    Outcome out;
    QString why;
    const auto source = tiles::OpenTileSource(path, limits, &why);
    if (!source) {
        out.refused = true;
        out.why = why;
        return out;
    }
    const int level = fullSize ? 0 : FitLevel(source->pictureSize());
    QElapsedTimer timer;
    timer.start();
    while (!source->levelReady(level) && double(timer.elapsed()) / 1e3 < kGiveUpSeconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ReadView(*source, level, out);
    out.notice = !source->notice().isEmpty();
    return out;
}

struct Case {
    const char* file;
    // Makes the file (once); may set limits. False when it cannot.
    std::function<bool(const QString&)> make;
    bool fullSize = false;  // timed to a 1:1 view rather than the fitted one
    bool freshCache = true; // no pyramid of it kept from an earlier opening
    // Run before each timed opening (the damaged pyramid: building it, then spoiling it).
    std::function<void(const QString& path, const tiles::TileLimits&)> before;
};

void Run(benchmark::State& state, const Case& c) {
    const QString path = PathOf(c.file);
    if (!QFile::exists(path) && !c.make(path)) {
        state.SkipWithError("could not make the file");
        return;
    }
    tiles::TileLimits limits;
    limits.cacheDir = Dir().filePath(QStringLiteral("cache-") + QString::fromLatin1(c.file));
    Outcome out;
    for (auto _ : state) {
        if (c.freshCache) {
            QDir(limits.cacheDir).removeRecursively();
        }
        if (c.before) {
            c.before(path, limits);
        }
        QElapsedTimer timer;
        timer.start();
        out = Open(path, limits, c.fullSize);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.SetLabel(out.why.left(70).toStdString());
    state.counters["refused"] = out.refused ? 1 : 0;
    state.counters["tiles"] = out.tiles;
    state.counters["missing"] = out.missing;
    state.counters["notice"] = out.notice ? 1 : 0;
    state.counters["file_KB"] = double(QFileInfo(path).size()) / 1024.0;
}

bool WriteJpeg(const QString& path, bool progressive) {
    return PictureFiles::WriteBytes(path, PictureFiles::JpegBytes(PictureFiles::Quadrants(4000, 3000, 16), progressive));
}

// Builds the pyramid of `path` in the cache, then spoils a stretch in its middle.
void BuildThenSpoil(const QString& path, const tiles::TileLimits& limits) {
    tiles::OpenInfo info;
    auto built = std::dynamic_pointer_cast<tiles::BuiltTileSource>(
        tiles::OpenTileSource(path, limits, nullptr, &info));
    if (built) {
        built->waitForBuild();
    }
    built.reset();
    Damage(info.pyramidPath, 0.5, 4096);
}

void BuildOnly(const QString& path, const tiles::TileLimits& limits) {
    auto built = std::dynamic_pointer_cast<tiles::BuiltTileSource>(
        tiles::OpenTileSource(path, limits, nullptr));
    if (built) {
        built->waitForBuild();
    }
}

Case C(const char* file, std::function<bool(const QString&)> make, bool fullSize = false,
       bool freshCache = true,
       std::function<void(const QString&, const tiles::TileLimits&)> before = {}) {
    return Case{file, std::move(make), fullSize, freshCache, std::move(before)};
}

const Case kJpegHugeHeader = C("jpeg-claims-65500.jpg", [](const QString& p) {
    return PictureFiles::WriteBytes(p, PictureFiles::WithJpegSides(PictureFiles::JpegBytes(PictureFiles::Quadrants(64, 64), false), 65500, 65500));
});
const Case kPngHugeHeader = C("png-claims-60000.png", [](const QString& p) {
    return PictureFiles::WriteBytes(p, PictureFiles::PngHeaderOnly(60000, 60000));
});
const Case kTiffHugeHeader = C("tiff-claims-60000.tif", [](const QString& p) {
    return PictureFiles::WriteBytes(p, PictureFiles::TiffHeaderOnly(60000, 60000));
});
// 30000 x 30000 progressive: its coefficients alone would take 2.5 GB.
const Case kProgressive = C("progressive-30000.jpg", [](const QString& p) {
    return PictureFiles::WriteBytes(
        p, PictureFiles::WithJpegSides(PictureFiles::JpegBytes(PictureFiles::Noise(1000, 800, 7), true), 30000, 30000));
});
// 25980 x 23094 (600 megapixels) interlaced: its passes need the whole picture, 2.4 GB.
const Case kInterlaced = C("interlaced-600mp.png", [](const QString& p) {
    return PictureFiles::WriteBytes(p, InterlacedPngHeader(25980, 23094, 64 * 1024));
});
const Case kSoundTiff = C("sound-tiles.tif", [](const QString& p) {
    return BigPictures::WriteRepeatedTileTiff(p, 20000, 20000);
}, true);
// The same with a stretch of the full-size tiles under the view overwritten.
const Case kDamagedTiff = C("damaged-tiles.tif", [](const QString& p) {
    return BigPictures::WriteRepeatedTileTiff(p, 20000, 20000) && Damage(p, 0.37, 1 << 20);
}, true);
const Case kSoundJpeg = C("sound.jpg", [](const QString& p) { return WriteJpeg(p, false); });
const Case kTruncatedJpeg = C("truncated.jpg", [](const QString& p) {
    const QByteArray bytes = PictureFiles::JpegBytes(PictureFiles::Quadrants(4000, 3000, 16), false);
    return PictureFiles::WriteBytes(p, bytes.left(bytes.size() / 2));
});
const Case kReopen = C("reopened.jpg", [](const QString& p) { return WriteJpeg(p, false); }, false,
                   false, BuildOnly);
const Case kSpoiledPyramid = C("spoiled-pyramid.jpg", [](const QString& p) { return WriteJpeg(p, false); },
                           false, false, BuildThenSpoil);

#define HOSTILE(name, c)                                                                         \
    BENCHMARK_CAPTURE(Run, name, c)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond)

HOSTILE(jpeg_huge_header_tiny_file, kJpegHugeHeader);
HOSTILE(png_huge_header_tiny_file, kPngHugeHeader);
HOSTILE(tiff_huge_header_tiny_file, kTiffHugeHeader);
HOSTILE(progressive_jpeg_needing_gigabytes, kProgressive);
HOSTILE(interlaced_png_600mp, kInterlaced);
HOSTILE(floor_sound_tiled_tiff_1to1, kSoundTiff);
HOSTILE(damaged_tiles_1to1, kDamagedTiff);
HOSTILE(floor_sound_jpeg_12mp_fitted, kSoundJpeg);
HOSTILE(truncated_jpeg_fitted, kTruncatedJpeg);
HOSTILE(floor_sound_pyramid_reopened, kReopen);
HOSTILE(damaged_cached_pyramid_rebuilt, kSpoiledPyramid);

} // namespace

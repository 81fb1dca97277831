// Big pictures shown in tiles, each beside a floor or a peer measured in the same run: a
// gigapixel baseline JPEG (fitted view, pyramid build, reopening), a tiled pyramidal TIFF and
// a big PNG, and the same gigapixel as a tiled TIFF without levels. The files are made at start in a temporary folder (ZELVOR_BENCH_MEGAPIXELS sets
// the JPEG's size, 1000 by default; the PNG gets 60% of it); without the disc for them every
// benchmark is skipped with a message. Peers that are not installed are skipped likewise.
// Times are wall-clock seconds; peak_MB is the peak resident memory of the measured work.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <jpeglib.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <tiffio.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BigPictures.h"
#include "BuiltTileSource.h"
#include "TileSourceFactory.h"

extern char** environ;

namespace {

constexpr int kWindowWidth = 1920;
constexpr qint64 kDiscPerMegapixel = 8 * 1024 * 1024;

struct Files {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/zelvor-bench-tiles-XXXXXX")};
    QString jpeg, tiff, png, why;
    QSize jpegSize, pngSize;
    bool ok = false;
};

Files& Make() {
    static Files f;
    static bool made = false;
    if (made) {
        return f;
    }
    made = true;
    const qint64 mp = qEnvironmentVariableIsSet("ZELVOR_BENCH_MEGAPIXELS")
                          ? qEnvironmentVariable("ZELVOR_BENCH_MEGAPIXELS").toLongLong()
                          : 1000;
    const qint64 free = QStorageInfo(QDir::tempPath()).bytesAvailable();
    if (free < mp * kDiscPerMegapixel) {
        f.why = QStringLiteral("needs %1 MB of disc in %2, has %3 MB")
                    .arg(mp * kDiscPerMegapixel >> 20)
                    .arg(QDir::tempPath())
                    .arg(free >> 20);
        return f;
    }
    const int side = int(std::sqrt(double(mp) * 1e6));
    f.jpegSize = QSize(side, side);
    const int pngSide = int(std::sqrt(double(mp) * 0.6e6));
    f.pngSize = QSize(pngSide * 3 / 2, pngSide * 2 / 3);
    f.jpeg = f.dir.filePath(QStringLiteral("big.jpg"));
    f.tiff = f.dir.filePath(QStringLiteral("big-pyramid.tif"));
    f.png = f.dir.filePath(QStringLiteral("big.png"));
    f.ok = BigPictures::WriteJpeg(f.jpeg, side, side) &&
           BigPictures::WriteTiledTiff(f.tiff, side, side, true) &&
           BigPictures::WritePng(f.png, f.pngSize.width(), f.pngSize.height());
    if (!f.ok) {
        f.why = QStringLiteral("could not write the pictures");
    }
    return f;
}

bool Ready(benchmark::State& state) {
    const Files& f = Make();
    if (!f.ok) {
        state.SkipWithError(f.why.toStdString().c_str());
    }
    return f.ok;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double PeakMb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

// The level a view fitting the picture into the window's width draws.
int FitLevel(QSize picture) {
    const double zoom = double(kWindowWidth) / picture.width();
    const int level = int(std::floor(std::log2(1.0 / zoom)));
    return std::clamp(level, 0, tiles::TileSource::LevelCount(picture) - 1);
}

void ReadLevel(const tiles::TileSource& source, int level) {
    const QSize size = tiles::TileSource::LevelSize(source.pictureSize(), level);
    const std::atomic<bool> cancelled{false};
    for (int y = 0; y * tiles::kTileSize < size.height(); ++y) {
        for (int x = 0; x * tiles::kTileSize < size.width(); ++x) {
            benchmark::DoNotOptimize(source.readTile({level, x, y}, cancelled));
        }
    }
}

void Poll(const std::function<bool()>& done) {
    while (!done()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// First paint: the first picture pixels the fitted view can draw, as the view looks for them:
// the top left tile of the first level from the fitted one up that has rows, read back (a
// level being built shows the rows it has so far).
void PollFirstPixels(const tiles::TileSource& source, int fit) {
    const std::atomic<bool> never{false};
    Poll([&] {
        for (int level = fit; level < source.levelCount(); ++level) {
            if (source.rowsReady(level) > 0) {
                return !source.readTile({level, 0, 0}, never).isNull();
            }
        }
        return false;
    });
}

// Runs a program; its wall time in seconds and peak memory, or false when it cannot run.
bool Run(const std::vector<std::string>& args, double& seconds, double& peakMb) {
    if (QStandardPaths::findExecutable(QString::fromStdString(args.front())).isEmpty()) {
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    // The child's own peak, sampled from /proc while it runs: the rusage of a spawned child
    // also counts the parent's memory before the exec.
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    int code = 0;
    peakMb = 0;
    while (waitpid(pid, &code, WNOHANG) == 0) {
        std::ifstream in(status);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("VmHWM:", 0) == 0) {
                peakMb = std::max(peakMb, std::stod(line.substr(6)) / 1024.0);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    seconds = double(timer.nsecsElapsed()) / 1e9;
    return WIFEXITED(code) && WEXITSTATUS(code) == 0;
}

void Peer(benchmark::State& state, const std::vector<std::string>& args) {
    if (!Ready(state)) {
        return;
    }
    for (auto _ : state) {
        double seconds = 0;
        double peak = 0;
        if (!Run(args, seconds, peak)) {
            state.SkipWithError((args.front() + " is not installed or failed").c_str());
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["peak_MB"] = peak;
    }
}

tiles::TileLimits FreshCache(const QString& name) {
    tiles::TileLimits limits;
    limits.cacheDir = Make().dir.filePath(name);
    QDir(limits.cacheDir).removeRecursively();
    return limits;
}

// A picture whose pyramid is built, from the open (with an empty cache in `cacheName`) to every
// tile of the fitted level read; with `firstCounter`, also the time to its first pixels.
void BuiltFittedView(benchmark::State& state, const QString& path, const QString& cacheName,
                     const char* firstCounter) {
    for (auto _ : state) {
        const tiles::TileLimits limits = FreshCache(cacheName);
        ResetPeak();
        QElapsedTimer timer;
        timer.start();
        QString why;
        auto source = tiles::OpenTileSource(path, limits, &why);
        if (!source) {
            state.SkipWithError(why.toStdString().c_str());
            return;
        }
        const int fit = FitLevel(source->pictureSize());
        if (firstCounter != nullptr) {
            PollFirstPixels(*source, fit);
            state.counters[firstCounter] = double(timer.nsecsElapsed()) / 1e9;
        }
        Poll([&] { return source->levelReady(fit); });
        ReadLevel(*source, fit);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.counters["peak_MB"] = PeakMb();
    }
}

// --- 1 GP baseline JPEG ---

void BM_JpegFittedView_Tiles(benchmark::State& state) {
    if (Ready(state)) {
        BuiltFittedView(state, Make().jpeg, QStringLiteral("cache-fit"), "first_paint_s");
    }
}
BENCHMARK(BM_JpegFittedView_Tiles)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_JpegFittedView_DjpegScale8(benchmark::State& state) {
    Peer(state, {"djpeg", "-scale", "1/8", "-outfile", "/dev/null", Make().jpeg.toStdString()});
}
BENCHMARK(BM_JpegFittedView_DjpegScale8)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_JpegFittedView_Vipsthumbnail(benchmark::State& state) {
    const std::string out = Make().dir.filePath(QStringLiteral("thumb.jpg")).toStdString();
    Peer(state, {"vipsthumbnail", Make().jpeg.toStdString(), "-s", "1920", "-o", out});
}
BENCHMARK(BM_JpegFittedView_Vipsthumbnail)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_JpegPyramidBuild_Tiles(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    for (auto _ : state) {
        const tiles::TileLimits limits = FreshCache(QStringLiteral("cache-warm"));
        ResetPeak();
        QElapsedTimer timer;
        timer.start();
        QString why;
        auto source = std::dynamic_pointer_cast<tiles::BuiltTileSource>(
            tiles::OpenTileSource(Make().jpeg, limits, &why));
        if (!source || !source->waitForBuild()) {
            state.SkipWithError("the build failed");
            return;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.counters["peak_MB"] = PeakMb();
        state.counters["pyramid_MB"] =
            double(tiles::PyramidCache(limits.cacheDir, 0).usedBytes()) / 1048576.0;
        state.counters["source_MB"] = double(QFileInfo(Make().jpeg).size()) / 1048576.0;
    }
}
BENCHMARK(BM_JpegPyramidBuild_Tiles)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_JpegPyramidBuild_VipsTiffsave(benchmark::State& state) {
    const std::string out = Make().dir.filePath(QStringLiteral("vips-pyramid.tif")).toStdString();
    Peer(state, {"vips", "tiffsave", Make().jpeg.toStdString(), out, "--tile", "--pyramid",
                 "--compression", "jpeg", "--Q", "90", "--bigtiff"});
    QFile::remove(QString::fromStdString(out));
}
BENCHMARK(BM_JpegPyramidBuild_VipsTiffsave)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Runs after the build above: the pyramid is in the cache.
void BM_JpegReopen_Tiles(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    tiles::TileLimits limits;
    limits.cacheDir = Make().dir.filePath(QStringLiteral("cache-warm"));
    for (auto _ : state) {
        ResetPeak();
        QElapsedTimer timer;
        timer.start();
        tiles::OpenInfo info;
        auto source = tiles::OpenTileSource(Make().jpeg, limits, nullptr, &info);
        if (!source || !info.fromCache) {
            state.SkipWithError("no pyramid in the cache");
            return;
        }
        ReadLevel(*source, FitLevel(source->pictureSize()));
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.counters["peak_MB"] = PeakMb();
    }
}
BENCHMARK(BM_JpegReopen_Tiles)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// --- 1 GP tiled pyramidal TIFF ---

void BM_PyramidTiffFittedView_Tiles(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    for (auto _ : state) {
        ResetPeak();
        QElapsedTimer timer;
        timer.start();
        QString why;
        tiles::OpenInfo info;
        auto source = tiles::OpenTileSource(Make().tiff, {}, &why, &info);
        if (!source || !info.inPlace) {
            state.SkipWithError(why.toStdString().c_str());
            return;
        }
        ReadLevel(*source, FitLevel(source->pictureSize()));
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.counters["peak_MB"] = PeakMb();
    }
}
BENCHMARK(BM_PyramidTiffFittedView_Tiles)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The floor: libtiff alone decoding the same tiles of the same page.
void BM_PyramidTiffFittedView_LibtiffFloor(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    const int fit = FitLevel(Make().jpegSize);
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        TIFF* t = TIFFOpen(QFile::encodeName(Make().tiff).constData(), "rm");
        TIFFSetDirectory(t, tdir_t(fit));
        uint32_t w = 0;
        uint32_t h = 0;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
        std::vector<uint32_t> raster(size_t(tiles::kTileSize) * tiles::kTileSize);
        for (uint32_t y = 0; y < h; y += tiles::kTileSize) {
            for (uint32_t x = 0; x < w; x += tiles::kTileSize) {
                TIFFReadRGBATile(t, x, y, raster.data());
            }
        }
        TIFFClose(t);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_PyramidTiffFittedView_LibtiffFloor)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_PyramidTiffFittedView_Vipsthumbnail(benchmark::State& state) {
    const std::string out = Make().dir.filePath(QStringLiteral("thumb.jpg")).toStdString();
    Peer(state, {"vipsthumbnail", Make().tiff.toStdString(), "-s", "1920", "-o", out});
}
BENCHMARK(BM_PyramidTiffFittedView_Vipsthumbnail)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// --- 1 GP tiled TIFF without levels ---

// The same gigapixel as the pyramidal TIFF, its full-size page alone; made on first use, since
// only these two benchmarks need it.
const QString& FlatTiff() {
    static const QString path = [] {
        const QString p = Make().dir.filePath(QStringLiteral("big-flat.tif"));
        const QSize size = Make().jpegSize;
        return BigPictures::WriteTiledTiff(p, size.width(), size.height(), false) ? p : QString();
    }();
    return path;
}

void BM_FlatTiffFittedView_Tiles(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    if (FlatTiff().isEmpty()) {
        state.SkipWithError("could not write the TIFF without levels");
        return;
    }
    BuiltFittedView(state, FlatTiff(), QStringLiteral("cache-flat"), nullptr);
}
BENCHMARK(BM_FlatTiffFittedView_Tiles)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The floor: the entropy decoding of every tile and nothing more (libjpeg reading each tile's
// DCT coefficients, the file's shared tables read once): every reader of such a file has to do
// at least this much before it can show the whole picture at any size.
void BM_FlatTiffFittedView_EntropyFloor(benchmark::State& state) {
    if (!Ready(state) || FlatTiff().isEmpty()) {
        state.SkipWithError("no TIFF without levels");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        TIFF* t = TIFFOpen(QFile::encodeName(FlatTiff()).constData(), "rm");
        uint32_t tablesSize = 0;
        void* tables = nullptr;
        uint64_t* tileBytes = nullptr;
        if (t == nullptr || TIFFGetField(t, TIFFTAG_JPEGTABLES, &tablesSize, &tables) == 0 ||
            TIFFGetField(t, TIFFTAG_TILEBYTECOUNTS, &tileBytes) == 0) {
            state.SkipWithError("the TIFF has no JPEG tables");
            return;
        }
        jpeg_decompress_struct jpeg{};
        jpeg_error_mgr errors{};
        jpeg.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&jpeg);
        jpeg_mem_src(&jpeg, static_cast<const unsigned char*>(tables), tablesSize);
        jpeg_read_header(&jpeg, FALSE);
        std::vector<unsigned char> raw;
        for (ttile_t i = 0; i < TIFFNumberOfTiles(t); ++i) {
            raw.resize(size_t(tileBytes[i]));
            const tmsize_t got = TIFFReadRawTile(t, i, raw.data(), tmsize_t(raw.size()));
            jpeg_mem_src(&jpeg, raw.data(), static_cast<unsigned long>(std::max<tmsize_t>(got, 0)));
            jpeg_read_header(&jpeg, TRUE);
            benchmark::DoNotOptimize(jpeg_read_coefficients(&jpeg));
            jpeg_finish_decompress(&jpeg);
        }
        jpeg_destroy_decompress(&jpeg);
        TIFFClose(t);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_FlatTiffFittedView_EntropyFloor)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// --- big PNG ---

void BM_PngFittedView_Tiles(benchmark::State& state) {
    if (Ready(state)) {
        BuiltFittedView(state, Make().png, QStringLiteral("cache-png"), "first_rows_s");
    }
}
BENCHMARK(BM_PngFittedView_Tiles)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The floor: libpng decoding every row of the file, nothing kept.
void BM_PngDecode_LibpngFloor(benchmark::State& state) {
    if (!Ready(state)) {
        return;
    }
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        std::FILE* f = std::fopen(QFile::encodeName(Make().png).constData(), "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, f);
        png_read_info(png, info);
        std::vector<png_byte> row(png_get_rowbytes(png, info));
        for (png_uint_32 y = 0; y < png_get_image_height(png, info); ++y) {
            png_read_row(png, row.data(), nullptr);
        }
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_PngDecode_LibpngFloor)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PngFittedView_Vipsthumbnail(benchmark::State& state) {
    const std::string out = Make().dir.filePath(QStringLiteral("thumb.jpg")).toStdString();
    Peer(state, {"vipsthumbnail", Make().png.toStdString(), "-s", "1920", "-o", out});
}
BENCHMARK(BM_PngFittedView_Vipsthumbnail)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

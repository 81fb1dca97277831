// Panning at 1:1 at 2000 pixels a second over a picture drawn from tiles, as the window does
// it: every 1/60 s the surface's pixels move and the strip that comes into view is drawn; tiles
// arriving repaint the part they sharpen. Frame time is each such paint (goal: none over
// 16 ms); time to sharp is from a tile's first frame in view to the repaint that shows it from
// its own pixels (goal: 95th percentile within 100 ms). The floor is the same pan drawn from
// the picture decoded whole in memory (no tiles, nothing to wait for).
//
// Each paint is also timed in the window thread's processor time and noted as a scroll or a
// tile arrival, so a long frame can be told apart from the machine's other work taking the
// core (wall time well over processor time); ZELVOR_BENCH_VERBOSE prints a histogram and the
// longest frames.
//
// A second picture, a 100000 x 100000 pyramidal TIFF of JPEG tiles (10 gigapixels, made at
// start from a few repeated tiles, about 0.8 GB of disc, removed at exit unless
// ZELVOR_BENCH_10GP_FILE names where to keep it), is read through the
// real tile reader: open to a sharp fitted view (against libtiff alone decoding the same tiles)
// and the same 1:1 pan, with the process's peak memory.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QTimer>
#include <QEventLoop>
#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <fstream>
#include <string>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "FakeTileSource.h"
#include "Picture.h"
#include "RepeatedTileTiff.h"
#include "SurfaceScroll.h"
#include "TileSourceFactory.h"
#include "TiledPicture.h"

namespace {

constexpr int kWidth = 8000;
constexpr int kHeight = 3000;
constexpr QSize kViewport(1920, 1080);
constexpr double kSpeed = 2000.0; // pixels a second
constexpr double kFrameMs = 1000.0 / 60.0;
constexpr int kTile = tiles::kTileSize;

QImage Plan() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            line[x] = qRgb(x & 255, y & 255, ((x >> 6) ^ (y >> 6)) & 255);
        }
    }
    return image;
}

const QImage& SharedPlan() {
    static const QImage plan = Plan();
    return plan;
}

const std::shared_ptr<FakeTileSource>& SharedSource() {
    static const std::shared_ptr<FakeTileSource> source =
        std::make_shared<FakeTileSource>(SharedPlan());
    return source;
}

// Records when each level-0 tile has been read (on the workers).
class ReadLog : public tiles::TileSource {
public:
    explicit ReadLog(std::shared_ptr<const tiles::TileSource> inner) : m_inner(std::move(inner)) {}
    QSize pictureSize() const override { return m_inner->pictureSize(); }
    bool levelReady(int level) const override { return m_inner->levelReady(level); }
    QImage readTile(const tiles::TileId& id, const std::atomic<bool>& cancelled) const override {
        QImage tile = m_inner->readTile(id, cancelled);
        if (!tile.isNull() && id.level == 0) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_read.insert({id.column, id.row});
        }
        return tile;
    }
    bool wasRead(int column, int row) const {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_read.count({column, row}) != 0;
    }

private:
    std::shared_ptr<const tiles::TileSource> m_inner;
    mutable std::mutex m_mutex;
    mutable std::set<std::pair<int, int>> m_read;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(std::ceil(p * double(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

// Time this thread has spent ready to run but waiting for a core (the scheduler's own count).
double ThreadQueuedMs() {
    std::ifstream in("/proc/thread-self/schedstat");
    double running = 0;
    double waiting = 0;
    in >> running >> waiting;
    return waiting / 1e6;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Where a pan runs: across `length` pixels to the right from `start` (the viewport's corner in
// the picture's full-size pixels).
struct PanPlan {
    QSize picture;
    QPoint start;
    int length = 0;
};

const PanPlan kPlanPan{QSize(kWidth, kHeight), QPoint(0, (kHeight - kViewport.height()) / 2),
                       kWidth - kViewport.width()};

enum class Kind { Scroll, Arrival };

struct Frame {
    double wallMs = 0;
    double cpuMs = 0;
    double queuedMs = 0; // waiting for a core while ready to run
    Kind kind = Kind::Scroll;
    qint64 pixels = 0; // the bounding box of what was painted
};

struct PanResult {
    std::vector<Frame> frames;
    std::vector<double> toSharp; // ms
    int neverSharp = 0;
    int leftUnsharp = 0;    // tiles that went out of view before they were sharp
    double firstScreen = 0; // ms from the first paint until the whole first view is sharp
};

// One pan from left to right along `plan`.
PanResult Pan(Picture& picture, const ReadLog* log, const PanPlan& plan) {
    PanResult result;
    QImage surface(kViewport, QImage::Format_RGB32);
    const QRect target(QPoint(0, 0), plan.picture);
    QPoint scroll = plan.start;
    QElapsedTimer clock;
    clock.start();

    // Sleeps in the event loop (as a window does between frames), handing arriving tiles over.
    const auto waitUntil = [&](double ms) {
        const double left = ms - double(clock.nsecsElapsed()) / 1e6;
        if (left > 0) {
            QEventLoop loop;
            QTimer::singleShot(int(std::ceil(left)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
            loop.exec();
        }
    };
    const auto paint = [&](const QRegion& region, Kind kind) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = ThreadCpuMs();
        const double queued = ThreadQueuedMs();
        QPainter painter(&surface);
        painter.setClipRegion(region);
        painter.translate(-scroll);
        picture.drawScaled(painter, target, QRect(scroll, kViewport));
        painter.end();
        const QRect box = region.boundingRect();
        result.frames.push_back({double(timer.nsecsElapsed()) / 1e6, ThreadCpuMs() - cpu,
                                 ThreadQueuedMs() - queued, kind,
                                 qint64(box.width()) * box.height()});
    };

    // Tiles in view not yet shown sharp: when they came into view.
    std::map<std::pair<int, int>, double> pending;
    std::set<std::pair<int, int>> sharp;
    std::set<std::pair<int, int>> seen;
    const auto noteVisible = [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        for (int r = scroll.y() / kTile; r <= (scroll.y() + kViewport.height() - 1) / kTile; ++r) {
            for (int c = scroll.x() / kTile; c <= (scroll.x() + kViewport.width() - 1) / kTile;
                 ++c) {
                if (!seen.insert({c, r}).second) {
                    continue;
                }
                if (sharp.count({c, r}) != 0) {
                    result.toSharp.push_back(0); // there before it came into view
                } else {
                    pending.emplace(std::make_pair(c, r), now);
                }
            }
        }
    };
    if (log != nullptr) {
        picture.setSharperHandler([&](const QRect& part) {
            const double now = double(clock.nsecsElapsed()) / 1e6;
            // Only the tiles near the view can have been read; a coarse tile's part may
            // span the whole picture.
            const QRect near = part & QRect(scroll - QPoint(2 * kTile, 2 * kTile),
                                            kViewport + QSize(4 * kTile, 4 * kTile));
            for (int r = near.top() / kTile; r <= near.bottom() / kTile && !near.isEmpty(); ++r) {
                for (int c = near.left() / kTile; c <= near.right() / kTile; ++c) {
                    if (log->wasRead(c, r)) {
                        sharp.insert({c, r});
                    }
                }
            }
            for (auto it = pending.begin(); it != pending.end();) {
                if (sharp.count(it->first) != 0) {
                    result.toSharp.push_back(now - it->second);
                    it = pending.erase(it);
                } else {
                    ++it;
                }
            }
            const QRect inView = part.translated(-scroll) & QRect(QPoint(0, 0), kViewport);
            if (!inView.isEmpty()) {
                paint(QRegion(inView), Kind::Arrival);
            }
        });
    }

    // The first view, until it is sharp: opening, not panning, so kept apart.
    surface.fill(Qt::black);
    paint(QRegion(QRect(QPoint(0, 0), kViewport)), Kind::Scroll);
    noteVisible();
    const double firstLimit = double(clock.nsecsElapsed()) / 1e6 + 2000;
    while (log != nullptr && !pending.empty() && double(clock.nsecsElapsed()) / 1e6 < firstLimit) {
        waitUntil(double(clock.nsecsElapsed()) / 1e6 + 1);
    }
    result.firstScreen = double(clock.nsecsElapsed()) / 1e6;
    result.frames.clear();
    result.toSharp.clear();
    const double start = result.firstScreen;

    const int last = plan.start.x() + plan.length;
    for (int frame = 1; scroll.x() < last; ++frame) {
        // Wait for the next frame, handing arriving tiles over meanwhile.
        waitUntil(start + frame * kFrameMs);
        const int x = std::min(last, plan.start.x() + int(frame * kFrameMs * kSpeed / 1000.0));
        const int dx = x - scroll.x();
        const QRegion exposed = ScrollSurfacePixels(surface, -dx, 0);
        scroll.setX(x);
        paint(exposed, Kind::Scroll);
        noteVisible();
        for (auto it = pending.begin(); it != pending.end();) {
            if ((it->first.first + 1) * kTile <= scroll.x()) {
                ++result.leftUnsharp;
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Let the last tiles come.
    const double end = double(clock.nsecsElapsed()) / 1e6 + 500;
    while (log != nullptr && !pending.empty() && double(clock.nsecsElapsed()) / 1e6 < end) {
        waitUntil(double(clock.nsecsElapsed()) / 1e6 + kFrameMs);
    }
    if (std::getenv("ZELVOR_BENCH_VERBOSE") != nullptr) {
        for (const auto& [tile, since] : pending) {
            std::fprintf(stderr, "never sharp: %d,%d (in view from %.0f ms)\n", tile.first,
                         tile.second, since);
        }
    }
    result.neverSharp = int(pending.size());
    picture.setSharperHandler(nullptr);
    return result;
}

// Frame times by kind in buckets of doubling width, and the longest frames.
void PrintFrames(const char* name, const std::vector<Frame>& frames) {
    constexpr std::array<double, 7> kUpper{1, 2, 4, 8, 12, 16, 1e9};
    std::array<std::array<int, kUpper.size()>, 2> counts{};
    for (const Frame& f : frames) {
        std::size_t b = 0;
        while (f.wallMs > kUpper[b]) {
            ++b;
        }
        ++counts[std::size_t(f.kind)][b];
    }
    std::fprintf(stderr, "%s frames (ms: <1 <2 <4 <8 <12 <16 more):\n", name);
    for (std::size_t k = 0; k < 2; ++k) {
        std::fprintf(stderr, "  %-8s", k == 0 ? "scroll" : "arrival");
        for (const int n : counts[k]) {
            std::fprintf(stderr, " %5d", n);
        }
        std::fprintf(stderr, "\n");
    }
    std::vector<Frame> longest = frames;
    std::sort(longest.begin(), longest.end(),
              [](const Frame& a, const Frame& b) { return a.wallMs > b.wallMs; });
    longest.resize(std::min<std::size_t>(longest.size(), 6));
    for (const Frame& f : longest) {
        std::fprintf(stderr,
                     "  longest: %.2f ms wall, %.2f ms processor, %.2f ms waiting for a core, %s, "
                     "%lld pixels\n",
                     f.wallMs, f.cpuMs, f.queuedMs, f.kind == Kind::Scroll ? "scroll" : "arrival",
                     static_cast<long long>(f.pixels));
    }
}

void Report(benchmark::State& state, const std::vector<PanResult>& runs, const char* name) {
    std::vector<Frame> frames;
    std::vector<double> toSharp;
    int neverSharp = 0;
    int leftUnsharp = 0;
    double firstScreen = 0;
    for (const PanResult& run : runs) {
        leftUnsharp += run.leftUnsharp;
        firstScreen = std::max(firstScreen, run.firstScreen);
        frames.insert(frames.end(), run.frames.begin(), run.frames.end());
        toSharp.insert(toSharp.end(), run.toSharp.begin(), run.toSharp.end());
        neverSharp += run.neverSharp;
    }
    std::vector<double> paints;
    std::vector<double> cpu;
    double queuedOfLongest = 0;
    double longest = 0;
    double arrivalMax = 0;
    double scrollMax = 0;
    int over16 = 0;
    for (const Frame& f : frames) {
        paints.push_back(f.wallMs);
        cpu.push_back(f.cpuMs);
        (f.kind == Kind::Scroll ? scrollMax : arrivalMax) =
            std::max(f.kind == Kind::Scroll ? scrollMax : arrivalMax, f.wallMs);
        over16 += f.wallMs > 16.0 ? 1 : 0;
        if (f.wallMs > longest) {
            longest = f.wallMs;
            queuedOfLongest = f.queuedMs;
        }
    }
    state.counters["paint_max_ms"] = *std::max_element(paints.begin(), paints.end());
    state.counters["paint_p99_ms"] = Percentile(paints, 0.99);
    state.counters["paint_median_ms"] = Percentile(paints, 0.5);
    state.counters["paint_cpu_max_ms"] = *std::max_element(cpu.begin(), cpu.end());
    state.counters["longest_queued_ms"] = queuedOfLongest;
    state.counters["scroll_max_ms"] = scrollMax;
    state.counters["arrival_max_ms"] = arrivalMax;
    state.counters["over_16ms"] = over16;
    state.counters["paints"] = double(paints.size());
    std::array<double, 1> load{};
    if (getloadavg(load.data(), 1) == 1) {
        state.counters["load1"] = load[0];
    }
    if (!toSharp.empty()) {
        state.counters["sharp_p95_ms"] = Percentile(toSharp, 0.95);
        state.counters["sharp_max_ms"] = *std::max_element(toSharp.begin(), toSharp.end());
        state.counters["never_sharp"] = neverSharp;
        state.counters["left_unsharp"] = leftUnsharp;
        state.counters["first_view_ms"] = firstScreen;
    }
    if (std::getenv("ZELVOR_BENCH_VERBOSE") != nullptr) {
        PrintFrames(name, frames);
    }
}

// --- 10 gigapixels from a pyramidal TIFF ---

constexpr int kHugeSide = 100000;
constexpr qint64 kHugeDiscBytes = 2LL * 1024 * 1024 * 1024;

struct HugeFile {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/zelvor-bench-10gp-XXXXXX")};
    QString path;
    QString why;
    double makeSeconds = 0;
    double megabytes = 0;
};

// Made on first use, removed with its folder at exit.
const HugeFile& Huge() {
    static HugeFile f;
    static bool made = false;
    if (made) {
        return f;
    }
    made = true;
    const qint64 free = QStorageInfo(QDir::tempPath()).bytesAvailable();
    if (!f.dir.isValid() || free < kHugeDiscBytes) {
        f.why = QStringLiteral("needs %1 MB of disc in %2").arg(kHugeDiscBytes >> 20).arg(QDir::tempPath());
        return f;
    }
    // ZELVOR_BENCH_10GP_FILE keeps the file there for other tools (bench/tiles/peers.sh).
    f.path = qEnvironmentVariableIsSet("ZELVOR_BENCH_10GP_FILE")
                 ? qEnvironmentVariable("ZELVOR_BENCH_10GP_FILE")
                 : f.dir.filePath(QStringLiteral("huge-pyramid.tif"));
    QElapsedTimer timer;
    timer.start();
    if (!BigPictures::WriteRepeatedTileTiff(f.path, kHugeSide, kHugeSide)) {
        f.why = QStringLiteral("could not write %1").arg(f.path);
        f.path.clear();
        return f;
    }
    f.makeSeconds = double(timer.nsecsElapsed()) / 1e9;
    f.megabytes = double(QFileInfo(f.path).size()) / 1048576.0;
    return f;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double StatusMb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = field;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stod(line.substr(key.size())) / 1024.0;
        }
    }
    return 0;
}

// The fitted view: the whole picture in the viewport, centred.
QRect FittedTarget(QSize picture) {
    const double zoom = std::min(double(kViewport.width()) / picture.width(),
                                 double(kViewport.height()) / picture.height());
    const QSize drawn(std::max(1, int(picture.width() * zoom)),
                      std::max(1, int(picture.height() * zoom)));
    return QRect(QPoint((kViewport.width() - drawn.width()) / 2,
                        (kViewport.height() - drawn.height()) / 2),
                 drawn);
}

std::shared_ptr<tiles::TileSource> OpenHuge(benchmark::State& state) {
    const HugeFile& f = Huge();
    if (f.path.isEmpty()) {
        state.SkipWithError(f.why.toStdString().c_str());
        return nullptr;
    }
    QString why;
    tiles::OpenInfo info;
    auto source = tiles::OpenTileSource(f.path, {}, &why, &info);
    if (!source || !info.inPlace) {
        state.SkipWithError(("not read in place: " + why).toStdString().c_str());
        return nullptr;
    }
    return source;
}

// Open to the fitted view drawn sharp, as a window does it: the file opened, the coarsest
// tile read, a first paint from it that asks for the fitted level's tiles, the wait for them
// and the paint that shows them.
void BM_Huge10GP_OpenToSharpFit(benchmark::State& state) {
    if (!OpenHuge(state)) { // makes the file, outside the times
        return;
    }
    double peak = 0;
    for (auto _ : state) {
        ResetPeak();
        QElapsedTimer timer;
        timer.start();
        auto source = OpenHuge(state);
        if (!source) {
            return;
        }
        std::unique_ptr<Picture> picture = Picture::FromTiles(source);
        picture->setSharperHandler([](const QRect&) {});
        QImage surface(kViewport, QImage::Format_RGB32);
        surface.fill(Qt::black);
        const QRect target = FittedTarget(picture->size());
        const auto draw = [&] {
            QPainter painter(&surface);
            picture->drawScaled(painter, target, QRect());
        };
        draw();
        const double first = double(timer.nsecsElapsed()) / 1e6;
        picture->waitForPixels();
        draw();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.counters["first_paint_ms"] = first;
        peak = std::max(peak, StatusMb("VmHWM:"));
    }
    state.counters["peak_MB"] = peak;
    state.counters["file_MB"] = Huge().megabytes;
    state.counters["make_s"] = Huge().makeSeconds;
}
BENCHMARK(BM_Huge10GP_OpenToSharpFit)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The floor: libtiff alone decoding the tiles of the level that view draws.
void BM_Huge10GP_OpenToSharpFit_LibtiffFloor(benchmark::State& state) {
    if (!OpenHuge(state)) {
        return;
    }
    const QSize picture(kHugeSide, kHugeSide);
    const QRect target = FittedTarget(picture);
    const int level = TiledPicture::LevelFor(picture, target.width(), target.height());
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        TIFF* t = TIFFOpen(QFile::encodeName(Huge().path).constData(), "rm");
        TIFFSetDirectory(t, tdir_t(level));
        uint32_t w = 0;
        uint32_t h = 0;
        TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
        std::vector<uint32_t> raster(std::size_t(kTile) * kTile);
        for (uint32_t y = 0; y < h; y += kTile) {
            for (uint32_t x = 0; x < w; x += kTile) {
                TIFFReadRGBATile(t, x, y, raster.data());
            }
        }
        TIFFClose(t);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["level"] = level;
}
BENCHMARK(BM_Huge10GP_OpenToSharpFit_LibtiffFloor)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// 1:1 across 8000 pixels of the middle, through the real tile reader and fetcher.
void BM_Huge10GP_Pan1to1(benchmark::State& state) {
    const PanPlan plan{QSize(kHugeSide, kHugeSide), QPoint(kHugeSide / 2 - 4000, kHugeSide / 2),
                       8000};
    std::vector<PanResult> runs;
    double peak = 0;
    double before = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto source = OpenHuge(state);
        if (!source) {
            return;
        }
        before = StatusMb("VmRSS:");
        ResetPeak();
        auto log = std::make_shared<ReadLog>(source);
        std::unique_ptr<Picture> picture = Picture::FromTiles(log);
        state.ResumeTiming();
        runs.push_back(Pan(*picture, log.get(), plan));
        state.PauseTiming();
        picture->waitForPixels();
        peak = std::max(peak, StatusMb("VmHWM:"));
        picture.reset();
        state.ResumeTiming();
    }
    Report(state, runs, "10 GP TIFF");
    state.counters["peak_MB"] = peak;
    state.counters["rss_before_MB"] = before;
}
BENCHMARK(BM_Huge10GP_Pan1to1)->Unit(benchmark::kMillisecond)->Iterations(2);

// --- 8000 x 3000 from an in-memory tile source ---

// The floor: the picture's pixels all in memory.
void BM_Pan1to1_WholeInMemory(benchmark::State& state) {
    const std::unique_ptr<Picture> picture = Picture::FromImage(SharedPlan());
    std::vector<PanResult> runs;
    for (auto _ : state) {
        runs.push_back(Pan(*picture, nullptr, kPlanPan));
    }
    Report(state, runs, "in memory");
}
BENCHMARK(BM_Pan1to1_WholeInMemory)->Unit(benchmark::kMillisecond)->Iterations(2);

// From tiles, each read keeping a worker busy for `range(0)` microseconds (a decode).
void BM_Pan1to1_Tiled(benchmark::State& state) {
    SharedSource()->setReadDelay(int(state.range(0)));
    std::vector<PanResult> runs;
    for (auto _ : state) {
        state.PauseTiming();
        auto log = std::make_shared<ReadLog>(SharedSource());
        std::unique_ptr<Picture> picture = Picture::FromTiles(log);
        state.ResumeTiming();
        runs.push_back(Pan(*picture, log.get(), kPlanPan));
        state.PauseTiming();
        picture->waitForPixels();
        picture.reset();
        state.ResumeTiming();
    }
    Report(state, runs, ("tiles, read " + std::to_string(state.range(0)) + " us").c_str());
}
BENCHMARK(BM_Pan1to1_Tiled)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(0)->Arg(2000)->Arg(8000);

} // namespace

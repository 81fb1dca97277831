// Panning at 1:1 at 2000 pixels a second over a picture drawn from tiles, as the window does
// it: every 1/60 s the surface's pixels move and the strip that comes into view is drawn; tiles
// arriving repaint the part they sharpen. Frame time is each such paint (goal: none over
// 16 ms); time to sharp is from a tile's first frame in view to the repaint that shows it from
// its own pixels (goal: 95th percentile within 100 ms). The floor is the same pan drawn from
// the picture decoded whole in memory (no tiles, nothing to wait for).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QTimer>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <algorithm>
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
#include "SurfaceScroll.h"

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

struct PanResult {
    std::vector<double> paints;  // ms
    std::vector<double> toSharp; // ms
    int neverSharp = 0;
    int leftUnsharp = 0;    // tiles that went out of view before they were sharp
    double firstScreen = 0; // ms from the first paint until the whole first view is sharp
};

// One pan from left to right across the picture's middle band.
PanResult Pan(Picture& picture, const ReadLog* log) {
    PanResult result;
    QImage surface(kViewport, QImage::Format_RGB32);
    const QRect target(0, 0, kWidth, kHeight);
    QPoint scroll(0, (kHeight - kViewport.height()) / 2);
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
    const auto paint = [&](const QRegion& region) {
        QElapsedTimer timer;
        timer.start();
        QPainter painter(&surface);
        painter.setClipRegion(region);
        painter.translate(-scroll);
        picture.drawScaled(painter, target, QRect(scroll, kViewport));
        painter.end();
        result.paints.push_back(double(timer.nsecsElapsed()) / 1e6);
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
            for (int r = part.top() / kTile; r <= part.bottom() / kTile; ++r) {
                for (int c = part.left() / kTile; c <= part.right() / kTile; ++c) {
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
            paint(QRegion(part.translated(-scroll)) & QRegion(QRect(QPoint(0, 0), kViewport)));
        });
    }

    // The first view, until it is sharp: opening, not panning, so kept apart.
    surface.fill(Qt::black);
    paint(QRegion(QRect(QPoint(0, 0), kViewport)));
    noteVisible();
    const double firstLimit = double(clock.nsecsElapsed()) / 1e6 + 2000;
    while (log != nullptr && !pending.empty() && double(clock.nsecsElapsed()) / 1e6 < firstLimit) {
        waitUntil(double(clock.nsecsElapsed()) / 1e6 + 1);
    }
    result.firstScreen = double(clock.nsecsElapsed()) / 1e6;
    result.paints.clear();
    result.toSharp.clear();
    const double start = result.firstScreen;

    const int last = kWidth - kViewport.width();
    for (int frame = 1; scroll.x() < last; ++frame) {
        // Wait for the next frame, handing arriving tiles over meanwhile.
        waitUntil(start + frame * kFrameMs);
        const int x = std::min(last, int(frame * kFrameMs * kSpeed / 1000.0));
        const int dx = x - scroll.x();
        const QRegion exposed = ScrollSurfacePixels(surface, -dx, 0);
        scroll.setX(x);
        paint(exposed);
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

void Report(benchmark::State& state, const std::vector<PanResult>& runs) {
    std::vector<double> paints;
    std::vector<double> toSharp;
    int neverSharp = 0;
    int leftUnsharp = 0;
    double firstScreen = 0;
    for (const PanResult& run : runs) {
        leftUnsharp += run.leftUnsharp;
        firstScreen = std::max(firstScreen, run.firstScreen);
        paints.insert(paints.end(), run.paints.begin(), run.paints.end());
        toSharp.insert(toSharp.end(), run.toSharp.begin(), run.toSharp.end());
        neverSharp += run.neverSharp;
    }
    state.counters["paint_max_ms"] = *std::max_element(paints.begin(), paints.end());
    state.counters["paint_p99_ms"] = Percentile(paints, 0.99);
    state.counters["paint_median_ms"] = Percentile(paints, 0.5);
    state.counters["paints"] = double(paints.size());
    if (!toSharp.empty()) {
        state.counters["sharp_p95_ms"] = Percentile(toSharp, 0.95);
        state.counters["sharp_max_ms"] = *std::max_element(toSharp.begin(), toSharp.end());
        state.counters["never_sharp"] = neverSharp;
        state.counters["left_unsharp"] = leftUnsharp;
        state.counters["first_view_ms"] = firstScreen;
    }
}

// The floor: the picture's pixels all in memory.
void BM_Pan1to1_WholeInMemory(benchmark::State& state) {
    const std::unique_ptr<Picture> picture = Picture::FromImage(SharedPlan());
    std::vector<PanResult> runs;
    for (auto _ : state) {
        runs.push_back(Pan(*picture, nullptr));
    }
    Report(state, runs);
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
        runs.push_back(Pan(*picture, log.get()));
        state.PauseTiming();
        picture->waitForPixels();
        picture.reset();
        state.ResumeTiming();
    }
    Report(state, runs);
}
BENCHMARK(BM_Pan1to1_Tiled)->Unit(benchmark::kMillisecond)->Iterations(2)->Arg(0)->Arg(2000)->Arg(8000);

} // namespace

// How long the window's event loop stalls while a big baseline JPEG's pyramid is built in the
// background, opened as the application opens it (Picture::Load on the tile readers, the cache
// in a fresh XDG_CACHE_HOME) and drawn fitted into a 1920 x 1080 window that repaints as tiles
// arrive. A 1 ms probe timer records how late each tick comes; the floor is the same loop over
// the same window with no picture, in the same run. ZELVOR_BENCH_MEGAPIXELS sets the JPEG's size
// (1000 by default). Counters: stall_max_ms and stall_p99_ms during the build
// (stall_max_at_s: when the longest came; stall_max_cpu_ms: the window thread's processor time
// within it, so a stall of our own work tells apart from one waiting for a core), paint_max_ms
// (the longest paint), build_s (open to the pyramid complete), floor_stall_max_ms and
// floor_stall_p99_ms.
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "BackgroundPriority.h"
#include "BigPictures.h"
#include "BuiltTileSource.h"
#include "Picture.h"
#include "TileSourceFactory.h"

namespace {

constexpr qint64 kProbeMs = 1;
constexpr qint64 kFloorMs = 3000;
constexpr qint64 kLimitMs = 600'000;
constexpr qint64 kDiscPerMegapixel = 3 * 1024 * 1024;

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

class FittedWindow : public QRasterWindow {
public:
    Picture* picture = nullptr;
    double paintMaxMs = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        QElapsedTimer clock;
        clock.start();
        paint();
        paintMaxMs = std::max(paintMaxMs, double(clock.nsecsElapsed()) / 1e6);
    }

private:
    void paint() {
        QPainter painter(this);
        const QRect all(QPoint(0, 0), size());
        painter.fillRect(all, Qt::darkGray);
        if (picture != nullptr) {
            const QSize fitted = picture->size().scaled(size(), Qt::KeepAspectRatio);
            picture->drawScaled(painter, QRect(QPoint(0, 0), fitted), all);
        }
    }
};

struct Stalls {
    double max = 0;
    double p99 = 0;
    double maxAtS = 0;  // when the longest came, from the loop's start
    double maxCpuMs = 0; // the window thread's processor time within the longest
};

// Runs the window's event loop until `done` holds (or the limit), timing the probe's lateness.
template <typename Done>
Stalls RunLoop(const Done& done) {
    std::vector<double> gaps;
    Stalls s;
    QElapsedTimer clock;
    qint64 last = 0;
    double lastCpu = ThreadCpuMs();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double cpu = ThreadCpuMs();
        gaps.push_back(std::max(0.0, double(now - last) / 1e6 - double(kProbeMs)));
        if (gaps.back() > s.max) {
            s.max = gaps.back();
            s.maxAtS = double(now) / 1e9;
            s.maxCpuMs = cpu - lastCpu;
        }
        last = now;
        lastCpu = cpu;
    });
    clock.start();
    probe.start(kProbeMs);
    while (!done(clock.elapsed()) && clock.elapsed() < kLimitMs) {
        QGuiApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    probe.stop();
    if (!gaps.empty()) {
        std::sort(gaps.begin(), gaps.end());
        s.p99 = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
    }
    return s;
}

void BM_JpegBuildWindowStall(benchmark::State& state) {
    const qint64 mp = qEnvironmentVariableIsSet("ZELVOR_BENCH_MEGAPIXELS")
                          ? qEnvironmentVariable("ZELVOR_BENCH_MEGAPIXELS").toLongLong()
                          : 1000;
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/zelvor-bench-stall-XXXXXX"));
    if (QStorageInfo(QDir::tempPath()).bytesAvailable() < mp * kDiscPerMegapixel) {
        state.SkipWithError("not enough disc for the picture and its pyramid");
        return;
    }
    const int side = int(std::sqrt(double(mp) * 1e6));
    const QString jpeg = dir.filePath(QStringLiteral("big.jpg"));
    if (!BigPictures::WriteJpeg(jpeg, side, side)) {
        state.SkipWithError("could not write the picture");
        return;
    }
    // As the application builds.
    tiles::SetBuildPriority(tiles::BuildPriority::Idle);
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toLocal8Bit());
    FittedWindow window;
    window.resize(1920, 1080);
    window.show();
    // The first expose and paint are over before anything is timed.
    RunLoop([](qint64 ms) { return ms >= 200; });
    for (auto _ : state) {
        const Stalls floor = RunLoop([](qint64 ms) { return ms >= kFloorMs; });
        QDir(dir.filePath(QStringLiteral("cache"))).removeRecursively();

        // The picture opens on a worker thread and is handed to the window thread, as the
        // application opens pictures; the worker then waits for the build to end.
        std::unique_ptr<Picture> picture;
        std::atomic<bool> built{false};
        std::atomic<bool> failed{false};
        QElapsedTimer buildClock;
        buildClock.start();
        std::thread opener([&] {
            std::shared_ptr<tiles::BuiltTileSource> source;
            std::unique_ptr<Picture> opened =
                Picture::Load(jpeg, 0, 0, nullptr, nullptr, [&](const QString& path) {
                    source = std::dynamic_pointer_cast<tiles::BuiltTileSource>(
                        tiles::OpenTileSource(path, tiles::TileLimits{}, nullptr));
                    return std::shared_ptr<tiles::TileSource>(source);
                });
            if (!opened || !source) {
                failed = true;
                return;
            }
            QMetaObject::invokeMethod(&window, [&, p = opened.release()] {
                picture.reset(p);
                picture->setSharperHandler([&](const QRect&) { window.update(); });
                window.picture = picture.get();
                window.update();
            });
            failed = !source->waitForBuild();
            built = true;
        });
        window.paintMaxMs = 0;
        const Stalls during = RunLoop([&](qint64) { return built || failed; });
        const double buildS = double(buildClock.nsecsElapsed()) / 1e9;
        opener.join();
        QGuiApplication::processEvents();
        window.picture = nullptr;
        if (failed || !picture) {
            state.SkipWithError("the picture did not open or its pyramid was not built");
            return;
        }
        state.counters["stall_max_ms"] = during.max;
        state.counters["stall_p99_ms"] = during.p99;
        state.counters["stall_max_at_s"] = during.maxAtS;
        state.counters["stall_max_cpu_ms"] = during.maxCpuMs;
        state.counters["paint_max_ms"] = window.paintMaxMs;
        state.counters["build_s"] = buildS;
        state.counters["floor_stall_max_ms"] = floor.max;
        state.counters["floor_stall_p99_ms"] = floor.p99;
    }
}
BENCHMARK(BM_JpegBuildWindowStall)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

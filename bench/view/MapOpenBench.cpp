// How long the window stalls while a picture with a huge map opens, as the application opens it
// (picture and map read in the background), next to reading the same map on the window thread
// (what the window did when the picture arrived, before the map was read on a worker).
//
// Two maps: a label of 100 MB with a memo of 1 MB beside an ordinary point (arg 0), and
// 1,000,000 points with labels and memos of ~20 bytes (arg 1).
// BM_OpenInBackground: each iteration opens the picture in a new view and runs the event loop
// until the points are there and the map's tick has drawn them (350 ms after they arrived);
// `max_stall_ms` is the longest a 5 ms timer waited past its time over all iterations,
// `to_points_ms` the mean time until the points arrived.
// BM_ReadOnWindowThread: OpenMap::EnsureLoaded of the same map; its time is its stall.
// BM_ReadOnWorker: OpenMap::LoadInBackground of the same map until its points are there (the
// event loop waiting meanwhile).
// BM_TakeInOnWindowThread: the part of a background read that runs on the window thread when
// it arrives (MapSaver::Take: the points into the map, without drawing them).
// The files go to $ZELVOR_BENCH_DIR, or the system's temporary folder.
#include <QApplication>
#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "BenchMaps.h"
#include "AppServices.h"
#include "CZelvorView.h"
#include "MapFiles.h"
#include "MapSaver.h"
#include "OpenMap.h"

namespace {

constexpr int kProbeMs = 5;
constexpr int kAfterArrivalMs = 350; // more than one 300 ms tick of the map
constexpr int kLimitMs = 60'000;

struct Fixture {
    BenchFolder folder{"zelvor-bench-mapopen"};
    std::string picture[2];

    Fixture() {
        QDir().mkpath(QString::fromStdString(folder.file("MAPS")));
        PointList label;
        PointRecord rec = FactoryDefaults();
        rec.dX = 50;
        rec.dY = 50;
        label.AddPoint(rec, std::string(std::size_t(100) << 20, 'W'), "",
                       std::string(std::size_t(1) << 20, 'm'));
        rec.dX = 60;
        rec.dY = 300;
        label.AddPoint(rec, "ordinary", "", "");
        const PointList* lists[2] = {&label, nullptr};
        const PointList many = BenchPointList(1'000'000);
        lists[1] = &many;
        for (int k = 0; k < 2; ++k) {
            const std::string stem = k == 0 ? "label" : "million";
            picture[k] = folder.file(stem + ".png");
            QImage image(800, 600, QImage::Format_RGB32);
            image.fill(QColor(200, 210, 220));
            if (!image.save(QString::fromStdString(picture[k])) ||
                !SaveMapFile(MapPathFor(folder.path.string(), stem + ".png"), *lists[k]).ok()) {
                throw std::runtime_error("cannot write the benchmark's files in " +
                                         folder.path.string());
            }
        }
        // Read once, so that no benchmark pays for the files having just been written.
        for (const char* stem : {"label.png", "million.png"}) {
            PointList read;
            LoadMapFile(MapPathFor(folder.path.string(), stem), read);
        }
    }

    // The map of the benchmark's argument (0: the label, 1: the million points).
    std::string mapPath(const benchmark::State& state) const {
        return MapPathFor(folder.path.string(), state.range(0) == 0 ? "label.png" : "million.png");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_OpenInBackground(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string& picture = f.picture[state.range(0)];
    const std::string name = picture.substr(picture.rfind('/') + 1);
    const int expected = state.range(0) == 0 ? 2 : 1'000'000;
    AppServices services(f.folder.path.string());
    services.setOpenInBackground(true);
    double longest = 0;
    double toPoints = 0;
    for (auto _ : state) {
        auto view = std::make_unique<CZelvorView>(services);
        view->resize(600, 400);
        view->show();
        QApplication::processEvents();

        QElapsedTimer clock;
        qint64 last = 0;
        qint64 arrived = -1;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, double(now - last - kProbeMs));
            last = now;
        });
        clock.start();
        probe.start(kProbeMs);
        view->OnInitialUpdate(picture, name);
        while (clock.elapsed() < kLimitMs &&
               (arrived < 0 || clock.elapsed() < arrived + kAfterArrivalMs)) {
            // Waits as the window's event loop does (the probe wakes it every 5 ms).
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (arrived < 0 && view->map().isLoaded()) {
                arrived = clock.elapsed();
            }
        }
        probe.stop();
        longest = std::max(longest, double(clock.elapsed() - last - kProbeMs));
        if (arrived < 0 || view->points().count() != expected) {
            state.SkipWithError("the points did not arrive");
            break;
        }
        toPoints += double(arrived);
        view->map().setSettled();
        view.reset();
    }
    state.counters["max_stall_ms"] = longest;
    state.counters["to_points_ms"] =
        state.iterations() > 0 ? toPoints / double(state.iterations()) : 0.0;
}

void BM_ReadOnWindowThread(benchmark::State& state) {
    const std::string mapPath = fixture().mapPath(state);
    for (auto _ : state) {
        auto map = std::make_unique<OpenMap>();
        if (!map->EnsureLoaded(mapPath).ok()) {
            state.SkipWithError("load failed");
            break;
        }
        state.PauseTiming();
        map->setSettled();
        map.reset();
        state.ResumeTiming();
    }
}

void BM_TakeInOnWindowThread(benchmark::State& state) {
    const std::string mapPath = fixture().mapPath(state);
    for (auto _ : state) {
        state.PauseTiming();
        MapSaver::MapRead read = MapSaver::ReadMap(mapPath);
        auto map = std::make_unique<PointMap>();
        auto saver = std::make_unique<MapSaver>(*map, std::function<bool()>());
        state.ResumeTiming();
        if (!saver->Take(std::move(read)).ok()) {
            state.SkipWithError("load failed");
            break;
        }
        state.PauseTiming();
        saver.reset();
        map.reset();
        state.ResumeTiming();
    }
}

void BM_ReadOnWorker(benchmark::State& state) {
    const std::string mapPath = fixture().mapPath(state);
    for (auto _ : state) {
        auto map = std::make_unique<OpenMap>();
        map->LoadInBackground(mapPath);
        while (!map->isLoaded()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        state.PauseTiming();
        map->setSettled();
        map.reset();
        state.ResumeTiming();
    }
}

// Each benchmark over both maps, in milliseconds of real time, three times.
void OverBothMaps(benchmark::internal::Benchmark* b) {
    b->ArgName("million")
        ->Arg(0)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(3);
}

} // namespace

BENCHMARK(BM_ReadOnWorker)->Apply(OverBothMaps);
BENCHMARK(BM_TakeInOnWindowThread)->Apply(OverBothMaps);
BENCHMARK(BM_ReadOnWindowThread)->Apply(OverBothMaps);
BENCHMARK(BM_OpenInBackground)->Apply(OverBothMaps);

// How long one write-behind save of a 100,000-point map blocks the event loop, next to saving
// the same map on the calling thread (which blocks it for the whole save).
//
// BM_WriteBehindSave: each iteration changes one point and lets the saver save, running the
// event loop until the save is on disk; `max_stall_ms` is the longest single pass of the loop
// (the copy of the list as the save starts, taking in its result as it ends) over all saves and
// `mean_stall_ms` its mean over the saves; the iteration time is the whole save.
// BM_SynchronousSave: SaveMapFile of the same list; its time is its stall. BM_CopyList: the
// copy alone, the floor of a save's stall. The files go to
// $ZELVOR_BENCH_DIR, or the system's temporary folder.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <stdexcept>
#include <string>

#include <benchmark/benchmark.h>

#include "BenchMaps.h"
#include "MapFiles.h"
#include "MapSaver.h"
#include "PointList.h"

namespace {

constexpr int kPoints = 100'000;

struct Fixture {
    BenchFolder folder{"zelvor-writebehind"};
    std::string mapPath = folder.file("points.map");
    PointList list = BenchPointList(kPoints);

    Fixture() {
        if (!SaveMapFile(mapPath, list).ok()) {
            throw std::runtime_error("cannot write the benchmark's map in " + folder.path.string());
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_WriteBehindSave(benchmark::State& state) {
    Fixture& f = fixture();
    PointMap map;
    MapSaver saver(map, {});
    saver.setTiming({0, 0, 10});
    if (!saver.Load(f.mapPath).ok() || map.count() != kPoints) {
        state.SkipWithError("load failed");
        return;
    }
    double maxStallMs = 0;
    double sumStallMs = 0;
    double x = 0;
    for (auto _ : state) {
        const PointId one[] = {map.idAt(kPoints / 2)};
        map.Nudge(one, ++x, 0, false, "Move Point");
        saver.Changed();
        QElapsedTimer pass;
        double stallMs = 0;
        while (saver.hasUnsavedChanges() || saver.isSaving()) {
            pass.start();
            QCoreApplication::processEvents();
            stallMs = std::max(stallMs, pass.nsecsElapsed() / 1e6);
        }
        maxStallMs = std::max(maxStallMs, stallMs);
        sumStallMs += stallMs;
        if (!saver.problem().isEmpty()) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.counters["max_stall_ms"] = maxStallMs;
    state.counters["mean_stall_ms"] =
        state.iterations() > 0 ? sumStallMs / static_cast<double>(state.iterations()) : 0.0;
}

void BM_SynchronousSave(benchmark::State& state) {
    Fixture& f = fixture();
    double x = 0;
    for (auto _ : state) {
        f.list.point(kPoints / 2).dX = ++x;
        if (!SaveMapFile(f.mapPath, f.list).ok()) {
            state.SkipWithError("save failed");
            break;
        }
    }
}

// The part of a write-behind save that must run on the interface's thread: copying the list.
void BM_CopyList(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        PointList copy = f.list;
        benchmark::DoNotOptimize(copy);
    }
}

} // namespace

BENCHMARK(BM_CopyList)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_WriteBehindSave)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SynchronousSave)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

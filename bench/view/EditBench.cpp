// Editing a picture of 1,000,000 points, each measured against loading the same map (the
// floor: every operation should take less than one load, and none block the window for more
// than 200 ms): Select All, a rubber band over 100,000 points, deleting 100,000 selected points
// and undoing that, copying them to the clipboard's two forms, an Apply to all and its undo;
// and the history's memory after an Apply to all against the map's own. The marks of 100,000
// selected points in view, drawn after a full tick and after a steady one, are measured on
// their own (the ticks themselves are bench_render's).
#include <QImage>
#include <QMimeData>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>

#include "BenchMaps.h"
#include "MapFiles.h"
#include "PointClipboard.h"
#include "PointMap.h"
#include "PointSelection.h"
#include "SelectionMarks.h"

namespace {

constexpr int kPoints = 1'000'000;
constexpr int kSome = 100'000;

struct Fixture {
    BenchFolder folder{"zelvor-bench-edit"};
    std::string mapPath = folder.file("points.map");
    Fixture() {
        if (!SaveMapFile(mapPath, BenchPointList(kPoints)).ok()) {
            throw std::runtime_error("cannot write the benchmark's map in " +
                                     folder.path.string());
        }
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

std::unique_ptr<PointMap> LoadedMap() {
    PointList list;
    if (LoadMapFile(fixture().mapPath, list).status != FileResult::Ok) {
        throw std::runtime_error("cannot load the benchmark's map");
    }
    auto map = std::make_unique<PointMap>();
    map->Reset(std::move(list));
    return map;
}

// The points along the diagonal from the middle on: x in [250000, 300000).
std::vector<PointId> Band(const PointMap& map) {
    return map.IdsInRect(250'000, 0, 250'000 + kSome * 0.5, 1e9);
}

void BM_LoadMap(benchmark::State& state) {
    for (auto _ : state) {
        PointList list;
        LoadMapFile(fixture().mapPath, list);
        benchmark::DoNotOptimize(list);
    }
}

void BM_SelectAll(benchmark::State& state) {
    auto map = LoadedMap();
    PointSelection selection;
    for (auto _ : state) {
        selection.set(map->ids());
        state.PauseTiming();
        selection.clear();
        state.ResumeTiming();
    }
}

void BM_RubberBand100k(benchmark::State& state) {
    auto map = LoadedMap();
    PointSelection selection;
    for (auto _ : state) {
        selection.set(Band(*map));
        state.PauseTiming();
        if (selection.count() != kSome) {
            state.SkipWithError("the band missed");
        }
        selection.clear();
        state.ResumeTiming();
    }
}

void BM_Delete100k(benchmark::State& state) {
    auto map = LoadedMap();
    const std::vector<PointId> ids = Band(*map);
    for (auto _ : state) {
        map->Remove(ids, "Delete");
        state.PauseTiming();
        map->Undo();
        state.ResumeTiming();
    }
}

void BM_UndoDelete100k(benchmark::State& state) {
    auto map = LoadedMap();
    const std::vector<PointId> ids = Band(*map);
    for (auto _ : state) {
        state.PauseTiming();
        map->Remove(ids, "Delete");
        state.ResumeTiming();
        map->Undo();
    }
}

void BM_Copy100k(benchmark::State& state) {
    auto map = LoadedMap();
    const std::vector<PointId> ids = Band(*map);
    for (auto _ : state) {
        std::unique_ptr<QMimeData> data(PointClipboard::Encode(map->Subset(ids), "points.map"));
        benchmark::DoNotOptimize(data);
    }
}

void BM_ApplyToAll(benchmark::State& state) {
    auto map = LoadedMap();
    PointRecord look = FactoryDefaults();
    look.crRect = RGB(1, 2, 3);
    const auto mapBytes = static_cast<double>(EncodeMap(map->list()).size());
    double historyBytes = 0;
    for (auto _ : state) {
        map->ApplyLook(look, {}, "Apply to All Points");
        state.PauseTiming();
        historyBytes = static_cast<double>(map->historyBytes());
        map->Undo();
        state.ResumeTiming();
    }
    state.counters["history_MB"] = historyBytes / 1e6;
    state.counters["map_file_MB"] = mapBytes / 1e6;
}

void BM_UndoApplyToAll(benchmark::State& state) {
    auto map = LoadedMap();
    PointRecord look = FactoryDefaults();
    look.crRect = RGB(1, 2, 3);
    for (auto _ : state) {
        state.PauseTiming();
        map->ApplyLook(look, {}, "Apply to All Points");
        state.ResumeTiming();
        map->Undo();
    }
}

// 100,000 selected points all in a 1000 x 700 view.
PointMap& CrowdedMap() {
    static PointMap map;
    if (map.count() == 0) {
        PointList list;
        PointRecord rec = FactoryDefaults();
        for (std::int64_t i = 0; i < kSome; ++i) {
            rec.dX = static_cast<double>((i * 7919) % 1000);
            rec.dY = static_cast<double>((i * 104729) % 700);
            list.AddPoint(rec, "p", "", "");
        }
        map.Reset(std::move(list));
    }
    return map;
}

// Their marks after a full tick.
void BM_Marks100kFullTick(benchmark::State& state) {
    PointMap& map = CrowdedMap();
    QImage surface(1000, 700, QImage::Format_RGB32);
    surface.fill(Qt::white);
    SelectionMarks marks;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            marks.DrawAll(surface, map, map.ids(), 1.0, {0, 0}, surface.rect()));
    }
}

// Their marks after a steady tick that repainted 1,000 flashing squares (1% of the points).
void BM_Marks100kSteadyTick(benchmark::State& state) {
    PointMap& map = CrowdedMap();
    QImage surface(1000, 700, QImage::Format_RGB32);
    surface.fill(Qt::white);
    SelectionMarks marks;
    marks.DrawAll(surface, map, map.ids(), 1.0, {0, 0}, surface.rect());
    std::vector<QRect> pieces;
    for (int k = 0; k < kSome; k += 100) {
        const PointRecord& r = map.list().point(k);
        pieces.emplace_back(static_cast<int>(r.dX) - 4, static_cast<int>(r.dY) - 4, 8, 8);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(marks.DrawOver(surface, pieces));
    }
}

} // namespace

BENCHMARK(BM_LoadMap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SelectAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_RubberBand100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Delete100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_UndoDelete100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Copy100k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ApplyToAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_UndoApplyToAll)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Marks100kFullTick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_Marks100kSteadyTick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

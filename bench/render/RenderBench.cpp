// Timer ticks of the point renderer over 10,000 visible points, each with a font description of
// its own, on a window-sized image; and the hit test over 100,000 points.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "BenchFonts.h"
#include "BenchScene.h"
#include "DrawingSurface.h"
#include "PointRenderer.h"
#include "ViewGeometry.h"

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;

// 10,000 points spread over the window, with squares, crosses, labels and some flashing.
PointList TickScene() {
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> x(0, kWidth - 60);
    std::uniform_real_distribution<double> y(0, kHeight - 30);
    std::vector<PointRecord> points;
    for (int i = 0; i < 10000; ++i) {
        PointRecord r = FactoryDefaults();
        r.dX = x(rng);
        r.dY = y(rng);
        r.bShowRect = static_cast<std::uint8_t>(i % 3 == 0);
        r.nRectSize = 4 + i % 5;
        r.nCrossSize = 6 + i % 4;
        r.crRect = RGB(0, 0, 255);
        r.lfText = DistinctFont(i);
        r.lfSince = DistinctFont(i + 1);
        if (i % 4 == 0) {
            MakeFlashing(r);
        }
        points.push_back(r);
    }
    return LabelledList(std::move(points));
}

void Tick(PointRenderer& renderer, QImage& window, PointList& list, const RenderContext& ctx) {
    QPainter painter(&window);
    DrawingSurface surface(painter);
    renderer.DrawPoints(surface, list, ctx);
}

RenderContext TickContext() {
    RenderContext ctx;
    ctx.now = 1700000000;
    ctx.visible = QRect(0, 0, kWidth, kHeight);
    return ctx;
}

// The steady state: every tick after the first, with the text cells cached. The argument is the
// cache's limit in MiB (0: the default); a limit below the scene's cells shows how a cache too
// small for the working set degrades.
void BM_DrawPointsTick(benchmark::State& state) {
    PointList list = TickScene();
    QImage window(kWidth, kHeight, QImage::Format_RGB32);
    window.fill(Qt::gray);
    PointRenderer renderer;
    if (state.range(0) > 0) {
        renderer.setCacheLimit(static_cast<std::size_t>(state.range(0)) << 20);
    }
    const RenderContext ctx = TickContext();
    Tick(renderer, window, list, ctx);
    Tick(renderer, window, list, ctx);
    for (auto _ : state) {
        Tick(renderer, window, list, ctx);
    }
    state.counters["cells"] = static_cast<double>(renderer.cachedCells());
    state.counters["fresh"] = renderer.freshTexts();
    state.counters["cacheMB"] = static_cast<double>(renderer.cachedBytes()) / (1 << 20);
}
BENCHMARK(BM_DrawPointsTick)->Arg(0)->Arg(64)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Every point drawn afresh through the surface: the reference the cache is measured against.
void BM_DrawPointsFresh(benchmark::State& state) {
    PointList list = TickScene();
    QImage window(kWidth, kHeight, QImage::Format_RGB32);
    window.fill(Qt::gray);
    PointRenderer renderer;
    renderer.setCaching(false);
    const RenderContext ctx = TickContext();
    Tick(renderer, window, list, ctx);
    for (auto _ : state) {
        Tick(renderer, window, list, ctx);
    }
}
BENCHMARK(BM_DrawPointsFresh)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The first tick after a map is opened: every text cell rendered and stored.
void BM_DrawPointsFirstTick(benchmark::State& state) {
    PointList list = TickScene();
    QImage window(kWidth, kHeight, QImage::Format_RGB32);
    window.fill(Qt::gray);
    const RenderContext ctx = TickContext();
    for (auto _ : state) {
        PointRenderer renderer;
        Tick(renderer, window, list, ctx);
    }
}
BENCHMARK(BM_DrawPointsFirstTick)->Unit(benchmark::kMillisecond)->Iterations(3);

// The hit test over 100,000 points on a large picture, as on every mouse move.
void BM_FindPointAt(benchmark::State& state) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> coord(0, 20000);
    std::vector<PointRecord> points(100000);
    for (PointRecord& r : points) {
        r.dX = coord(rng);
        r.dY = coord(rng);
    }
    const std::vector<std::string> texts(points.size());
    PointList list;
    list.Assign(std::move(points), texts, texts, texts); // as a map load fills it
    const bool miss = state.range(0) == 0;
    // A miss scans the whole list; a hit on the last point scans it too, then matches.
    const PointRecord& last = list.point(list.count() - 1);
    const int x = miss ? -1000 : static_cast<int>(last.dX * 0.5);
    const int y = miss ? -1000 : static_cast<int>(last.dY * 0.5);
    int found = 0;
    for (auto _ : state) {
        found = FindPointAt(list, x, y, 0, 0, 0.5);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_FindPointAt)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

// Steady timer ticks of the window renderer at scale, each beside a peer measured in the same
// run: the full drawing a tick replaces, or a plain pass over the records.
//   big plan:    1,000,000 points over a 10000 x 10000 picture at zoom 1.0 in a 1000 x 700
//                view (about 7,000 visible), 1% flashing, spread through the list;
//   crowded:     100,000 points all inside the view, one font, the flashing 1% last in the
//                list or spread through it; the first also with every point selected, its
//                marks drawn after each tick as the view draws them;
//   first tick:  10,000 and 100,000 points with a font each (1600 x 1000 view) beside the
//                same in one font;
//   many fonts:  ticks over the big plan with a font per point.
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include "BenchFonts.h"
#include "BenchScene.h"
#include "DrawingSurface.h"
#include "PointDrawing.h"
#include "PointMap.h"
#include "PointRenderer.h"
#include "SelectionMarks.h"

namespace {

constexpr int kViewW = 1000;
constexpr int kViewH = 700;

struct Scene {
    PointList list;
    RenderContext ctx;
    QSize view;
};

// `count` points at random positions in `area` (picture pixels); every 100th flashes, or the
// last 1% when `flashLast`; `fonts`: a font description per point; `turned`: every fourth of
// those turned, by a quarter or by 30 degrees in turn.
Scene MakeScene(int count, QSize area, QPoint scroll, QSize view, bool flashLast, bool fonts,
                int fontSeries = 0, bool turned = false) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> x(0, area.width());
    std::uniform_real_distribution<double> y(0, area.height());
    std::vector<PointRecord> points;
    points.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        PointRecord r = FactoryDefaults();
        r.dX = x(rng);
        r.dY = y(rng);
        r.bShowRect = 1;
        r.nRectSize = 4;
        r.nCrossSize = 6;
        r.crRect = RGB(0, 0, 255);
        if (fonts) {
            r.lfText = DistinctFont(i, fontSeries);
            r.lfSince = DistinctFont(i, fontSeries);
            if (turned && i % 4 == 0) {
                r.lfText.lfEscapement = i % 8 == 0 ? 900 : 300;
            }
        }
        if (flashLast ? i >= count - count / 100 : i % 100 == 0) {
            MakeFlashing(r);
        }
        points.push_back(r);
    }
    Scene scene;
    scene.list = LabelledList(std::move(points));
    scene.ctx.now = 1700000000;
    scene.ctx.scrollX = scroll.x();
    scene.ctx.scrollY = scroll.y();
    scene.ctx.visible = QRect(QPoint(0, 0), view);
    scene.view = view;
    return scene;
}

Scene BigPlan(bool fonts) {
    return MakeScene(1000000, QSize(10000, 10000), QPoint(4500, 4650), QSize(kViewW, kViewH), false,
                     fonts);
}

Scene Crowded(bool flashLast) {
    return MakeScene(100000, QSize(kViewW - 60, kViewH - 30), QPoint(0, 0), QSize(kViewW, kViewH),
                     flashLast, false);
}

QRegion Tick(PointRenderer& renderer, QImage& window, Scene& scene) {
    QPainter painter(&window);
    DrawingSurface surface(painter);
    return renderer.Tick(surface, scene.list, scene.ctx);
}

void Full(PointRenderer& renderer, QImage& window, Scene& scene) {
    QPainter painter(&window);
    DrawingSurface surface(painter);
    renderer.DrawPoints(surface, scene.list, scene.ctx);
}

QImage Window(QSize size) {
    QImage window(size, QImage::Format_RGB32);
    window.fill(Qt::gray);
    return window;
}

// Steady ticks (argument 1) or full drawings (argument 0) over `scene`.
void RunTicks(benchmark::State& state, Scene& scene) {
    QImage window = Window(scene.view);
    PointRenderer renderer;
    const bool ticking = state.range(0) == 1;
    for (int warm = 0; warm < 3; ++warm) {
        ticking ? (void)Tick(renderer, window, scene) : Full(renderer, window, scene);
    }
    for (auto _ : state) {
        if (ticking) {
            benchmark::DoNotOptimize(Tick(renderer, window, scene));
        } else {
            Full(renderer, window, scene);
        }
    }
    state.counters["painted"] = renderer.paintedLastTick();
    state.counters["fresh"] = renderer.freshTexts();
}

// The same with every point selected: each tick followed by the marks, over the pieces it
// repainted or, after a full tick, all of them (as the view does).
void RunSelectedTicks(benchmark::State& state, Scene& scene) {
    QImage window = Window(scene.view);
    PointRenderer renderer;
    PointMap map;
    map.Reset(scene.list);
    SelectionMarks marks;
    std::vector<QRect> pieces;
    const bool ticking = state.range(0) == 1;
    auto tick = [&] {
        if (!ticking) {
            renderer.invalidate();
        }
        QRegion changed;
        {
            QPainter painter(&window);
            DrawingSurface surface(painter);
            changed = renderer.Tick(surface, map.phaseList(), scene.ctx);
        }
        if (renderer.lastTickRepaintedPieces(pieces)) {
            changed += marks.DrawOver(window, pieces);
        } else {
            changed += marks.DrawAll(window, map, map.ids(), scene.ctx.zoom,
                                     {scene.ctx.scrollX, scene.ctx.scrollY}, scene.ctx.visible);
        }
        return changed;
    };
    for (int warm = 0; warm < 3; ++warm) {
        tick();
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(tick());
    }
    state.counters["painted"] = renderer.paintedLastTick();
}

void BM_BigPlan(benchmark::State& state) {
    static Scene scene = BigPlan(false);
    RunTicks(state, scene);
}
BENCHMARK(BM_BigPlan)->ArgName("tick")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The floor: one pass reading every record's position and flags.
void BM_BigPlanRecordPass(benchmark::State& state) {
    static Scene scene = BigPlan(false);
    for (auto _ : state) {
        double sum = 0;
        for (const PointRecord& r : scene.list.points()) {
            sum += r.dX + r.bSinceDate;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_BigPlanRecordPass)->Unit(benchmark::kMillisecond);

void BM_CrowdedFlashLast(benchmark::State& state) {
    static Scene scene = Crowded(true);
    RunTicks(state, scene);
}
BENCHMARK(BM_CrowdedFlashLast)->ArgName("tick")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Beside it, every point selected: steady ticks (tick:1) and full ticks (tick:0), marks included.
void BM_CrowdedFlashLastSelected(benchmark::State& state) {
    static Scene scene = Crowded(true);
    RunSelectedTicks(state, scene);
}
BENCHMARK(BM_CrowdedFlashLastSelected)
    ->ArgName("tick")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

void BM_CrowdedFlashSpread(benchmark::State& state) {
    static Scene scene = Crowded(false);
    RunTicks(state, scene);
}
BENCHMARK(BM_CrowdedFlashSpread)->ArgName("tick")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The first tick after opening: a new renderer over 10,000, 100,000 or 1,000,000 points in a
// 1600 x 1000 view with a font description each (fonts:1), a series of descriptions no earlier
// iteration used, so that no font cache has them yet, and every fourth text turned as well
// (fonts:2); their floor, the same points in one font (fonts:0).
void BM_FirstTick(benchmark::State& state) {
    int series = 1;
    // Made, and the last iteration's dropped, while the clock stands (the last ones once the
    // loop is over): only the tick is timed.
    std::unique_ptr<Scene> scene;
    std::unique_ptr<PointRenderer> renderer;
    QImage window;
    for (auto _ : state) {
        state.PauseTiming();
        renderer.reset();
        scene.reset();
        scene = std::make_unique<Scene>(MakeScene(static_cast<int>(state.range(1)),
                                                  QSize(1540, 970), QPoint(0, 0), QSize(1600, 1000),
                                                  false, state.range(0) != 0, series++,
                                                  state.range(0) == 2));
        window = Window(scene->view);
        renderer = std::make_unique<PointRenderer>();
        state.ResumeTiming();
        benchmark::DoNotOptimize(Tick(*renderer, window, *scene));
    }
}
BENCHMARK(BM_FirstTick)
    ->ArgNames({"fonts", "points"})
    ->ArgsProduct({{0, 1, 2}, {10000, 100000, 1000000}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The million of the first tick, ticking on: steady ticks (tick:1) and full drawings (tick:0)
// in one font, a font each, and a font each with every fourth text turned.
void BM_CrowdedMillion(benchmark::State& state) {
    Scene scene = MakeScene(1000000, QSize(1540, 970), QPoint(0, 0), QSize(1600, 1000), false,
                            state.range(1) != 0, 0, state.range(1) == 2);
    RunTicks(state, scene);
}
BENCHMARK(BM_CrowdedMillion)
    ->ArgNames({"tick", "fonts"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The big plan with a font per point: steady ticks, and full drawings as their peer.
void BM_BigPlanManyFonts(benchmark::State& state) {
    static Scene scene = BigPlan(true);
    RunTicks(state, scene);
}
BENCHMARK(BM_BigPlanManyFonts)
    ->ArgName("tick")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

namespace {

// The simpler design weighed for steady ticks, as a peer: while only flashing changes, the
// window after tick n + 2 is the window after tick n. Two full drawings are kept and the
// rectangles where they differ (runs of a row, one rectangle each) are copied from the kept
// frame on every later tick, the flashers' phases moved on.
class TwoFrames {
public:
    QRegion tick(PointRenderer& renderer, QImage& window, Scene& scene) {
        if (m_kept < 2) {
            Full(renderer, window, scene);
            m_frames[m_kept] = window.copy();
            if (++m_kept == 2) {
                findDifference(scene.list);
            }
            return QRegion(window.rect());
        }
        const QImage& from = m_frames[m_parity];
        for (const QRect& r : m_rects) {
            std::memcpy(window.scanLine(r.top()) + r.left() * 4, from.constScanLine(r.top()) +
                                                                      r.left() * 4,
                        static_cast<std::size_t>(r.width()) * 4);
        }
        for (const int i : m_flashers) {
            AdvancePhases(scene.list, i);
        }
        m_parity ^= 1;
        return QRegion(m_box);
    }
    std::size_t differingPixels() const {
        std::size_t n = 0;
        for (const QRect& r : m_rects) {
            n += static_cast<std::size_t>(r.width());
        }
        return n;
    }

private:
    void findDifference(const PointList& list) {
        const QImage& a = m_frames[0];
        const QImage& b = m_frames[1];
        for (int y = 0; y < a.height(); ++y) {
            const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
            const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
            for (int x = 0; x < a.width();) {
                if (pa[x] == pb[x]) {
                    ++x;
                    continue;
                }
                const int start = x;
                while (x < a.width() && pa[x] != pb[x]) {
                    ++x;
                }
                m_rects.emplace_back(start, y, x - start, 1);
                m_box |= m_rects.back();
            }
        }
        for (int i = 0; i < list.count(); ++i) {
            if (list.point(i).bSinceDate != 0 && Flashes(list.point(i))) {
                m_flashers.push_back(i);
            }
        }
    }

    QImage m_frames[2];
    int m_kept = 0;
    int m_parity = 0;
    std::vector<QRect> m_rects;
    QRect m_box;
    std::vector<int> m_flashers;
};

// Steady ticks of the two kept frames (tick:1), and the second tick that makes the second frame
// (tick:0), over the crowded view (scene:0 the flashing last, 1 spread) and the big plan (2).
void BM_TwoFramesPeer(benchmark::State& state) {
    static Scene scenes[] = {Crowded(true), Crowded(false), BigPlan(false)};
    Scene& scene = scenes[state.range(1)];
    QImage window = Window(scene.view);
    PointRenderer renderer;
    if (state.range(0) == 0) {
        for (auto _ : state) {
            state.PauseTiming();
            TwoFrames frames;
            frames.tick(renderer, window, scene);
            state.ResumeTiming();
            benchmark::DoNotOptimize(frames.tick(renderer, window, scene));
        }
        return;
    }
    TwoFrames frames;
    for (int warm = 0; warm < 3; ++warm) {
        frames.tick(renderer, window, scene);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(frames.tick(renderer, window, scene));
    }
    state.counters["differing"] = static_cast<double>(frames.differingPixels());
}
BENCHMARK(BM_TwoFramesPeer)
    ->ArgNames({"tick", "scene"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

} // namespace

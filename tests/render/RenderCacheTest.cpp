// The renderer's fast drawing (rectangles for the cross, cached text cells) against drawing
// every point afresh through the surface: the pixels and the phases must be the same.
#include <algorithm>
#include <climits>
#include <ctime>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QPainter>

#include "DrawingSurface.h"

#include "RenderTestSupport.h"
#include "SinceTime.h"

namespace {

struct Labelled {
    PointRecord rec;
    std::string label;
    std::string since;
};

// A mixed scene: sizes, fonts (italic, turned, heavy, underlined, the system's choice),
// colours, texts (empty, accented UTF-8 and Windows-1252 bytes), since dates and flashing,
// points overlapping one another and the canvas edges.
std::vector<Labelled> MixedScene(int count, unsigned seed, const std::string& prefix) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const char* faces[] = {"Arial", "DejaVu Serif", "", "Liberation Mono"};
    const int heights[] = {-30, -12, 0, 8, 14, 22};
    const std::string texts[] = {"", "A", "Caf\xC3\xA9", "x\xE9y", "Hello world", "WWW", "fjy"};
    std::vector<Labelled> scene;
    for (int i = 0; i < count; ++i) {
        Labelled p;
        PointRecord& r = p.rec;
        r = FactoryDefaults();
        r.dX = pick(-40, 340) + pick(0, 9) / 10.0;
        r.dY = pick(-40, 240) + pick(0, 9) / 10.0;
        r.bShowRect = static_cast<std::uint8_t>(pick(0, 2));
        r.bShowCross = static_cast<std::uint8_t>(pick(0, 1));
        r.nRectSize = pick(-3, 12);
        r.nCrossSize = pick(-2, 15);
        r.crText = static_cast<COLORREF>(pick(0, 0xFFFFFF));
        r.crBack = static_cast<COLORREF>(pick(0, 0xFFFFFF));
        r.crRect = static_cast<COLORREF>(pick(0, 0xFFFFFF));
        r.crSinceText = static_cast<COLORREF>(pick(0, 0xFFFFFF));
        for (LOGFONTA* lf : {&r.lfText, &r.lfSince}) {
            *lf = LOGFONTA{};
            lf->lfHeight = heights[pick(0, 5)];
            lf->lfWeight = pick(0, 9) * 100;
            lf->lfItalic = static_cast<std::uint8_t>(pick(0, 3) == 0);
            lf->lfUnderline = static_cast<std::uint8_t>(pick(0, 5) == 0);
            lf->lfStrikeOut = static_cast<std::uint8_t>(pick(0, 7) == 0);
            lf->lfEscapement = pick(0, 9) == 0 ? 900 : 0;
            const std::string face = faces[pick(0, 3)];
            std::copy(face.begin(), face.end(), lf->lfFaceName);
        }
        r.bSinceDate = static_cast<std::uint8_t>(pick(0, 1));
        r.bFlashRect = static_cast<std::uint8_t>(pick(0, 1));
        r.bFlashText = static_cast<std::uint8_t>(pick(0, 1));
        r.bRectPhase = static_cast<std::uint8_t>(pick(0, 1));
        r.bTextPhase = static_cast<std::uint8_t>(pick(0, 1));
        r.stSince.wYear = static_cast<std::uint16_t>(pick(0, 1) == 0 ? 1850 : 2999);
        r.stSince.wMonth = 1;
        r.stSince.wDay = 1;
        p.label = prefix + texts[pick(0, 6)];
        p.since = prefix + texts[pick(0, 6)] + "!";
        scene.push_back(p);
    }
    return scene;
}

PointList ListOf(const std::vector<Labelled>& scene) {
    PointList list;
    for (const Labelled& p : scene) {
        list.AddPoint(p.rec, p.label, p.since, "");
    }
    return list;
}

std::vector<std::uint8_t> Phases(const PointList& list) {
    std::vector<std::uint8_t> phases;
    for (const PointRecord& r : list.points()) {
        phases.push_back(r.bRectPhase);
        phases.push_back(r.bTextPhase);
    }
    return phases;
}

// A scene ticked by one renderer and drawn afresh by another, each on a canvas and a list of
// its own.
struct Ticked {
    Ticked(const std::vector<Labelled>& scene, QSize size, std::int64_t now)
        : tickList(ListOf(scene)), freshList(ListOf(scene)), tickCanvas(size), freshCanvas(size) {
        fresh.setCaching(false);
        ctx.now = now;
    }
    // One tick and one fresh drawing; true when both leave the same pixels and phases.
    bool step() {
        {
            QPainter painter(&tickCanvas.image);
            DrawingSurface surface(painter);
            ticking.Tick(surface, tickList, ctx);
        }
        freshCanvas.draw(fresh, freshList, ctx);
        return tickCanvas.image == freshCanvas.image && Phases(tickList) == Phases(freshList);
    }

    PointList tickList;
    PointList freshList;
    PointRenderer ticking;
    PointRenderer fresh;
    Canvas tickCanvas;
    Canvas freshCanvas;
    RenderContext ctx;
};

} // namespace

TEST(RenderCache, FastDrawingMatchesFreshDrawingTickAfterTick) {
    // Ticks with edits between them: each tick first finds where every point found its cell
    // last time, and must still draw exactly what the list now holds.
    using Edit = void (*)(PointList&);
    const Edit edits[] = {
        [](PointList&) {},
        [](PointList&) {},
        [](PointList& list) { list.SetPoint(3, list.point(3), "renamed", "since renamed", ""); },
        [](PointList& list) { list.RemovePoint(0); },
        [](PointList& list) {
            PointRecord look = list.point(5);
            look.crBack = RGB(10, 200, 30);
            look.lfText.lfHeight = 19;
            list.ApplyToAllPoints(look);
        },
    };
    const std::vector<Labelled> scene = MixedScene(120, 7, "");
    PointRenderer cached; // shared by all targets: a change of target empties its cache
    const struct {
        QImage::Format format;
        int ratio;
        QRect visible; // compared inside it; points wholly outside need not be drawn
    } targets[] = {{QImage::Format_RGB32, 1, QRect()},
                   {QImage::Format_ARGB32_Premultiplied, 1, QRect()},
                   {QImage::Format_RGB32, 2, QRect()},
                   {QImage::Format_RGB32, 1, QRect(60, 40, 120, 90)}};
    for (const auto& [format, ratio, visible] : targets) {
        PointList fastList = ListOf(scene);
        PointList freshList = ListOf(scene);
        PointRenderer fresh;
        fresh.setCaching(false);
        Canvas fastCanvas(QSize(300, 200), format, ratio);
        Canvas freshCanvas(QSize(300, 200), format, ratio);
        RenderContext ctx;
        ctx.now = std::time(nullptr);
        ctx.zoom = 1.25;
        ctx.scrollX = 30;
        ctx.scrollY = 20;
        ctx.visible = visible;
        const QRect compared = visible.isEmpty() ? fastCanvas.image.rect() : visible;
        int tick = 0;
        for (const Edit edit : edits) {
            edit(fastList);
            edit(freshList);
            fastCanvas.draw(cached, fastList, ctx);
            freshCanvas.draw(fresh, freshList,
                             {ctx.zoom, ctx.scrollX, ctx.scrollY, true, false, ctx.now, QRect()});
            ++tick;
            ASSERT_EQ(fastCanvas.image.copy(compared), freshCanvas.image.copy(compared))
                << "format " << format << " ratio " << ratio << " tick " << tick;
            ASSERT_EQ(Phases(fastList), Phases(freshList)) << "tick " << tick;
        }
        EXPECT_GT(cached.cachedCells(), 0u) << "the cached drawing was used at ratio " << ratio;
    }
}

TEST(RenderCache, BoundedCacheDropsStaleCellsAndStaysExact) {
    // Distinct labels, so that every point has a cell of its own.
    const std::vector<Labelled> first = MixedScene(60, 3, "first ");
    const std::vector<Labelled> second = MixedScene(60, 5, "second ");
    auto plain = [](std::vector<Labelled> scene) {
        for (std::size_t i = 0; i < scene.size(); ++i) {
            scene[i].rec.lfText.lfEscapement = 0;
            scene[i].rec.lfText.lfItalic = 0;
            scene[i].rec.bSinceDate = 0;
            scene[i].rec.dX = 10.0 + 4.0 * static_cast<double>(i);
            scene[i].rec.dY = 20.0 + 20.0 * static_cast<double>(i % 8);
            scene[i].label += std::to_string(i);
        }
        return scene;
    };
    PointList firstList = ListOf(plain(first));
    PointList secondList = ListOf(plain(second));

    PointRenderer renderer;
    Canvas canvas(QSize(300, 200));
    RenderContext ctx;
    canvas.draw(renderer, firstList, ctx);
    const std::size_t oneSet = renderer.cachedBytes();
    const std::size_t cells = renderer.cachedCells();
    ASSERT_EQ(cells, firstList.points().size());
    // Room for one set and a half: the second set only fits once the first has gone stale.
    renderer.setCacheLimit(oneSet + oneSet / 2);

    PointRenderer fresh;
    fresh.setCaching(false);
    for (int tick = 1; tick <= 4; ++tick) {
        Canvas fastCanvas(QSize(300, 200));
        Canvas freshCanvas(QSize(300, 200));
        fastCanvas.draw(renderer, secondList, ctx);
        freshCanvas.draw(fresh, secondList, ctx);
        ASSERT_EQ(fastCanvas.image, freshCanvas.image) << "tick " << tick;
        EXPECT_LE(renderer.cachedBytes(), oneSet * 2) << "tick " << tick;
    }
    EXPECT_EQ(renderer.cachedCells(), secondList.points().size())
        << "the first set's cells are dropped once they were not used for two ticks";

    renderer.setCacheLimit(1);
    EXPECT_EQ(renderer.cachedCells(), 0u) << "a lower limit frees what no longer fits";
    Canvas fastCanvas(QSize(300, 200));
    Canvas freshCanvas(QSize(300, 200));
    fastCanvas.draw(renderer, firstList, ctx);
    freshCanvas.draw(fresh, firstList, ctx);
    EXPECT_EQ(fastCanvas.image, freshCanvas.image) << "a full cache draws afresh";
    EXPECT_LE(renderer.cachedCells(), 1u);
}

namespace {

// The since date of a point passing once the clock is past `at` (local time, as the map stores
// it).
SYSTEMTIME LocalSince(std::time_t at) {
    std::tm local{};
    localtime_r(&at, &local);
    return {static_cast<std::uint16_t>(local.tm_year + 1900),
            static_cast<std::uint16_t>(local.tm_mon + 1),
            0,
            static_cast<std::uint16_t>(local.tm_mday),
            static_cast<std::uint16_t>(local.tm_hour),
            static_cast<std::uint16_t>(local.tm_min),
            static_cast<std::uint16_t>(local.tm_sec),
            0};
}

// A scene for ticks: since dates that pass one after another as the clock moves on, flashing
// spread through the list, plain fonts (so that ticks can be incremental) unless `italic`.
std::vector<Labelled> TickScene(std::int64_t now, bool italic) {
    std::vector<Labelled> scene = MixedScene(150, 11, "");
    for (std::size_t i = 0; i < scene.size(); ++i) {
        PointRecord& r = scene[i].rec;
        for (LOGFONTA* lf : {&r.lfText, &r.lfSince}) {
            lf->lfItalic = italic && i % 7 == 0;
            lf->lfEscapement = 0;
            lf->lfWeight = 400;
        }
        if (i % 3 == 0) {
            // Passes at tick i % 5.
            r.stSince = LocalSince(static_cast<std::time_t>(now) + static_cast<long>(i % 5));
            r.bSinceDate = 1;
        }
        r.bFlashRect = static_cast<std::uint8_t>(r.bFlashRect != 0 && i % 4 == 0);
        r.bFlashText = static_cast<std::uint8_t>(r.bFlashText != 0 && i % 4 == 0);
        scene[i].label = "L" + std::to_string(i % 13) + scene[i].label;
        if (!italic) {
            scene[i].since = "S" + std::to_string(i % 11); // glyphs inside their cells
        }
    }
    return scene;
}

} // namespace

TEST(RenderCache, TicksLeaveThePixelsOfFullDrawingsOverTheSameSurface) {
    // Each tick against a full fresh drawing over a surface of its own: phases, since dates
    // passing (a label giving way to a since text in another cell), overlaps, points out of
    // sight, edits (the view then invalidates) and the clock going back.
    const std::int64_t start = std::time(nullptr);
    using Edit = void (*)(PointList&, std::int64_t&);
    const Edit edits[] = {
        [](PointList&, std::int64_t& now) { ++now; },
        [](PointList&, std::int64_t& now) { ++now; },
        [](PointList&, std::int64_t& now) { ++now; },
        [](PointList& list, std::int64_t&) { list.SetPoint(4, list.point(4), "moved", "", ""); },
        [](PointList&, std::int64_t& now) { ++now; },
        [](PointList&, std::int64_t& now) { now -= 3; },
        [](PointList&, std::int64_t& now) { now += 4; },
        [](PointList&, std::int64_t&) {},
        [](PointList&, std::int64_t&) {},
    };
    // Other formats than the window's own are repainted in list order rather than last first.
    const struct {
        bool italic;
        int ratio;
        QImage::Format format;
    } variants[] = {{false, 1, QImage::Format_RGB32},
                    {true, 1, QImage::Format_RGB32},
                    {false, 2, QImage::Format_RGB32},
                    {false, 1, QImage::Format_ARGB32_Premultiplied}};
    for (const auto& [italic, ratio, format] : variants) {
        const std::vector<Labelled> scene = TickScene(start, italic);
        PointList tickList = ListOf(scene);
        PointList freshList = ListOf(scene);
        PointList fullList = ListOf(scene);
        PointRenderer ticking;
        PointRenderer fresh;
        fresh.setCaching(false);
        PointRenderer full; // a full tick every time, for the count of points it paints
        Canvas tickCanvas(QSize(300, 200), format, ratio);
        Canvas freshCanvas(QSize(300, 200), format, ratio);
        Canvas fullCanvas(QSize(300, 200), format, ratio);
        RenderContext ctx;
        ctx.now = start;
        ctx.zoom = 1.25;
        ctx.scrollX = 30;
        ctx.scrollY = 20;
        ctx.visible = QRect(0, 0, 280, 190);
        int partial = 0; // ticks that painted fewer points than a full tick
        int tick = 0;
        for (const Edit edit : edits) {
            const int before = tickList.count();
            edit(tickList, ctx.now);
            std::int64_t same = ctx.now;
            edit(freshList, same);
            same = ctx.now;
            edit(fullList, same);
            if (tick == 3) {
                ticking.invalidate();
            }
            ASSERT_EQ(before, tickList.count());
            QRegion painted;
            {
                QPainter painter(&tickCanvas.image);
                DrawingSurface surface(painter);
                painted = ticking.Tick(surface, tickList, ctx);
            }
            freshCanvas.draw(fresh, freshList,
                             {ctx.zoom, ctx.scrollX, ctx.scrollY, true, false, ctx.now, QRect()});
            ++tick;
            const QRect compared(ctx.visible.topLeft() * ratio, ctx.visible.size() * ratio);
            ASSERT_EQ(tickCanvas.image.copy(compared), freshCanvas.image.copy(compared))
                << "tick " << tick << (italic ? " italic" : "") << " ratio " << ratio << " format "
                << format;
            ASSERT_EQ(Phases(tickList), Phases(freshList)) << "tick " << tick;
            EXPECT_TRUE(ctx.visible.contains(painted.boundingRect()) || painted.isEmpty());
            full.invalidate();
            {
                QPainter painter(&fullCanvas.image);
                DrawingSurface surface(painter);
                full.Tick(surface, fullList, ctx);
            }
            partial += ticking.paintedLastTick() < full.paintedLastTick() ? 1 : 0;
        }
        // Plain fonts tick incrementally after the first tick; an italic overhang in sight
        // makes every tick full.
        EXPECT_EQ(partial > 0, !italic) << partial;
    }
}

TEST(RenderCache, ACrowdedViewMeasuresOnlyTheTextsThatShowAndTicksStayExact) {
    // Hundreds of points piled on a small view: most texts lie wholly under later points, some
    // hidden points flash, since dates pass under and over others (a shorter since text lays
    // bare what lay under the label), and with `overhang` some texts leave their cells where
    // they show in part. Painted last first, each tick must still equal a fresh drawing.
    const std::int64_t start = std::time(nullptr);
    for (const bool overhang : {false, true}) {
        std::vector<Labelled> scene = TickScene(start, false);
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> x(-20, 150);
        std::uniform_int_distribution<int> y(-10, 100);
        for (std::size_t i = 0; i < 450; ++i) {
            Labelled p = scene[i % 150];
            p.rec.dX = x(rng);
            p.rec.dY = y(rng);
            p.label = "T" + std::to_string(scene.size());
            p.rec.bFlashRect = static_cast<std::uint8_t>(p.rec.bFlashRect != 0 && i % 8 == 0);
            p.rec.bFlashText = static_cast<std::uint8_t>(p.rec.bFlashText != 0 && i % 8 == 0);
            if (overhang && i % 2 == 1) {
                // Small enough for the descenders of some faces to leave the cell.
                p.rec.lfText.lfHeight = 8;
                p.label = "fjy" + p.label;
            }
            scene.push_back(p);
        }
        Ticked view(scene, QSize(160, 110), start);
        for (int tick = 1; tick <= 6; ++tick) {
            ASSERT_TRUE(view.step()) << "tick " << tick << " " << overhang;
            if (tick == 1) {
                EXPECT_EQ(view.ticking.freshTexts() > 0, overhang);
                EXPECT_LT(view.ticking.cachedCells(), scene.size() / 2)
                    << "texts wholly under later points are never measured";
            }
            ++view.ctx.now;
        }
    }
}

namespace {

// A row of points far apart; those in `flashing` flash; 6 lies over 5's cell, 1 under 2's
// square.
std::vector<Labelled> FlashingRow(std::initializer_list<int> flashing) {
    std::vector<Labelled> scene;
    for (int i = 0; i < 8; ++i) {
        Labelled p;
        p.rec = PlainPoint(20 + 70.0 * i, 30);
        p.rec.bShowRect = 1;
        p.rec.nRectSize = 5;
        p.rec.lfText.lfHeight = -12;
        p.rec.lfSince = p.rec.lfText;
        p.label = "P" + std::to_string(i);
        p.since = "S" + std::to_string(i);
        scene.push_back(p);
    }
    for (const int i : flashing) {
        scene[i].rec.bSinceDate = 1;
        scene[i].rec.stSince = {1850, 1, 0, 1, 0, 0, 0, 0};
        scene[i].rec.bFlashRect = 1;
        scene[i].rec.bFlashText = 1;
    }
    scene[6].rec.dX = scene[5].rec.dX + 8;
    scene[6].rec.dY = scene[5].rec.dY + 4;
    scene[1].rec.dX = scene[2].rec.dX - 4;
    scene[1].rec.dY = scene[2].rec.dY - 4;
    scene[1].rec.nRectSize = 2;
    return scene;
}

} // namespace

TEST(RenderCache, ATickPaintsTheChangedPointsAndThoseOverThemOnce) {
    Ticked row(FlashingRow({2, 5}), QSize(600, 80), 1); // after 1850
    // After tick 4, 7 moves over 2's cell: the pieces stay, what reaches into them does not.
    const int expected[] = {8, 3, 3, 3, 8, 4};
    for (int tick = 0; tick < 6; ++tick) {
        if (tick == 4) {
            for (PointList* list : {&row.tickList, &row.freshList}) {
                PointRecord moved = list->point(7);
                moved.dX = list->point(2).dX + 8;
                moved.dY = list->point(2).dY + 4;
                list->SetPoint(7, moved, "P7", "S7", "");
            }
            row.ticking.invalidate();
        }
        ASSERT_TRUE(row.step()) << "tick " << tick;
        EXPECT_EQ(row.ticking.paintedLastTick(), expected[tick]) << "tick " << tick;
    }
}

TEST(RenderCache, ATickDrawsATextAfreshWhereTheCacheHasNoRoomForItsCell) {
    // Once the first tick has drawn, the cache has room for the flashing 5's cell alone: 6's
    // text over it is drawn afresh, so that piece is repainted in list order after all.
    Ticked row(FlashingRow({5}), QSize(600, 80), 1);
    ASSERT_TRUE(row.step());
    row.ticking.setCacheLimit(1);
    ASSERT_TRUE(row.step());
    EXPECT_EQ(row.ticking.paintedLastTick(), 2) << "the second tick repaints 5 and 6 alone";
    EXPECT_EQ(row.ticking.freshTexts(), 1);
}

TEST(RenderCache, ASinceTextLaysBareATextThatWasNeverMeasured) {
    // 1's big label covers all of 0's text, which is therefore never measured; once 1's since
    // date passes, its short since text lays 0's text bare. A row below, one of it flashing,
    // keeps the ticks incremental.
    const std::int64_t start = std::time(nullptr);
    std::vector<Labelled> scene(2);
    scene[0].rec = PlainPoint(30, 30);
    scene[0].rec.lfText.lfHeight = -12;
    scene[0].label = "under";
    scene[1].rec = PlainPoint(10, 10);
    scene[1].rec.lfText.lfHeight = -60;
    scene[1].rec.bSinceDate = 1;
    scene[1].rec.stSince = LocalSince(static_cast<std::time_t>(start));
    scene[1].label = "WWWWWW";
    scene[1].since = "S";
    for (Labelled& p : FlashingRow({2})) {
        p.rec.dY += 70;
        scene.push_back(p);
    }
    Ticked view(scene, QSize(600, 120), start);
    for (const std::int64_t now : {start, start, start + 2, start + 2}) {
        view.ctx.now = now;
        ASSERT_TRUE(view.step()) << "at " << now - start;
    }
    EXPECT_EQ(view.ticking.paintedLastTick(), 1) << "the last tick repaints the flashing point alone";
}

TEST(RenderCache, OnePlaceNamesWhyATickDrawsInFull) {
    // Two ticks over the row; what happens before the second, and how it paints.
    using Before = void (*)(PointRenderer&, RenderContext&, std::vector<Labelled>&);
    const struct {
        const char* name;
        std::initializer_list<int> flashing;
        Before before; // before the first tick, or between them
        bool between;
        TickKind second;
    } cases[] = {
        {"steady", {2, 5}, [](PointRenderer&, RenderContext&, std::vector<Labelled>&) {}, true,
         TickKind::Pieces},
        {"invalidated", {2, 5},
         [](PointRenderer& r, RenderContext&, std::vector<Labelled>&) { r.invalidate(); }, true,
         TickKind::NoRecord},
        {"clock back", {2, 5},
         [](PointRenderer&, RenderContext& ctx, std::vector<Labelled>&) { --ctx.now; }, true,
         TickKind::NoRecord},
        {"texts hidden", {2, 5},
         [](PointRenderer&, RenderContext& ctx, std::vector<Labelled>&) {
             ctx.showTexts = false;
         },
         true, TickKind::NotFastTarget},
        {"no caching", {2, 5},
         [](PointRenderer& r, RenderContext&, std::vector<Labelled>&) { r.setCaching(false); },
         true, TickKind::NotFastTarget},
        {"turned text", {2, 5},
         [](PointRenderer&, RenderContext&, std::vector<Labelled>& scene) {
             scene[3].rec.lfText.lfEscapement = 900;
         },
         false, TickKind::BlendingText},
        {"most flash", {0, 1, 2, 3, 4, 5, 6, 7},
         [](PointRenderer&, RenderContext&, std::vector<Labelled>&) {}, true,
         TickKind::TooManyChanges},
    };
    for (const auto& c : cases) {
        std::vector<Labelled> scene = FlashingRow(c.flashing);
        if (!c.between) {
            PointRenderer unused;
            RenderContext unusedCtx;
            c.before(unused, unusedCtx, scene);
        }
        Ticked row(scene, QSize(600, 80), 1);
        ASSERT_TRUE(row.step()) << c.name;
        EXPECT_EQ(row.ticking.lastTick(), TickKind::NoRecord) << c.name;
        if (c.between) {
            c.before(row.ticking, row.ctx, scene);
        }
        ASSERT_TRUE(row.step()) << c.name;
        EXPECT_EQ(row.ticking.lastTick(), c.second) << c.name;
    }
}

// Ticks of the window renderer with points selected, their marks drawn after each tick as the
// view draws them, against a full drawing with its marks on a fresh canvas.
#include <gtest/gtest.h>

#include <QPainter>

#include "DrawingSurface.h"
#include "PointMap.h"
#include "RenderTestSupport.h"
#include "SelectionMarks.h"

namespace {

// 300 overlapping points in a 200 x 150 view, every seventh flashing, some out of sight.
PointList CrowdedList() {
    PointList list;
    for (int i = 0; i < 300; ++i) {
        PointRecord r = FactoryDefaults();
        r.dX = (i * 37) % 230 - 10;
        r.dY = (i * 53) % 170 - 10;
        r.bShowRect = 1;
        r.nRectSize = 2 + i % 7;
        r.nCrossSize = 3 + i % 5;
        if (i % 7 == 0) {
            r.bSinceDate = 1;
            r.bFlashRect = 1;
            r.bFlashText = static_cast<std::uint8_t>(i % 2);
            r.stSince.wYear = 1850;
        }
        list.AddPoint(r, "P" + std::to_string(i), "since", "");
    }
    return list;
}

} // namespace

TEST(SelectionTick, TicksWithPointsSelectedLeaveTheMarksOfAFullDrawing) {
    const struct {
        int ratio;
        int everyNth; // every n-th point selected
    } variants[] = {{1, 1}, {1, 3}, {2, 1}};
    for (const auto& [ratio, everyNth] : variants) {
        PointMap ticked;
        ticked.Reset(CrowdedList());
        PointMap fresh;
        fresh.Reset(CrowdedList());
        std::vector<PointId> ids;
        std::vector<PointId> freshIds;
        for (std::size_t k = 0; k < ticked.ids().size(); k += static_cast<std::size_t>(everyNth)) {
            ids.push_back(ticked.ids()[k]);
            freshIds.push_back(fresh.ids()[k]);
        }
        RenderContext ctx;
        ctx.now = 1700000000;
        ctx.visible = QRect(0, 0, 200, 150);
        PointRenderer ticking;
        PointRenderer drawing;
        drawing.setCaching(false);
        SelectionMarks tickMarks;
        Canvas tickCanvas(QSize(200, 150), QImage::Format_RGB32, ratio);
        std::vector<QRect> pieces;
        int pieceTicks = 0;
        for (int tick = 0; tick < 6; ++tick) {
            {
                QPainter painter(&tickCanvas.image);
                DrawingSurface surface(painter);
                ticking.Tick(surface, ticked.phaseList(), ctx);
            }
            if (ticking.lastTickRepaintedPieces(pieces)) {
                ++pieceTicks;
                tickMarks.DrawOver(tickCanvas.image, pieces);
            } else {
                tickMarks.DrawAll(tickCanvas.image, ticked, ids, ctx.zoom, {}, ctx.visible);
            }
            Canvas freshCanvas(QSize(200, 150), QImage::Format_RGB32, ratio);
            freshCanvas.draw(drawing, fresh.phaseList(), ctx);
            SelectionMarks freshMarks;
            freshMarks.DrawAll(freshCanvas.image, fresh, freshIds, ctx.zoom, {}, ctx.visible);
            ASSERT_EQ(tickCanvas.image, freshCanvas.image)
                << "tick " << tick << " ratio " << ratio << " every " << everyNth;
        }
        EXPECT_GT(pieceTicks, 0) << "ratio " << ratio;
    }
}

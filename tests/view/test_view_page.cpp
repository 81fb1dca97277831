// The window and its printed page agree; the scroll ranges follow the picture, never a paint.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "MapFiles.h"
#include "ViewGeometry.h"
#include "ViewTestSupport.h"
#include "ZoomGeometry.h"

namespace {

struct Ranges {
    int h = 0;
    int v = 0;
    int hPage = 0;
    int vPage = 0;
    QPoint scroll;
    double zoom = 0;
    bool operator==(const Ranges&) const = default;
};

Ranges RangesOf(const CZelvorView& view) {
    return {view.horizontalScrollBar()->maximum(), view.verticalScrollBar()->maximum(),
            view.horizontalScrollBar()->pageStep(), view.verticalScrollBar()->pageStep(),
            view.scrollPosition(), view.zoom()};
}

} // namespace

TEST_F(ViewTest, APageAtTheDisplaysResolutionIsWhatTheWindowShows) {
    writePicture("plan.png", 300, 200, QColor(30, 90, 160));
    PointList list;
    list.AddPoint(makePoint(40, 30), "first", "", "");
    list.AddPoint(makePoint(150, 120, RGB(0, 200, 0)), "second", "", "");
    ASSERT_TRUE(SaveMapFile(mapFile("plan"), list).ok());
    auto view = openView("plan.png", 500, 400);
    view->OnViewFullSize(); // 1:1, not scrolled: the page and the window start at one corner
    view->OnTimer();
    const QImage& window = view->surfaceImage();

    QImage page(window.size(), QImage::Format_RGB32);
    page.fill(window.pixel(window.width() - 1, window.height() - 1)); // the window's ground
    {
        QPainter painter(&page);
        view->PrintPage(painter, 96, 96, 96, 96);
    }
    const QRect shown = QRect(0, 0, 300, 200) & window.rect();
    ASSERT_EQ(shown.size(), QSize(300, 200));
    EXPECT_EQ(page.copy(shown), window.copy(shown));
}

TEST_F(ViewTest, ScrollRangesFollowEachChangeAndARepaintLeavesThemAlone) {
    writePicture("plan.png", 1000, 600, QColor(30, 90, 160));
    auto view = openView("plan.png", 500, 400);
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"full size", [&] { view->OnViewFullSize(); }},
        {"scrolled to the end", [&] { view->horizontalScrollBar()->setValue(100000); }},
        {"zoom minus", [&] { view->OnViewZoomMinus(); }},
        {"narrower", [&] { view->resize(300, 400); }},
        {"fit picture", [&] { view->OnViewFitPicture(); }},
        {"fit width", [&] { view->OnViewFitPicture(); }},
        {"wider", [&] { view->resize(640, 300); }},
    };
    for (const auto& [what, change] : changes) {
        change();
        QApplication::processEvents(); // the scroll bars show or hide
        const Ranges after = RangesOf(*view);
        const QSize vp = view->viewport()->size();
        double zoom = view->zoom();
        const DrawnSize drawn =
            view->IsZoomMode() ? ZoomSize(1000, 600, zoom)
            : view->IsFitPicture()
                ? FitWholeSize(1000, 600, view->maximumViewportSize().width(),
                               view->maximumViewportSize().height(), zoom)
                : FitSize(1000, 600, view->width(), zoom);
        const DrawnSize extent = ScrollExtent(drawn);
        EXPECT_EQ(after.h, std::max(0, extent.w - vp.width())) << what;
        EXPECT_EQ(after.v, std::max(0, extent.h - vp.height())) << what;
        EXPECT_EQ(after.hPage, vp.width()) << what;
        EXPECT_EQ(after.zoom, zoom) << what;
        view->RedrawWindow();
        view->OnTimer();
        EXPECT_EQ(RangesOf(*view), after) << what << ": painting changed the scroll state";
    }
}

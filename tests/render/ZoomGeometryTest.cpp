// Fitting the whole picture, the zoom's bounds and zooming about a point.
#include <cmath>

#include <gtest/gtest.h>

#include "ViewGeometry.h"
#include "ZoomGeometry.h"

TEST(ZoomGeometry, FitWholeSizeShowsThePictureInsideTheView) {
    const struct {
        std::uint32_t imgW, imgH;
        int viewW, viewH;
        int w, h;
        double zoom;
    } cases[] = {
        {1000, 600, 500, 400, 500, 300, 0.5},     // width decides
        {600, 3000, 500, 400, 80, 400, 400.0 / 3000}, // a tall plan: height decides
        {100, 50, 800, 600, 800, 400, 8.0},       // small pictures grow to fill
        {1000, 1000, 333, 333, 333, 333, 0.333},
        {3, 7, 1, 1000, 1, 2, 1.0 / 3},           // 2.33 truncated
        {600, 3000, 498, 398, 79, 398, 398.0 / 3000}, // 397.99... fills the deciding side
    };
    for (const auto& c : cases) {
        double zoom = -1;
        const DrawnSize d = FitWholeSize(c.imgW, c.imgH, c.viewW, c.viewH, zoom);
        EXPECT_EQ(d.w, c.w) << c.imgW << "x" << c.imgH;
        EXPECT_EQ(d.h, c.h) << c.imgW << "x" << c.imgH;
        EXPECT_DOUBLE_EQ(zoom, c.zoom);
        EXPECT_LE(d.w, c.viewW);
        EXPECT_LE(d.h, c.viewH);
    }
    // No area on either side: nothing drawn, the zoom left alone.
    double zoom = 0.7;
    EXPECT_EQ(FitWholeSize(0, 10, 100, 100, zoom).w, 0);
    EXPECT_EQ(FitWholeSize(10, 10, 0, 100, zoom).h, 0);
    EXPECT_EQ(FitWholeSize(10, 10, 100, -5, zoom).w, 0);
    EXPECT_EQ(zoom, 0.7);
}

TEST(ZoomGeometry, CentringMarginSplitsTheRoomLeft) {
    EXPECT_EQ(CentringMargin({80, 400}, 500, 400).x, 210);
    EXPECT_EQ(CentringMargin({80, 400}, 500, 400).y, 0);
    EXPECT_EQ(CentringMargin({499, 100}, 500, 401).x, 0); // half a pixel rounds down
    EXPECT_EQ(CentringMargin({499, 100}, 500, 401).y, 150);
    EXPECT_EQ(CentringMargin({900, 900}, 500, 400).x, 0) << "no negative margin";
}

TEST(ZoomGeometry, ZoomIsBounded) {
    EXPECT_EQ(ClampZoom(1e9), kMaxZoom);
    EXPECT_EQ(ClampZoom(1e-9), kMinZoom);
    EXPECT_EQ(ClampZoom(-3), kMinZoom);
    EXPECT_EQ(ClampZoom(std::nan("")), 1.0);
    EXPECT_EQ(ClampZoom(2.5), 2.5);

    // The zoom steps stop at the bounds and report no change there.
    bool zoomMode = true;
    double zoom = 60.0;
    EXPECT_TRUE(ApplyZoomStep(zoomMode, zoom, kZoomInFactor));
    EXPECT_EQ(zoom, kMaxZoom);
    EXPECT_FALSE(ApplyZoomStep(zoomMode, zoom, kZoomInFactor));
    EXPECT_EQ(zoom, kMaxZoom);
    EXPECT_TRUE(ApplyZoomStep(zoomMode, zoom, kZoomOutFactor));
    EXPECT_DOUBLE_EQ(zoom, 64 * 0.9);
    zoom = kMinZoom;
    EXPECT_FALSE(ApplyZoomStep(zoomMode, zoom, kZoomOutFactor));
}

// The picture point under the anchor before the zoom is the one under it after, within half a
// screen pixel, and it is drawn at the anchor's pixel (within the one the truncation costs).
TEST(ZoomGeometry, ScrollKeepingHoldsThePicturePointUnderTheAnchor) {
    const struct {
        double zoom, newZoom;
        double ax, ay;
        int ox, oy;
    } cases[] = {
        {1.0, 1.1, 250, 200, 0, 0},      // in from the top-left scroll
        {1.0, 0.9, 10, 390, 300, 700},   // out near a corner, scrolled
        {1.21, 1.331, 499.5, 0.25, 77, 13}, // a pinch's fractional position
        {0.5, 0.55, 300, 200, -150, -40}, // Fit Picture's margin as a negative origin
        {64 * 0.9, 64, 1, 1, 123456, 654321},
        {kMinZoom, kMinZoom * 1.1, 400, 300, 0, 0},
    };
    for (const auto& c : cases) {
        const double px = (c.ax + c.ox) / c.zoom;
        const double py = (c.ay + c.oy) / c.zoom;
        const ClientPoint s = ScrollKeeping(px, py, c.newZoom, c.ax, c.ay);
        double qx = 0;
        double qy = 0;
        ClientToPicture(0, 0, s.x, s.y, c.newZoom, qx, qy);
        EXPECT_NEAR(qx + c.ax / c.newZoom, px, 0.5 / c.newZoom + 1e-9) << c.zoom << " " << c.ax;
        EXPECT_NEAR(qy + c.ay / c.newZoom, py, 0.5 / c.newZoom + 1e-9) << c.zoom << " " << c.ay;
        const ClientPoint drawn = PictureToClient(px, py, c.newZoom, s.x, s.y);
        EXPECT_LE(std::abs(drawn.x - c.ax), 1.0) << c.zoom << " " << c.ax;
        EXPECT_LE(std::abs(drawn.y - c.ay), 1.0) << c.zoom << " " << c.ay;
    }
    // An exact case: doubling about (100, 50) from the top-left scrolls by as much.
    const ClientPoint s = ScrollKeeping(100, 50, 2.0, 100, 50);
    EXPECT_EQ(s.x, 100);
    EXPECT_EQ(s.y, 50);
}

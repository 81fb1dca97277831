// The view's geometry: drawn sizes, scroll extents, conversions, hit test and zoom steps.
#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "PointRecord.h"
#include "ViewGeometry.h"

namespace {

PointRecord At(double x, double y) {
    PointRecord rec{};
    rec.dX = x;
    rec.dY = y;
    return rec;
}

PointList ListOf(std::initializer_list<PointRecord> records) {
    PointList list;
    for (const PointRecord& rec : records) {
        list.AddPoint(rec, "", "", "");
    }
    return list;
}

} // namespace

TEST(ViewGeometry, TruncatesTowardZeroAndSaturates) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double in;
        int out;
    } cases[] = {{2.9, 2},
                 {-2.9, -2},
                 {-0.5, 0},
                 {2147483647.9, INT_MAX},
                 {-2147483648.9, INT_MIN},
                 {1e20, INT_MAX},
                 {-1e20, INT_MIN},
                 {inf, INT_MAX},
                 {-inf, INT_MIN},
                 {nan, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(TruncToInt(c.in), c.out) << c.in;
    }
}

TEST(ViewGeometry, FitSizeFillsTheWindowWidth) {
    const struct {
        std::uint32_t imgW, imgH;
        int window;
        int w, h;
        double zoom;
    } cases[] = {
        {1000, 600, 500, 500, 300, 0.5},
        {1000, 601, 500, 500, 300, 0.5},            // 300.5 rounds down
        {100000, 100000, 50000, 50000, 50000, 0.5}, // 5e9 overflows a 32-bit product
        {1, 0xFFFFFFFFu, 2, 2, INT_MAX, 2.0},       // saturates
        {640, 480, 0, 0, 0, 0.0},
        {640, 480, -20, 0, 0, 0.0}, // a negative width counts as none
    };
    for (const auto& c : cases) {
        double zoom = -1.0;
        const DrawnSize s = FitSize(c.imgW, c.imgH, c.window, zoom);
        EXPECT_EQ(s.w, c.w) << c.imgW << "x" << c.imgH << " in " << c.window;
        EXPECT_EQ(s.h, c.h) << c.imgW << "x" << c.imgH << " in " << c.window;
        EXPECT_DOUBLE_EQ(zoom, c.zoom) << c.imgW << "x" << c.imgH << " in " << c.window;
    }
    double zoom = 0.75;
    const DrawnSize none = FitSize(0, 480, 500, zoom);
    EXPECT_EQ(none.w, 0);
    EXPECT_EQ(none.h, 0);
    EXPECT_EQ(zoom, 0.75) << "a picture of width 0 leaves the zoom alone";
}

TEST(ViewGeometry, ZoomSizeAndScrollExtent) {
    const struct {
        std::uint32_t imgW, imgH;
        double zoom;
        int w, h, extentW, extentH;
    } cases[] = {
        {1000, 600, 0.5, 500, 300, 468, 300},
        {101, 33, 1.1, 111, 36, 79, 36}, // 111.1 and 36.3 truncated
        {101, 33, 1.1 * 1.1, 122, 39, 90, 39},
        {40, 10, 1.0, 40, 10, 8, 10},
        {32, 10, 1.0, 32, 10, 0, 10},
        {20, 10, 1.0, 20, 10, 0, 10}, // narrower than 32: clamped, not negative
        {60000, 60000, 1e12, INT_MAX, INT_MAX, INT_MAX - 32, INT_MAX},
        {60000, 60000, 1e-12, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const DrawnSize s = ZoomSize(c.imgW, c.imgH, c.zoom);
        EXPECT_EQ(s.w, c.w) << c.imgW << " at " << c.zoom;
        EXPECT_EQ(s.h, c.h) << c.imgH << " at " << c.zoom;
        const DrawnSize e = ScrollExtent(s);
        EXPECT_EQ(e.w, c.extentW) << c.imgW << " at " << c.zoom;
        EXPECT_EQ(e.h, c.extentH) << c.imgH << " at " << c.zoom;
    }
    EXPECT_EQ(ScrollExtent({INT_MIN, -5}).w, 0);
    EXPECT_EQ(ScrollExtent({INT_MIN, -5}).h, 0);
}

TEST(ViewGeometry, ConversionsTruncateTheProductBeforeScrolling) {
    const struct {
        double dX, dY, zoom;
        int sx, sy, x, y;
    } cases[] = {
        {100.9, 50.2, 1.0, 0, 0, 100, 50},
        {0.5, 0.5, 1.0, 1, 1, -1, -1}, // trunc(0.5) - 1, not trunc(0.5 - 1)
        {-0.5, -1.5, 1.0, 0, 0, 0, -1},
        {33.0, 33.0, 1.1, 10, 20, 26, 16}, // trunc(36.3) = 36
        {1e300, -1e300, 1.0, -5, 5, INT_MAX, INT_MIN},
    };
    for (const auto& c : cases) {
        const ClientPoint p = PictureToClient(c.dX, c.dY, c.zoom, c.sx, c.sy);
        EXPECT_EQ(p.x, c.x) << c.dX << " at " << c.zoom << " scrolled " << c.sx;
        EXPECT_EQ(p.y, c.y) << c.dY << " at " << c.zoom << " scrolled " << c.sy;
    }

    double dX = 0;
    double dY = 0;
    ClientToPicture(10, 7, 5, 3, 0.5, dX, dY);
    EXPECT_EQ(dX, 30.0);
    EXPECT_EQ(dY, 20.0);
    ClientToPicture(1, 2, 0, 0, 3.0, dX, dY);
    EXPECT_EQ(dX, 1.0 / 3.0) << "kept unrounded";
    EXPECT_EQ(dY, 2.0 / 3.0);
    ClientToPicture(INT_MAX, INT_MIN, INT_MAX, INT_MIN, 1.0, dX, dY);
    EXPECT_EQ(dX, 2.0 * INT_MAX) << "the sum does not wrap";
    EXPECT_EQ(dY, 2.0 * INT_MIN);
}

TEST(ViewGeometry, HitTestCatchSquareIsStrict) {
    const PointList fractional = ListOf({At(100.9, 50.0)});
    const PointList whole = ListOf({At(100.0, 50.0)});
    const struct {
        const PointList* list;
        int x, y, expected;
    } cases[] = {
        {&fractional, 86, 50, 0},   {&fractional, 115, 50, 0}, {&fractional, 85, 50, -1},
        {&fractional, 116, 50, -1}, {&whole, 85, 50, -1},      {&whole, 115, 50, -1},
        {&whole, 86, 50, 0},        {&whole, 114, 50, 0},      {&whole, 100, 35, -1},
        {&whole, 100, 65, -1},      {&whole, 100, 36, 0},      {&whole, 114, 64, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindPointAt(*c.list, c.x, c.y, 0, 0, 1.0), c.expected) << c.x << "," << c.y;
    }
    EXPECT_EQ(FindPointAt(PointList{}, 0, 0, 0, 0, 1.0), -1);
}

TEST(ViewGeometry, HitTestUsesPicturePixelsAndTheFirstMatch) {
    // A later point that lies closer does not win over an earlier one that also matches.
    const PointList list = ListOf({At(200.0, 100.0), At(210.0, 100.0), At(400.0, 400.0)});
    EXPECT_EQ(FindPointAt(list, 210, 100, 0, 0, 1.0), 0);
    EXPECT_EQ(FindPointAt(list, 220, 100, 0, 0, 1.0), 1);

    // At zoom 0.5 the client position is doubled: ix = trunc((x + sx) * 2).
    EXPECT_EQ(FindPointAt(list, 150, 150, 50, 50, 0.5), 2);
    EXPECT_EQ(FindPointAt(list, 193, 200, 0, 0, 0.5), 2);  // ix 386: 14 away
    EXPECT_EQ(FindPointAt(list, 192, 200, 0, 0, 0.5), -1); // ix 384: 16 away
    // At zoom 2 the square spans 30 screen pixels each side.
    EXPECT_EQ(FindPointAt(list, 829, 800, 0, 0, 2.0), 2);
    EXPECT_EQ(FindPointAt(list, 830, 800, 0, 0, 2.0), -1);

    // A zoom of 0 or a NaN position never matches and never traps.
    EXPECT_EQ(FindPointAt(list, 1, 1, 0, 0, 0.0), -1);
    EXPECT_EQ(FindPointAt(ListOf({At(std::nan(""), 0.0)}), 0, 0, 0, 0, 1.0), -1);
}

TEST(ViewGeometry, ZoomStepsCompoundOnlyInZoomMode) {
    bool zoomMode = false;
    double zoom = 0.37;
    EXPECT_FALSE(ApplyZoomStep(zoomMode, zoom, kZoomInFactor));
    EXPECT_FALSE(ApplyZoomStep(zoomMode, zoom, kZoomOutFactor));
    EXPECT_EQ(zoom, 0.37) << "fit mode ignores zoom steps";

    ToggleFullSize(zoomMode, zoom);
    EXPECT_TRUE(zoomMode);
    EXPECT_EQ(zoom, 1.0);
    EXPECT_TRUE(ApplyZoomStep(zoomMode, zoom, kZoomInFactor));
    EXPECT_TRUE(ApplyZoomStep(zoomMode, zoom, kZoomInFactor));
    EXPECT_NEAR(zoom, 1.21, 1e-12);
    EXPECT_TRUE(ApplyZoomStep(zoomMode, zoom, kZoomOutFactor));
    EXPECT_NEAR(zoom, 1.089, 1e-12);

    ToggleFullSize(zoomMode, zoom);
    EXPECT_FALSE(zoomMode);
    EXPECT_NEAR(zoom, 1.089, 1e-12) << "leaving zoom mode keeps the zoom until the next draw";
    ToggleFullSize(zoomMode, zoom);
    EXPECT_EQ(zoom, 1.0) << "entering zoom mode always starts at 1.0";
    ApplyZoomStep(zoomMode, zoom, kZoomInFactor);
    ApplyZoomStep(zoomMode, zoom, kZoomOutFactor);
    EXPECT_NEAR(zoom, 0.99, 1e-12) << "the factors compound";
}

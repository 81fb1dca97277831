// The point renderer on a QImage surface at pixel ratio 1: exact pixels of squares, crosses,
// text cells and centre pixels; label and since text; flash phases written back.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <gtest/gtest.h>

#include <QPainter>

#include "DrawingSurface.h"

#include "RenderTestSupport.h"
#include "SinceTime.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr QRgb kBlackPx = 0xFF000000;
constexpr QRgb kWhitePx = 0xFFFFFFFF;

const SYSTEMTIME kSince = {2020, 6, 0, 15, 12, 0, 0, 0};

RenderContext At(std::int64_t now) {
    RenderContext ctx;
    ctx.now = now;
    return ctx;
}

// Label in red, since text in blue, both on yellow, in a large bold font whose strokes hold
// fully covered pixels of the text colour.
PointRecord TwoTextPoint(double x, double y) {
    PointRecord rec = PlainPoint(x, y);
    rec.crText = kRed;
    rec.crSinceText = kBlue;
    rec.crBack = kYellow;
    rec.lfText.lfHeight = -30;
    rec.lfText.lfWeight = 700;
    rec.lfSince = rec.lfText;
    rec.stSince = kSince;
    return rec;
}

} // namespace

TEST(PointRenderer, SquareCoversTwiceItsSizeFromTheCorner) {
    // Any non-zero byte shows the square; a negative size covers what its magnitude covers.
    const struct {
        std::uint8_t show;
        int size;
    } cases[] = {{1, 5}, {2, 5}, {255, 5}, {1, -5}};
    for (const auto& c : cases) {
        for (const bool caching : {true, false}) {
            PointRecord rec = PlainPoint(100, 50);
            rec.bShowRect = c.show;
            rec.nRectSize = c.size;
            rec.crRect = kRed;
            rec.nCrossSize = 0;
            const Canvas canvas = DrawOne(rec, "", At(0), caching);
            const QRect square(95, 45, 10, 10);
            const int s = std::max(0, c.size);
            const QRect cell(QPoint(100 + s, 50 + s), CellExtent(rec.lfText, "  "));
            for (int y = 35; y < 65; ++y) {
                for (int x = 85; x < 115; ++x) {
                    const QRgb expected = x == 100 && y == 50     ? kBlackPx
                                          : cell.contains(x, y)   ? Rgb(kYellow)
                                          : square.contains(x, y) ? Rgb(kRed)
                                                                  : Canvas::kFill;
                    ASSERT_EQ(canvas.at(x, y), expected)
                        << x << "," << y << " show " << int(c.show) << " size " << c.size
                        << (caching ? " cached" : " fresh");
                }
            }
        }
    }
}

TEST(PointRenderer, CrossArmsLeaveOutTheirEndPixels) {
    // Along the row and the column through the centre: black arms reach size - 1 from the
    // centre, white arms (size / 2) - 1; the centre ends black.
    const struct {
        int size;
        int black;
        int white;
    } cases[] = {{7, 6, 2}, {8, 7, 3}, {-7, 6, 2}, {1, 0, -1}, {0, -1, -1}, {3, 2, 0}};
    for (const auto& c : cases) {
        for (const bool caching : {true, false}) {
            PointRecord rec = PlainPoint(100, 50);
            rec.bShowCross = 1;
            rec.nCrossSize = c.size;
            rec.nRectSize = 10; // no square; keeps the text cell clear of the arms
            const Canvas canvas = DrawOne(rec, "", At(0), caching);
            for (int d = -10; d <= 10; ++d) {
                const int dist = std::abs(d);
                const QRgb expected = d == 0            ? kBlackPx
                                      : dist <= c.white ? kWhitePx
                                      : dist <= c.black ? kBlackPx
                                                        : Canvas::kFill;
                EXPECT_EQ(canvas.at(100 + d, 50), expected) << d << " size " << c.size;
                EXPECT_EQ(canvas.at(100, 50 + d), expected) << d << " size " << c.size;
            }
            EXPECT_EQ(canvas.at(99, 49), Canvas::kFill);
            EXPECT_EQ(canvas.at(101, 51), Canvas::kFill);
        }
    }
}

TEST(PointRenderer, TextCellSitsAtTheLargerOfTheTwoSizes) {
    const struct {
        int cross;
        int rect;
        const char* label;
    } cases[] = {{4, 9, "Hi"}, {9, 4, "Hi"}, {12, 0, ""}, {0, 3, "Wide label"}};
    for (const auto& c : cases) {
        PointRecord rec = PlainPoint(60, 40);
        rec.nCrossSize = c.cross;
        rec.nRectSize = c.rect;
        Canvas canvas = DrawOne(rec, c.label, At(0));
        ASSERT_EQ(canvas.at(60, 40), kBlackPx);
        canvas.image.setPixel(60, 40, Canvas::kFill);
        const int s = std::max(c.cross, c.rect);
        const QRect cell(QPoint(60 + s, 40 + s),
                         CellExtent(rec.lfText, std::string(" ") + c.label + " "));
        EXPECT_EQ(canvas.changedArea(), cell) << c.cross << "/" << c.rect << " '" << c.label << "'";
        EXPECT_EQ(canvas.at(cell.left(), cell.top()), Rgb(kYellow));
        EXPECT_EQ(canvas.at(cell.right(), cell.bottom()), Rgb(kYellow));
    }
}

TEST(PointRenderer, SinceTextAndFlashingStartOnlyAfterTheSinceMoment) {
    const std::int64_t since = SinceInstant(kSince);
    const std::int64_t realNow = std::time(nullptr);
    const SYSTEMTIME year1850 = {1850, 1, 0, 1, 0, 0, 0, 0};
    const struct {
        const char* what;
        std::uint8_t sinceDate;
        SYSTEMTIME date;
        std::int64_t now;
        bool showTexts;
        bool passed;
    } cases[] = {
        {"equal second", 1, kSince, since, true, false},
        {"one second later", 1, kSince, since + 1, true, true},
        {"an hour before", 1, kSince, since - 3600, true, false},
        {"year 1850", 1, year1850, realNow, true, true},
        {"year 0", 1, SYSTEMTIME{}, realNow, true, true},
        {"since date off", 0, kSince, since + 1, true, false},
        {"texts hidden", 1, kSince, since + 1, false, false},
    };
    for (const auto& c : cases) {
        PointRecord rec = TwoTextPoint(20, 20);
        rec.bSinceDate = c.sinceDate;
        rec.stSince = c.date;
        rec.bShowCross = 1;
        rec.bFlashRect = 1;
        rec.bFlashText = 1;
        rec.bRectPhase = 1; // no square: this phase must stay
        rec.bTextPhase = 0; // the since text shows on this tick, then the phase moves to 1
        PointList list;
        list.AddPoint(rec, "EEE", "TTT", "memo");
        PointRenderer renderer;
        Canvas canvas;
        RenderContext ctx = At(c.now);
        ctx.showTexts = c.showTexts;
        canvas.draw(renderer, list, ctx);
        // The square is off: its phase never moves. The text's moves only once passed.
        EXPECT_EQ(list.point(0).bRectPhase, 1) << c.what;
        EXPECT_EQ(list.point(0).bTextPhase, c.passed ? 1 : 0) << c.what;
        if (!c.showTexts) {
            EXPECT_TRUE(canvas.changedArea().isEmpty()) << "nothing at all is drawn";
            continue;
        }
        canvas.image.setPixel(20, 20, Canvas::kFill);
        const QRect cell(QPoint(28, 28), CellExtent(rec.lfText, c.passed ? " TTT " : " EEE "));
        EXPECT_TRUE(canvas.has(cell, Rgb(kBlue)) == c.passed) << c.what;
        EXPECT_TRUE(canvas.has(cell, Rgb(kRed)) != c.passed) << c.what;
    }
}

TEST(PointRenderer, FlashCyclesAlternateAndWriteTheirPhasesBack) {
    PointList list;
    PointRecord rec = TwoTextPoint(40, 40);
    rec.bShowRect = 1;
    rec.nRectSize = 6;
    rec.crRect = kRed;
    rec.bSinceDate = 1;
    rec.bFlashRect = 1;
    rec.bFlashText = 1;
    rec.bRectPhase = 0;
    rec.bTextPhase = 1;
    list.AddPoint(rec, "EEE", "TTT", "");
    PointRenderer renderer;
    Canvas canvas;
    const RenderContext ctx = At(SinceInstant(kSince) + 1);
    const QRect cell(QPoint(48, 48), CellExtent(rec.lfSince, " TTT ")); // s = nCrossSize 8
    // Square: white then crRect; since text: hidden in crBack then shown; each tick flips both.
    const struct {
        QRgb square;
        bool textShown;
        std::uint8_t rectPhase;
        std::uint8_t textPhase;
    } ticks[] = {{kWhitePx, false, 1, 0},
                 {Rgb(kRed), true, 0, 1},
                 {kWhitePx, false, 1, 0},
                 {Rgb(kRed), true, 0, 1}};
    int n = 0;
    for (const auto& t : ticks) {
        canvas.draw(renderer, list, ctx);
        ++n;
        EXPECT_EQ(canvas.at(36, 36), t.square) << "tick " << n;
        EXPECT_EQ(canvas.has(cell, Rgb(kBlue)), t.textShown) << "tick " << n;
        EXPECT_TRUE(canvas.has(cell, Rgb(kYellow))) << "the box shows in both phases";
        EXPECT_EQ(list.point(0).bRectPhase, t.rectPhase) << "tick " << n;
        EXPECT_EQ(list.point(0).bTextPhase, t.textPhase) << "tick " << n;
    }
}

TEST(PointRenderer, PositionsTruncateAndPrintingIgnoresTheScroll) {
    const struct {
        bool printing;
        double zoom;
        int x;
        int y;
    } cases[] = {
        {false, 1.0, 70, 40}, {true, 1.0, 100, 60}, {true, 0.5, 50, 30}, {false, 0.5, 20, 10}};
    for (const auto& c : cases) {
        PointRecord rec = PlainPoint(100.7, 60.9);
        rec.nCrossSize = 20; // the text cell well away from the centre
        RenderContext ctx = At(0);
        ctx.zoom = c.zoom;
        ctx.scrollX = 30;
        ctx.scrollY = 20;
        ctx.printing = c.printing;
        const Canvas canvas = DrawOne(rec, "", ctx);
        EXPECT_EQ(canvas.at(c.x, c.y), kBlackPx) << c.printing << " at " << c.zoom;
        EXPECT_EQ(canvas.at(c.x + 20, c.y + 20), Rgb(kYellow)) << c.printing << " at " << c.zoom;
    }
}

TEST(PointRenderer, TextEndsAtItsFirstNulAndHugeValuesStayBounded) {
    const PointRecord rec = TwoTextPoint(10, 10);
    EXPECT_EQ(DrawOne(rec, std::string("AB\0CD", 5), At(0)).image, DrawOne(rec, "AB", At(0)).image);

    // A square of INT_MAX covers everything; a point at the end of the int range draws nothing
    // on the canvas.
    for (const bool caching : {true, false}) {
        PointList list;
        PointRecord huge = PlainPoint(50, 50);
        huge.bShowRect = 1;
        huge.nRectSize = INT_MAX;
        huge.crRect = kRed;
        list.AddPoint(huge, "never on the canvas", "", "");
        PointRecord far = PlainPoint(1e300, -1e300);
        far.bShowRect = 1;
        far.nRectSize = INT_MAX;
        far.bShowCross = 1;
        far.nCrossSize = INT_MIN;
        list.AddPoint(far, "far", "", "");
        PointRenderer renderer;
        renderer.setCaching(caching);
        Canvas canvas;
        canvas.draw(renderer, list, At(0));
        canvas.image.setPixel(50, 50, Rgb(kRed));
        QImage red(canvas.image.size(), canvas.image.format());
        red.fill(Rgb(kRed));
        EXPECT_EQ(canvas.image, red) << (caching ? "cached" : "fresh");
    }
}

TEST(PointRenderer, HostileFontSizesDrawBoundedAndKeepTheirBytes) {
    // Sizes, widths and angles no real label has: the fast and the fresh drawing agree, no cell
    // image grows past a few tens of megabytes, and the stored description stays as it was.
    const struct {
        int height;
        int width;
        int escapement;
    } rows[] = {{INT_MAX, INT_MAX, 0},   {INT_MIN, INT_MIN, 0}, {INT_MAX, 0, 0},
                {-2000, 0, 0},           {12, 0, INT_MIN},      {12, 0, INT_MAX},
                {INT_MIN, INT_MAX, 900}, {-900, 0, 0}};
    for (const auto& row : rows) {
        PointRecord rec = TwoTextPoint(20, 20);
        rec.lfText.lfHeight = row.height;
        rec.lfText.lfWidth = row.width;
        rec.lfText.lfEscapement = row.escapement;
        const LOGFONTA stored = rec.lfText;
        PointList list;
        list.AddPoint(rec, "Wg", "", "");
        PointRenderer fast;
        PointRenderer fresh;
        fresh.setCaching(false);
        Canvas fastCanvas;
        Canvas freshCanvas;
        fastCanvas.draw(fast, list, At(0));
        freshCanvas.draw(fresh, list, At(0));
        const auto what = ::testing::Message() << row.height << " x " << row.width << " at "
                                               << row.escapement;
        EXPECT_EQ(fastCanvas.image, freshCanvas.image) << what;
        EXPECT_LE(fast.cachedBytes(), std::size_t{64} << 20) << what;
        EXPECT_EQ(std::memcmp(&list.point(0).lfText, &stored, sizeof stored), 0) << what;
        const TextCellCache::Cell cell = TextCellCache::Render(
            {QImage::Format_RGB32, 3780, 3780, {}, 2}, rec.lfText, kRed, kYellow, " Wg ");
        EXPECT_LE(cell.image.sizeInBytes(), qsizetype{64} << 20) << what;
    }
}

TEST(PointRenderer, APrintedCentreMarkIsOneDeviceDot) {
    // 96 display pixels per inch on a 600 dpi page: a display pixel spans 6.25 dots, the
    // centre mark still one.
    PointRecord rec = PlainPoint(40, 30);
    rec.bShowRect = 0;
    rec.nRectSize = 20; // the text cell well away from the centre
    PointList list;
    list.AddPoint(rec, "", "", "");
    QImage page(600, 500, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        DrawingSurface surface(painter);
        surface.setPrinting(true);
        surface.setPageMapping(96, 96, 600, 600);
        PointRenderer renderer;
        RenderContext ctx = At(0);
        ctx.printing = true;
        renderer.DrawPoints(surface, list, ctx);
    }
    std::vector<QPoint> black;
    for (int y = 150; y < 220; ++y) {
        for (int x = 200; x < 290; ++x) {
            if (page.pixel(x, y) == kBlackPx) {
                black.emplace_back(x, y);
            }
        }
    }
    ASSERT_EQ(black.size(), 1u);
    EXPECT_EQ(black[0], QPoint(253, 190)); // the middle of display pixel (40, 30)
}

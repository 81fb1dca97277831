// The point renderer on a QImage surface at pixel ratio 1: exact pixels of squares, crosses,
// text cells and centre pixels; label and since text; flash phases written back.
#include <algorithm>
#include <climits>
#include <ctime>
#include <limits>

#include <gtest/gtest.h>

#include "RenderTestSupport.h"
#include "SinceTime.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr QRgb kBlackPx = 0xFF000000;
constexpr QRgb kWhitePx = 0xFFFFFFFF;

SYSTEMTIME Date(int year, int month, int day, int hour = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<std::uint16_t>(year);
    st.wMonth = static_cast<std::uint16_t>(month);
    st.wDay = static_cast<std::uint16_t>(day);
    st.wHour = static_cast<std::uint16_t>(hour);
    return st;
}

const SYSTEMTIME kSince = Date(2020, 6, 15, 12);

RenderContext At(std::int64_t now) {
    RenderContext ctx;
    ctx.now = now;
    return ctx;
}

// A large bold font, so that glyph strokes hold fully covered pixels of the text colour.
LOGFONTA BoldFont() {
    LOGFONTA lf = FactoryDefaults().lfText;
    lf.lfHeight = -30;
    lf.lfWeight = 700;
    return lf;
}

// A point whose label draws in red and whose since text draws in blue, both on yellow.
PointRecord TwoTextPoint(double x, double y) {
    PointRecord rec = PlainPoint(x, y);
    rec.crText = kRed;
    rec.crSinceText = kBlue;
    rec.crBack = kYellow;
    rec.lfText = BoldFont();
    rec.lfSince = BoldFont();
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
            PointList list;
            PointRecord rec = PlainPoint(100, 50);
            rec.bShowRect = c.show;
            rec.nRectSize = c.size;
            rec.crRect = kRed;
            rec.nCrossSize = 0;
            list.AddPoint(rec, "", "", "");
            PointRenderer renderer;
            renderer.setCaching(caching);
            Canvas canvas;
            canvas.draw(renderer, list, At(0));
            const QRect square(95, 45, 10, 10);
            const int s = std::max(0, c.size);
            const QRect cell(QPoint(100 + s, 50 + s), CellExtent(rec.lfText, "  "));
            for (int y = 35; y < 65; ++y) {
                for (int x = 85; x < 115; ++x) {
                    QRgb expected = Canvas::kFill;
                    if (x == 100 && y == 50) {
                        expected = kBlackPx;
                    } else if (cell.contains(x, y)) {
                        expected = Rgb(kYellow);
                    } else if (square.contains(x, y)) {
                        expected = Rgb(kRed);
                    }
                    ASSERT_EQ(canvas.at(x, y), expected)
                        << x << "," << y << " show " << int(c.show) << " size " << c.size
                        << (caching ? " cached" : " fresh");
                }
            }
        }
    }
}

TEST(PointRenderer, CrossArmsLeaveOutTheirEndPixels) {
    // Pixels of the row through the centre: black arms reach size - 1 from the centre, white
    // arms (size / 2) - 1; the centre ends black.
    const struct {
        int size;
        int black;
        int white;
    } cases[] = {{7, 6, 2}, {8, 7, 3}, {-7, 6, 2}, {1, 0, -1}, {0, -1, -1}, {3, 2, 0}};
    for (const auto& c : cases) {
        for (const bool caching : {true, false}) {
            PointList list;
            PointRecord rec = PlainPoint(100, 50);
            rec.bShowCross = 1;
            rec.nCrossSize = c.size;
            rec.nRectSize = 10; // no square; keeps the text cell clear of the arms
            list.AddPoint(rec, "", "", "");
            PointRenderer renderer;
            renderer.setCaching(caching);
            Canvas canvas;
            canvas.draw(renderer, list, At(0));
            for (int d = -10; d <= 10; ++d) {
                const int dist = d < 0 ? -d : d;
                QRgb expected = Canvas::kFill;
                if (d == 0 || dist <= c.black) {
                    expected = kBlackPx;
                }
                if (d != 0 && dist <= c.white) {
                    expected = kWhitePx;
                }
                EXPECT_EQ(canvas.at(100 + d, 50), expected)
                    << "row offset " << d << " size " << c.size << (caching ? " cached" : "");
                EXPECT_EQ(canvas.at(100, 50 + d), expected)
                    << "column offset " << d << " size " << c.size << (caching ? " cached" : "");
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
        PointList list;
        PointRecord rec = PlainPoint(60, 40);
        rec.nCrossSize = c.cross;
        rec.nRectSize = c.rect;
        list.AddPoint(rec, c.label, "", "");
        PointRenderer renderer;
        Canvas canvas;
        canvas.draw(renderer, list, At(0));
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

TEST(PointRenderer, SinceTextReplacesTheLabelOnlyAfterTheSinceMoment) {
    const std::int64_t since = SinceInstant(kSince);
    const std::int64_t realNow = std::time(nullptr);
    const struct {
        const char* what;
        std::uint8_t sinceDate;
        SYSTEMTIME date;
        std::int64_t now;
        bool showsSince;
    } cases[] = {
        {"equal second", 1, kSince, since, false},
        {"one second later", 1, kSince, since + 1, true},
        {"before", 1, kSince, since - 3600, false},
        {"year 1850", 1, Date(1850, 1, 1), realNow, true},
        {"year 0", 1, SYSTEMTIME{}, realNow, true},
        {"since date off", 0, kSince, since + 1, false},
    };
    for (const auto& c : cases) {
        PointList list;
        PointRecord rec = TwoTextPoint(20, 20);
        rec.bSinceDate = c.sinceDate;
        rec.stSince = c.date;
        list.AddPoint(rec, "EEE", "TTT", "memo");
        PointRenderer renderer;
        Canvas canvas;
        canvas.draw(renderer, list, At(c.now));
        canvas.image.setPixel(20, 20, Canvas::kFill); // the centre pixel
        const QRect area = canvas.changedArea();
        EXPECT_EQ(canvas.has(area, Rgb(kBlue)), c.showsSince) << c.what;
        EXPECT_EQ(canvas.has(area, Rgb(kRed)), !c.showsSince) << c.what;
        EXPECT_EQ(area.size(), CellExtent(rec.lfText, c.showsSince ? " TTT " : " EEE ")) << c.what;
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

TEST(PointRenderer, PhasesStayWhenFlashingDoesNotApply) {
    const std::int64_t passed = SinceInstant(kSince) + 1;
    const struct {
        const char* what;
        std::uint8_t sinceDate;
        std::uint8_t showRect;
        bool showTexts;
        std::int64_t now;
    } cases[] = {
        {"since date off", 0, 1, true, passed},
        {"not yet passed", 1, 1, true, passed - 2},
        {"texts hidden", 1, 1, false, passed},
    };
    for (const auto& c : cases) {
        PointList list;
        PointRecord rec = TwoTextPoint(40, 40);
        rec.bSinceDate = c.sinceDate;
        rec.bShowRect = c.showRect;
        rec.nRectSize = 6;
        rec.bShowCross = 1;
        rec.bFlashRect = 1;
        rec.bFlashText = 1;
        rec.bRectPhase = 1;
        rec.bTextPhase = 0;
        list.AddPoint(rec, "EEE", "TTT", "");
        PointRenderer renderer;
        Canvas canvas;
        RenderContext ctx = At(c.now);
        ctx.showTexts = c.showTexts;
        for (int tick = 0; tick < 3; ++tick) {
            canvas.draw(renderer, list, ctx);
        }
        EXPECT_EQ(list.point(0).bRectPhase, 1) << c.what;
        EXPECT_EQ(list.point(0).bTextPhase, 0) << c.what;
        EXPECT_EQ(canvas.changedArea().isEmpty(), !c.showTexts) << c.what;
    }

    // Without a square the square's phase stays while the text's advances.
    PointList list;
    PointRecord rec = TwoTextPoint(40, 40);
    rec.bSinceDate = 1;
    rec.bFlashRect = 1;
    rec.bFlashText = 1;
    list.AddPoint(rec, "EEE", "TTT", "");
    PointRenderer renderer;
    Canvas canvas;
    canvas.draw(renderer, list, At(passed));
    EXPECT_EQ(list.point(0).bRectPhase, 0);
    EXPECT_EQ(list.point(0).bTextPhase, 1);
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
        PointList list;
        PointRecord rec = PlainPoint(100.7, 60.9);
        rec.nCrossSize = 20; // the text cell well away from the centre
        list.AddPoint(rec, "", "", "");
        PointRenderer renderer;
        Canvas canvas;
        RenderContext ctx = At(0);
        ctx.zoom = c.zoom;
        ctx.scrollX = 30;
        ctx.scrollY = 20;
        ctx.printing = c.printing;
        canvas.draw(renderer, list, ctx);
        EXPECT_EQ(canvas.at(c.x, c.y), kBlackPx) << c.printing << " at " << c.zoom;
        EXPECT_EQ(canvas.at(c.x + 20, c.y + 20), Rgb(kYellow)) << c.printing << " at " << c.zoom;
    }
}

TEST(PointRenderer, TextEndsAtItsFirstNulAndHugeValuesStayBounded) {
    Canvas withNul;
    Canvas plain;
    for (Canvas* canvas : {&withNul, &plain}) {
        PointList list;
        list.AddPoint(TwoTextPoint(10, 10),
                      canvas == &withNul ? std::string("AB\0CD", 5) : std::string("AB"), "", "");
        PointRenderer renderer;
        canvas->draw(renderer, list, At(0));
    }
    EXPECT_EQ(withNul.image, plain.image);

    // A square of INT_MAX covers everything; a point at the end of the int range draws nothing
    // on the canvas; NaN lands at 0.
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

// Pixel-exact behaviour of the drawing surface on a QImage at device pixel ratio 1.
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <optional>
#include <string>

#include "DrawingSurface.h"
#include "GdiConvert.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);
const QRgb kPaper = qRgb(0, 128, 0);

QImage Paper(int w = 200, int h = 200) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kPaper);
    return image;
}

QRgb Rgb(COLORREF c) {
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

// The set of pixels of one colour, as a count and a bounding box.
struct Coverage {
    int count = 0;
    QRect bounds;
};

Coverage CoverageOf(const QImage& image, QRgb colour) {
    Coverage c;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour) {
                ++c.count;
                c.bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return c;
}

LOGFONTA Font(int height, const char* face = "Arial") {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = 400;
    std::strncpy(lf.lfFaceName, face, sizeof lf.lfFaceName - 1);
    return lf;
}

TEST(DrawingSurface, FillSolidRectCoversExactlyItsExtent) {
    struct Case {
        int x, y, cx, cy;
        int count;
        QRect bounds;
    };
    const Case cases[] = {
        {95, 45, 10, 10, 100, QRect(95, 45, 10, 10)}, // a square of half-side 5 at (100, 50)
        {10, 20, 1, 1, 1, QRect(10, 20, 1, 1)},
        {50, 50, -4, 3, 12, QRect(46, 50, 4, 3)}, // negative extent fills towards the origin
        {30, 30, 0, 9, 0, QRect()},
        {-5, -5, 10, 10, 25, QRect(0, 0, 5, 5)},
        {195, 190, 100, 100, 50, QRect(195, 190, 5, 10)},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, QRect()}, // ends at -2 on both axes
        {-1'000'000'000, 100, INT_MAX, 1, 200, QRect(0, 100, 200, 1)},
    };
    for (const Case& c : cases) {
        QImage image = Paper();
        {
            QPainter painter(&image);
            DrawingSurface surface(painter);
            surface.fillSolidRect(c.x, c.y, c.cx, c.cy, kRed);
        }
        const Coverage red = CoverageOf(image, Rgb(kRed));
        EXPECT_EQ(red.count, c.count) << c.x << "," << c.y << " " << c.cx << "x" << c.cy;
        EXPECT_EQ(red.bounds, c.bounds) << c.x << "," << c.y << " " << c.cx << "x" << c.cy;
    }
}

TEST(DrawingSurface, LinesLeaveOutTheirEndPointInEveryDirection) {
    struct Case {
        int toX, toY;
        QRect covered;
    };
    const Case cases[] = {
        {107, 100, QRect(100, 100, 7, 1)}, // right: 100..106
        {93, 100, QRect(94, 100, 7, 1)},   // left: 94..100
        {100, 107, QRect(100, 100, 1, 7)}, // down
        {100, 93, QRect(100, 94, 1, 7)},   // up
        {100, 100, QRect()},               // no length, nothing drawn
    };
    for (const Case& c : cases) {
        QImage image = Paper();
        {
            QPainter painter(&image);
            DrawingSurface surface(painter);
            surface.selectPen(kBlack);
            surface.moveTo(100, 100);
            surface.lineTo(c.toX, c.toY);
        }
        const Coverage black = CoverageOf(image, Rgb(kBlack));
        EXPECT_EQ(black.bounds, c.covered) << c.toX << "," << c.toY;
        EXPECT_EQ(black.count, c.covered.width() * c.covered.height()) << c.toX << "," << c.toY;
    }

    // A slanted line: one pixel per column, from its start up to the column before its end.
    QImage image = Paper();
    {
        QPainter painter(&image);
        DrawingSurface surface(painter);
        surface.selectPen(kRed);
        surface.moveTo(10, 10);
        surface.lineTo(20, 15);
    }
    const Coverage red = CoverageOf(image, Rgb(kRed));
    EXPECT_EQ(red.count, 10);
    EXPECT_EQ(red.bounds, QRect(10, 10, 10, 5));
    EXPECT_EQ(image.pixel(10, 10), Rgb(kRed));
    EXPECT_NE(image.pixel(20, 15), Rgb(kRed));
}

TEST(DrawingSurface, FarAwayCoordinatesAreCutOffNotOverflowed) {
    QImage image = Paper(120, 80);
    {
        QPainter painter(&image);
        DrawingSurface surface(painter);
        surface.selectPen(kRed);
        surface.moveTo(INT_MIN, 40);
        surface.lineTo(INT_MAX, 40); // the whole row
        surface.selectPen(kBlack);
        surface.moveTo(-1'000'000'000, -1'000'000'000);
        surface.lineTo(1'000'000'000, 1'000'000'000); // the diagonal through the image
        surface.setPixel(INT_MAX, INT_MIN, kYellow);
        surface.setPixel(INT_MIN, 5, kYellow);
    }
    EXPECT_EQ(CoverageOf(image, Rgb(kRed)).count, 119); // the diagonal crosses it at (40, 40)
    const Coverage black = CoverageOf(image, Rgb(kBlack));
    EXPECT_EQ(black.count, 80);
    for (int i = 0; i < 80; ++i) {
        EXPECT_EQ(image.pixel(i, i), Rgb(kBlack)) << i;
    }
    EXPECT_EQ(CoverageOf(image, Rgb(kYellow)).count, 0);
}

TEST(DrawingSurface, TextCellHasItsTopLeftAtThePointAndIsFilledOpaque) {
    QImage image = Paper();
    QSize extent;
    int ascentPlusDescent = 0;
    {
        QPainter painter(&image);
        DrawingSurface surface(painter);
        const LOGFONTA lf = Font(-14);
        surface.selectFont(lf);
        const QFontMetrics metrics(FontFromLogFont(lf));
        ascentPlusDescent = metrics.ascent() + metrics.descent();
        surface.setBkColor(kYellow);
        surface.setTextColor(kBlack);
        extent = surface.textExtent(" Hg ");
        EXPECT_EQ(extent.width(), metrics.horizontalAdvance(QStringLiteral(" Hg ")));
        surface.textOut(30, 40, " Hg ");
    }
    EXPECT_EQ(extent.height(), ascentPlusDescent);
    const QRect cell(QPoint(30, 40), extent);
    // Outside the cell nothing changed; inside only the background and glyph pixels.
    int glyph = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (!cell.contains(x, y)) {
                ASSERT_EQ(p, kPaper) << x << "," << y;
            } else if (p != Rgb(kYellow)) {
                ++glyph;
                EXPECT_EQ(qBlue(p), 0) << "only yellow-to-black shades in the cell";
            }
        }
    }
    EXPECT_GT(glyph, 20);
    // The padding spaces keep the cell's left and right columns pure background.
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        EXPECT_EQ(image.pixel(cell.left(), y), Rgb(kYellow));
        EXPECT_EQ(image.pixel(cell.right(), y), Rgb(kYellow));
    }

    // Two spaces make an empty box of background only.
    QImage box = Paper();
    {
        QPainter painter(&box);
        DrawingSurface surface(painter);
        surface.selectFont(Font(20));
        surface.setBkColor(kRed);
        surface.textOut(-3, 7, "  ");
        extent = surface.textExtent("  ");
    }
    const Coverage red = CoverageOf(box, Rgb(kRed));
    EXPECT_EQ(red.bounds, QRect(QPoint(-3, 7), extent) & box.rect());
    EXPECT_EQ(red.count, red.bounds.width() * red.bounds.height());
}

TEST(DrawingSurface, TextSaidToStayInItsCellPaintsNothingOutsideIt) {
    LOGFONTA italic = Font(-20, "DejaVu Serif");
    italic.lfItalic = 1;
    LOGFONTA underlined = Font(-9, "Liberation Mono");
    underlined.lfWeight = 700;
    underlined.lfUnderline = 1;
    LOGFONTA turned = Font(-14);
    turned.lfEscapement = 450;
    int inside = 0;
    int outside = 0;
    for (const LOGFONTA& lf : {Font(-13), Font(17), italic, underlined, turned}) {
        for (const char* text : {" P123 ", " Hamburg ", "fjord", "\xC9t\xE9", "  "}) {
            QImage image = Paper();
            QPainter painter(&image);
            DrawingSurface surface(painter);
            surface.selectFont(lf);
            surface.setBkColor(kYellow);
            const std::optional<QSize> extent = surface.textExtentInside(text);
            if (!extent) {
                ++outside;
                continue;
            }
            ++inside;
            EXPECT_EQ(*extent, surface.textExtent(text));
            surface.textOut(60, 60, text);
            painter.end();
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (!QRect(QPoint(60, 60), *extent).contains(x, y)) {
                        ASSERT_EQ(image.pixel(x, y), kPaper)
                            << lf.lfFaceName << " '" << text << "' at " << x << "," << y;
                    }
                }
            }
        }
    }
    EXPECT_GT(inside, 0);
    EXPECT_GT(outside, 0) << "turned text never stays in its cell";
}

TEST(DrawingSurface, EscapementTurnsTheTextAndItsCellAboutTheCorner) {
    // A quarter turn counter-clockwise: the cell stands upwards from (x, y).
    QImage image = Paper();
    QSize extent;
    {
        QPainter painter(&image);
        DrawingSurface surface(painter);
        LOGFONTA lf = Font(-14);
        lf.lfEscapement = 900;
        surface.selectFont(lf);
        surface.setBkColor(kYellow);
        extent = surface.textExtent("    ");
        surface.textOut(50, 150, "    ");
    }
    const Coverage yellow = CoverageOf(image, Rgb(kYellow));
    EXPECT_EQ(yellow.bounds, QRect(50, 150 - extent.width(), extent.height(), extent.width()));
    EXPECT_EQ(yellow.count, extent.width() * extent.height());
}

TEST(DrawingSurface, PageMappingScalesFillsLinesPixelsAndText) {
    QImage image = Paper(400, 400);
    {
        QPainter painter(&image);
        DrawingSurface surface(painter);
        surface.setPageMapping(96, 96, 192, 288); // x2 across, x3 down
        surface.fillSolidRect(10, 10, 5, 5, kRed);
        surface.selectPen(kBlack);
        surface.moveTo(0, 50);
        surface.lineTo(10, 50);
        surface.setPixel(100, 100, kYellow);
    }
    const Coverage red = CoverageOf(image, Rgb(kRed));
    EXPECT_EQ(red.bounds, QRect(20, 30, 10, 15));
    EXPECT_EQ(red.count, 150);
    const Coverage black = CoverageOf(image, Rgb(kBlack));
    EXPECT_EQ(black.bounds, QRect(0, 150, 20, 3)); // a 1-unit pen is a 2 x 3 band
    EXPECT_EQ(black.count, 60);
    EXPECT_EQ(CoverageOf(image, Rgb(kYellow)).bounds, QRect(200, 300, 2, 3));

    // Text scales with the mapping: its cell is the logical cell times the scale.
    QImage page = Paper(400, 400);
    QSize logical;
    {
        QPainter painter(&page);
        DrawingSurface surface(painter);
        surface.setPageMapping(100, 100, 300, 300);
        surface.selectFont(Font(-12));
        surface.setBkColor(kYellow);
        logical = surface.textExtent("  ");
        surface.textOut(10, 10, "  ");
    }
    EXPECT_EQ(CoverageOf(page, Rgb(kYellow)).bounds,
              QRect(30, 30, logical.width() * 3, logical.height() * 3));

    // On a high-density image logical units cover device-pixel blocks.
    QImage dense = Paper(100, 100);
    dense.setDevicePixelRatio(2.0);
    {
        QPainter painter(&dense);
        DrawingSurface surface(painter);
        surface.fillSolidRect(1, 1, 2, 2, kRed);
    }
    EXPECT_EQ(CoverageOf(dense, Rgb(kRed)).bounds, QRect(2, 2, 4, 4));
}

} // namespace

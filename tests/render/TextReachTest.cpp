// Every pixel a text paints lies inside the bounds the renderer relies on: the cell grown by
// TextOverhang (the reach a fresh text blends into), TextBounds' cheap reach (what a full drawing
// may pass over), the culling of texts outside the view (TextMayReach), and, for texts the tick
// repaints as their cell alone, the cell itself. Over faces, sizes, turns and italics, with
// glyphs that overhang (italic f and j, slashes) at the cell's edges.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QPainter>

#include "DrawingSurface.h"
#include "PointDrawing.h"
#include "TextBounds.h"
#include "TextCellCache.h"

namespace {

constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kBack = RGB(255, 255, 0);

LOGFONTA Font(const char* face, int height, bool italic, int turn) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfEscapement = turn;
    lf.lfOrientation = turn;
    lf.lfWeight = 400;
    lf.lfItalic = italic ? 1 : 0;
    std::strncpy(lf.lfFaceName, face, sizeof lf.lfFaceName - 1);
    return lf;
}

// The pixels textOut of `padded` at `corner` paints on an image of `size`: those that differ
// from the background in either of two paintings, one over black and one over white.
std::vector<QPoint> PaintedPixels(QSize size, QPoint corner, const LOGFONTA& lf,
                                  const std::string& padded) {
    QImage images[2] = {QImage(size, QImage::Format_RGB32), QImage(size, QImage::Format_RGB32)};
    const QRgb grounds[2] = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    for (int k = 0; k < 2; ++k) {
        images[k].fill(grounds[k]);
        QPainter painter(&images[k]);
        DrawingSurface surface(painter);
        surface.selectFont(lf);
        surface.setTextColor(kText);
        surface.setBkColor(kBack);
        surface.textOut(corner.x(), corner.y(), padded);
    }
    std::vector<QPoint> painted;
    for (int y = 0; y < size.height(); ++y) {
        const auto* onBlack = reinterpret_cast<const QRgb*>(images[0].constScanLine(y));
        const auto* onWhite = reinterpret_cast<const QRgb*>(images[1].constScanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            if (onBlack[x] != grounds[0] || onWhite[x] != grounds[1]) {
                painted.emplace_back(x, y);
            }
        }
    }
    return painted;
}

struct Measured {
    QSize cell;
    std::optional<QRect> reach; // TextBounds' bound, relative to the corner
    std::optional<QSize> inside; // textExtentInside
};

Measured Measure(const LOGFONTA& lf, const std::string& padded) {
    QImage probe(1, 1, QImage::Format_RGB32);
    QPainter painter(&probe);
    DrawingSurface surface(painter);
    TextBounds bounds;
    Measured m;
    m.reach = bounds.reach(surface, lf, padded);
    surface.selectFont(lf);
    m.cell = surface.textExtent(padded);
    m.inside = surface.textExtentInside(padded);
    return m;
}

TEST(TextReach, EveryPaintedPixelLiesInsideTheBoundsTheRendererUses) {
    const char* const faces[] = {"DejaVu Sans", "DejaVu Serif", "Liberation Serif",
                                 "Liberation Mono"};
    // Character heights (negative), cell heights (positive) and the default size.
    const int heights[] = {-7, -13, 18, -47, -110, 0};
    const int turns[] = {0, 900, 2700, 450, 3150};
    const std::string padded = " fWj/Qf ";
    int cases = 0;
    int overhanging = 0;
    for (const char* face : faces) {
        for (const int height : heights) {
            for (const bool italic : {false, true}) {
                for (const int turn : turns) {
                    const LOGFONTA lf = Font(face, height, italic, turn);
                    const Measured m = Measure(lf, padded);
                    ASSERT_FALSE(m.cell.isEmpty());
                    ASSERT_TRUE(m.reach.has_value()); // printable ASCII is always bounded
                    const int overhang = static_cast<int>(TextOverhang(m.cell.height()));
                    const QRect grown = DrawingSurface::turnedBounds(
                        QRect(QPoint(0, 0), m.cell).adjusted(-overhang, -overhang, overhang,
                                                             overhang),
                        turn);
                    // Room beyond every bound, so a pixel outside them would be seen.
                    const QRect around = grown.united(*m.reach);
                    const int slack = 2 * m.cell.height();
                    const QPoint corner = -around.topLeft() + QPoint(slack, slack);
                    const QSize size = around.size() + QSize(2 * slack, 2 * slack);
                    const std::vector<QPoint> painted = PaintedPixels(size, corner, lf, padded);
                    ASSERT_FALSE(painted.empty());

                    PointPlan plan;
                    plan.x = corner.x();
                    plan.y = corner.y();
                    plan.font = lf;
                    const std::string label = padded.substr(1, padded.size() - 2);
                    plan.text = &label;
                    const QRect cell(corner, m.cell);
                    bool leavesCell = false;
                    for (const QPoint& q : painted) {
                        const QPoint at = q - corner;
                        ASSERT_TRUE(grown.contains(at))
                            << face << " " << height << " italic " << italic << " turn " << turn
                            << ": pixel " << at.x() << "," << at.y();
                        ASSERT_TRUE(m.reach->contains(at))
                            << face << " " << height << " italic " << italic << " turn " << turn;
                        ASSERT_TRUE(TextMayReach(plan, QRect(q, QSize(1, 1))))
                            << face << " " << height << " italic " << italic << " turn " << turn
                            << ": culled pixel " << at.x() << "," << at.y();
                        leavesCell = leavesCell || !cell.contains(q);
                    }
                    if (turn == 0) {
                        overhanging += leavesCell ? 1 : 0;
                        // A text known to stay inside its cell does.
                        if (m.inside) {
                            EXPECT_EQ(*m.inside, m.cell);
                            EXPECT_FALSE(leavesCell) << face << " " << height << " " << italic;
                        }
                        // A cell the cache keeps as an image is all the text paints.
                        const TextCellCache::Cell cached = TextCellCache::Render(
                            {QImage::Format_RGB32, 3780, 3780, {}, 1}, lf, kText, kBack, padded);
                        if (!cached.image.isNull()) {
                            EXPECT_FALSE(leavesCell) << face << " " << height << " " << italic;
                        }
                    }
                    ++cases;
                }
            }
        }
    }
    EXPECT_EQ(cases, 4 * 6 * 2 * 5);
    // The glyphs chosen do leave their cell in some fonts: the bounds were put to the test.
    EXPECT_GT(overhanging, 0);
}

} // namespace

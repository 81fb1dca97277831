// Opaque rectangles painted last first through the mask against painting them in order.
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "CoverageMask.h"

TEST(CoverageMask, LastFirstEqualsInOrderAcrossWordEdgesRatiosAndAreas) {
    // Rectangles straddling 64-pixel word edges, reaching past the area, nested and disjoint.
    std::mt19937 rng(5);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (const int ratio : {1, 3}) {
        for (const QRect area : {QRect(0, 0, 200, 50), QRect(7, 3, 130, 40)}) {
            std::vector<std::pair<QRect, QRgb>> parts;
            for (int i = 0; i < 300; ++i) {
                parts.push_back({QRect(pick(-10, 200), pick(-5, 50), pick(1, 140), pick(1, 6)),
                                 qRgb(pick(0, 255), pick(0, 255), i % 256)});
            }
            QImage inOrder(QSize(210, 60) * ratio, QImage::Format_RGB32);
            inOrder.fill(Qt::gray);
            inOrder.setDevicePixelRatio(ratio);
            QImage lastFirst = inOrder.copy();
            {
                QPainter painter(&inOrder);
                painter.setClipRect(area);
                for (const auto& [rect, colour] : parts) {
                    painter.fillRect(rect, QColor(colour));
                }
            }
            CoverageMask mask;
            mask.reset(lastFirst, area);
            // What is covered, pixel by pixel, to hold covers() to.
            std::vector<char> covered(static_cast<std::size_t>(area.width() * area.height()), 0);
            int wrong = 0;
            int wrongOpen = 0;
            auto at = [&](int x, int y) -> char& {
                return covered[static_cast<std::size_t>((y - area.top()) * area.width() + x -
                                                        area.left())];
            };
            for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
                const QRect inside = part->first & area;
                // uncovered(): disjoint rectangles holding exactly the pixels not covered yet.
                std::vector<QRect> open;
                mask.uncovered(part->first, open);
                int openPixels = 0;
                for (const QRect& r : open) {
                    for (int y = r.top(); y <= r.bottom(); ++y) {
                        for (int x = r.left(); x <= r.right(); ++x) {
                            if (!inside.contains(x, y)) {
                                ++wrongOpen;
                                continue;
                            }
                            wrongOpen += at(x, y) == 0 ? 0 : 1;
                            at(x, y) = 2; // seen open: a second rectangle here is wrong
                            ++openPixels;
                        }
                    }
                }
                bool all = true;
                int closed = 0;
                for (int y = inside.top(); y <= inside.bottom(); ++y) {
                    for (int x = inside.left(); x <= inside.right(); ++x) {
                        char& c = at(x, y);
                        all = all && c == 1;
                        closed += c == 1 ? 1 : 0;
                        c = 1;
                    }
                }
                wrongOpen += openPixels + closed == inside.width() * inside.height() ? 0 : 1;
                wrong += mask.covers(part->first) != all ? 1 : 0;
                mask.fill(part->first, part->second);
            }
            EXPECT_EQ(wrong, 0) << "covers() before a fill against the pixels covered";
            EXPECT_EQ(wrongOpen, 0) << "uncovered() against the pixels not covered";
            EXPECT_EQ(lastFirst, inOrder) << "ratio " << ratio;
            bool gaps = false;
            for (int y = area.top() * ratio; y <= area.bottom() * ratio; ++y) {
                for (int x = area.left() * ratio; x <= area.right() * ratio; ++x) {
                    gaps = gaps || lastFirst.pixel(x, y) == QColor(Qt::gray).rgb();
                }
            }
            EXPECT_EQ(mask.full(), !gaps);
            mask.fill(area, qRgb(0, 0, 0));
            EXPECT_TRUE(mask.full());
        }
    }
}

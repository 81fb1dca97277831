// The drawing-surface calls a renderer tick makes for 10,000 points: squares, two-tone
// crosses and centre pixels, and text cells with a font per point.
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "DrawingSurface.h"

namespace {

constexpr int kPoints = 10'000;

struct Spot {
    int x;
    int y;
};

std::vector<Spot> Spots(int width, int height) {
    std::vector<Spot> spots;
    unsigned state = 99;
    for (int i = 0; i < kPoints; ++i) {
        state = state * 1664525u + 1013904223u;
        const int x = int((state >> 8) % unsigned(width));
        state = state * 1664525u + 1013904223u;
        spots.push_back({x, int((state >> 8) % unsigned(height))});
    }
    return spots;
}

void Cross(DrawingSurface& surface, int x, int y, int arm) {
    const int ends[4][2] = {{x + arm, y}, {x - arm, y}, {x, y + arm}, {x, y - arm}};
    for (const auto& end : ends) {
        surface.moveTo(x, y);
        surface.lineTo(end[0], end[1]);
    }
}

// Squares, crosses and centre pixels for every point.
void BM_ShapesTick10k(benchmark::State& state) {
    QImage image(1600, 1000, QImage::Format_RGB32);
    image.fill(Qt::white);
    const std::vector<Spot> spots = Spots(image.width(), image.height());
    for (auto _ : state) {
        QPainter painter(&image);
        DrawingSurface surface(painter);
        for (const Spot& s : spots) {
            surface.fillSolidRect(s.x - 5, s.y - 5, 10, 10, RGB(0, 0, 255));
            surface.selectPen(RGB(0, 0, 0));
            Cross(surface, s.x, s.y, 8);
            surface.selectPen(RGB(255, 255, 255));
            Cross(surface, s.x, s.y, 4);
            surface.setPixel(s.x, s.y, RGB(0, 0, 0));
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_ShapesTick10k)->Unit(benchmark::kMillisecond);

// A text cell per point, each point with its own font description (12 distinct ones), drawn
// afresh: what a renderer without a cell cache would pay.
void BM_TextCellsTick10k(benchmark::State& state) {
    QImage image(1600, 1000, QImage::Format_RGB32);
    image.fill(Qt::white);
    const std::vector<Spot> spots = Spots(image.width(), image.height());
    std::vector<LOGFONTA> fonts;
    for (int i = 0; i < 12; ++i) {
        LOGFONTA lf{};
        lf.lfHeight = 12 + i;
        lf.lfWeight = i % 2 ? 700 : 400;
        std::strcpy(lf.lfFaceName, "Arial");
        fonts.push_back(lf);
    }
    for (auto _ : state) {
        QPainter painter(&image);
        DrawingSurface surface(painter);
        int i = 0;
        for (const Spot& s : spots) {
            surface.setBkColor(RGB(255, 255, 0));
            surface.selectFont(fonts[std::size_t(i++ % 12)]);
            surface.setTextColor(RGB(0, 0, 0));
            surface.textOut(s.x + 8, s.y + 8, " Room 12 ");
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_TextCellsTick10k)->Unit(benchmark::kMillisecond);

} // namespace

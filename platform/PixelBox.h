// A rectangle of pixels as half-open 64-bit edges, so sums and extents of any QRect never
// overflow: what the picture's drawing and the tiled drawing compute their source and target
// areas in. Plain values: any thread.
#pragma once

#include <QRect>

#include <algorithm>
#include <cstdint>

struct PixelBox {
    std::int64_t x0 = 0;
    std::int64_t y0 = 0;
    std::int64_t x1 = 0;
    std::int64_t y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    std::int64_t width() const { return x1 - x0; }
    std::int64_t height() const { return y1 - y0; }
};

// left()/right() are the stored edges; width() could overflow for extreme rectangles.
inline PixelBox BoxOf(const QRect& r) {
    return {r.left(), r.top(), std::int64_t(r.right()) + 1, std::int64_t(r.bottom()) + 1};
}

inline PixelBox Intersect(const PixelBox& a, const PixelBox& b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

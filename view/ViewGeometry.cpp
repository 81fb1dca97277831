#include "ViewGeometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "ZoomGeometry.h"

namespace {

int SaturateToInt(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

// The catch square around each point, in picture pixels, compared strictly.
constexpr double kCatchDistance = 15.0;

} // namespace

int TruncToInt(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    // Every double in [INT_MAX, INT_MAX + 1) truncates to INT_MAX and every double in
    // (INT_MIN - 1, INT_MIN] to INT_MIN, so saturating at the bounds agrees with truncation.
    if (v >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (v <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(v);
}

DrawnSize FitSize(std::uint32_t imgW, std::uint32_t imgH, int windowWidth, double& zoom) {
    const int w = std::max(windowWidth, 0);
    if (imgW == 0) {
        return {};
    }
    // imgH * w reaches 2^63 at most, so the 64-bit product never wraps.
    const std::uint64_t h = std::uint64_t{imgH} * static_cast<std::uint64_t>(w) / imgW;
    zoom = static_cast<double>(w) / static_cast<double>(imgW);
    return {w, static_cast<int>(std::min<std::uint64_t>(h, INT_MAX))};
}

DrawnSize ZoomSize(std::uint32_t imgW, std::uint32_t imgH, double zoom) {
    return {TruncToInt(static_cast<double>(imgW) * zoom),
            TruncToInt(static_cast<double>(imgH) * zoom)};
}

DrawnSize ScrollExtent(DrawnSize drawn) {
    return {SaturateToInt(std::max<std::int64_t>(std::int64_t{drawn.w} - 32, 0)),
            std::max(drawn.h, 0)};
}

ClientPoint PictureToClient(double dX, double dY, double zoom, int scrollX, int scrollY) {
    return {SaturateToInt(std::int64_t{TruncToInt(dX * zoom)} - scrollX),
            SaturateToInt(std::int64_t{TruncToInt(dY * zoom)} - scrollY)};
}

void ClientToPicture(int x, int y, int scrollX, int scrollY, double zoom, double& dX, double& dY) {
    // The sums are formed in double: exact for every int pair, and never overflowing.
    dX = (static_cast<double>(x) + scrollX) / zoom;
    dY = (static_cast<double>(y) + scrollY) / zoom;
}

int FindPointAt(const PointList& list, int x, int y, int scrollX, int scrollY, double zoom) {
    const double r = 1.0 / zoom;
    const double ix = TruncToInt((static_cast<double>(x) + scrollX) * r);
    const double iy = TruncToInt((static_cast<double>(y) + scrollY) * r);
    const std::vector<PointRecord>& points = list.points();
    const int n = static_cast<int>(points.size());
    for (int i = 0; i < n; ++i) {
        const PointRecord& p = points[static_cast<std::size_t>(i)];
        if (std::fabs(p.dX - ix) < kCatchDistance && std::fabs(p.dY - iy) < kCatchDistance) {
            return i;
        }
    }
    return -1;
}

void ToggleFullSize(bool& zoomMode, double& zoom) {
    zoomMode = !zoomMode;
    if (zoomMode) {
        zoom = 1.0;
    }
}

bool ApplyZoomStep(bool zoomMode, double& zoom, double factor) {
    if (!zoomMode) {
        return false;
    }
    const double next = ClampZoom(zoom * factor);
    if (next == zoom) {
        return false; // at a bound
    }
    zoom = next;
    return true;
}

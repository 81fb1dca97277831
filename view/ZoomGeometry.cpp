#include "ZoomGeometry.h"

#include <algorithm>
#include <cmath>

double ClampZoom(double zoom) {
    if (std::isnan(zoom)) {
        return 1.0;
    }
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

DrawnSize FitWholeSize(std::uint32_t imgW, std::uint32_t imgH, int viewW, int viewH,
                       double& zoom) {
    if (imgW == 0 || imgH == 0 || viewW <= 0 || viewH <= 0) {
        return {};
    }
    const double byWidth = static_cast<double>(viewW) / imgW;
    const double byHeight = static_cast<double>(viewH) / imgH;
    zoom = std::min(byWidth, byHeight);
    // The side that decided the scale fills the view exactly (the product img * zoom can land
    // a hair below it); the other is truncated as in zoom mode.
    const DrawnSize drawn = ZoomSize(imgW, imgH, zoom);
    if (byWidth <= byHeight) {
        return {viewW, std::min(drawn.h, viewH)};
    }
    return {std::min(drawn.w, viewW), viewH};
}

ClientPoint CentringMargin(DrawnSize drawn, int viewW, int viewH) {
    return {std::max(0, (viewW - drawn.w) / 2), std::max(0, (viewH - drawn.h) / 2)};
}

ClientPoint ScrollKeeping(double px, double py, double zoom, double anchorX, double anchorY) {
    return {TruncToInt(std::round(px * zoom - anchorX)),
            TruncToInt(std::round(py * zoom - anchorY))};
}

ClientPoint CentredScroll(double dX, double dY, double zoom, int viewW, int viewH) {
    // Where PictureToClient puts the point at scroll 0, less half the view.
    const ClientPoint at = PictureToClient(dX, dY, zoom, viewW / 2, viewH / 2);
    return {at.x, at.y};
}

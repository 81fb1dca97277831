#include "SurfaceScroll.h"

#include <cstdlib>
#include <cstring>

QRegion ScrollSurfacePixels(QImage& image, int dx, int dy) {
    const qreal ratio = image.devicePixelRatio();
    const QRect logical(QPoint(0, 0), image.deviceIndependentSize().toSize());
    if (image.isNull() || (dx == 0 && dy == 0)) {
        return {};
    }
    const auto whole = static_cast<int>(ratio);
    if (ratio != whole || whole < 1 || std::abs(dx) >= logical.width() ||
        std::abs(dy) >= logical.height()) {
        return QRegion(logical);
    }
    const int ddx = dx * whole;
    const int ddy = dy * whole;
    const int bytesPerPixel = image.depth() / 8;
    const int rowPixels = image.width() - std::abs(ddx);
    const std::size_t rowBytes = static_cast<std::size_t>(rowPixels) * bytesPerPixel;
    const std::size_t from = static_cast<std::size_t>(ddx < 0 ? -ddx : 0) * bytesPerPixel;
    const std::size_t to = static_cast<std::size_t>(ddx > 0 ? ddx : 0) * bytesPerPixel;
    const int rows = image.height() - std::abs(ddy);
    // Rows are copied in the order that never reads a row already overwritten.
    for (int i = 0; i < rows; ++i) {
        const int target = ddy > 0 ? image.height() - 1 - i : i;
        const int source = target - ddy;
        std::memmove(image.scanLine(target) + to, image.constScanLine(source) + from, rowBytes);
    }
    QRegion exposed;
    if (dx > 0) {
        exposed += QRect(0, 0, dx, logical.height());
    } else if (dx < 0) {
        exposed += QRect(logical.width() + dx, 0, -dx, logical.height());
    }
    if (dy > 0) {
        exposed += QRect(0, 0, logical.width(), dy);
    } else if (dy < 0) {
        exposed += QRect(0, logical.height() + dy, logical.width(), -dy);
    }
    return exposed;
}

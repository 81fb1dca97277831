#include "DeviceArea.h"

#include <QPaintDevice>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {
// Bounds used when the painter has no device to measure; well inside every int conversion.
constexpr std::int64_t kFarAway = std::int64_t(1) << 24;
} // namespace

DeviceArea DeviceArea::Of(const QPainter& painter, std::int64_t margin) {
    DeviceArea area{-kFarAway, -kFarAway, kFarAway, kFarAway};
    const QPaintDevice* device = painter.device();
    if (device == nullptr || device->width() <= 0 || device->height() <= 0) {
        return area;
    }
    bool invertible = false;
    const QTransform toLogical = painter.combinedTransform().inverted(&invertible);
    if (!invertible) {
        return area;
    }
    // The device's width and height are in its own pixels; for a high-density image that is
    // more than its logical size, which only widens the area.
    const QRectF rect = toLogical.mapRect(QRectF(0, 0, device->width(), device->height()));
    auto bound = [](double v) {
        return std::int64_t(std::clamp(v, double(-kFarAway), double(kFarAway)));
    };
    area.left = bound(std::floor(rect.left())) - margin;
    area.top = bound(std::floor(rect.top())) - margin;
    area.right = bound(std::ceil(rect.right())) + margin;
    area.bottom = bound(std::ceil(rect.bottom())) + margin;
    return area;
}

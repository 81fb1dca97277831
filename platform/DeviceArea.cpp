#include "DeviceArea.h"

#include <QPaintDevice>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
// The widest area handed out: any edge plus a margin or an extent of the device still fits
// in an int. Also the area of a painter without a measurable device.
constexpr std::int64_t kFarAway = std::int64_t(INT_MAX) - 65536;
} // namespace

DeviceArea DeviceArea::Of(const QPainter& painter, std::int64_t margin) {
    margin = std::clamp<std::int64_t>(margin, 0, 1024);
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

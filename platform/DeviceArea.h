// The part of a painter's device that drawing can reach, in the painter's logical coordinates.
// Drawing code cuts its work to this area so that far-away coordinates (deep zoom) never reach
// the painter and never cost time.
#pragma once

#include <cstdint>

class QPainter;

struct DeviceArea {
    std::int64_t left = 0; // inclusive
    std::int64_t top = 0;
    std::int64_t right = 0; // exclusive
    std::int64_t bottom = 0;

    // The device's rectangle mapped back through the painter's transform, widened by `margin`
    // (at most 1024) on each side and kept within the int range; a wide default area when the
    // painter has no measurable device.
    static DeviceArea Of(const QPainter& painter, std::int64_t margin);
};

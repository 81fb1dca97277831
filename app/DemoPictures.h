// Sample pictures drawn by code for the demo folder: a floor plan, a photo-like harbour scene
// and a tall trail map. Each is the same every time (fixed random seeds).
#pragma once

#include <QImage>

namespace DemoPictures {
inline constexpr int kFloorPlanWidth = 1600;
inline constexpr int kFloorPlanHeight = 1100;

QImage FloorPlan();
QImage HarbourPhoto();
QImage TrailMap();
} // namespace DemoPictures

// A demo start-up folder: sample pictures made by code and, for the floor plan, a map file whose
// points show the square, the cross, both fonts and a passed since date flashing.
#pragma once

#include <QString>

#include "PointList.h"

namespace DemoFolder {
// File names of the pictures written into the folder.
inline constexpr const char* kFloorPlan = "floorplan.png";
inline constexpr const char* kHarbour = "harbour.jpg";
inline constexpr const char* kTrailMap = "trailmap.png";

// The floor plan's points, in floor-plan pixels.
PointList FloorPlanPoints();

// Creates `dir` and its MAPS folder if needed and writes the pictures and MAPS/floorplan.map,
// replacing earlier versions. False with the reason in `error` when something cannot be made.
bool Make(const QString& dir, QString* error);
} // namespace DemoFolder

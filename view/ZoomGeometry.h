// Geometry of fitting the whole picture and of zooming about a point, as pure functions beside
// those of ViewGeometry.h: the bounds of the zoom, the scale and centring margin that show the
// whole picture, and the scroll position that keeps a picture point under the cursor.
#pragma once

#include <cstdint>

#include "ViewGeometry.h"

// Bounds of every zoom the view takes: beyond them a repaint or a drawn size would no longer
// be cheap (64 screen pixels per picture pixel, or one per 64).
inline constexpr double kMinZoom = 1.0 / 64.0;
inline constexpr double kMaxZoom = 64.0;

// `zoom` within [kMinZoom, kMaxZoom]; NaN gives 1.0.
double ClampZoom(double zoom);

// Fit Picture: the largest scale that shows the whole picture inside `viewW` x `viewH`
// (the aspect kept), stored into `zoom`, and the drawn size at it: the side that decides the
// scale fills the view, the other is trunc(img * zoom). A picture or view without area gives an empty size and leaves `zoom`.
DrawnSize FitWholeSize(std::uint32_t imgW, std::uint32_t imgH, int viewW, int viewH,
                       double& zoom);

// The margins that centre a drawn size in a view: half the room left on each axis, rounded
// down, and 0 where the drawing does not fit.
ClientPoint CentringMargin(DrawnSize drawn, int viewW, int viewH);

// The scroll position at `zoom` that keeps picture point (px, py) under the client position
// (anchorX, anchorY): rounded to the nearest pixel, so the point lands within half a screen
// pixel of the anchor; the caller clamps it to the scroll range. A zoom about a point takes
// the picture point under the anchor before the change (client position plus scroll, divided
// by the old zoom) and keeps it while the zoom goes on about the same anchor, so rounding never
// adds up over many steps.
ClientPoint ScrollKeeping(double px, double py, double zoom, double anchorX, double anchorY);

// The scroll position that puts picture point (dX, dY) in the middle of a `viewW` x `viewH`
// view at `zoom` (the caller clamps it to the scroll range).
ClientPoint CentredScroll(double dX, double dY, double zoom, int viewW, int viewH);

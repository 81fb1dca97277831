// The view's geometry as pure functions: drawn sizes in fit and zoom mode, scroll extents, the
// conversions between client and picture coordinates, the hit test and the zoom steps.
// Every double-to-int conversion truncates toward zero and saturates at the int range.
#pragma once

#include <cstdint>

#include "PointList.h"

struct DrawnSize {
    int w = 0;
    int h = 0;
};

// Truncates toward zero; values beyond the int range saturate, NaN gives 0.
int TruncToInt(double v);

// Fit mode: the picture fills `windowWidth` (the view's whole window width, frame and scroll
// bars included); h = imgH * windowWidth / imgW rounded down, without 32-bit overflow.
// `zoom` receives windowWidth / imgW. A negative width counts as 0; a picture of width 0 gives
// an empty size and leaves `zoom` as it is.
DrawnSize FitSize(std::uint32_t imgW, std::uint32_t imgH, int windowWidth, double& zoom);
// Zoom mode: trunc(imgW * zoom) x trunc(imgH * zoom).
DrawnSize ZoomSize(std::uint32_t imgW, std::uint32_t imgH, double zoom);
// Scroll extent for a drawn size: (w - 32, h), never negative.
DrawnSize ScrollExtent(DrawnSize drawn);

struct ClientPoint {
    int x = 0;
    int y = 0;
};
// Picture to client on the screen: trunc(d * zoom) - scroll (the product truncated first, then
// the scroll subtracted, the result saturated); while printing pass scroll 0.
ClientPoint PictureToClient(double dX, double dY, double zoom, int scrollX, int scrollY);
// Client to picture, exact (placing and dragging): (x + scroll) / zoom, unrounded.
void ClientToPicture(int x, int y, int scrollX, int scrollY, double zoom, double& dX, double& dY);
// The hit test: index of the first point with |dX - ix| < 15 and |dY - iy| < 15, where
// ix = trunc((x + scrollX) * (1 / zoom)) and likewise iy; -1 when none.
int FindPointAt(const PointList& list, int x, int y, int scrollX, int scrollY, double zoom);

inline constexpr double kZoomInFactor = 1.1;
inline constexpr double kZoomOutFactor = 0.9;

// The Full Size toggle: flips the mode; entering zoom mode starts at zoom 1.0, leaving it keeps
// the zoom (the next fit-mode draw recomputes it). The view redraws in both cases.
void ToggleFullSize(bool& zoomMode, double& zoom);
// Zoom in or out by `factor` (kZoomInFactor, kZoomOutFactor): only in zoom mode, and never
// past kMinZoom or kMaxZoom (ZoomGeometry.h). Returns true when the zoom changed and the view
// must redraw; fit mode, and a step at a bound, change nothing.
bool ApplyZoomStep(bool zoomMode, double& zoom, double factor);

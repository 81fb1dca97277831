// The numbers the point renderer is bounded and tuned by, in one place. The bounds keep its
// arithmetic in range whatever sizes and positions a map file holds; the thresholds choose
// between ways of drawing that give the same pixels.
#pragma once

#include <cstddef>
#include <cstdint>

// Coordinates: no surface reaches this far from the origin in logical units. What is handed to
// the surface is kept within it, so the painter's fixed-point text and line positions never
// overflow; a part beyond it is not drawn.
inline constexpr std::int64_t kFarCoordinate = std::int64_t{1} << 20;
// Sizes: no view is this large. The bounds of a text stop here, which keeps their sums in range.
inline constexpr int kFarExtent = 1 << 28;
// Rectangles moved by a corner are kept within this, short of the int range.
inline constexpr std::int64_t kIntEdge = std::int64_t{1} << 30;

// Whole-number pixel ratios up to this are drawn the fast way (rectangles and cached cells).
inline constexpr double kMaxFastPixelRatio = 4.0;

// A tick whose changed points are more than one in kChangedShareLimit of those in view draws in
// full: its pieces would cover most of the view anyway.
inline constexpr std::size_t kChangedShareLimit = 4;
// Beyond this many repainted rectangles the screen gets the rectangle that holds them all.
inline constexpr std::size_t kMaxScreenRects = 256;
// The same for the marks of selected points, whose region grows one mark at a time.
inline constexpr int kMaxMarkScreenRects = 64;
// Rectangles kept of the fresh texts a drawing last first draws at its end. Where later parts
// leave them showing through a fine mesh (a hostile map can make one), more would be needed:
// that drawing is made in list order instead, which needs none.
inline constexpr std::size_t kMaxBlendRects = std::size_t{1} << 20;
// Logical pixels per side of a bucket of the grid that finds what reaches into a rectangle.
inline constexpr int kGridBucket = 32;

// Text cells larger than this many device pixels (a hostile font size) are never rendered into
// an image; neither is a cell whose painting, margins included, needs more than kMaxPaintPixels.
inline constexpr std::int64_t kMaxCellPixels = std::int64_t{1} << 22;
inline constexpr std::int64_t kMaxPaintPixels = std::int64_t{1} << 23;

// Drawing one point of the point renderer: deciding its look from its record (and advancing
// its flash phases), where its parts lie, and painting them either through the surface's own
// operations or, on a plain 32-bit window image, as rectangle fills and a cached text cell.
// Shared by the full drawing and the incremental timer tick of PointRenderer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <QImage>
#include <QRect>

#include "PointList.h"
#include "TextCellCache.h"
#include "TickTracker.h"

class CoverageMask;
class DrawingSurface;
class QPainter;
struct RenderContext;

// What one point draws in one call, decided from a copy of its record.
struct PointPlan {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool square = false;
    COLORREF squareColor = 0;
    std::int64_t rectSize = 0;
    bool cross = false;
    std::int64_t crossSize = 0;
    std::int64_t textOffset = 0;
    const std::string* text = nullptr;
    LOGFONTA font{};
    COLORREF textColor = 0;
    COLORREF backColor = 0;
    bool passed = false; // the since date has passed
};

// Decides point i's drawing from a copy of its record, with its phases as they stand.
PointPlan PlanPoint(const PointList& list, int i, const RenderContext& ctx);
// Moves the flash phases of point i on, once it has been drawn, for a point whose since date
// has passed.
void AdvancePhases(PointList& list, int i);
// True when point i's phases move on every call once its since date has passed.
bool Flashes(const PointRecord& r);

// " %s ": the text up to its first NUL, one space on each side; of a text longer than
// kMaxShownTextBytes only its shown start (ShownText).
void PadText(std::string& out, const std::string& text);

// Whether any of the point's square, cross or centre pixel reaches into `area`.
bool ShapesReach(const PointPlan& p, const QRect& area);
// Whether the point's text may reach into `area` (glyphs may overhang their cell a little;
// turned text may go anywhere).
bool TextMayReach(const PointPlan& p, const QRect& area);

// The point drawn through the surface's own operations, step by step. `printing`: the centre
// mark is one device pixel.
void DrawFresh(DrawingSurface& surface, const PointPlan& p, const std::string& padded,
               bool printing);
void DrawTextFresh(DrawingSurface& surface, const PointPlan& p, const std::string& padded);

// The fast drawing, each part cut to `clip` (inside the image FastTarget gave): square and
// cross, the cell image, the centre.
void DrawShapesFast(QPainter& painter, const PointPlan& p, const QRect& clip);
void DrawCellFast(QPainter& painter, const PointPlan& p, const TextCellCache::Cell& cell,
                  const QRect& clip);
void DrawCentreFast(QPainter& painter, const PointPlan& p, const QRect& clip);
// The same parts painted last first into `mask` (over a 32-bit RGB image), each only where no
// part painted later in the drawing lies: centre, cell, cross, square. `cell`: the point's text
// cell with its image and `extent` (the cell itself is read only where a pixel of it shows),
// or null when its text is not drawn.
void DrawUncovered(CoverageMask& mask, const PointPlan& p, const TextCellCache::Cell* cell,
                   QSize extent, const QRect& bounds);
// The same in steps, for a caller that paints the text itself: the centre, which lies over the
// text, then the cross and the square beneath it.
void CoverCentre(CoverageMask& mask, const PointPlan& p, const QRect& bounds);
void CoverShapes(CoverageMask& mask, const PointPlan& p, const QRect& bounds);

// The top-left corner of the point's text cell; nothing when it lies too far off to be drawn.
std::optional<QPoint> CellCorner(const PointPlan& p);

// Where the point's parts lie, cut to `bounds`; `cell` is the extent of its text cell.
PointShapes ShapesOf(const PointPlan& p, QSize cell, const QRect& bounds);

// The surface's image when the fast drawing gives the same pixels as the surface's own
// operations: an unclipped 32-bit image painted opaquely, with no transform but its
// whole-number pixel ratio. Null otherwise.
QImage* FastTarget(DrawingSurface& surface, const RenderContext& ctx);

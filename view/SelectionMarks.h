// The marks of selected points on the window surface: a frame in the highlight blue with a white
// frame inside it, a few pixels outside the point's square and cross. Drawn after the points,
// never on a printed page.
//
// A full tick draws every mark in view, in order, into a layer of its own (the surface's size
// and pixel ratio, transparent where no mark lies) and lays that layer over the surface. A tick
// that repainted only some rectangles lays the same layer over them again: a pixel of the layer
// is the last mark over it, so the cost is the repainted area's, however many marks lie there.
// User-interface thread only.
#pragma once

#include <span>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>

#include "PointMap.h"

class SelectionMarks {
public:
    // Draws the marks of `ids` that reach into `bounds` (client coordinates at `zoom`, scrolled
    // by `scroll`) on the window surface, and remembers them; returns the area drawn.
    QRegion DrawAll(QImage& surface, const PointMap& map, std::span<const PointId> ids,
                    double zoom, QPoint scroll, const QRect& bounds);
    // Draws again, cut to each of `pieces`, the remembered marks that reach into it, as the full
    // drawing drew them there; returns the area drawn outside the pieces (none). The surface is
    // the one DrawAll drew on, unchanged outside the pieces since.
    QRegion DrawOver(QImage& surface, std::span<const QRect> pieces);
    void Forget();

private:
    QImage m_layer; // premultiplied: every pixel either a mark's (opaque) or transparent
};

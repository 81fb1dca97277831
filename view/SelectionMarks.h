// The marks of selected points on the window surface: a frame in the highlight blue with a white
// frame inside it, a few pixels outside the point's square and cross. Drawn after the points,
// never on a printed page.
//
// A full tick draws every mark in view and remembers where each lies, in a grid of cells; a tick
// that repainted only some rectangles redraws only the marks reaching into them, found through
// the grid, so a steady tick with many points selected costs little more than without.
#pragma once

#include <QPoint>
#include <QRect>
#include <QRegion>

#include <span>
#include <vector>

#include "PointMap.h"

class QImage;

class SelectionMarks {
public:
    // Draws the marks of `ids` that reach into `bounds` (client coordinates at `zoom`, scrolled
    // by `scroll`) on the window surface, and remembers them; returns the area drawn.
    QRegion DrawAll(QImage& surface, const PointMap& map, std::span<const PointId> ids,
                    double zoom, QPoint scroll, const QRect& bounds);
    // Draws again, cut to each of `pieces`, the remembered marks that reach into it, as the full
    // drawing drew them there; returns the area drawn outside the pieces (none).
    QRegion DrawOver(QImage& surface, std::span<const QRect> pieces);
    void Forget();

private:
    std::vector<QRect> m_marks;
    QRect m_bounds;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::vector<int>> m_cells; // marks by the cells they reach into
    std::vector<unsigned> m_stamp;
    unsigned m_pass = 0;
};

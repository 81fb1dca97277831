// The point renderer: paints every point's square, two-tone cross, text cell and centre pixel
// onto a drawing surface, shows the since text once a point's since date has passed, and
// advances the flash phases in the stored records on every call.
//
// What is drawn is pixel-identical to drawing each point afresh; fonts and rendered text cells
// are cached between calls, keyed by what determines their pixels.
#pragma once

#include <QRect>

#include <cstdint>

#include "PointList.h"

class DrawingSurface;

struct RenderContext {
    double zoom = 1.0;
    int scrollX = 0; // scroll position, subtracted on the screen
    int scrollY = 0;
    bool showTexts = true; // false: nothing is drawn and no phase changes
    bool printing = false; // true: no scroll offset
    std::int64_t now = 0;  // current time, seconds since 1970 UTC
    // Logical area worth drawing; points whose square, cross and text all lie outside it are
    // skipped (their phases still advance). Empty: draw everything.
    QRect visible;
};

class PointRenderer {
public:
    PointRenderer();
    ~PointRenderer();
    PointRenderer(const PointRenderer&) = delete;
    PointRenderer& operator=(const PointRenderer&) = delete;

    void DrawPoints(DrawingSurface& surface, PointList& list, const RenderContext& ctx);

private:
    struct Cache;
    Cache* m_cache;
};

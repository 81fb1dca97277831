// The point renderer: paints every point's square, two-tone cross, text cell and centre pixel
// onto a drawing surface, shows the since text once a point's since date has passed, and
// advances the flash phases in the stored records on every call.
//
// Per point, in list order (a later point paints over an earlier one), from a copy of its record:
// the square, the surface's fillSolidRect(x - n, y - n, 2n, 2n) for n = nRectSize, flashing
// between crRect and white while its since date has passed; the cross, black arms of length
// nCrossSize then white arms of half that length, each drawn from the centre without its end
// pixel; the text " %s " (label, or since text once the since date has passed, which may flash
// into its background) in an opaque cell at (x + s, y + s), s = max(nCrossSize, nRectSize); the
// black centre pixel. A text is drawn up to its first NUL byte.
//
// What is drawn is pixel-identical to drawing each point afresh through the surface. On a 32-bit
// QImage with no transform but a whole-number pixel ratio (the window surface) the renderer
// fills the cross arms as rectangles and copies rendered text cells from a cache keyed by text,
// font image and colours; elsewhere (printed pages, fractional ratios) every point is drawn
// afresh. Points are culled against the image and RenderContext::visible there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QRect>

#include "PointList.h"
#include "TextCellCache.h"

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

    // Off: every point is drawn afresh through the surface's own operations, the reference the
    // fast drawing is held to. On by default.
    void setCaching(bool on) { m_caching = on; }
    // Upper bound on the memory of cached text cells.
    void setCacheLimit(std::size_t bytes);
    std::size_t cachedCells() const;
    std::size_t cachedBytes() const;
    // Texts the last call drew afresh on a surface where cells are cached: those whose glyphs
    // reach outside their cell, and those the full cache had no room for.
    int freshTexts() const { return m_freshTexts; }

private:
    std::unique_ptr<TextCellCache> m_cache;
    bool m_caching = true;
    int m_freshTexts = 0;
    std::string m_padded;                     // reused text buffer
    std::vector<TextCellCache::Memo> m_memos; // per point: where its cell was found last
};

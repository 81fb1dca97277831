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
//
// On the window image (32-bit RGB) a full drawing paints last first through a coverage mask,
// each pixel written once by the last part over it. A text whose cell and any overhang lie
// wholly under later parts is passed over without being measured (TextBounds bounds it from
// its characters' advances); in a crowded view most are. A text whose glyphs leave its cell,
// or that is turned, is drawn afresh at the end in list order, clipped to the rectangles of
// its reach that no later part covers, so it blends over what lies beneath it as it would in
// list order.
//
// Tick is the window's timer tick: it leaves the same pixels and phases as DrawPoints on the
// same surface, but repaints only what changes. Its bookkeeping (TickTracker) remembers where
// each point that showed in the full drawing painted, and which points flash or wait for their
// since date. What lay wholly under later parts is left out, so a tick in which a point's
// shapes change (a since date passing) after anything was left out draws in full. A tick
// then repaints, cut to the changed rectangles (the old and new parts of every point whose
// look changes), the visible points reaching into them: last first through a coverage mask,
// down to the point after which nothing earlier shows (in list order from the last point that
// covers the rectangle whole where a text must be drawn afresh). While the pieces and the
// shapes stay the same, as they do while points only flash, the points reaching into each
// piece are remembered from the last tick. Cutting to the rectangles keeps every pixel outside
// them as it was, which is what a full drawing leaves there too: every part is opaque and
// paints the same pixels again. Texts whose glyphs blend outside their cell are not, so while
// one is visible every tick draws in full.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <QRect>
#include <QRegion>

#include "CoverageMask.h"
#include "PointDrawing.h"
#include "PointList.h"
#include "TextBounds.h"
#include "TextCellCache.h"
#include "TickTracker.h"

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
    // false: draws with the phases as they stand and leaves them (another view of the same map
    // moves them on in the same tick).
    bool advancePhases = true;
};

class PointRenderer {
public:
    PointRenderer();
    ~PointRenderer();
    PointRenderer(const PointRenderer&) = delete;
    PointRenderer& operator=(const PointRenderer&) = delete;

    // Paints every visible point afresh in list order and advances every flash phase.
    void DrawPoints(DrawingSurface& surface, PointList& list, const RenderContext& ctx);

    // One timer tick on the window surface: the pixels and phases of DrawPoints, repainting only
    // what changed since the last tick. Returns the logical area it painted (to be sent to the
    // screen). The first tick after invalidate(), or after the view, the surface or the list's
    // length changed, or the clock went back, draws every visible point.
    QRegion Tick(DrawingSurface& surface, PointList& list, const RenderContext& ctx);
    // The surface no longer holds what the last tick left (a full repaint, a scroll, a resize),
    // or the list changed (add, edit, move, remove, apply to all): the next tick is a full one.
    void invalidate() {
        m_tracker.reset();
        m_overlapped = false;
    }
    // Points the last Tick painted, each counted once.
    int paintedLastTick() const { return m_painted; }

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
    // The full drawing; `record`: remember it for the ticks that follow.
    void drawAll(DrawingSurface& surface, PointList& list, const RenderContext& ctx, bool record);
    // Every point in list order; `image`: the window image (fast drawing), or null.
    void drawInOrder(DrawingSurface& surface, QImage* image, PointList& list,
                     const RenderContext& ctx, const QRect& bounds, bool record);
    // Every point last first through the coverage mask (a 32-bit RGB image); false, having
    // painted only opaque parts that list order paints again, when the texts drawn afresh show
    // through too fine a mesh of later parts.
    bool drawLastFirst(DrawingSurface& surface, QImage& image, PointList& list,
                       const RenderContext& ctx, const QRect& bounds, bool record);
    // The text of point i (padded in m_padded, its cell at `corner`) at its turn last first:
    // passed over unmeasured, copied from its cell where that shows, or kept to be drawn afresh
    // at the end. `extent`: its upright cell's, when measured.
    void textLastFirst(DrawingSurface& surface, const PointPlan& p, int i, QPoint corner,
                       const QRect& bounds, QSize& extent);
    // Draws the text (in m_padded) afresh, changing only the pixels of `rects` (disjoint).
    void drawWithin(DrawingSurface& surface, QImage& image, const PointPlan& p,
                    std::span<const QRect> rects);
    // The key under which a tick on `image` may follow the last one.
    TickKey keyFor(const QImage& image, const PointList& list, const RenderContext& ctx) const;
    QRect boundsFor(const QImage* image, const RenderContext& ctx) const;
    // Repaints the changed points and what reaches into them; false when a full tick is needed
    // instead (nothing was drawn and no phase moved).
    bool tickChanges(DrawingSurface& surface, QImage& image, PointList& list,
                     const RenderContext& ctx, const QRect& bounds, QRegion& painted);
    // Repaints `rect` from the points that reach into it (`reach`, in list order).
    void paintPiece(DrawingSurface& surface, QImage& image, PointList& list,
                    const RenderContext& ctx, const QRect& rect, std::span<const int> reach);
    const TextCellCache::Cell* cellFor(const PointPlan& p, int i);
    // The cell of a text that stays inside it, found or rendered when it turns out to show
    // (text in m_padded).
    const TextCellCache::Cell* pendingCell(const PointPlan& p, int i);
    struct Visible;
    // Point i as a tick repaints it into `rect`, counted as painted.
    Visible tickVisible(PointList& list, const RenderContext& ctx, int i, const QRect& rect);

    std::unique_ptr<TextCellCache> m_cache;
    TickTracker m_tracker;
    bool m_fullTicks = false; // a visible text blends outside its cell: every tick is full
    // The last full drawing left out of the tracker what lay wholly under later parts: texts
    // it never measured, points that painted nothing.
    bool m_partial = false;
    int m_inView = 0; // points in view at the last full drawing
    TextBounds m_textBounds;
    // The last tick's changes lay under so many later points that it drew in full.
    bool m_overlapped = false;
    int m_painted = 0;
    std::vector<std::uint32_t> m_paintStamp;
    std::uint32_t m_tickNumber = 0;
    bool m_caching = true;
    int m_freshTexts = 0;
    std::string m_padded;                     // reused text buffer
    std::vector<TextCellCache::Memo> m_memos; // per point: where its cell was found last
    // A point as a tick repaints it.
    struct Visible {
        int index;
        PointPlan plan;
        const TextCellCache::Cell* cell; // null: no text, or drawn afresh
        QSize extent;                    // the cell's
        bool fresh;                      // the text is drawn afresh
    };
    CoverageMask m_mask;
    TextCellCache::Cell m_spare; // a cell the full cache had no room for
    // Texts a drawing last first draws afresh at its end: by point, in reverse list order,
    // the rectangles where each shows (those of point k end at m_blended[k].end).
    struct Blended {
        int index;
        std::size_t end;
    };
    std::vector<Blended> m_blended;
    std::vector<QRect> m_blendRects;
    // The points a tick changes, by index, with their plans from before the phases moved, their
    // cells and where they now paint.
    struct Changed {
        int index;
        PointPlan plan;
        const TextCellCache::Cell* cell;
        PointShapes shapes;
    };
    std::vector<Changed> m_changed;
    std::vector<int> m_changedIndices; // theirs, in order, for looking them up
    // A rectangle a tick repaints, and the first point that can show in it: the changed point
    // whose new parts cover it, or 0 where the old parts of a point were.
    struct Piece {
        QRect rect;
        int from;
        bool operator==(const Piece&) const = default;
    };
    // The last tick's pieces and, found under the tracker's shapes version m_reachVersion (0:
    // none), the points from each piece's `from` on reaching into it, in list order: piece k's
    // end at m_reachEnds[k] in m_reach.
    std::vector<Piece> m_pieces;
    std::vector<int> m_reach;
    std::vector<std::size_t> m_reachEnds;
    std::uint64_t m_reachVersion = 0;
};

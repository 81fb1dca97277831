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
// black centre pixel. A text is drawn up to its first NUL byte. What is drawn is pixel-identical
// to drawing each point afresh through the surface's own operations.
//
// Words used below and in the renderer's helpers:
//   plan         what one point draws in one call, decided from a copy of its record (PointPlan).
//   fast target  a plain 32-bit image with a whole-number pixel ratio (the window surface): the
//                parts are rectangle fills and texts are copied cells. Elsewhere (printed pages,
//                fractional ratios) every point is drawn afresh through the surface.
//   cell         the opaque rectangle textOut fills for a text; rendered once and kept, with its
//                glyphs, by TextCellCache.
//   fresh text   a text drawn through textOut itself: its glyphs leave its cell, it is turned, or
//                the cache has no room for its cell.
//   last first   painting in reverse list order through a CoverageMask, each pixel written once
//                by the last part over it (on 32-bit RGB). A text wholly under later parts is
//                passed over unmeasured (TextBounds bounds it); fresh texts are drawn at the end
//                in list order, only where no later part lies.
//   full drawing every point in view drawn in one call: DrawPoints, or a tick that draws in full.
//   shapes       the rectangles a point's parts cover on the surface, cut to the view.
//   record       what a full tick leaves for the ticks after it (TickTracker): the shapes of the
//                points that showed, the flashers and the pending points.
//   flasher      a point whose phases move on every call; pending: its since date has yet to
//                pass; due: it has passed since the last tick.
//   piece        a rectangle a tick repaints: where a flasher's colours change, or the old and
//                the new shapes of a point that fell due.
//   reach        the points whose shapes meet a piece, in list order. A piece is repainted from
//                them (last first, or in list order from the last that covers it whole), which
//                gives every pixel of it what a full drawing gives: every part is opaque.
//
// A tick (Tick) draws in full or repaints its pieces alone; planTick decides, and lastTick()
// names the reason (TickKind). While points only flash, the pieces and their reach stay the
// same from tick to tick and are kept.
#pragma once

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

// How a tick painted: its pieces alone, or in full and why.
enum class TickKind {
    Pieces,           // only the pieces were repainted
    NotFastTarget,    // texts hidden, caching off, or a surface that is not a fast target
    NoRecord,         // the first tick, or the view, the surface or the list changed, or the
                      // clock went back
    BlendingText,     // a text in view blends outside its cell: every tick draws in full
    HiddenPartsBared, // a point fell due over parts the last full drawing passed over
    TooOverlapped,    // the pieces lie under more points than are in view
    UncachedText,     // a changed point's text has no cell image to copy
    TooManyChanges,   // more than a quarter of the points in view change
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
    // screen).
    QRegion Tick(DrawingSurface& surface, PointList& list, const RenderContext& ctx);
    // The surface no longer holds what the last tick left (a full repaint, a scroll, a resize),
    // or the list changed (add, edit, move, remove, apply to all): the next tick is a full one.
    void invalidate() {
        m_record.tracker.reset();
        m_kept.overlapped = false;
    }
    // How the last Tick painted.
    TickKind lastTick() const { return m_lastTick; }
    // The rectangles the last Tick repainted when it repainted only some (false: it drew every
    // visible point, or nothing).
    bool lastTickRepaintedPieces(std::vector<QRect>& rects) const;
    // Points the last Tick painted, each counted once.
    int paintedLastTick() const { return m_counts.painted; }

    // Off: every point is drawn afresh through the surface's own operations, the reference the
    // fast drawing is held to. On by default.
    void setCaching(bool on) { m_caching = on; }
    // Upper bound on the memory of cached text cells.
    void setCacheLimit(std::size_t bytes);
    std::size_t cachedCells() const;
    std::size_t cachedBytes() const;
    // Texts the last call drew afresh on a fast target: those whose glyphs reach outside their
    // cell, and those the full cache had no room for.
    int freshTexts() const { return m_counts.freshTexts; }

private:
    // A point as a tick repaints it.
    struct Visible {
        int index;
        PointPlan plan;
        const TextCellCache::Cell* cell; // null: no text, or drawn afresh
        QSize extent;                    // the cell's
        bool fresh;                      // the text is drawn afresh
    };
    // A point a tick changes, with its plan from before the phases moved, its cell and where
    // it now paints.
    struct Changed {
        int index;
        PointPlan plan;
        const TextCellCache::Cell* cell;
        PointShapes shapes;
    };
    // A rectangle a tick repaints, and the first point that can show in it: the changed point
    // whose new parts cover it, or 0 where the old parts of a point were.
    struct Piece {
        QRect rect;
        int from;
        bool operator==(const Piece&) const = default;
    };
    // A fresh text a drawing last first draws at its end: the rectangles where it shows end at
    // `end` in LastFirst::blendRects.
    struct Blended {
        int index;
        std::size_t end;
    };

    // --- Full drawing (PointRendererDraw.cpp)
    // `record`: remember it for the ticks that follow.
    void drawAll(DrawingSurface& surface, PointList& list, const RenderContext& ctx, bool record);
    // Every point in list order; `image`: the fast target, or null.
    void drawInOrder(DrawingSurface& surface, QImage* image, PointList& list,
                     const RenderContext& ctx, const QRect& bounds, bool record);
    // Every point last first (32-bit RGB); false, having painted only opaque parts that list
    // order paints again, when the fresh texts show through too fine a mesh of later parts.
    bool drawLastFirst(DrawingSurface& surface, QImage& image, PointList& list,
                       const RenderContext& ctx, const QRect& bounds, bool record);
    // The text of point i (padded in m_cells.padded, its cell at `corner`) at its turn last
    // first: passed over unmeasured, copied from its cell where that shows, or kept to be drawn
    // afresh at the end. `extent`: its upright cell's, when measured.
    void textLastFirst(DrawingSurface& surface, const PointPlan& p, int i, QPoint corner,
                       const QRect& bounds, QSize& extent);
    // The same for a text that may have a cell image; false when it is to be drawn afresh.
    bool cellLastFirst(DrawingSurface& surface, const PointPlan& p, int i, QPoint corner,
                       const QRect& bounds, QSize& extent, const TextCellCache::Cell*& cell);
    // Keeps a fresh text for the end of the drawing, where it shows.
    void keepFresh(DrawingSurface& surface, const PointPlan& p, int i, QPoint corner,
                   const QRect& bounds, QSize& extent, const TextCellCache::Cell* cell);
    // Draws the text (in m_cells.padded) afresh, changing only the pixels of `rects` (disjoint).
    void drawWithin(DrawingSurface& surface, QImage& image, const PointPlan& p,
                    std::span<const QRect> rects);
    // Moves every phase on after a full drawing and, with `record`, notes flashers and pending.
    void notePhases(PointList& list, const RenderContext& ctx, bool record);

    // --- Ticks (PointRenderer.cpp)
    // The one place that decides how a tick paints; on Pieces the pieces and their reach are
    // found and nothing is drawn yet.
    TickKind planTick(DrawingSurface& surface, QImage& image, PointList& list,
                      const RenderContext& ctx, const QRect& bounds);
    // The points that change and the pieces they make; Pieces, or why the tick is full.
    TickKind collectChanges(PointList& list, const RenderContext& ctx, const QRect& bounds,
                            std::vector<Piece>& pieces);
    // Point i changes: its colours alone (a flasher), or its shapes (a due point). False when
    // its text has no cell image.
    bool addChange(PointList& list, const RenderContext& ctx, const QRect& bounds, int i,
                   bool coloursOnly, std::vector<Piece>& pieces);
    // The points reaching into each piece (those of the last tick while nothing moved); false
    // when they are more than the points in view.
    bool findReach(std::vector<Piece> pieces);
    // Moves the phases on and repaints every piece; returns the area painted.
    QRegion paintPieces(DrawingSurface& surface, QImage& image, PointList& list,
                        const RenderContext& ctx);
    // Repaints `rect` from the points that reach into it (`reach`, in list order).
    void paintPiece(DrawingSurface& surface, QImage& image, PointList& list,
                    const RenderContext& ctx, const QRect& rect, std::span<const int> reach);
    // Point i as a tick repaints it into `rect`, counted as painted.
    Visible tickVisible(PointList& list, const RenderContext& ctx, int i, const QRect& rect);

    // --- Shared
    TickKey keyFor(const QImage& image, const PointList& list, const RenderContext& ctx) const;
    QRect boundsFor(const QImage* image, const RenderContext& ctx) const;
    void beginCells(DrawingSurface& surface, const QImage& image);
    const TextCellCache::Cell* cellFor(const PointPlan& p, int i);
    // The cell of a text that stays inside it, found or rendered when it turns out to show
    // (text in m_cells.padded).
    const TextCellCache::Cell* pendingCell(const PointPlan& p, int i);

    bool m_caching = true;
    TickKind m_lastTick = TickKind::NoRecord;
    // Counts of the last call.
    struct Counts {
        int painted = 0;
        int freshTexts = 0;
    } m_counts;
    // Text cells and what finds them quickly.
    struct Cells {
        std::unique_ptr<TextCellCache> cache;
        std::vector<TextCellCache::Memo> memos; // per point: where its cell was found last
        TextCellCache::Cell spare;              // a cell the full cache had no room for
        std::string padded;                     // the text being drawn, padded
        TextBounds bounds;
    } m_cells;
    // What the last full tick left for the ticks after it.
    struct Record {
        TickTracker tracker;
        bool blendingText = false; // a text in view blends outside its cell
        // Left out: what lay wholly under later parts (texts never measured, points that
        // painted nothing).
        bool partial = false;
        int inView = 0; // points in view
    } m_record;
    // Scratch of a drawing last first.
    struct LastFirst {
        CoverageMask mask;
        std::vector<Blended> blended; // in reverse list order
        std::vector<QRect> blendRects;
    } m_lastFirst;
    // The tick being made.
    struct TickWork {
        std::uint32_t number = 0;
        std::vector<int> due;
        std::vector<Changed> changed;   // sorted by index once the tick is incremental
        std::vector<int> changedIndices; // theirs, for looking them up
        std::vector<std::uint32_t> paintStamp; // per point: the last tick that counted it
    } m_tick;
    // The last incremental tick's pieces and, found under the tracker's shapes version
    // `version` (0: none), the points from each piece's `from` on reaching into it: piece k's
    // end at ends[k] in reach.
    struct KeptPieces {
        std::vector<Piece> pieces;
        std::vector<int> reach;
        std::vector<std::size_t> ends;
        std::uint64_t version = 0;
        // The last tick found these pieces too overlapped: the answer stands until a point
        // falls due or the view changes.
        bool overlapped = false;
    } m_kept;
};

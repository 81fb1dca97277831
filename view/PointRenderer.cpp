// The point renderer's ticks: deciding how a tick paints and repainting its pieces.
#include "PointRenderer.h"

#include <algorithm>
#include <span>

#include <QImage>
#include <QPainter>

#include "DrawingSurface.h"
#include "PointDrawing.h"
#include "RenderLimits.h"
#include "TextCellCache.h"

namespace {

// The union of `rects` as disjoint rectangles, merged pairwise so that many rectangles cost
// n log n rather than n squared.
QRegion UniteAll(const std::vector<QRect>& rects, std::size_t from, std::size_t to) {
    if (to - from == 1) {
        return QRegion(rects[from]);
    }
    if (to == from) {
        return {};
    }
    const std::size_t middle = from + (to - from) / 2;
    return UniteAll(rects, from, middle).united(UniteAll(rects, middle, to));
}

} // namespace

PointRenderer::PointRenderer() {
    m_cells.cache = std::make_unique<TextCellCache>();
}

PointRenderer::~PointRenderer() = default;

void PointRenderer::setCacheLimit(std::size_t bytes) {
    m_cells.cache->setLimit(bytes);
}

std::size_t PointRenderer::cachedCells() const {
    return m_cells.cache->count();
}

std::size_t PointRenderer::cachedBytes() const {
    return m_cells.cache->bytes();
}

QRect PointRenderer::boundsFor(const QImage* image, const RenderContext& ctx) const {
    if (image == nullptr) {
        return ctx.visible;
    }
    const QRect logical(QPoint(0, 0), image->deviceIndependentSize().toSize());
    return ctx.visible.isEmpty() ? logical : logical & ctx.visible;
}

TickKey PointRenderer::keyFor(const QImage& image, const PointList& list,
                              const RenderContext& ctx) const {
    return {ctx.zoom,
            ctx.scrollX,
            ctx.scrollY,
            boundsFor(&image, ctx),
            image.constBits(),
            image.size(),
            image.devicePixelRatio(),
            list.count()};
}

void PointRenderer::beginCells(DrawingSurface& surface, const QImage& image) {
    m_cells.cache->beginTick({image.format(), image.dotsPerMeterX(), image.dotsPerMeterY(),
                              surface.painter().renderHints(),
                              static_cast<int>(image.devicePixelRatio())});
}

const TextCellCache::Cell* PointRenderer::cellFor(const PointPlan& p, int i) {
    PadText(m_cells.padded, *p.text);
    return m_cells.cache->find(p.font, p.textColor, p.backColor, m_cells.padded,
                               m_cells.memos[static_cast<std::size_t>(i)]);
}

bool PointRenderer::lastTickRepaintedPieces(std::vector<QRect>& rects) const {
    rects.clear();
    if (m_lastTick != TickKind::Pieces) {
        return false;
    }
    for (const Piece& piece : m_kept.pieces) {
        rects.push_back(piece.rect);
    }
    return true;
}

QRegion PointRenderer::Tick(DrawingSurface& surface, PointList& list, const RenderContext& ctx) {
    ++m_tick.number;
    QImage* image = m_caching && ctx.showTexts ? FastTarget(surface, ctx) : nullptr;
    const QRect bounds = boundsFor(image, ctx);
    m_lastTick = image == nullptr ? TickKind::NotFastTarget
                                  : planTick(surface, *image, list, ctx, bounds);
    if (m_lastTick == TickKind::Pieces) {
        return paintPieces(surface, *image, list, ctx);
    }
    if (image == nullptr) {
        m_record.tracker.reset();
        drawAll(surface, list, ctx, false);
        return ctx.showTexts ? QRegion(bounds) : QRegion();
    }
    drawAll(surface, list, ctx, true);
    return QRegion(bounds);
}

TickKind PointRenderer::planTick(DrawingSurface& surface, QImage& image, PointList& list,
                                 const RenderContext& ctx, const QRect& bounds) {
    if (m_record.blendingText) {
        m_kept.overlapped = false;
        return TickKind::BlendingText;
    }
    if (!m_record.tracker.valid(keyFor(image, list, ctx), ctx.now)) {
        m_kept.overlapped = false;
        return TickKind::NoRecord;
    }
    m_counts = {};
    beginCells(surface, image);
    m_tick.due = m_record.tracker.takeDue(ctx.now);
    // What lay wholly under later parts, and the record therefore does not know, may show once
    // a point over it changes its shapes.
    if (m_record.partial && !m_tick.due.empty()) {
        return TickKind::HiddenPartsBared;
    }
    // The same points change in the same places as on the last tick, which found them too
    // overlapped.
    if (m_kept.overlapped && m_tick.due.empty()) {
        return TickKind::TooOverlapped;
    }
    m_kept.overlapped = false;
    std::vector<Piece> pieces;
    if (const TickKind why = collectChanges(list, ctx, bounds, pieces); why != TickKind::Pieces) {
        return why;
    }
    if (!findReach(std::move(pieces))) {
        m_kept.overlapped = true;
        return TickKind::TooOverlapped;
    }
    return TickKind::Pieces;
}

TickKind PointRenderer::collectChanges(PointList& list, const RenderContext& ctx,
                                       const QRect& bounds, std::vector<Piece>& pieces) {
    m_tick.changed.clear();
    for (const int i : m_record.tracker.flashers()) {
        // A flashing point changes colours only: if it was out of sight, it still is.
        if (m_record.tracker.shapes(i) != nullptr &&
            !addChange(list, ctx, bounds, i, true, pieces)) {
            return TickKind::UncachedText;
        }
    }
    for (const int i : m_tick.due) {
        if (!addChange(list, ctx, bounds, i, false, pieces)) {
            return TickKind::UncachedText;
        }
    }
    // Beyond this share the rectangles would cover most of the view anyway.
    if (m_tick.changed.size() * kChangedShareLimit > static_cast<std::size_t>(m_record.inView)) {
        return TickKind::TooManyChanges;
    }
    return TickKind::Pieces;
}

bool PointRenderer::addChange(PointList& list, const RenderContext& ctx, const QRect& bounds,
                              int i, bool coloursOnly, std::vector<Piece>& pieces) {
    const PointShapes* before = m_record.tracker.shapes(i);
    const PointPlan p = PlanPoint(list, i, ctx);
    if (before == nullptr && !ShapesReach(p, bounds) && !TextMayReach(p, bounds)) {
        return true;
    }
    const TextCellCache::Cell* cell = cellFor(p, i);
    if (cell == nullptr || cell->image.isNull()) {
        return false;
    }
    const PointShapes after = ShapesOf(p, cell->extent, bounds);
    if (coloursOnly) {
        // Only the square's and the text's colours change: their rectangles stay.
        const PointRecord& r = list.point(i);
        if (r.bShowRect != 0 && r.bFlashRect != 0 && !after.square.isEmpty()) {
            pieces.push_back({after.square, i});
        }
        if (r.bFlashText != 0 && !after.cell.isEmpty()) {
            pieces.push_back({after.cell, i});
        }
    } else {
        std::vector<QRect> rects;
        if (before != nullptr) {
            before->addTo(rects);
            for (const QRect& r : rects) {
                pieces.push_back({r, 0});
            }
            rects.clear();
        }
        after.addTo(rects);
        for (const QRect& r : rects) {
            pieces.push_back({r, i});
        }
    }
    m_tick.changed.push_back({i, p, cell, after});
    return true;
}

bool PointRenderer::findReach(std::vector<Piece> pieces) {
    // The record learns the new shapes (a full tick taking over records everything afresh).
    TickTracker& tracker = m_record.tracker;
    for (const Changed& c : m_tick.changed) {
        tracker.setShapes(c.index, c.shapes);
    }
    if (pieces == m_kept.pieces && m_kept.version == tracker.shapesVersion()) {
        return true;
    }
    // Where the changed points lie under many later ones, repainting every piece would cost
    // more than drawing everything once.
    const auto inView = static_cast<std::size_t>(m_record.inView);
    m_kept.pieces = std::move(pieces);
    m_kept.reach.clear();
    m_kept.ends.clear();
    m_kept.version = 0;
    for (const Piece& piece : m_kept.pieces) {
        tracker.reaching(piece.rect, piece.from, m_kept.reach);
        m_kept.ends.push_back(m_kept.reach.size());
        if (m_kept.reach.size() > inView) {
            return false;
        }
    }
    m_kept.version = tracker.shapesVersion();
    return true;
}

QRegion PointRenderer::paintPieces(DrawingSurface& surface, QImage& image, PointList& list,
                                   const RenderContext& ctx) {
    // The phases move, as a full drawing moves them.
    TickTracker& tracker = m_record.tracker;
    if (ctx.advancePhases) {
        for (const int i : tracker.flashers()) {
            AdvancePhases(list, i);
        }
    }
    for (const int i : m_tick.due) {
        if (Flashes(list.point(i))) {
            if (ctx.advancePhases) {
                AdvancePhases(list, i);
            }
            tracker.addFlasher(i);
        }
    }
    tracker.setNow(ctx.now);
    std::sort(m_tick.changed.begin(), m_tick.changed.end(),
              [](const Changed& a, const Changed& b) { return a.index < b.index; });
    m_tick.changedIndices.clear();
    for (const Changed& c : m_tick.changed) {
        m_tick.changedIndices.push_back(c.index);
    }

    // Pieces may overlap: each one repainted from the points reaching into it gives every pixel
    // of it its final value.
    m_tick.paintStamp.resize(list.points().size());
    std::vector<QRect> rects;
    rects.reserve(m_kept.pieces.size());
    const std::span<const int> reach(m_kept.reach);
    for (std::size_t k = 0; k < m_kept.pieces.size(); ++k) {
        const std::size_t first = k == 0 ? 0 : m_kept.ends[k - 1];
        rects.push_back(m_kept.pieces[k].rect);
        paintPiece(surface, image, list, ctx, m_kept.pieces[k].rect,
                   reach.subspan(first, m_kept.ends[k] - first));
    }
    // Many small rectangles reach the screen as the one that holds them.
    if (rects.size() <= kMaxScreenRects) {
        return UniteAll(rects, 0, rects.size());
    }
    QRect all;
    for (const QRect& r : rects) {
        all |= r;
    }
    return QRegion(all);
}

void PointRenderer::paintPiece(DrawingSurface& surface, QImage& image, PointList& list,
                               const RenderContext& ctx, const QRect& rect,
                               std::span<const int> reach) {
    if (image.format() == QImage::Format_RGB32) {
        CoverageMask& mask = m_lastFirst.mask;
        mask.reset(image, rect);
        bool layered = true;
        for (auto k = reach.rbegin(); k != reach.rend() && !mask.full(); ++k) {
            const Visible v = tickVisible(list, ctx, *k, rect);
            if (v.fresh) {
                layered = false;
                break;
            }
            DrawUncovered(mask, v.plan, v.cell, v.extent, rect);
        }
        if (layered) {
            return;
        }
    }
    // In list order, from the last point that covers the rectangle whole (a fresh text may
    // blend, so it cannot be painted last first); what the mask painted is painted again.
    std::size_t start = reach.size();
    while (start > 0 && !m_record.tracker.shapes(reach[start - 1])->covers(rect)) {
        --start;
    }
    start = start > 0 ? start - 1 : 0;
    QPainter& painter = surface.painter();
    for (const int i : reach.subspan(start)) {
        const Visible v = tickVisible(list, ctx, i, rect);
        DrawShapesFast(painter, v.plan, rect);
        if (v.fresh) {
            // Known to paint exactly its cell: drawn afresh, cut to the piece.
            ++m_counts.freshTexts;
            PadText(m_cells.padded, *v.plan.text);
            painter.setClipRect(rect);
            DrawTextFresh(surface, v.plan, m_cells.padded);
            painter.setClipping(false);
        } else if (v.cell != nullptr) {
            DrawCellFast(painter, v.plan, *v.cell, rect);
        }
        DrawCentreFast(painter, v.plan, rect);
    }
}

PointRenderer::Visible PointRenderer::tickVisible(PointList& list, const RenderContext& ctx, int i,
                                                  const QRect& rect) {
    auto& stamp = m_tick.paintStamp[static_cast<std::size_t>(i)];
    if (stamp != m_tick.number) {
        stamp = m_tick.number;
        ++m_counts.painted;
    }
    const auto at = std::lower_bound(m_tick.changedIndices.begin(), m_tick.changedIndices.end(), i);
    const Changed* changed =
        at != m_tick.changedIndices.end() && *at == i
            ? &m_tick.changed[static_cast<std::size_t>(at - m_tick.changedIndices.begin())]
            : nullptr;
    const PointPlan p = changed != nullptr ? changed->plan : PlanPoint(list, i, ctx);
    // The cell is found only where it shows: the record knows where it lies.
    if (!m_record.tracker.shapes(i)->cell.intersects(rect)) {
        return {i, p, nullptr, QSize(), false};
    }
    const TextCellCache::Cell* cell = changed != nullptr ? changed->cell : cellFor(p, i);
    const bool fresh = cell == nullptr || cell->image.isNull();
    return {i, p, fresh ? nullptr : cell, fresh ? QSize() : cell->extent, fresh};
}

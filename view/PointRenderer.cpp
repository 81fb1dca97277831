#include "PointRenderer.h"

#include <algorithm>
#include <span>

#include <QImage>
#include <QPainter>

#include "DrawingSurface.h"
#include "PointDrawing.h"
#include "TextCellCache.h"

namespace {

// A tick whose changed points are more than this share of the visible ones draws in full: the
// rectangles would cover most of the view anyway.
constexpr int kChangedShareLimit = 4;
// Beyond this many repainted rectangles the screen gets the rectangle that holds them all.
constexpr std::size_t kMaxScreenRects = 256;

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

PointRenderer::PointRenderer() : m_cache(std::make_unique<TextCellCache>()) {}

PointRenderer::~PointRenderer() = default;

void PointRenderer::setCacheLimit(std::size_t bytes) {
    m_cache->setLimit(bytes);
}

std::size_t PointRenderer::cachedCells() const {
    return m_cache->count();
}

std::size_t PointRenderer::cachedBytes() const {
    return m_cache->bytes();
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

const TextCellCache::Cell* PointRenderer::cellFor(const PointPlan& p, int i) {
    PadText(m_padded, *p.text);
    return m_cache->find(p.font, p.textColor, p.backColor, m_padded,
                         m_memos[static_cast<std::size_t>(i)]);
}

QRegion PointRenderer::Tick(DrawingSurface& surface, PointList& list, const RenderContext& ctx) {
    ++m_tickNumber;
    QImage* image = m_caching && ctx.showTexts ? FastTarget(surface, ctx) : nullptr;
    if (image == nullptr) {
        m_tracker.reset();
        drawAll(surface, list, ctx, false);
        return ctx.showTexts ? QRegion(boundsFor(nullptr, ctx)) : QRegion();
    }
    const QRect bounds = boundsFor(image, ctx);
    QRegion painted;
    const bool valid = !m_fullTicks && m_tracker.valid(keyFor(*image, list, ctx), ctx.now);
    m_overlapped = m_overlapped && valid;
    if (valid && tickChanges(surface, *image, list, ctx, bounds, painted)) {
        return painted;
    }
    drawAll(surface, list, ctx, true);
    return QRegion(bounds);
}

bool PointRenderer::tickChanges(DrawingSurface& surface, QImage& image, PointList& list,
                                const RenderContext& ctx, const QRect& bounds, QRegion& painted) {
    m_freshTexts = 0;
    m_painted = 0;
    QPainter& painter = surface.painter();
    m_cache->beginTick({image.format(), image.dotsPerMeterX(), image.dotsPerMeterY(),
                        painter.renderHints(), static_cast<int>(image.devicePixelRatio())});

    std::vector<Piece> pieces;
    m_changed.clear();
    const std::vector<int> due = m_tracker.takeDue(ctx.now);
    // What lay wholly under later parts, and the tracker therefore does not know, may show once
    // a point over it changes its shapes.
    if (m_partial && !due.empty()) {
        return false;
    }
    // The same points change in the same places as on the last tick, which found them too
    // overlapped: the answer stands until a point falls due or the view changes.
    if (m_overlapped && due.empty()) {
        return false;
    }
    m_overlapped = false;
    auto consider = [&](int i, bool colours) {
        const PointShapes* before = m_tracker.shapes(i);
        const PointPlan p = PlanPoint(list, i, ctx);
        if (before == nullptr && !ShapesReach(p, bounds) && !TextMayReach(p, bounds)) {
            return true;
        }
        const TextCellCache::Cell* cell = cellFor(p, i);
        if (cell == nullptr || cell->image.isNull()) {
            return false;
        }
        const PointShapes after = ShapesOf(p, cell->extent, bounds);
        if (colours) {
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
        m_changed.push_back({i, p, cell, after});
        return true;
    };
    for (const int i : m_tracker.flashers()) {
        // A flashing point changes colours only: if it was out of sight, it still is.
        if (m_tracker.shapes(i) != nullptr && !consider(i, true)) {
            return false;
        }
    }
    for (const int i : due) {
        if (!consider(i, false)) {
            return false;
        }
    }
    const auto visible = static_cast<std::size_t>(m_inView);
    if (m_changed.size() * kChangedShareLimit > visible) {
        return false;
    }
    // The tracker learns the new shapes (a full tick taking over records everything afresh),
    // then what reaches into each piece is found: the last tick's answer while the pieces and
    // every point's shapes stay the same, as they do while points only flash. Where the changed
    // points lie under many later ones, repainting every piece would cost more than drawing
    // everything once.
    for (const Changed& c : m_changed) {
        m_tracker.setShapes(c.index, c.shapes);
    }
    if (pieces != m_pieces || m_reachVersion != m_tracker.shapesVersion()) {
        m_pieces = std::move(pieces);
        m_reach.clear();
        m_reachEnds.clear();
        m_reachVersion = 0;
        for (const Piece& piece : m_pieces) {
            m_tracker.reaching(piece.rect, piece.from, m_reach);
            m_reachEnds.push_back(m_reach.size());
            if (m_reach.size() > visible) {
                m_overlapped = true;
                return false;
            }
        }
        m_reachVersion = m_tracker.shapesVersion();
    }

    // From here on the tick is incremental: the phases move.
    if (ctx.advancePhases) {
        for (const int i : m_tracker.flashers()) {
            AdvancePhases(list, i);
        }
    }
    for (const int i : due) {
        if (Flashes(list.point(i))) {
            if (ctx.advancePhases) {
                AdvancePhases(list, i);
            }
            m_tracker.addFlasher(i);
        }
    }
    m_tracker.setNow(ctx.now);
    std::sort(m_changed.begin(), m_changed.end(),
              [](const Changed& a, const Changed& b) { return a.index < b.index; });
    m_changedIndices.clear();
    for (const Changed& c : m_changed) {
        m_changedIndices.push_back(c.index);
    }

    // Every part a point paints is opaque, so a pixel ends as the last part over it leaves it,
    // whatever was there: pieces may overlap, each one repainted from the points reaching
    // into it gives every pixel of it its final value.
    m_paintStamp.resize(list.points().size());
    std::vector<QRect> rects;
    rects.reserve(m_pieces.size());
    const std::span<const int> reach(m_reach);
    for (std::size_t k = 0; k < m_pieces.size(); ++k) {
        const std::size_t first = k == 0 ? 0 : m_reachEnds[k - 1];
        rects.push_back(m_pieces[k].rect);
        paintPiece(surface, image, list, ctx, m_pieces[k].rect,
                   reach.subspan(first, m_reachEnds[k] - first));
    }
    // Many small rectangles reach the screen as the one that holds them.
    if (rects.size() <= kMaxScreenRects) {
        painted = UniteAll(rects, 0, rects.size());
    } else {
        QRect all;
        for (const QRect& r : rects) {
            all |= r;
        }
        painted = QRegion(all);
    }
    return true;
}

void PointRenderer::paintPiece(DrawingSurface& surface, QImage& image, PointList& list,
                               const RenderContext& ctx, const QRect& rect,
                               std::span<const int> reach) {
    if (image.format() == QImage::Format_RGB32) {
        m_mask.reset(image, rect);
        bool layered = true;
        for (auto k = reach.rbegin(); k != reach.rend() && !m_mask.full(); ++k) {
            const Visible v = tickVisible(list, ctx, *k, rect);
            if (v.fresh) {
                layered = false;
                break;
            }
            DrawUncovered(m_mask, v.plan, v.cell, v.extent, rect);
        }
        if (layered) {
            return;
        }
    }
    // In list order, from the last point that covers the rectangle whole (a text drawn afresh
    // may blend, so it cannot be painted last first); what the mask painted is painted again.
    std::size_t start = reach.size();
    while (start > 0 && !m_tracker.shapes(reach[start - 1])->covers(rect)) {
        --start;
    }
    start = start > 0 ? start - 1 : 0;
    QPainter& painter = surface.painter();
    for (const int i : reach.subspan(start)) {
        const Visible v = tickVisible(list, ctx, i, rect);
        DrawShapesFast(painter, v.plan, rect);
        if (v.fresh) {
            // Known to paint exactly its cell: drawn afresh, cut to the piece.
            ++m_freshTexts;
            PadText(m_padded, *v.plan.text);
            painter.setClipRect(rect);
            DrawTextFresh(surface, v.plan, m_padded);
            painter.setClipping(false);
        } else if (v.cell != nullptr) {
            DrawCellFast(painter, v.plan, *v.cell, rect);
        }
        DrawCentreFast(painter, v.plan, rect);
    }
}

PointRenderer::Visible PointRenderer::tickVisible(PointList& list, const RenderContext& ctx, int i,
                                                  const QRect& rect) {
    auto& stamp = m_paintStamp[static_cast<std::size_t>(i)];
    if (stamp != m_tickNumber) {
        stamp = m_tickNumber;
        ++m_painted;
    }
    const auto at = std::lower_bound(m_changedIndices.begin(), m_changedIndices.end(), i);
    const Changed* changed =
        at != m_changedIndices.end() && *at == i
            ? &m_changed[static_cast<std::size_t>(at - m_changedIndices.begin())]
            : nullptr;
    const PointPlan p = changed != nullptr ? changed->plan : PlanPoint(list, i, ctx);
    // The cell is found only where it shows: the tracker knows where it lies.
    if (!m_tracker.shapes(i)->cell.intersects(rect)) {
        return {i, p, nullptr, QSize(), false};
    }
    const TextCellCache::Cell* cell = changed != nullptr ? changed->cell : cellFor(p, i);
    const bool fresh = cell == nullptr || cell->image.isNull();
    return {i, p, fresh ? nullptr : cell, fresh ? QSize() : cell->extent, fresh};
}

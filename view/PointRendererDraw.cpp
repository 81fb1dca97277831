// The point renderer's full drawing: every point afresh, in list order on most surfaces and
// last first through the coverage mask on the window image (see PointRenderer.h).
#include "PointRenderer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include <QImage>
#include <QPainter>

#include "DrawingSurface.h"
#include "GdiConvert.h"
#include "PointDrawing.h"
#include "RenderLimits.h"
#include "SinceTime.h"
#include "TextCellCache.h"

namespace {

// `r` moved by `by`, its edges kept within kIntEdge (a text near the far edge of the
// coordinates the surface accepts may reach beyond the int range).
QRect Translated(const QRect& r, QPoint by) {
    auto at = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -kIntEdge, kIntEdge));
    };
    return QRect(QPoint(at(std::int64_t{r.left()} + by.x()), at(std::int64_t{r.top()} + by.y())),
                 QPoint(at(std::int64_t{r.right()} + by.x()),
                        at(std::int64_t{r.bottom()} + by.y())));
}

} // namespace

const TextCellCache::Cell* PointRenderer::pendingCell(const PointPlan& p, int i) {
    const TextCellCache::Cell* cell = cellFor(p, i);
    if (cell == nullptr) {
        // No room in the cache: rendered for this drawing only.
        m_cells.spare = TextCellCache::Render(m_cells.cache->target(), p.font, p.textColor,
                                              p.backColor, m_cells.padded);
        cell = &m_cells.spare;
    }
    return cell;
}

void PointRenderer::DrawPoints(DrawingSurface& surface, PointList& list, const RenderContext& ctx) {
    drawAll(surface, list, ctx, false);
}

void PointRenderer::drawAll(DrawingSurface& surface, PointList& list, const RenderContext& ctx,
                            bool record) {
    m_counts = {};
    if (!ctx.showTexts) {
        return;
    }
    QImage* image = m_caching ? FastTarget(surface, ctx) : nullptr;
    const QRect bounds = boundsFor(image, ctx);
    if (image != nullptr) {
        beginCells(surface, *image);
        m_cells.memos.resize(list.points().size());
    }
    record = record && image != nullptr;
    m_record.partial = false;
    // On the window image every part is an opaque rectangle but for fresh texts, so the points
    // are painted last first.
    const bool lastFirst = image != nullptr && image->format() == QImage::Format_RGB32;
    if (record) {
        m_record.tracker.begin(list.count(), bounds, lastFirst);
    }
    if (!lastFirst || !drawLastFirst(surface, *image, list, ctx, bounds, record)) {
        m_counts = {};
        m_record.partial = false;
        if (record) {
            m_record.tracker.begin(list.count(), bounds);
        }
        drawInOrder(surface, image, list, ctx, bounds, record);
    }
    notePhases(list, ctx, record);
    if (record) {
        m_record.blendingText = m_counts.freshTexts > 0;
        m_record.inView = m_counts.painted;
        m_record.tracker.end(keyFor(*image, list, ctx), ctx.now);
    }
}

void PointRenderer::notePhases(PointList& list, const RenderContext& ctx, bool record) {
    // The phases move on for every point, seen or not, once it has been drawn with them.
    for (int i = 0; i < list.count(); ++i) {
        const PointRecord& r = list.point(i);
        if (r.bSinceDate == 0) {
            continue;
        }
        if (!SinceHasPassed(r.stSince, ctx.now)) {
            if (record) {
                m_record.tracker.notePending(i, SinceInstant(r.stSince));
            }
        } else if (Flashes(r)) {
            if (ctx.advancePhases) {
                AdvancePhases(list, i);
            }
            if (record) {
                m_record.tracker.noteFlasher(i);
            }
        }
    }
}

void PointRenderer::drawInOrder(DrawingSurface& surface, QImage* image, PointList& list,
                                const RenderContext& ctx, const QRect& bounds, bool record) {
    const bool cull = !bounds.isEmpty() || image != nullptr;
    QPainter& painter = surface.painter();
    std::string& padded = m_cells.padded;
    for (int i = 0; i < list.count(); ++i) {
        const PointPlan p = PlanPoint(list, i, ctx);
        const bool text = !cull || TextMayReach(p, bounds);
        if (!text && cull && !ShapesReach(p, bounds)) {
            continue;
        }
        ++m_counts.painted;
        PadText(padded, *p.text);
        if (image == nullptr) {
            DrawFresh(surface, p, padded, ctx.printing || surface.isPrinting());
            continue;
        }
        const TextCellCache::Cell* cell = text ? cellFor(p, i) : nullptr;
        const bool fresh = text && (cell == nullptr || cell->image.isNull());
        DrawShapesFast(painter, p, bounds);
        if (fresh) {
            ++m_counts.freshTexts;
            DrawTextFresh(surface, p, padded);
        } else if (cell != nullptr) {
            DrawCellFast(painter, p, *cell, bounds);
        }
        DrawCentreFast(painter, p, bounds);
        if (record) {
            m_record.tracker.noteShapes(
                i, ShapesOf(p, fresh || cell == nullptr ? QSize() : cell->extent, bounds));
        }
    }
}

bool PointRenderer::drawLastFirst(DrawingSurface& surface, QImage& image, PointList& list,
                                  const RenderContext& ctx, const QRect& bounds, bool record) {
    CoverageMask& mask = m_lastFirst.mask;
    std::vector<QRect>& blendRects = m_lastFirst.blendRects;
    mask.reset(image, bounds);
    m_lastFirst.blended.clear();
    blendRects.clear();
    for (int i = list.count() - 1; i >= 0; --i) {
        const PointPlan p = PlanPoint(list, i, ctx);
        const bool text = TextMayReach(p, bounds);
        if (!text && !ShapesReach(p, bounds)) {
            continue;
        }
        ++m_counts.painted;
        const long long uncovered = mask.remaining();
        const std::size_t kept = blendRects.size();
        CoverCentre(mask, p, bounds);
        QSize extent;
        if (const std::optional<QPoint> corner = text ? CellCorner(p) : std::nullopt) {
            PadText(m_cells.padded, *p.text);
            textLastFirst(surface, p, i, *corner, bounds, extent);
            if (blendRects.size() > kMaxBlendRects) {
                return false;
            }
        }
        CoverShapes(mask, p, bounds);
        // A point that painted nothing changes nothing while the points over it stay as they
        // are, as they do while they only flash: the ticks need not know it.
        if (mask.remaining() == uncovered && blendRects.size() == kept) {
            m_record.partial = true;
        } else if (record) {
            m_record.tracker.noteShapes(i, ShapesOf(p, extent, bounds));
        }
    }
    // Fresh texts, in list order, each over what lies beneath it and only where no later part
    // lies.
    const std::vector<Blended>& blended = m_lastFirst.blended;
    for (std::size_t k = blended.size(); k-- > 0;) {
        const std::size_t first = k == 0 ? 0 : blended[k - 1].end;
        const PointPlan p = PlanPoint(list, blended[k].index, ctx);
        PadText(m_cells.padded, *p.text);
        drawWithin(surface, image, p,
                   std::span<const QRect>(blendRects).subspan(first, blended[k].end - first));
    }
    return true;
}

void PointRenderer::drawWithin(DrawingSurface& surface, QImage& image, const PointPlan& p,
                               std::span<const QRect> rects) {
    if (rects.empty()) {
        return;
    }
    QPainter& painter = surface.painter();
    QRect area;
    for (const QRect& r : rects) {
        area |= r;
    }
    // Drawn once, clipped to the rectangle that holds them all (a rectangular clip changes no
    // pixel within it); the pixels outside them are then put back as they were.
    const int ratio = static_cast<int>(image.devicePixelRatio());
    const QRect device(area.topLeft() * ratio, area.size() * ratio);
    QImage kept = rects.size() == 1 ? QImage() : image.copy(device);
    if (rects.size() > 1 && kept.isNull()) {
        // No memory to keep what lies there: one rectangle at a time.
        for (const QRect& r : rects) {
            painter.setClipRect(r);
            DrawTextFresh(surface, p, m_cells.padded);
        }
        painter.setClipping(false);
        return;
    }
    painter.setClipRect(area);
    DrawTextFresh(surface, p, m_cells.padded);
    painter.setClipping(false);
    if (kept.isNull()) {
        return;
    }
    // Each rectangle of the text goes into what lay there, which then goes back.
    for (const QRect& r : rects) {
        const QRect from(r.topLeft() * ratio, r.size() * ratio);
        const auto bytes = static_cast<std::size_t>(from.width()) * 4;
        for (int y = from.top(); y <= from.bottom(); ++y) {
            std::memcpy(kept.scanLine(y - device.top()) + (from.left() - device.left()) * 4,
                        image.constScanLine(y) + from.left() * 4, bytes);
        }
    }
    const auto bytes = static_cast<std::size_t>(device.width()) * 4;
    for (int y = device.top(); y <= device.bottom(); ++y) {
        std::memcpy(image.scanLine(y) + device.left() * 4, kept.constScanLine(y - device.top()),
                    bytes);
    }
}

void PointRenderer::textLastFirst(DrawingSurface& surface, const PointPlan& p, int i,
                                  QPoint corner, const QRect& bounds, QSize& extent) {
    // A text wholly under later parts is passed over unmeasured; its cell stays unknown.
    if (const std::optional<QRect> reach = m_cells.bounds.reach(surface, p.font, m_cells.padded);
        reach && m_lastFirst.mask.covers(Translated(*reach, corner) & bounds)) {
        m_record.partial = true;
        return;
    }
    // A turned text's cell turns with it about its corner: always drawn afresh.
    const TextCellCache::Cell* cell = nullptr;
    if (p.font.lfEscapement % kFullTurn != 0 ||
        !cellLastFirst(surface, p, i, corner, bounds, extent, cell)) {
        keepFresh(surface, p, i, corner, bounds, extent, cell);
    }
}

bool PointRenderer::cellLastFirst(DrawingSurface& surface, const PointPlan& p, int i,
                                  QPoint corner, const QRect& bounds, QSize& extent,
                                  const TextCellCache::Cell*& cell) {
    TextCellCache& cache = *m_cells.cache;
    CoverageMask& mask = m_lastFirst.mask;
    const std::string& padded = m_cells.padded;
    TextCellCache::Memo& memo = m_cells.memos[static_cast<std::size_t>(i)];
    cell = cache.lookup(p.font, p.textColor, p.backColor, padded, memo);
    std::optional<QSize> inside;
    if (cell == nullptr) {
        surface.selectFont(p.font);
        inside = surface.textExtentInside(padded);
        cell = inside ? cache.remember(p.font, p.textColor, p.backColor, padded, memo, *inside)
                      : cache.find(p.font, p.textColor, p.backColor, padded, memo);
    }
    if (inside || (cell != nullptr && !cell->rendered)) {
        // A text inside its cell is rendered only when part of the cell shows.
        extent = inside ? *inside : cell->extent;
        if (mask.covers(QRect(corner, extent) & bounds)) {
            return true;
        }
        cell = pendingCell(p, i);
    }
    if (cell != nullptr && !cell->image.isNull()) {
        extent = cell->extent;
        mask.copy(QRect(corner, extent) & bounds, cell->image, corner);
        return true;
    }
    return false;
}

void PointRenderer::keepFresh(DrawingSurface& surface, const PointPlan& p, int i, QPoint corner,
                              const QRect& bounds, QSize& extent,
                              const TextCellCache::Cell* cell) {
    // Kept where it shows: within its cell and, around it, as far as its glyphs may reach
    // (TextOverhang), turned about its corner as the text is.
    if (cell != nullptr) {
        extent = cell->extent;
    } else {
        surface.selectFont(p.font);
        extent = surface.textExtent(m_cells.padded);
    }
    ++m_counts.freshTexts;
    CoverageMask& mask = m_lastFirst.mask;
    const auto margin =
        static_cast<int>(std::min<std::int64_t>(TextOverhang(extent.height()), kFarExtent));
    const QRect box(0, 0, std::min(extent.width(), kFarExtent),
                    std::min(extent.height(), kFarExtent));
    const int turn = p.font.lfEscapement;
    const QRect reach =
        DrawingSurface::turnedBounds(box.adjusted(-margin, -margin, margin, margin), turn);
    mask.uncovered(Translated(reach, corner) & bounds, m_lastFirst.blendRects);
    m_lastFirst.blended.push_back({i, m_lastFirst.blendRects.size()});
    // Upright or turned by quarter turns, the cell is a rectangle of the view that the text
    // covers whole.
    if (DrawingSurface::turnsExactly(turn)) {
        mask.cover(Translated(DrawingSurface::turnedBounds(box, turn), corner) & bounds);
    }
    if (turn % kFullTurn != 0) {
        extent = QSize(); // the record knows upright cells alone
    }
}

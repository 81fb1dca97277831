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
#include "PointDrawing.h"
#include "SinceTime.h"
#include "TextCellCache.h"

namespace {

// Rectangles kept of the texts a drawing last first draws afresh at its end. Where later parts
// leave them showing through a fine mesh (a hostile map can make one), more would be needed:
// that drawing is made in list order instead, which needs none.
constexpr std::size_t kMaxBlendRects = std::size_t{1} << 20;

// `r` moved by `by`, its edges kept within the int range (a text near the far edge of the
// coordinates the surface accepts may reach beyond it).
QRect Translated(const QRect& r, QPoint by) {
    auto at = [](std::int64_t v) {
        return static_cast<int>(std::clamp<std::int64_t>(v, -(1 << 30), 1 << 30));
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
        m_spare = TextCellCache::Render(m_cache->target(), p.font, p.textColor, p.backColor,
                                        m_padded);
        cell = &m_spare;
    }
    return cell;
}

void PointRenderer::DrawPoints(DrawingSurface& surface, PointList& list, const RenderContext& ctx) {
    drawAll(surface, list, ctx, false);
}

void PointRenderer::drawAll(DrawingSurface& surface, PointList& list, const RenderContext& ctx,
                            bool record) {
    m_freshTexts = 0;
    m_painted = 0;
    if (!ctx.showTexts) {
        return;
    }
    QImage* image = m_caching ? FastTarget(surface, ctx) : nullptr;
    const QRect bounds = boundsFor(image, ctx);
    if (image != nullptr) {
        QPainter& painter = surface.painter();
        m_cache->beginTick({image->format(), image->dotsPerMeterX(), image->dotsPerMeterY(),
                            painter.renderHints(), static_cast<int>(image->devicePixelRatio())});
        m_memos.resize(list.points().size());
    }
    record = record && image != nullptr;
    m_partial = false;
    // On the window image every part is an opaque rectangle but for texts drawn afresh, so
    // the points are painted last first (CoverageMask).
    const bool lastFirst = image != nullptr && image->format() == QImage::Format_RGB32;
    if (record) {
        m_tracker.begin(list.count(), bounds, lastFirst);
    }
    if (!lastFirst || !drawLastFirst(surface, *image, list, ctx, bounds, record)) {
        m_freshTexts = 0;
        m_painted = 0;
        m_partial = false;
        if (record) {
            m_tracker.begin(list.count(), bounds);
        }
        drawInOrder(surface, image, list, ctx, bounds, record);
    }
    // The phases move on for every point, seen or not, once it has been drawn with them.
    for (int i = 0; i < list.count(); ++i) {
        const PointRecord& r = list.point(i);
        if (r.bSinceDate == 0) {
            continue;
        }
        if (!SinceHasPassed(r.stSince, ctx.now)) {
            if (record) {
                m_tracker.notePending(i, SinceInstant(r.stSince));
            }
        } else if (Flashes(r)) {
            if (ctx.advancePhases) {
                AdvancePhases(list, i);
            }
            if (record) {
                m_tracker.noteFlasher(i);
            }
        }
    }
    if (record) {
        m_fullTicks = m_freshTexts > 0;
        m_inView = m_painted;
        m_tracker.end(keyFor(*image, list, ctx), ctx.now);
    }
}

void PointRenderer::drawInOrder(DrawingSurface& surface, QImage* image, PointList& list,
                                const RenderContext& ctx, const QRect& bounds, bool record) {
    const bool cull = !bounds.isEmpty() || image != nullptr;
    QPainter& painter = surface.painter();
    for (int i = 0; i < list.count(); ++i) {
        const PointPlan p = PlanPoint(list, i, ctx);
        const bool text = !cull || TextMayReach(p, bounds);
        if (!text && cull && !ShapesReach(p, bounds)) {
            continue;
        }
        ++m_painted;
        PadText(m_padded, *p.text);
        if (image == nullptr) {
            DrawFresh(surface, p, m_padded, ctx.printing || surface.isPrinting());
            continue;
        }
        const TextCellCache::Cell* cell = text ? cellFor(p, i) : nullptr;
        const bool fresh = text && (cell == nullptr || cell->image.isNull());
        DrawShapesFast(painter, p, bounds);
        if (fresh) {
            ++m_freshTexts;
            DrawTextFresh(surface, p, m_padded);
        } else if (cell != nullptr) {
            DrawCellFast(painter, p, *cell, bounds);
        }
        DrawCentreFast(painter, p, bounds);
        if (record) {
            m_tracker.noteShapes(i, ShapesOf(p, fresh || cell == nullptr ? QSize() : cell->extent,
                                             bounds));
        }
    }
}

bool PointRenderer::drawLastFirst(DrawingSurface& surface, QImage& image, PointList& list,
                                  const RenderContext& ctx, const QRect& bounds, bool record) {
    m_mask.reset(image, bounds);
    m_blended.clear();
    m_blendRects.clear();
    for (int i = list.count() - 1; i >= 0; --i) {
        const PointPlan p = PlanPoint(list, i, ctx);
        const bool text = TextMayReach(p, bounds);
        if (!text && !ShapesReach(p, bounds)) {
            continue;
        }
        ++m_painted;
        const long long uncovered = m_mask.remaining();
        const std::size_t blendRects = m_blendRects.size();
        CoverCentre(m_mask, p, bounds);
        QSize extent;
        if (const std::optional<QPoint> corner = text ? CellCorner(p) : std::nullopt) {
            PadText(m_padded, *p.text);
            textLastFirst(surface, p, i, *corner, bounds, extent);
            if (m_blendRects.size() > kMaxBlendRects) {
                return false;
            }
        }
        CoverShapes(m_mask, p, bounds);
        // A point that painted nothing changes nothing while the points over it stay as they
        // are, as they do while they only flash: the ticks need not know it.
        if (m_mask.remaining() == uncovered && m_blendRects.size() == blendRects) {
            m_partial = true;
        } else if (record) {
            m_tracker.noteShapes(i, ShapesOf(p, extent, bounds));
        }
    }
    // Texts drawn afresh, in list order, each over what lies beneath it and only where no later
    // part lies.
    for (std::size_t k = m_blended.size(); k-- > 0;) {
        const std::size_t first = k == 0 ? 0 : m_blended[k - 1].end;
        const PointPlan p = PlanPoint(list, m_blended[k].index, ctx);
        PadText(m_padded, *p.text);
        drawWithin(surface, image, p,
                   std::span<const QRect>(m_blendRects).subspan(first, m_blended[k].end - first));
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
            DrawTextFresh(surface, p, m_padded);
        }
        painter.setClipping(false);
        return;
    }
    painter.setClipRect(area);
    DrawTextFresh(surface, p, m_padded);
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
    if (const std::optional<QRect> reach = m_textBounds.reach(surface, p.font, m_padded);
        reach && m_mask.covers(Translated(*reach, corner) & bounds)) {
        m_partial = true;
        return;
    }
    // A turned text's cell turns with it about its corner: always drawn afresh.
    const bool turned = p.font.lfEscapement % 3600 != 0;
    const TextCellCache::Cell* cell = nullptr;
    if (!turned) {
        TextCellCache::Memo& memo = m_memos[static_cast<std::size_t>(i)];
        cell = m_cache->lookup(p.font, p.textColor, p.backColor, m_padded, memo);
        std::optional<QSize> inside;
        if (cell == nullptr) {
            surface.selectFont(p.font);
            inside = surface.textExtentInside(m_padded);
            cell = inside ? m_cache->remember(p.font, p.textColor, p.backColor, m_padded, memo,
                                              *inside)
                          : m_cache->find(p.font, p.textColor, p.backColor, m_padded, memo);
        }
        if (inside || (cell != nullptr && !cell->rendered)) {
            // A text inside its cell is rendered only when part of the cell shows.
            extent = inside ? *inside : cell->extent;
            if (m_mask.covers(QRect(corner, extent) & bounds)) {
                return;
            }
            cell = pendingCell(p, i);
        }
        if (cell != nullptr && !cell->image.isNull()) {
            extent = cell->extent;
            m_mask.copy(QRect(corner, extent) & bounds, cell->image, corner);
            return;
        }
    }
    // Drawn afresh at the end, where it shows: within its cell and, around it, as far as its
    // glyphs may reach (TextOverhang), turned about its corner as the text is.
    if (cell != nullptr) {
        extent = cell->extent;
    } else {
        surface.selectFont(p.font);
        extent = surface.textExtent(m_padded);
    }
    ++m_freshTexts;
    constexpr int kFar = 1 << 28; // no view is as large; keeps the sums below in range
    const auto margin = static_cast<int>(std::min<std::int64_t>(TextOverhang(extent.height()), kFar));
    const QRect box(0, 0, std::min(extent.width(), kFar), std::min(extent.height(), kFar));
    const int turn = p.font.lfEscapement;
    const QRect reach =
        DrawingSurface::turnedBounds(box.adjusted(-margin, -margin, margin, margin), turn);
    m_mask.uncovered(Translated(reach, corner) & bounds, m_blendRects);
    m_blended.push_back({i, m_blendRects.size()});
    // Upright or turned by quarter turns, the cell is a rectangle of the view that the text
    // covers whole.
    if (DrawingSurface::turnsExactly(turn)) {
        m_mask.cover(Translated(DrawingSurface::turnedBounds(box, turn), corner) & bounds);
    }
    if (turned) {
        extent = QSize(); // the tracker knows upright cells alone
    }
}

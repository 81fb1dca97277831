#include "PointRenderer.h"

#include <algorithm>
#include <cmath>

#include <QColor>
#include <QImage>
#include <QPainter>

#include "DrawingSurface.h"
#include "GdiConvert.h"
#include "SinceTime.h"
#include "TextCellCache.h"
#include "ViewGeometry.h"

namespace {

constexpr COLORREF kBlack = 0x00000000;
constexpr COLORREF kWhite = 0x00FFFFFF;

// No surface reaches this far from the origin in logical units. Coordinates handed to the
// surface are kept within it, so the painter's fixed-point text and line positions never
// overflow whatever sizes and positions a map file holds.
constexpr std::int64_t kFar = std::int64_t{1} << 20;

// Whole-number pixel ratios up to this are drawn the fast way.
constexpr qreal kMaxPixelRatio = 4.0;

int ClampFar(std::int64_t v) {
    return static_cast<int>(std::clamp(v, -kFar, kFar));
}
bool IsNear(std::int64_t v) {
    return v >= -kFar && v <= kFar;
}

// What one point draws in this call, decided from a copy of its record.
struct PointPlan {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool square = false;
    COLORREF squareColor = 0;
    std::int64_t rectSize = 0;
    bool cross = false;
    std::int64_t crossSize = 0;
    std::int64_t textOffset = 0;
    const std::string* text = nullptr;
    LOGFONTA font{};
    COLORREF textColor = 0;
    COLORREF backColor = 0;
};

// Decides point i's drawing from a copy of its record and writes the advanced flash phases
// into the stored record.
PointPlan Plan(PointList& list, int i, const RenderContext& ctx) {
    const PointRecord r = list.point(i);
    PointPlan p;
    const ClientPoint c = PictureToClient(r.dX, r.dY, ctx.zoom, ctx.printing ? 0 : ctx.scrollX,
                                          ctx.printing ? 0 : ctx.scrollY);
    p.x = c.x;
    p.y = c.y;
    const bool passed = r.bSinceDate != 0 && SinceHasPassed(r.stSince, ctx.now);

    p.square = r.bShowRect != 0;
    p.squareColor = r.crRect;
    p.rectSize = r.nRectSize;
    if (p.square && passed && r.bFlashRect != 0) {
        if (r.bRectPhase != 0) {
            list.point(i).bRectPhase = 0;
        } else {
            list.point(i).bRectPhase = 1;
            p.squareColor = kWhite;
        }
    }

    p.cross = r.bShowCross != 0;
    p.crossSize = r.nCrossSize;
    p.textOffset = std::max(r.nCrossSize, r.nRectSize);
    p.backColor = r.crBack;
    if (passed) {
        p.text = &list.sinceText(i);
        p.font = r.lfSince;
        p.textColor = r.crSinceText;
        if (r.bFlashText != 0) {
            if (r.bTextPhase != 0) {
                p.textColor = r.crBack;
                list.point(i).bTextPhase = 0;
            } else {
                list.point(i).bTextPhase = 1;
            }
        }
    } else {
        p.text = &list.label(i);
        p.font = r.lfText;
        p.textColor = r.crText;
    }
    return p;
}

// " %s ": the text up to its first NUL, one space on each side.
void Pad(std::string& out, const std::string& text) {
    out.assign(1, ' ');
    out.append(text, 0, text.find('\0'));
    out.push_back(' ');
}

// An inclusive pixel range; empty when lo > hi.
struct Span {
    std::int64_t lo;
    std::int64_t hi;
};

// The pixels two opposite arms of length `arm` from `centre` cover, end pixels left out.
Span ArmSpan(std::int64_t centre, std::int64_t arm) {
    const std::int64_t a = arm < 0 ? -arm : arm;
    return {centre - a + 1, centre + a - 1};
}

bool Overlaps(Span xs, Span ys, const QRect& r) {
    return xs.lo <= xs.hi && ys.lo <= ys.hi && xs.lo <= r.right() && xs.hi >= r.left() &&
           ys.lo <= r.bottom() && ys.hi >= r.top();
}

// The pixels of the square (x - n, y - n, 2n, 2n) along one axis: the surface fills a
// rectangle of negative extent towards smaller coordinates, so -n covers what n covers.
Span SquareSpan(std::int64_t centre, std::int64_t n) {
    const std::int64_t a = n < 0 ? -n : n;
    return {centre - a, centre + a - 1};
}

// Whether any of the point's square, cross or centre pixel reaches into `area`.
bool ShapesReach(const PointPlan& p, const QRect& area) {
    const Span px{p.x, p.x};
    const Span py{p.y, p.y};
    if (Overlaps(px, py, area)) {
        return true;
    }
    if (p.square && Overlaps(SquareSpan(p.x, p.rectSize), SquareSpan(p.y, p.rectSize), area)) {
        return true;
    }
    return p.cross && (Overlaps(ArmSpan(p.x, p.crossSize), py, area) ||
                       Overlaps(px, ArmSpan(p.y, p.crossSize), area));
}

// Whether the point's text may reach into `area`. The cell grows right and down from its
// corner; glyphs may overhang it by a little; turned text may go anywhere.
bool TextMayReach(const PointPlan& p, const QRect& area) {
    constexpr std::int64_t kOverhang = 16;
    return p.font.lfEscapement != 0 || (p.x + p.textOffset <= area.right() + kOverhang &&
                                        p.y + p.textOffset <= area.bottom() + kOverhang);
}

void DrawArms(DrawingSurface& surface, std::int64_t x, std::int64_t y, std::int64_t arm) {
    const int cx = ClampFar(x);
    const int cy = ClampFar(y);
    const std::int64_t ends[4][2] = {{x + arm, y}, {x - arm, y}, {x, y + arm}, {x, y - arm}};
    for (const auto& end : ends) {
        surface.moveTo(cx, cy);
        surface.lineTo(ClampFar(end[0]), ClampFar(end[1]));
    }
}

void DrawTextFresh(DrawingSurface& surface, const PointPlan& p, const std::string& padded) {
    surface.setBkColor(p.backColor);
    const std::int64_t tx = p.x + p.textOffset;
    const std::int64_t ty = p.y + p.textOffset;
    if (IsNear(tx) && IsNear(ty)) {
        surface.selectFont(p.font);
        surface.setTextColor(p.textColor);
        surface.textOut(static_cast<int>(tx), static_cast<int>(ty), padded);
    }
}

// The point drawn through the surface's own operations, step by step.
void DrawFresh(DrawingSurface& surface, const PointPlan& p, const std::string& padded,
               bool printing) {
    if (p.square) {
        const Span xs = SquareSpan(p.x, p.rectSize);
        const Span ys = SquareSpan(p.y, p.rectSize);
        const int l = ClampFar(xs.lo);
        const int t = ClampFar(ys.lo);
        const int r = ClampFar(xs.hi + 1);
        const int b = ClampFar(ys.hi + 1);
        if (l < r && t < b) {
            surface.fillSolidRect(l, t, r - l, b - t, p.squareColor);
        }
    }
    if (p.cross) {
        surface.selectPen(kBlack);
        DrawArms(surface, p.x, p.y, p.crossSize);
        surface.selectPen(kWhite);
        DrawArms(surface, p.x, p.y, p.crossSize / 2);
    }
    DrawTextFresh(surface, p, padded);
    if (IsNear(p.x) && IsNear(p.y)) {
        // The centre mark is one dot on paper too, however many dots a display pixel spans.
        if (printing) {
            surface.setDevicePixel(static_cast<int>(p.x), static_cast<int>(p.y), kBlack);
        } else {
            surface.setPixel(static_cast<int>(p.x), static_cast<int>(p.y), kBlack);
        }
    }
}

// Fills the part of [xs] x [ys] inside `bounds`.
void FillClipped(QPainter& painter, const QRect& bounds, Span xs, Span ys, const QColor& color) {
    const std::int64_t l = std::max<std::int64_t>(xs.lo, bounds.left());
    const std::int64_t r = std::min<std::int64_t>(xs.hi, bounds.right());
    const std::int64_t t = std::max<std::int64_t>(ys.lo, bounds.top());
    const std::int64_t b = std::min<std::int64_t>(ys.hi, bounds.bottom());
    if (l <= r && t <= b) {
        painter.fillRect(QRect(static_cast<int>(l), static_cast<int>(t),
                               static_cast<int>(r - l + 1), static_cast<int>(b - t + 1)),
                         color);
    }
}

// The surface's image when the fast drawing gives the same pixels as the surface's own
// operations: an unclipped 32-bit image painted opaquely, with no transform but its whole-number
// pixel ratio (so a logical pixel is a block of device pixels, and a cell image of the same
// ratio lands on it device pixel for device pixel).
QImage* FastTarget(DrawingSurface& surface, const RenderContext& ctx) {
    QPainter& painter = surface.painter();
    if (ctx.printing || surface.isPrinting() || !painter.isActive()) {
        return nullptr;
    }
    auto* image = dynamic_cast<QImage*>(painter.device());
    if (image == nullptr) {
        return nullptr;
    }
    const QImage::Format f = image->format();
    const bool wordPixels = f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
                            f == QImage::Format_ARGB32_Premultiplied;
    const qreal ratio = image->devicePixelRatio();
    const bool wholeRatio = ratio >= 1.0 && ratio <= kMaxPixelRatio && ratio == std::floor(ratio);
    const bool plain = wholeRatio &&
                       painter.combinedTransform() == QTransform::fromScale(ratio, ratio) &&
                       !painter.hasClipping() &&
                       painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
                       painter.opacity() == 1.0;
    return wordPixels && plain ? image : nullptr;
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

void PointRenderer::DrawPoints(DrawingSurface& surface, PointList& list, const RenderContext& ctx) {
    m_freshTexts = 0;
    if (!ctx.showTexts) {
        return;
    }
    QImage* image = m_caching ? FastTarget(surface, ctx) : nullptr;
    QPainter& painter = surface.painter();
    QRect bounds = ctx.visible;
    if (image != nullptr) {
        const QRect logical(QPoint(0, 0), image->deviceIndependentSize().toSize());
        bounds = ctx.visible.isEmpty() ? logical : logical & ctx.visible;
        m_cache->beginTick({image->format(), image->dotsPerMeterX(), image->dotsPerMeterY(),
                            painter.renderHints(), static_cast<int>(image->devicePixelRatio())});
        m_memos.resize(list.points().size());
    }
    const bool cull = !bounds.isEmpty() || image != nullptr;
    const QColor black = ToQColor(kBlack);
    const QColor white = ToQColor(kWhite);

    for (int i = 0; i < list.count(); ++i) {
        const PointPlan p = Plan(list, i, ctx);
        const bool shapes = !cull || ShapesReach(p, bounds);
        const bool text = !cull || TextMayReach(p, bounds);
        if (!shapes && !text) {
            continue;
        }
        Pad(m_padded, *p.text);
        if (image == nullptr) {
            DrawFresh(surface, p, m_padded, ctx.printing || surface.isPrinting());
            continue;
        }

        if (p.square) {
            FillClipped(painter, bounds, SquareSpan(p.x, p.rectSize), SquareSpan(p.y, p.rectSize),
                        ToQColor(p.squareColor));
        }
        if (p.cross) {
            FillClipped(painter, bounds, ArmSpan(p.x, p.crossSize), {p.y, p.y}, black);
            FillClipped(painter, bounds, {p.x, p.x}, ArmSpan(p.y, p.crossSize), black);
            FillClipped(painter, bounds, ArmSpan(p.x, p.crossSize / 2), {p.y, p.y}, white);
            FillClipped(painter, bounds, {p.x, p.x}, ArmSpan(p.y, p.crossSize / 2), white);
        }
        if (text) {
            const TextCellCache::Cell* cell = m_cache->find(
                p.font, p.textColor, p.backColor, m_padded, m_memos[static_cast<std::size_t>(i)]);
            if (cell == nullptr || cell->image.isNull()) {
                ++m_freshTexts;
                DrawTextFresh(surface, p, m_padded);
            } else {
                const std::int64_t tx = p.x + p.textOffset;
                const std::int64_t ty = p.y + p.textOffset;
                if (IsNear(tx) && IsNear(ty)) {
                    const QRect at(QPoint(static_cast<int>(tx), static_cast<int>(ty)),
                                   cell->extent);
                    if (at.intersects(bounds)) {
                        painter.drawImage(at.topLeft(), cell->image);
                    }
                }
            }
        }
        FillClipped(painter, bounds, {p.x, p.x}, {p.y, p.y}, black);
    }
}

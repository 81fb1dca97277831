#include "PointDrawing.h"

#include <algorithm>
#include <cmath>

#include <QColor>
#include <QImage>
#include <QPainter>

#include "CoverageMask.h"
#include "DrawingSurface.h"
#include "GdiConvert.h"
#include "PointRenderer.h"
#include "RenderLimits.h"
#include "SinceTime.h"
#include "TextBounds.h"
#include "TextLimits.h"
#include "ViewGeometry.h"

namespace {

constexpr COLORREF kBlack = 0x00000000;
constexpr COLORREF kWhite = 0x00FFFFFF;

// Coordinates handed to the surface stay within kFarCoordinate.
int ClampFar(std::int64_t v) {
    return static_cast<int>(std::clamp(v, -kFarCoordinate, kFarCoordinate));
}
bool IsNear(std::int64_t v) {
    return v >= -kFarCoordinate && v <= kFarCoordinate;
}

// The opaque pixel value a COLORREF paints on a 32-bit image.
QRgb Opaque(COLORREF c) {
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

} // namespace

PointPlan PlanPoint(const PointList& list, int i, const RenderContext& ctx) {
    const PointRecord r = list.point(i);
    PointPlan p;
    const ClientPoint c = PictureToClient(r.dX, r.dY, ctx.zoom, ctx.printing ? 0 : ctx.scrollX,
                                          ctx.printing ? 0 : ctx.scrollY);
    p.x = c.x;
    p.y = c.y;
    const bool passed = r.bSinceDate != 0 && SinceHasPassed(r.stSince, ctx.now);
    p.passed = passed;

    p.square = r.bShowRect != 0;
    p.squareColor = r.crRect;
    p.rectSize = r.nRectSize;
    if (p.square && passed && r.bFlashRect != 0 && r.bRectPhase == 0) {
        p.squareColor = kWhite;
    }

    p.cross = r.bShowCross != 0;
    p.crossSize = r.nCrossSize;
    p.textOffset = std::max(r.nCrossSize, r.nRectSize);
    p.backColor = r.crBack;
    if (passed) {
        p.text = &list.sinceText(i);
        p.font = r.lfSince;
        p.textColor = r.crSinceText;
        if (r.bFlashText != 0 && r.bTextPhase != 0) {
            p.textColor = r.crBack;
        }
    } else {
        p.text = &list.label(i);
        p.font = r.lfText;
        p.textColor = r.crText;
    }
    return p;
}

void AdvancePhases(PointList& list, int i) {
    PointRecord& r = list.point(i);
    if (r.bShowRect != 0 && r.bFlashRect != 0) {
        r.bRectPhase = r.bRectPhase != 0 ? 0 : 1;
    }
    if (r.bFlashText != 0) {
        r.bTextPhase = r.bTextPhase != 0 ? 0 : 1;
    }
}

bool Flashes(const PointRecord& r) {
    return (r.bShowRect != 0 && r.bFlashRect != 0) || r.bFlashText != 0;
}

void PadText(std::string& out, const std::string& text) {
    const std::string_view shown = ShownText(text);
    out.assign(1, ' ');
    out.append(shown.substr(0, shown.find('\0')));
    out.push_back(' ');
}

namespace {

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

// The part of [xs] x [ys] inside `bounds`; empty when none.
QRect ClippedRect(Span xs, Span ys, const QRect& bounds) {
    const std::int64_t l = std::max<std::int64_t>(xs.lo, bounds.left());
    const std::int64_t r = std::min<std::int64_t>(xs.hi, bounds.right());
    const std::int64_t t = std::max<std::int64_t>(ys.lo, bounds.top());
    const std::int64_t b = std::min<std::int64_t>(ys.hi, bounds.bottom());
    if (l > r || t > b) {
        return {};
    }
    return {static_cast<int>(l), static_cast<int>(t), static_cast<int>(r - l + 1),
            static_cast<int>(b - t + 1)};
}

} // namespace

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

bool TextMayReach(const PointPlan& p, const QRect& area) {
    if (p.font.lfEscapement != 0) {
        return true;
    }
    // A generous bound of the cell's size from the font description alone (no font is made
    // for a point out of sight): a line under two em high, no glyph wider than eight em, or
    // eighty once stretched (a width stretches up to forty times); around the cell, the
    // overhang of a font with that line.
    constexpr std::int64_t kDefaultEm = 64;
    constexpr std::int64_t kLinePerEm = 2;
    constexpr std::int64_t kGlyphPerEm = 8;
    constexpr std::int64_t kStretchedGlyphPerEm = 80;
    const std::int64_t h = p.font.lfHeight;
    const std::int64_t em =
        std::min<std::int64_t>(h == 0 ? kDefaultEm : (h < 0 ? -h : h), kMaxFontPixels);
    const std::int64_t line = kLinePerEm * em;
    const std::int64_t overhang = TextOverhang(line);
    const std::int64_t x = p.x + p.textOffset;
    const std::int64_t y = p.y + p.textOffset;
    if (x - overhang > area.right() || y - overhang > area.bottom()) {
        return false;
    }
    const std::int64_t glyph = (p.font.lfWidth != 0 ? kStretchedGlyphPerEm : kGlyphPerEm) * em;
    const std::string_view shown = ShownText(*p.text);
    const auto length = static_cast<std::int64_t>(std::min(shown.find('\0'), shown.size()));
    return x + (length + 2) * glyph + overhang >= area.left() && y + line + overhang >= area.top();
}

namespace {

void DrawArms(DrawingSurface& surface, std::int64_t x, std::int64_t y, std::int64_t arm) {
    const int cx = ClampFar(x);
    const int cy = ClampFar(y);
    const std::int64_t ends[4][2] = {{x + arm, y}, {x - arm, y}, {x, y + arm}, {x, y - arm}};
    for (const auto& end : ends) {
        surface.moveTo(cx, cy);
        surface.lineTo(ClampFar(end[0]), ClampFar(end[1]));
    }
}

} // namespace

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

namespace {

// Fills the part of [xs] x [ys] inside `bounds`. On a 32-bit RGB image (the window surface)
// the opaque colour is written straight into the pixels, as the painter would write it.
void FillClipped(QPainter& painter, const QRect& bounds, Span xs, Span ys, COLORREF color) {
    const QRect area = ClippedRect(xs, ys, bounds);
    if (area.isEmpty()) {
        return;
    }
    auto* image = painter.device()->devType() == QInternal::Image
                      ? static_cast<QImage*>(painter.device())
                      : nullptr;
    if (image == nullptr || image->format() != QImage::Format_RGB32) {
        painter.fillRect(area, ToQColor(color));
        return;
    }
    const int ratio = static_cast<int>(image->devicePixelRatio());
    const QRect device(area.topLeft() * ratio, area.size() * ratio);
    const QRgb value = Opaque(color);
    for (int y = device.top(); y <= device.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image->scanLine(y));
        std::fill(row + device.left(), row + device.right() + 1, value);
    }
}

} // namespace

void DrawShapesFast(QPainter& painter, const PointPlan& p, const QRect& clip) {
    if (p.square) {
        FillClipped(painter, clip, SquareSpan(p.x, p.rectSize), SquareSpan(p.y, p.rectSize),
                    p.squareColor);
    }
    if (p.cross) {
        FillClipped(painter, clip, ArmSpan(p.x, p.crossSize), {p.y, p.y}, kBlack);
        FillClipped(painter, clip, {p.x, p.x}, ArmSpan(p.y, p.crossSize), kBlack);
        FillClipped(painter, clip, ArmSpan(p.x, p.crossSize / 2), {p.y, p.y}, kWhite);
        FillClipped(painter, clip, {p.x, p.x}, ArmSpan(p.y, p.crossSize / 2), kWhite);
    }
}

void DrawCellFast(QPainter& painter, const PointPlan& p, const TextCellCache::Cell& cell,
                  const QRect& clip) {
    const std::int64_t tx = p.x + p.textOffset;
    const std::int64_t ty = p.y + p.textOffset;
    if (!IsNear(tx) || !IsNear(ty)) {
        return;
    }
    const QRect at(QPoint(static_cast<int>(tx), static_cast<int>(ty)), cell.extent);
    const QRect part = at & clip;
    if (part.isEmpty()) {
        return;
    }
    const int ratio = static_cast<int>(cell.image.devicePixelRatio());
    const QRect source(QPoint(part.topLeft() - at.topLeft()) * ratio, part.size() * ratio);
    if (cell.image.format() == QImage::Format_Indexed8) {
        // The cell is opaque: drawing it is copying its colours, device pixel for device pixel.
        auto* target = static_cast<QImage*>(painter.device());
        const QList<QRgb> table = cell.image.colorTable();
        const QPoint to = part.topLeft() * ratio;
        for (int row = 0; row < source.height(); ++row) {
            const uchar* from = cell.image.constScanLine(source.top() + row) + source.left();
            auto* into = reinterpret_cast<QRgb*>(target->scanLine(to.y() + row)) + to.x();
            for (int column = 0; column < source.width(); ++column) {
                into[column] = table[from[column]];
            }
        }
        return;
    }
    if (part == at) {
        painter.drawImage(at.topLeft(), cell.image);
        return;
    }
    painter.drawImage(part.topLeft(), cell.image, source);
}

void DrawCentreFast(QPainter& painter, const PointPlan& p, const QRect& clip) {
    FillClipped(painter, clip, {p.x, p.x}, {p.y, p.y}, kBlack);
}


std::optional<QPoint> CellCorner(const PointPlan& p) {
    const std::int64_t tx = p.x + p.textOffset;
    const std::int64_t ty = p.y + p.textOffset;
    if (!IsNear(tx) || !IsNear(ty)) {
        return std::nullopt;
    }
    return QPoint(static_cast<int>(tx), static_cast<int>(ty));
}

void CoverCentre(CoverageMask& mask, const PointPlan& p, const QRect& bounds) {
    mask.fill(ClippedRect({p.x, p.x}, {p.y, p.y}, bounds), Opaque(kBlack));
}

void CoverShapes(CoverageMask& mask, const PointPlan& p, const QRect& bounds) {
    if (p.cross) {
        mask.fill(ClippedRect({p.x, p.x}, ArmSpan(p.y, p.crossSize / 2), bounds), Opaque(kWhite));
        mask.fill(ClippedRect(ArmSpan(p.x, p.crossSize / 2), {p.y, p.y}, bounds), Opaque(kWhite));
        mask.fill(ClippedRect({p.x, p.x}, ArmSpan(p.y, p.crossSize), bounds), Opaque(kBlack));
        mask.fill(ClippedRect(ArmSpan(p.x, p.crossSize), {p.y, p.y}, bounds), Opaque(kBlack));
    }
    if (p.square) {
        mask.fill(ClippedRect(SquareSpan(p.x, p.rectSize), SquareSpan(p.y, p.rectSize), bounds),
                  Opaque(p.squareColor));
    }
}

void DrawUncovered(CoverageMask& mask, const PointPlan& p, const TextCellCache::Cell* cell,
                   QSize extent, const QRect& bounds) {
    CoverCentre(mask, p, bounds);
    const std::optional<QPoint> at = CellCorner(p);
    // A cell is read only where a pixel of it shows.
    if (cell != nullptr && at) {
        mask.copy(QRect(*at, extent) & bounds, cell->image, *at);
    }
    CoverShapes(mask, p, bounds);
}

PointShapes ShapesOf(const PointPlan& p, QSize cell, const QRect& bounds) {
    PointShapes s;
    if (p.square) {
        s.square = ClippedRect(SquareSpan(p.x, p.rectSize), SquareSpan(p.y, p.rectSize), bounds);
    }
    if (p.cross) {
        s.armH = ClippedRect(ArmSpan(p.x, p.crossSize), {p.y, p.y}, bounds);
        s.armV = ClippedRect({p.x, p.x}, ArmSpan(p.y, p.crossSize), bounds);
    }
    const std::optional<QPoint> at = CellCorner(p);
    if (at && !cell.isEmpty()) {
        const std::int64_t x = at->x();
        const std::int64_t y = at->y();
        s.cell = ClippedRect({x, x + cell.width() - 1}, {y, y + cell.height() - 1}, bounds);
    }
    s.centre = ClippedRect({p.x, p.x}, {p.y, p.y}, bounds);
    return s;
}

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
    const bool wholeRatio = ratio >= 1.0 && ratio <= kMaxFastPixelRatio && ratio == std::floor(ratio);
    const bool plain = wholeRatio &&
                       painter.combinedTransform() == QTransform::fromScale(ratio, ratio) &&
                       !painter.hasClipping() &&
                       painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
                       painter.opacity() == 1.0;
    return wordPixels && plain ? image : nullptr;
}


#include "SelectionMarks.h"

#include <algorithm>

#include <QPainter>

#include "ViewGeometry.h"

namespace {

constexpr QRgb kMarkOuter = qRgb(0, 120, 215);
constexpr QRgb kMarkInner = qRgb(255, 255, 255);
constexpr int kMarkMargin = 3;
constexpr int kMarkMinRadius = 6;
constexpr int kMaxMarkRadius = 1 << 20; // keeps a hostile square size's mark within int range
// Beyond this many rectangles the screen gets the one that holds them.
constexpr int kMaxScreenRects = 64;

QRect MarkRect(const PointRecord& r, ClientPoint c) {
    const int radius =
        std::clamp(std::max({r.nRectSize, r.nCrossSize, kMarkMinRadius}), 0, kMaxMarkRadius) +
        kMarkMargin;
    return {c.x - radius, c.y - radius, 2 * radius + 1, 2 * radius + 1};
}

bool WordPixels(const QImage& image) {
    const QImage::Format f = image.format();
    return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
           f == QImage::Format_ARGB32_Premultiplied;
}

// The device pixels of logical `r` on `image`, rounded outwards.
QRect DeviceRect(const QImage& image, const QRect& r) {
    const qreal dpr = image.devicePixelRatio();
    return QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr).toAlignedRect() &
           image.rect();
}

// Fills a logical rectangle with an opaque colour: on 32-bit pixels at a whole pixel ratio
// straight into the lines (exactly the pixels the painter's fillRect gives there), elsewhere
// through a painter.
void Fill(QImage& image, const QRect& r, QRgb color) {
    const qreal dpr = image.devicePixelRatio();
    const int ratio = static_cast<int>(dpr);
    if (!WordPixels(image) || ratio != dpr || ratio < 1) {
        QPainter painter(&image);
        painter.fillRect(r, QColor(color));
        return;
    }
    const QRect device = DeviceRect(image, r);
    for (int y = device.top(); y <= device.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + device.left(), line + device.right() + 1, color);
    }
}

void Frame(QImage& image, const QRect& r, QRgb color) {
    for (const QRect& edge : {QRect(r.left(), r.top(), r.width(), 1),
                              QRect(r.left(), r.bottom(), r.width(), 1),
                              QRect(r.left(), r.top() + 1, 1, r.height() - 2),
                              QRect(r.right(), r.top() + 1, 1, r.height() - 2)}) {
        if (!edge.isEmpty()) {
            Fill(image, edge, color);
        }
    }
}

void DrawMark(QImage& image, const QRect& mark) {
    Frame(image, mark, kMarkOuter);
    Frame(image, mark.adjusted(1, 1, -1, -1), kMarkInner);
}

// Lays the opaque pixels of `layer` (the surface's size and ratio) over `surface` within the
// device pixels of logical `r`. Outside the marks the layer is transparent, so a pixel outside
// what the caller repainted is set to the value it already holds.
void LayOver(QImage& surface, const QImage& layer, const QRect& r) {
    if (!WordPixels(surface)) {
        QPainter painter(&surface);
        painter.setClipRect(r);
        painter.drawImage(QPoint(0, 0), layer);
        return;
    }
    const QRect device = DeviceRect(surface, r);
    for (int y = device.top(); y <= device.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        auto* into = reinterpret_cast<QRgb*>(surface.scanLine(y));
        for (int x = device.left(); x <= device.right(); ++x) {
            into[x] = qAlpha(from[x]) != 0 ? from[x] : into[x];
        }
    }
}

} // namespace

void SelectionMarks::Forget() {
    m_layer = QImage();
}

QRegion SelectionMarks::DrawAll(QImage& surface, const PointMap& map,
                                std::span<const PointId> ids, double zoom, QPoint scroll,
                                const QRect& bounds) {
    if (m_layer.size() != surface.size() ||
        m_layer.devicePixelRatio() != surface.devicePixelRatio()) {
        m_layer = QImage(surface.size(), QImage::Format_ARGB32_Premultiplied);
        m_layer.setDevicePixelRatio(surface.devicePixelRatio());
    }
    if (m_layer.isNull()) {
        return {}; // no memory for the layer: no marks rather than no window
    }
    m_layer.fill(Qt::transparent);
    QRegion drawn;
    QRect all;
    int count = 0;
    for (const PointId id : ids) {
        const int i = map.indexOf(id);
        if (i < 0) {
            continue;
        }
        const PointRecord& r = map.list().point(i);
        const QRect mark = MarkRect(r, PictureToClient(r.dX, r.dY, zoom, scroll.x(), scroll.y()));
        if (!mark.intersects(bounds)) {
            continue;
        }
        DrawMark(m_layer, mark);
        all |= mark;
        if (++count <= kMaxScreenRects) {
            drawn += mark;
        }
    }
    LayOver(surface, m_layer, all);
    return count <= kMaxScreenRects ? drawn : QRegion(all);
}

QRegion SelectionMarks::DrawOver(QImage& surface, std::span<const QRect> pieces) {
    if (m_layer.size() != surface.size()) {
        return {};
    }
    for (const QRect& piece : pieces) {
        LayOver(surface, m_layer, piece);
    }
    return {}; // within the pieces, which the tick sends to the screen already
}

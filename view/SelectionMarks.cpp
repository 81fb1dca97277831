#include "SelectionMarks.h"

#include <algorithm>
#include <cstdint>

#include <QPainter>

#include "RenderLimits.h"
#include "ViewGeometry.h"

namespace {

constexpr QRgb kMarkOuter = qRgb(0, 120, 215);
constexpr QRgb kMarkInner = qRgb(255, 255, 255);
constexpr int kMarkMargin = 3;
constexpr int kMarkMinRadius = 6;
// Keeps a hostile square size's mark within the coordinates the renderer draws.
constexpr int kMaxMarkRadius = static_cast<int>(kFarCoordinate);

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

// Fills logical rectangles with opaque colours: on 32-bit pixels at a whole pixel ratio
// straight into the lines (exactly the pixels the painter's fillRect gives there), elsewhere
// through a painter.
class Filler {
public:
    explicit Filler(QImage& image) : m_image(image) {
        const qreal dpr = image.devicePixelRatio();
        const int ratio = static_cast<int>(dpr);
        m_ratio = WordPixels(image) && ratio == dpr && ratio >= 1 ? ratio : 0;
    }
    void fill(const QRect& r, QRgb color) {
        if (m_ratio == 0) {
            QPainter painter(&m_image);
            painter.fillRect(r, QColor(color));
            return;
        }
        const QRect device =
            QRect(r.x() * m_ratio, r.y() * m_ratio, r.width() * m_ratio, r.height() * m_ratio) &
            m_image.rect();
        for (int y = device.top(); y <= device.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_image.scanLine(y));
            std::fill(line + device.left(), line + device.right() + 1, color);
        }
    }
    void frame(const QRect& r, QRgb color) {
        fill(QRect(r.left(), r.top(), r.width(), 1), color);
        fill(QRect(r.left(), r.bottom(), r.width(), 1), color);
        if (r.height() > 2) {
            fill(QRect(r.left(), r.top() + 1, 1, r.height() - 2), color);
            fill(QRect(r.right(), r.top() + 1, 1, r.height() - 2), color);
        }
    }
    void mark(const QRect& r) {
        frame(r, kMarkOuter);
        frame(r.adjusted(1, 1, -1, -1), kMarkInner);
    }

private:
    QImage& m_image;
    int m_ratio = 0; // 0: through a painter
};

// Lays `count` pixels of a row of the layer over a row of the surface. A mark's pixel is opaque
// (top bit set), any other is 0: no branch, and in blocks of a fixed length over rows that do
// not overlap, which the compiler turns into whole vectors.
void LayRow(QRgb* __restrict into, const QRgb* __restrict from, int count) {
    auto lay = [](QRgb& pixel, QRgb mark) {
        const auto keep = static_cast<QRgb>(static_cast<std::int32_t>(mark) >> 31);
        pixel = mark | (pixel & ~keep);
    };
    constexpr int kBlock = 8;
    int x = 0;
    for (; x + kBlock <= count; x += kBlock) {
        for (int k = 0; k < kBlock; ++k) {
            lay(into[x + k], from[x + k]);
        }
    }
    for (; x < count; ++x) {
        lay(into[x], from[x]);
    }
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
    if (device.isEmpty()) {
        return;
    }
    const qsizetype stride = surface.bytesPerLine();
    uchar* intoBits = surface.bits();
    const uchar* fromBits = layer.constBits();
    for (int y = device.top(); y <= device.bottom(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(fromBits + y * layer.bytesPerLine());
        auto* into = reinterpret_cast<QRgb*>(intoBits + y * stride);
        LayRow(into + device.left(), from + device.left(), device.width());
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
    Filler layer(m_layer);
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
        layer.mark(mark);
        all |= mark;
        if (++count <= kMaxMarkScreenRects) {
            drawn += mark;
        }
    }
    LayOver(surface, m_layer, all);
    return count <= kMaxMarkScreenRects ? drawn : QRegion(all);
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

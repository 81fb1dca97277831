#include "SelectionMarks.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ViewGeometry.h"

namespace {

constexpr QRgb kMarkOuter = qRgb(0, 120, 215);
constexpr QRgb kMarkInner = qRgb(255, 255, 255);
constexpr int kMarkMargin = 3;
constexpr int kMarkMinRadius = 6;
constexpr int kCell = 32; // logical pixels
// Beyond this many rectangles the screen gets the one that holds them.
constexpr int kMaxScreenRects = 64;

QRect MarkRect(const PointRecord& r, ClientPoint c) {
    const int radius =
        std::clamp(std::max({r.nRectSize, r.nCrossSize, kMarkMinRadius}), 0, 1 << 20) + kMarkMargin;
    return {c.x - radius, c.y - radius, 2 * radius + 1, 2 * radius + 1};
}

// Fills a logical rectangle: on a 32-bit surface at a whole pixel ratio straight into its lines
// (exactly the pixels the painter's fillRect gives there), elsewhere through a painter.
void Fill(QImage& image, const QRect& r, QRgb color) {
    const qreal dpr = image.devicePixelRatio();
    const int ratio = static_cast<int>(dpr);
    if (image.format() != QImage::Format_RGB32 || ratio != dpr || ratio < 1) {
        QPainter painter(&image);
        painter.fillRect(r, QColor(color));
        return;
    }
    const QRect device =
        QRect(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio) & image.rect();
    for (int y = device.top(); y <= device.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + device.left(), line + device.right() + 1, color);
    }
}

void Frame(QImage& image, const QRect& r, QRgb color, const QRect& clip) {
    for (const QRect& edge : {QRect(r.left(), r.top(), r.width(), 1),
                              QRect(r.left(), r.bottom(), r.width(), 1),
                              QRect(r.left(), r.top() + 1, 1, r.height() - 2),
                              QRect(r.right(), r.top() + 1, 1, r.height() - 2)}) {
        const QRect part = edge & clip;
        if (!part.isEmpty()) {
            Fill(image, part, color);
        }
    }
}

// The mark's pixels inside `clip`.
void DrawMark(QImage& image, const QRect& mark, const QRect& clip) {
    Frame(image, mark, kMarkOuter, clip);
    Frame(image, mark.adjusted(1, 1, -1, -1), kMarkInner, clip);
}

void AddTo(QRegion& drawn, QRect& all, int& count, const QRect& mark) {
    all |= mark;
    if (++count <= kMaxScreenRects) {
        drawn += mark;
    }
}

} // namespace

void SelectionMarks::Forget() {
    m_marks.clear();
    m_cells.clear();
    m_columns = 0;
    m_rows = 0;
}

QRegion SelectionMarks::DrawAll(QImage& surface, const PointMap& map,
                                std::span<const PointId> ids, double zoom, QPoint scroll,
                                const QRect& bounds) {
    Forget();
    m_bounds = bounds;
    m_columns = std::max(1, (bounds.width() + kCell - 1) / kCell);
    m_rows = std::max(1, (bounds.height() + kCell - 1) / kCell);
    m_cells.assign(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), {});
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
        const QRect shown = mark & bounds;
        if (shown.isEmpty()) {
            continue;
        }
        DrawMark(surface, mark, mark);
        AddTo(drawn, all, count, mark);
        const int k = static_cast<int>(m_marks.size());
        m_marks.push_back(mark);
        for (int row = (shown.top() - bounds.top()) / kCell;
             row <= (shown.bottom() - bounds.top()) / kCell; ++row) {
            for (int col = (shown.left() - bounds.left()) / kCell;
                 col <= (shown.right() - bounds.left()) / kCell; ++col) {
                m_cells[static_cast<std::size_t>(row * m_columns + col)].push_back(k);
            }
        }
    }
    m_stamp.assign(m_marks.size(), 0);
    return count <= kMaxScreenRects ? drawn : QRegion(all);
}

QRegion SelectionMarks::DrawOver(QImage& surface, std::span<const QRect> pieces) {
    if (m_marks.empty()) {
        return {};
    }
    // Inside each piece, every mark reaching into it again in the order of the full drawing, so
    // that where marks overlap the piece ends as the full drawing left it; nothing outside it
    // changes.
    std::vector<int> reach;
    for (const QRect& piece : pieces) {
        const QRect r = piece & m_bounds;
        if (r.isEmpty()) {
            continue;
        }
        ++m_pass;
        reach.clear();
        for (int row = (r.top() - m_bounds.top()) / kCell;
             row <= (r.bottom() - m_bounds.top()) / kCell; ++row) {
            for (int col = (r.left() - m_bounds.left()) / kCell;
                 col <= (r.right() - m_bounds.left()) / kCell; ++col) {
                for (const int k : m_cells[static_cast<std::size_t>(row * m_columns + col)]) {
                    if (m_stamp[static_cast<std::size_t>(k)] != m_pass &&
                        m_marks[static_cast<std::size_t>(k)].intersects(r)) {
                        m_stamp[static_cast<std::size_t>(k)] = m_pass;
                        reach.push_back(k);
                    }
                }
            }
        }
        std::sort(reach.begin(), reach.end());
        for (const int k : reach) {
            DrawMark(surface, m_marks[static_cast<std::size_t>(k)], r);
        }
    }
    return {}; // within the pieces, which the tick sends to the screen already
}

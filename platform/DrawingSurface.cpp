#include "DrawingSurface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "DeviceArea.h"
#include "GdiConvert.h"
#include "Text8.h"

namespace {

// Kept around the device so that pen bands and glyph overhangs at its edges stay whole.
constexpr std::int64_t kMargin = 4;

} // namespace

DrawingSurface::DrawingSurface(QPainter& painter)
    : m_painter(painter), m_font(painter.font()), m_metrics(m_font) {
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_ascent = m_metrics.ascent();
    m_descent = m_metrics.descent();
    updateBounds();
}

void DrawingSurface::updateBounds() {
    const DeviceArea area = DeviceArea::Of(m_painter, kMargin);
    m_left = area.left;
    m_top = area.top;
    m_right = area.right;
    m_bottom = area.bottom;
}

void DrawingSurface::setPageMapping(double logicalDpiX, double logicalDpiY, double deviceDpiX,
                                    double deviceDpiY) {
    if (logicalDpiX > 0 && logicalDpiY > 0 && deviceDpiX > 0 && deviceDpiY > 0) {
        m_painter.setWorldTransform(
            QTransform::fromScale(deviceDpiX / logicalDpiX, deviceDpiY / logicalDpiY));
    } else {
        m_painter.setWorldTransform(QTransform());
    }
    updateBounds();
}

void DrawingSurface::fillClamped(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                                 const QColor& color) {
    if (x1 < x0) {
        std::swap(x0, x1);
    }
    if (y1 < y0) {
        std::swap(y0, y1);
    }
    x0 = std::max(x0, m_left);
    y0 = std::max(y0, m_top);
    x1 = std::min(x1, m_right);
    y1 = std::min(y1, m_bottom);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    m_painter.fillRect(QRect(int(x0), int(y0), int(x1 - x0), int(y1 - y0)), color);
}

void DrawingSurface::fillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
    fillClamped(x, y, std::int64_t(x) + cx, std::int64_t(y) + cy, ToQColor(color));
}

void DrawingSurface::selectPen(COLORREF color) {
    m_pen = ToQColor(color);
}

void DrawingSurface::moveTo(int x, int y) {
    m_curX = x;
    m_curY = y;
}

void DrawingSurface::lineTo(int x, int y) {
    const std::int64_t x0 = m_curX;
    const std::int64_t y0 = m_curY;
    const std::int64_t x1 = x;
    const std::int64_t y1 = y;
    m_curX = x;
    m_curY = y;
    if (y0 == y1) {
        // Horizontal: from the start up to, not including, the end column.
        if (x1 > x0) {
            fillClamped(x0, y0, x1, y0 + 1, m_pen);
        } else if (x1 < x0) {
            fillClamped(x1 + 1, y0, x0 + 1, y0 + 1, m_pen);
        }
    } else if (x0 == x1) {
        if (y1 > y0) {
            fillClamped(x0, y0, x0 + 1, y1, m_pen);
        } else {
            fillClamped(x0, y1 + 1, x0 + 1, y0 + 1, m_pen);
        }
    } else {
        drawSlantedLine(x0, y0, x1, y1);
    }
}

// Any other line, one pixel per step along its longer axis (the nearest pixel on the shorter
// axis), the end point left out. Only the steps whose long-axis coordinate lies on the device
// are visited, so far-away end points cost nothing.
void DrawingSurface::drawSlantedLine(std::int64_t x0, std::int64_t y0, std::int64_t x1,
                                     std::int64_t y1) {
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const bool alongX = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = alongX ? dx : dy;
    const std::int64_t minor = alongX ? dy : dx;
    const std::int64_t steps = std::llabs(major);
    const std::int64_t dir = major > 0 ? 1 : -1;
    const std::int64_t start = alongX ? x0 : y0;
    const std::int64_t minorStart = alongX ? y0 : x0;
    const std::int64_t low = alongX ? m_left : m_top;
    const std::int64_t high = alongX ? m_right : m_bottom;

    // Steps i in [first, last) with low <= start + dir * i < high.
    std::int64_t first = 0;
    std::int64_t last = steps;
    if (dir > 0) {
        first = std::max(first, low - start);
        last = std::min(last, high - start);
    } else {
        first = std::max(first, start - high + 1);
        last = std::min(last, start - low + 1);
    }
    for (std::int64_t i = first; i < last; ++i) {
        // Nearest pixel on the short axis; halfway cases stay on the start's side.
        const std::int64_t magnitude = (2 * i * std::llabs(minor) + steps - 1) / (2 * steps);
        const std::int64_t offset = minor < 0 ? -magnitude : magnitude;
        const std::int64_t along = start + dir * i;
        const std::int64_t across = minorStart + offset;
        if (alongX) {
            fillClamped(along, across, along + 1, across + 1, m_pen);
        } else {
            fillClamped(across, along, across + 1, along + 1, m_pen);
        }
    }
}

void DrawingSurface::setBkColor(COLORREF color) {
    m_bk = ToQColor(color);
}

void DrawingSurface::setTextColor(COLORREF color) {
    m_text = ToQColor(color);
}

void DrawingSurface::selectFont(const LOGFONTA& lf) {
    const LogFontMetrics& entry = CachedLogFont(lf);
    m_escapement = entry.escapement;
    if (entry.font == m_font) {
        return;
    }
    m_font = entry.font;
    m_metrics = QFontMetrics(m_font);
    m_ascent = entry.ascent;
    m_descent = entry.descent;
    m_fontApplied = false;
}

void DrawingSurface::selectFont(const QFont& font) {
    m_escapement = 0;
    if (font == m_font) {
        return;
    }
    m_font = font;
    m_metrics = QFontMetrics(m_font);
    m_ascent = m_metrics.ascent();
    m_descent = m_metrics.descent();
    m_fontApplied = false;
}

void DrawingSurface::applyTextState() {
    // The painter keeps its own copy of a font it is given; comparing against that copy is a
    // pointer comparison unless someone else changed the painter's font meanwhile.
    if (!m_fontApplied || !(m_painter.font() == m_appliedFont)) {
        m_painter.setFont(m_font);
        m_appliedFont = m_painter.font();
        m_fontApplied = true;
    }
    const QPen& pen = m_painter.pen();
    if (pen.color() != m_text || pen.style() != Qt::SolidLine) {
        m_painter.setPen(m_text);
    }
}

QSize DrawingSurface::textExtent(const std::string& text8) const {
    return QSize(m_metrics.horizontalAdvance(FromText8(text8)), m_ascent + m_descent);
}

bool DrawingSurface::turnsExactly(int escapement) {
    // textOut turns by -escapement / 10 degrees; the painter makes these turns exactly.
    const int angle = -(escapement % kFullTurn);
    constexpr int kHalfTurn = 2 * kQuarterTurn;
    constexpr int kThreeQuarters = 3 * kQuarterTurn;
    return angle == 0 || angle == kQuarterTurn || angle == -kQuarterTurn ||
           angle == kThreeQuarters || angle == -kThreeQuarters || angle == kHalfTurn;
}

QRect DrawingSurface::turnedBounds(const QRect& r, int escapement) {
    const int angle = -(escapement % kFullTurn);
    if (angle == 0) {
        return r;
    }
    QTransform turn;
    turn.rotate(angle / kTenthsPerDegree);
    const QRectF turned = turn.mapRect(QRectF(r));
    if (turnsExactly(escapement)) {
        return QRect(qRound(turned.left()), qRound(turned.top()), qRound(turned.width()),
                     qRound(turned.height()));
    }
    // A pixel to spare on every side for rounding.
    return turned.toAlignedRect().adjusted(-1, -1, 1, 1);
}

int DrawingSurface::charAdvance(char c) const {
    return m_metrics.horizontalAdvance(QLatin1Char(c));
}

std::optional<QSize> DrawingSurface::textExtentInside(const std::string& text8) const {
    if (m_escapement != 0) {
        return std::nullopt;
    }
    const QString text = FromText8(text8);
    const QSize extent(m_metrics.horizontalAdvance(text), m_ascent + m_descent);
    // Glyph boxes cover every pixel their glyphs paint; the spare pixel is for smoothing.
    // Spaces paint nothing, but their empty boxes sit at the pen position: measured without the
    // outer ones (text is drawn advance after advance, so the inner text starts where the
    // leading spaces end).
    qsizetype lead = 0;
    while (lead < text.size() && text[lead] == QLatin1Char(' ')) {
        ++lead;
    }
    const QString inner = text.mid(lead).trimmed();
    if (!inner.isEmpty()) {
        const int start = int(lead) * m_metrics.horizontalAdvance(QLatin1Char(' '));
        const QRect ink = m_metrics.tightBoundingRect(inner)
                              .translated(start, m_ascent)
                              .adjusted(-1, -1, 1, 1);
        if (!QRect(QPoint(0, 0), extent).contains(ink)) {
            return std::nullopt;
        }
    }
    if (m_font.underline() &&
        m_ascent + m_metrics.underlinePos() + m_metrics.lineWidth() >= extent.height()) {
        return std::nullopt;
    }
    return extent;
}

void DrawingSurface::textOut(int x, int y, const std::string& text8) {
    const QString text = FromText8(text8);
    const int width = m_metrics.horizontalAdvance(text);
    const int height = m_ascent + m_descent;
    if (m_escapement == 0) {
        // Skipped when the cell and any overhang of its glyphs lie off the device.
        const std::int64_t reach = height;
        if (std::int64_t(x) + width + reach <= m_left || std::int64_t(x) - reach >= m_right ||
            std::int64_t(y) + height + reach <= m_top || std::int64_t(y) - reach >= m_bottom) {
            return;
        }
        fillClamped(x, y, std::int64_t(x) + width, std::int64_t(y) + height, m_bk);
        applyTextState();
        m_painter.drawText(QPoint(x, y + m_ascent), text);
        return;
    }
    // Turned text: the cell turns with it about its top-left corner.
    const std::int64_t reach = std::int64_t(width) + height;
    if (std::int64_t(x) + reach <= m_left || std::int64_t(x) - reach >= m_right ||
        std::int64_t(y) + reach <= m_top || std::int64_t(y) - reach >= m_bottom) {
        return;
    }
    applyTextState();
    m_painter.save();
    m_painter.translate(x, y);
    m_painter.rotate(-m_escapement / kTenthsPerDegree);
    m_painter.fillRect(QRect(0, 0, width, height), m_bk);
    m_painter.drawText(QPoint(0, m_ascent), text);
    m_painter.restore();
}

void DrawingSurface::setPixel(int x, int y, COLORREF color) {
    fillClamped(x, y, std::int64_t(x) + 1, std::int64_t(y) + 1, ToQColor(color));
}

void DrawingSurface::setDevicePixel(int x, int y, COLORREF color) {
    if (x < m_left || x >= m_right || y < m_top || y >= m_bottom) {
        return;
    }
    const QPointF centre = m_painter.combinedTransform().map(QPointF(x + 0.5, y + 0.5));
    m_painter.save();
    // World coordinates become device pixels: the world transform undoes the rest of the
    // painter's mapping (a pixel ratio, say).
    m_painter.setWorldTransform(m_painter.combinedTransform().inverted() *
                                m_painter.worldTransform());
    m_painter.fillRect(QRectF(std::floor(centre.x()), std::floor(centre.y()), 1, 1),
                       ToQColor(color));
    m_painter.restore();
}

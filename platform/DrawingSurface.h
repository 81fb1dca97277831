// A small drawing surface with the pixel semantics the point renderer relies on, on a QPainter
// (a window image, a printed or previewed page, a test image). Coordinates are logical units;
// on a page a mapping scales them to the device (setPageMapping).
//
// - fillSolidRect fills exactly cx x cy logical pixels from (x, y) (a negative extent fills
//   towards smaller coordinates);
// - lineTo draws from the current position with the current pen and leaves out the end point;
// - textOut puts the top-left corner of the text cell at (x, y) and fills the cell with the
//   background colour (opaque); the cell is the font's ascent + descent high and the text's
//   advance wide; glyphs may antialias within it and may overhang it (italics);
// - setPixel sets one logical pixel; setDevicePixel one device pixel within it.
//
// Antialiasing is off for shapes, so fills and lines are exact at a device pixel ratio of 1.
// Coordinates anywhere in the int range are safe: what lies outside the device is skipped
// without being drawn. The surface changes the painter's pen, font and transform (page
// mapping) and leaves the rest of its state alone. User-interface thread only.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <cstdint>
#include <optional>
#include <string>

#include "PointRecord.h"

class DrawingSurface {
public:
    explicit DrawingSurface(QPainter& painter);

    // Logical unit to device: one logical unit = deviceDpi / logicalDpi device pixels on each
    // axis, origin at (0, 0) (one screen pixel mapped to the printer's resolution). Lines,
    // fills, pixels and fonts all scale: a 1-unit line becomes a band of that many device
    // pixels, like a scaled pen.
    void setPageMapping(double logicalDpiX, double logicalDpiY, double deviceDpiX,
                        double deviceDpiY);
    bool isPrinting() const { return m_printing; }
    void setPrinting(bool printing) { m_printing = printing; }

    void fillSolidRect(int x, int y, int cx, int cy, COLORREF color);

    // Solid pens of width 1 logical unit.
    void selectPen(COLORREF color);
    void moveTo(int x, int y);
    void lineTo(int x, int y);

    void setBkColor(COLORREF color);
    void setTextColor(COLORREF color);
    // The font a LOGFONTA describes (from the shared cache); its escapement turns the text
    // and its cell about (x, y).
    void selectFont(const LOGFONTA& lf);
    void selectFont(const QFont& font);
    void textOut(int x, int y, const std::string& text8);
    // Size of the opaque cell textOut would fill for this text in the current font.
    QSize textExtent(const std::string& text8) const;
    // textExtent, when textOut of this text in the current font paints nothing outside that
    // cell: upright text whose glyph boxes and underline lie inside it with a pixel to spare.
    // Nothing otherwise.
    std::optional<QSize> textExtentInside(const std::string& text8) const;
    // The advance of one character, measured alone, in the current font.
    int charAdvance(char c) const;
    // `r`, relative to a text's corner, as textOut turns it by `escapement` (tenths of a
    // degree): the smallest rectangle that holds it. When the turn is a whole number of quarter
    // turns that the painter makes exactly (turnsExactly), that is the rectangle it covers.
    static QRect turnedBounds(const QRect& r, int escapement);
    static bool turnsExactly(int escapement);

    void setPixel(int x, int y, COLORREF color);
    // One device pixel: the one under the centre of logical pixel (x, y). On a page mapped to a
    // printer's resolution a mark set this way stays one dot, as small as on the screen.
    void setDevicePixel(int x, int y, COLORREF color);

    QPainter& painter() { return m_painter; }

private:
    void updateBounds();
    void fillClamped(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                     const QColor& color);
    void drawSlantedLine(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1);
    void applyTextState();

    QPainter& m_painter;
    bool m_printing = false;
    QColor m_pen{Qt::black};
    QColor m_bk{Qt::white};
    QColor m_text{Qt::black};
    QFont m_font;
    QFontMetrics m_metrics;
    int m_ascent = 0;
    int m_descent = 0;
    int m_escapement = 0;
    QFont m_appliedFont; // the painter's copy of m_font, once applied
    bool m_fontApplied = false;
    int m_curX = 0;
    int m_curY = 0;
    // The device's area in logical units, with a margin; drawing beyond it is cut off here so
    // no coordinate that reaches the painter can overflow.
    std::int64_t m_left = 0;
    std::int64_t m_top = 0;
    std::int64_t m_right = 0;
    std::int64_t m_bottom = 0;
};

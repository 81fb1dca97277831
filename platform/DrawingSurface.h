// A small drawing surface with the pixel semantics the point renderer relies on, on a QPainter
// (a window image, a printed or previewed page, a test image). Coordinates are logical units;
// on a page a mapping scales them to the device (setPageMapping).
//
// - fillSolidRect fills exactly cx x cy logical pixels from (x, y);
// - lineTo draws from the current position with the current pen and leaves out the end point;
// - textOut puts the top-left corner of the text cell at (x, y) and fills the cell with the
//   background colour (opaque);
// - setPixel sets one logical pixel.
#pragma once

#include <QFont>
#include <QPainter>

#include <string>

#include "PointRecord.h"

class DrawingSurface {
public:
    explicit DrawingSurface(QPainter& painter);

    // Logical unit to device: one logical unit = deviceDpi / logicalDpi device pixels on each
    // axis, origin at (0, 0) (one screen pixel mapped to the printer's resolution).
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
    void selectFont(const LOGFONTA& lf);
    void selectFont(const QFont& font);
    void textOut(int x, int y, const std::string& text8);
    // Size of the opaque cell textOut would fill for this text in the current font.
    QSize textExtent(const std::string& text8) const;

    void setPixel(int x, int y, COLORREF color);

    QPainter& painter() { return m_painter; }

private:
    QPainter& m_painter;
    bool m_printing = false;
    QColor m_pen{Qt::black};
    QColor m_bk{Qt::white};
    QColor m_text{Qt::black};
    QFont m_font;
    int m_curX = 0;
    int m_curY = 0;
};

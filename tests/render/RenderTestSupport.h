// Helpers for the renderer tests: a canvas painted as one timer tick paints the window, and
// pixel queries on it.
#pragma once

#include <string>

#include <QImage>
#include <QRect>

#include "PointList.h"
#include "PointRenderer.h"

// The colour a COLORREF paints, as an opaque QRgb.
QRgb Rgb(COLORREF c);

// A point with no square and no cross, its label in the factory font, black on yellow.
PointRecord PlainPoint(double x, double y);

struct Canvas {
    static constexpr QRgb kFill = 0xFF808080;

    // `size` in logical pixels; the image holds `ratio` device pixels per logical pixel.
    explicit Canvas(QSize size = QSize(200, 150), QImage::Format format = QImage::Format_RGB32,
                    int ratio = 1);

    // One call of the renderer through a fresh painter and surface, as a tick does.
    void draw(PointRenderer& renderer, PointList& list, const RenderContext& ctx);

    QRgb at(int x, int y) const { return image.pixel(x, y); }
    // The smallest rectangle holding every pixel that differs from kFill.
    QRect changedArea() const;
    // Whether some pixel of `area` has colour `c`.
    bool has(const QRect& area, QRgb c) const;

    QImage image;
};

// A canvas after one tick over a list holding just `rec` with these texts.
Canvas DrawOne(const PointRecord& rec, const std::string& label, const RenderContext& ctx,
               bool caching = true, const std::string& sinceText = "");

// The size of the cell textOut fills for `text8` in font `lf`.
QSize CellExtent(const LOGFONTA& lf, const std::string& text8);

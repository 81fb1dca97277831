#include "RenderTestSupport.h"

#include <QPainter>

#include "DrawingSurface.h"

QRgb Rgb(COLORREF c) {
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

PointRecord PlainPoint(double x, double y) {
    PointRecord rec = FactoryDefaults();
    rec.bShowCross = 0;
    rec.dX = x;
    rec.dY = y;
    return rec;
}

Canvas::Canvas(QSize size, QImage::Format format, int ratio) : image(size * ratio, format) {
    image.setDevicePixelRatio(ratio);
    image.fill(kFill);
}

void Canvas::draw(PointRenderer& renderer, PointList& list, const RenderContext& ctx) {
    QPainter painter(&image);
    DrawingSurface surface(painter);
    renderer.DrawPoints(surface, list, ctx);
}

Canvas DrawOne(const PointRecord& rec, const std::string& label, const RenderContext& ctx,
               bool caching, const std::string& sinceText) {
    PointList list;
    list.AddPoint(rec, label, sinceText, "");
    PointRenderer renderer;
    renderer.setCaching(caching);
    Canvas canvas;
    canvas.draw(renderer, list, ctx);
    return canvas;
}

QRect Canvas::changedArea() const {
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != kFill) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

bool Canvas::has(const QRect& area, QRgb c) const {
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (image.pixel(x, y) == c) {
                return true;
            }
        }
    }
    return false;
}

QSize CellExtent(const LOGFONTA& lf, const std::string& text8) {
    QImage probe(1, 1, QImage::Format_RGB32);
    QPainter painter(&probe);
    DrawingSurface surface(painter);
    surface.selectFont(lf);
    return surface.textExtent(text8);
}

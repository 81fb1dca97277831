#include "PagePainter.h"

#include <QPainter>
#include <QRect>

#include "DrawingSurface.h"
#include "Picture.h"
#include "PointRenderer.h"

RenderContext PagePainter::pointContext() const {
    RenderContext ctx;
    ctx.zoom = m_spec.zoom;
    ctx.showTexts = m_spec.showTexts;
    ctx.now = m_spec.now;
    if (m_spec.medium == PageSpec::Medium::Paper) {
        ctx.printing = true;
        return ctx;
    }
    ctx.scrollX = m_spec.scroll.x();
    ctx.scrollY = m_spec.scroll.y();
    ctx.visible = QRect(QPoint(0, 0), m_spec.visible.isEmpty() ? m_spec.drawn : m_spec.visible);
    return ctx;
}

void PagePainter::paintPicture(QPainter& painter, Picture& picture) const {
    const QRect target(QPoint(0, 0), m_spec.drawn);
    if (m_spec.medium == PageSpec::Medium::Paper) {
        picture.drawForPrint(painter, target);
        return;
    }
    // Drawn-picture coordinates: the painter's origin moves by the scroll position.
    const QSize visible = m_spec.visible.isEmpty() ? m_spec.drawn : m_spec.visible;
    painter.save();
    painter.translate(-m_spec.scroll);
    picture.drawScaled(painter, target, QRect(m_spec.scroll, visible));
    painter.restore();
}

void PagePainter::paintPage(DrawingSurface& surface, Picture& picture, PointRenderer& renderer,
                            PointList& points) const {
    if (m_spec.medium == PageSpec::Medium::Paper) {
        surface.setPrinting(true);
        surface.setPageMapping(m_spec.displayDpiX, m_spec.displayDpiY, m_spec.deviceDpiX,
                               m_spec.deviceDpiY);
    }
    paintPicture(surface.painter(), picture);
    renderer.DrawPoints(surface, points, pointContext());
}

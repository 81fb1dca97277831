#include "PagePainter.h"

#include <QPainter>
#include <QRect>

#include "DrawingSurface.h"
#include "Picture.h"
#include "PointRenderer.h"

RenderContext PagePainter::pointContext() const {
    RenderContext ctx;
    ctx.zoom = m_page.zoom;
    ctx.showTexts = m_page.showTexts;
    ctx.now = m_page.now;
    if (m_page.medium == PageOptions::Medium::Paper) {
        ctx.printing = true;
        return ctx;
    }
    ctx.scrollX = m_page.scroll.x();
    ctx.scrollY = m_page.scroll.y();
    ctx.visible = QRect(QPoint(0, 0), m_page.visible.isEmpty() ? m_page.drawn : m_page.visible);
    return ctx;
}

void PagePainter::paintPicture(QPainter& painter, Picture& picture) const {
    const QRect target(QPoint(0, 0), m_page.drawn);
    if (m_page.medium == PageOptions::Medium::Paper) {
        picture.drawForPrint(painter, target);
        return;
    }
    // Drawn-picture coordinates: the painter's origin moves by the scroll position.
    const QSize visible = m_page.visible.isEmpty() ? m_page.drawn : m_page.visible;
    painter.save();
    painter.translate(-m_page.scroll);
    picture.drawScaled(painter, target, QRect(m_page.scroll, visible));
    painter.restore();
}

void PagePainter::paintPage(DrawingSurface& surface, Picture& picture, PointRenderer& renderer,
                            PointList& points) const {
    if (m_page.medium == PageOptions::Medium::Paper) {
        surface.setPrinting(true);
        surface.setPageMapping(m_page.displayDpiX, m_page.displayDpiY, m_page.deviceDpiX,
                               m_page.deviceDpiY);
    }
    paintPicture(surface.painter(), picture);
    renderer.DrawPoints(surface, points, pointContext());
}

// The map view's display modes and zoom: the drawn size in fit-to-width, Fit Picture and zoom
// mode, Fit Picture's centring, and zooming about a point (the wheel, a pinch, Zoom Plus and
// Zoom Minus about the middle).
#include <QScrollBar>

#include <cstdint>

#include "CZelvorView.h"
#include "Picture.h"
#include "ViewGeometry.h"
#include "ZoomGeometry.h"

DrawnSize CZelvorView::DrawnPictureSize(double& zoom) const {
    const auto imgW = static_cast<std::uint32_t>(m_pImage->width());
    const auto imgH = static_cast<std::uint32_t>(m_pImage->height());
    if (m_bZoomMode) {
        return ZoomSize(imgW, imgH, zoom);
    }
    if (m_bFitPicture) {
        // The room the viewport has without scroll bars: the whole picture needs none.
        const QSize room = maximumViewportSize();
        return FitWholeSize(imgW, imgH, room.width(), room.height(), zoom);
    }
    return FitSize(imgW, imgH, width(), zoom);
}

QPoint CZelvorView::CentringOffset() const {
    if (!IsFitPicture() || !m_pImage) {
        return {};
    }
    double zoom = m_dZoom;
    const QSize room = maximumViewportSize();
    const DrawnSize drawn =
        FitWholeSize(static_cast<std::uint32_t>(m_pImage->width()),
                     static_cast<std::uint32_t>(m_pImage->height()), room.width(), room.height(),
                     zoom);
    const ClientPoint margin =
        CentringMargin(drawn, viewport()->width(), viewport()->height());
    return {margin.x, margin.y};
}

void CZelvorView::OnViewFitPicture() {
    if (IsFitPicture()) {
        m_bFitPicture = false;
    } else {
        m_bZoomMode = false;
        m_bFitPicture = true;
    }
    UpdateScrollSizes();
    RedrawWindow();
}

void CZelvorView::OnViewZoomPlus() {
    if (m_bZoomMode) {
        ZoomAbout(kZoomInFactor, QRectF(viewport()->rect()).center());
    }
}

void CZelvorView::OnViewZoomMinus() {
    if (m_bZoomMode) {
        ZoomAbout(kZoomOutFactor, QRectF(viewport()->rect()).center());
    }
}

bool CZelvorView::ZoomAbout(double factor, QPointF anchor) {
    if (!m_pImage) {
        return false;
    }
    const QPoint origin = scrollPosition(); // before the mode changes: Fit Picture's margin
    const double before = m_dZoom;          // in a fit mode the scale of its last draw
    double zoom = ClampZoom(before);
    if (!ApplyZoomStep(true, zoom, factor) && m_bZoomMode) {
        return false;
    }
    if (!m_bZoomMode || anchor != m_zoomAnchor || origin != m_zoomScroll) {
        m_zoomAnchor = anchor;
        m_zoomPicturePoint = {(anchor.x() + origin.x()) / before, (anchor.y() + origin.y()) / before};
    }
    m_bZoomMode = true;
    m_bFitPicture = false;
    m_dZoom = zoom;

    const ClientPoint scroll =
        ScrollKeeping(m_zoomPicturePoint.x(), m_zoomPicturePoint.y(), zoom, anchor.x(), anchor.y());
    // The new scroll range first, so the scroll bars take the new position; the surface still
    // shows the old zoom, so the moves they report wait for the one full repaint below.
    UpdateScrollSizes();
    horizontalScrollBar()->setValue(scroll.x);
    verticalScrollBar()->setValue(scroll.y);
    RedrawWindow();
    m_zoomScroll = scrollPosition();
    return true;
}

// The map view's operations for points chosen elsewhere (the Points panel): centring one in
// the window.
#include <QScrollBar>

#include "CZelvorView.h"
#include "ZoomGeometry.h"

void CZelvorView::CentreOnPoint(int index) {
    const PointList& list = points();
    if (index < 0 || index >= list.count()) {
        return;
    }
    const PointRecord& rec = list.point(index);
    const ClientPoint scroll =
        CentredScroll(rec.dX, rec.dY, m_dZoom, viewport()->width(), viewport()->height());
    horizontalScrollBar()->setValue(scroll.x);
    verticalScrollBar()->setValue(scroll.y);
}

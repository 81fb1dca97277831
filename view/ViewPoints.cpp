// The map view's operations on points chosen elsewhere (the Points panel): centring one in the
// window and removing several.
#include <QScrollBar>

#include <algorithm>

#include "CZelvorView.h"
#include "ZoomGeometry.h"

namespace {
// Up to this many points are removed one by one; more at once are removed in one pass over
// the list.
constexpr std::size_t kRemoveOneByOne = 64;
} // namespace

void CZelvorView::CentreOnPoint(int index) {
    if (index < 0 || index >= m_list.count()) {
        return;
    }
    const PointRecord& rec = m_list.point(index);
    const ClientPoint scroll =
        CentredScroll(rec.dX, rec.dY, m_dZoom, viewport()->width(), viewport()->height());
    horizontalScrollBar()->setValue(scroll.x);
    verticalScrollBar()->setValue(scroll.y);
}

void CZelvorView::RemovePoints(std::vector<int> indices) {
    const int n = m_list.count();
    indices.erase(std::remove_if(indices.begin(), indices.end(),
                                 [n](int i) { return i < 0 || i >= n; }),
                  indices.end());
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    if (indices.empty()) {
        return;
    }
    m_nDragIndex = -1; // any drag in progress ends with the change
    if (indices.size() <= kRemoveOneByOne) {
        for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
            m_list.RemovePoint(*it);
        }
    } else {
        std::vector<PointRecord> points;
        std::vector<std::string> memos;
        std::vector<std::string> labels;
        std::vector<std::string> sinceTexts;
        const std::size_t kept = static_cast<std::size_t>(n) - indices.size();
        points.reserve(kept);
        memos.reserve(kept);
        labels.reserve(kept);
        sinceTexts.reserve(kept);
        auto removed = indices.begin();
        for (int i = 0; i < n; ++i) {
            if (removed != indices.end() && *removed == i) {
                ++removed;
                continue;
            }
            points.push_back(m_list.point(i));
            memos.push_back(m_list.memo(i));
            labels.push_back(m_list.label(i));
            sinceTexts.push_back(m_list.sinceText(i));
        }
        m_list.Assign(std::move(points), std::move(memos), std::move(labels),
                      std::move(sinceTexts));
    }
    ListChanged();
    RedrawWindow();
}

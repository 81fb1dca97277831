#include "TickTracker.h"

#include <algorithm>
#include <cstddef>
#include <functional>

bool PointShapes::empty() const {
    return square.isEmpty() && armH.isEmpty() && armV.isEmpty() && cell.isEmpty() &&
           centre.isEmpty();
}

QRect PointShapes::bounds() const {
    return square | armH | armV | cell | centre;
}

bool PointShapes::intersects(const QRect& r) const {
    return square.intersects(r) || armH.intersects(r) || armV.intersects(r) ||
           cell.intersects(r) || centre.intersects(r);
}

bool PointShapes::covers(const QRect& r) const {
    int touching = 0;
    for (const QRect& part : {square, armH, armV, cell, centre}) {
        if (part.contains(r)) {
            return true;
        }
        touching += part.intersects(r) ? 1 : 0;
    }
    if (touching < 2) {
        return false;
    }
    // Parts that meet (a square and the cell beside it) may cover it together.
    QRegion rest(r);
    for (const QRect& part : {square, armH, armV, cell, centre}) {
        rest -= part;
    }
    return rest.isEmpty();
}

void PointShapes::addTo(std::vector<QRect>& rects) const {
    for (const QRect& r : {square, armH, armV, cell, centre}) {
        if (!r.isEmpty()) {
            rects.push_back(r);
        }
    }
}

void TickTracker::begin(int count, const QRect& bounds, bool lastFirst) {
    m_valid = false;
    m_lastFirst = lastFirst;
    ++m_version;
    m_bounds = bounds;
    m_flashers.clear();
    m_pending.clear();
    m_slots.clear();
    // Room for every point at once: a crowded drawing would otherwise copy the list each time
    // it doubles, and touch fresh pages each time.
    m_slots.reserve(static_cast<std::size_t>(count));
    m_stamp.clear();
    m_slotOf.assign(static_cast<std::size_t>(count), -1);
    m_columns = std::max(1, (bounds.width() + kGridBucket - 1) / kGridBucket);
    m_rows = std::max(1, (bounds.height() + kGridBucket - 1) / kGridBucket);
    m_grid.assign(static_cast<std::size_t>(m_columns) * m_rows, {});
}

void TickTracker::noteShapes(int i, const PointShapes& shapes) {
    if (shapes.empty()) {
        return;
    }
    const auto slot = static_cast<int>(m_slots.size());
    m_slotOf[static_cast<std::size_t>(i)] = slot;
    m_slots.push_back({i, shapes});
    addToGrid(slot, shapes, true);
}

void TickTracker::end(const TickKey& key, std::int64_t now) {
    if (m_lastFirst) {
        for (std::vector<int>& bucket : m_grid) {
            std::reverse(bucket.begin(), bucket.end());
        }
    }
    std::sort(m_pending.begin(), m_pending.end(), std::greater<>());
    m_stamp.assign(m_slots.size(), 0);
    m_query = 0;
    m_key = key;
    m_now = now;
    m_valid = true;
}

std::vector<int> TickTracker::takeDue(std::int64_t now) {
    std::vector<int> due;
    while (!m_pending.empty() && now > m_pending.back().first) {
        due.push_back(m_pending.back().second);
        m_pending.pop_back();
    }
    std::sort(due.begin(), due.end());
    return due;
}

const PointShapes* TickTracker::shapes(int i) const {
    const int slot = m_slotOf[static_cast<std::size_t>(i)];
    return slot < 0 ? nullptr : &m_slots[static_cast<std::size_t>(slot)].shapes;
}

void TickTracker::setShapes(int i, const PointShapes& shapes) {
    int& slot = m_slotOf[static_cast<std::size_t>(i)];
    if (slot < 0) {
        if (shapes.empty()) {
            return;
        }
        slot = static_cast<int>(m_slots.size());
        m_slots.push_back({i, shapes});
        m_stamp.push_back(0);
    } else if (m_slots[static_cast<std::size_t>(slot)].shapes == shapes) {
        return; // a flashing point changing colours only
    } else {
        m_slots[static_cast<std::size_t>(slot)].shapes = shapes;
    }
    ++m_version;
    // Old bucket entries stay: every query checks the shapes themselves.
    addToGrid(slot, shapes, false);
}

void TickTracker::addToGrid(int slot, const PointShapes& shapes, bool recording) {
    const QRect b = shapes.bounds().translated(-m_bounds.topLeft()) &
                    QRect(0, 0, m_columns * kGridBucket, m_rows * kGridBucket);
    if (b.isEmpty()) {
        return;
    }
    const int index = m_slots[static_cast<std::size_t>(slot)].index;
    for (int row = b.top() / kGridBucket; row <= b.bottom() / kGridBucket; ++row) {
        for (int column = b.left() / kGridBucket; column <= b.right() / kGridBucket; ++column) {
            std::vector<int>& bucket = m_grid[static_cast<std::size_t>(row) * m_columns + column];
            if (recording) {
                bucket.push_back(index);
                continue;
            }
            const auto at = std::lower_bound(bucket.begin(), bucket.end(), index);
            if (at == bucket.end() || *at != index) {
                bucket.insert(at, index);
            }
        }
    }
}

void TickTracker::reaching(const QRect& area, int from, std::vector<int>& out) {
    const auto start = static_cast<std::ptrdiff_t>(out.size());
    const QRect a = area.translated(-m_bounds.topLeft()) &
                    QRect(0, 0, m_columns * kGridBucket, m_rows * kGridBucket);
    if (a.isEmpty()) {
        return;
    }
    ++m_query;
    for (int row = a.top() / kGridBucket; row <= a.bottom() / kGridBucket; ++row) {
        for (int column = a.left() / kGridBucket; column <= a.right() / kGridBucket; ++column) {
            const std::vector<int>& bucket =
                m_grid[static_cast<std::size_t>(row) * m_columns + column];
            for (auto it = std::lower_bound(bucket.begin(), bucket.end(), from);
                 it != bucket.end(); ++it) {
                const int slot = m_slotOf[static_cast<std::size_t>(*it)];
                auto& stamp = m_stamp[static_cast<std::size_t>(slot)];
                if (stamp == m_query) {
                    continue;
                }
                stamp = m_query;
                const Slot& s = m_slots[static_cast<std::size_t>(slot)];
                if (s.shapes.intersects(area)) {
                    out.push_back(s.index);
                }
            }
        }
    }
    std::sort(out.begin() + start, out.end());
}

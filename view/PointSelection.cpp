#include "PointSelection.h"

#include <algorithm>

bool PointSelection::contains(PointId id) const {
    return std::binary_search(m_ids.begin(), m_ids.end(), id);
}

void PointSelection::assign(std::vector<PointId> ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    if (ids != m_ids) {
        m_ids = std::move(ids);
        emit changed();
    }
}

void PointSelection::clear() {
    assign({});
}

void PointSelection::set(std::vector<PointId> ids) {
    assign(std::move(ids));
}

void PointSelection::add(std::span<const PointId> ids) {
    std::vector<PointId> all = m_ids;
    all.insert(all.end(), ids.begin(), ids.end());
    assign(std::move(all));
}

void PointSelection::toggle(PointId id) {
    std::vector<PointId> all = m_ids;
    const auto at = std::lower_bound(all.begin(), all.end(), id);
    if (at != all.end() && *at == id) {
        all.erase(at);
    } else {
        all.insert(at, id);
    }
    assign(std::move(all));
}

void PointSelection::prune(const PointMap& map) {
    std::vector<PointId> kept;
    kept.reserve(m_ids.size());
    for (const PointId id : m_ids) {
        if (map.indexOf(id) >= 0) {
            kept.push_back(id);
        }
    }
    assign(std::move(kept));
}

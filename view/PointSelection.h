// The points selected in one view, by id (PointMap), in id order, which is list order. Each view
// has its own; a panel showing the same points may share a view's selection and listen to
// changed(). Ids of points that went away are dropped by prune().
#pragma once

#include <QObject>

#include <span>
#include <vector>

#include "PointMap.h"

class PointSelection : public QObject {
    Q_OBJECT
public:
    explicit PointSelection(QObject* parent = nullptr) : QObject(parent) {}

    const std::vector<PointId>& ids() const { return m_ids; }
    int count() const { return static_cast<int>(m_ids.size()); }
    bool empty() const { return m_ids.empty(); }
    bool contains(PointId id) const;

    // Each emits changed() when the selection changed.
    void clear();
    void set(std::vector<PointId> ids);
    void add(std::span<const PointId> ids);
    void toggle(PointId id);
    // Drops the ids `map` no longer holds.
    void prune(const PointMap& map);

signals:
    void changed();

private:
    void assign(std::vector<PointId> ids);

    std::vector<PointId> m_ids; // ascending, distinct
};

// The Points panel's table: one row per point of a map that passes the filter, in the chosen
// order; columns Label, Memo, Since (the date, when switched on), Passed (whether it is due),
// X and Y. A model over the points, not a copy of them: rows hold point indices only, and the
// cells are read from the list as they are painted.
//
// Contract:
// - setPoints() names the list shown (null: none); the owner of the list calls pointsChanged()
//   after every change to it (edits, merges, undo) and setPoints(nullptr) before it goes.
// - Without a filter and in list order the rows are the list itself: nothing is computed, and a
//   change only repaints (or, when the count changed, resets).
// - Otherwise the points are copied into a PointSnapshot on this thread and QueryPoints runs on
//   a worker thread; the rows are replaced when it is done (a reset), and queryFinished() is
//   emitted. Changes that arrive meanwhile start one more query when it ends. Until then the
//   rows shown may name points that have gone: such cells are empty.
// - sort(column < 0) returns to list order.
#pragma once

#include <QAbstractTableModel>
#include <QFutureWatcher>
#include <QTimer>

#include <vector>

#include "PointQuery.h"

class AppServices;
class PointList;

class PointsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The point index of a row, for every column.
    static constexpr int PointIndexRole = Qt::UserRole + 1;

    // `services` gives the time against which since dates are due; it must outlive the model.
    explicit PointsTableModel(const AppServices& services, QObject* parent = nullptr);
    ~PointsTableModel() override;

    void setPoints(const PointList* list);
    const PointList* pointList() const { return m_list; }
    void pointsChanged();

    void setFilter(const PointFilter& filter);
    const PointFilter& filter() const { return m_filter; }
    const PointOrder& order() const { return m_order; }

    // Rows shown and points in the list.
    int shownCount() const;
    int totalCount() const;
    // The point index of row `row`, or -1.
    int pointAt(int row) const;
    // The row of point `index`, or -1 when it is not shown.
    int rowOf(int index) const;
    // True while a query runs in the background.
    bool isBusy() const { return m_watcher.isRunning(); }
    // True while the list has changed since the rows were computed: a row may then name
    // another point than the one it shows, so nothing should act on rows until the query ends.
    bool rowsStale() const { return m_stale; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // The counts may have changed (rows replaced, points added or removed).
    void countsChanged();
    void queryFinished();

private:
    bool isIdentity() const { return m_filter.isEmpty() && m_order.listOrder; }
    // Recomputes the rows: at once for the list itself, else in the background.
    void requery();
    void startQuery();
    void onQueryDone();

    const AppServices& m_services;
    const PointList* m_list = nullptr;
    PointFilter m_filter;
    PointOrder m_order;
    // What the rows are now: the list itself (m_listCount rows), or m_rows.
    bool m_showsList = true;
    int m_listCount = 0;
    std::vector<int> m_rows;
    mutable std::vector<int> m_rowOfPoint; // m_rows inverted, made on first use after a reset
    QFutureWatcher<std::vector<int>> m_watcher;
    bool m_queryAgain = false;
    bool m_stale = false;
    QTimer m_changeTimer; // gathers a burst of changes into one query
};

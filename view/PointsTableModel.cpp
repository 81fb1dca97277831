#include "PointsTableModel.h"

#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include "AppServices.h"
#include "PointList.h"
#include "SinceTime.h"
#include "Text8.h"

namespace {

// A burst of changes (a drag moves a point on every mouse move) queries at most this often.
constexpr int kChangeGatherMs = 150;

QString SinceDateText(const SYSTEMTIME& st) {
    return QString::asprintf("%04u-%02u-%02u %02u:%02u", st.wYear, st.wMonth, st.wDay, st.wHour,
                             st.wMinute);
}

QString Position(double v) {
    return QString::number(v, 'f', 1);
}

} // namespace

PointsTableModel::PointsTableModel(const AppServices& services, QObject* parent)
    : QAbstractTableModel(parent), m_services(services) {
    connect(&m_watcher, &QFutureWatcher<std::vector<int>>::finished, this,
            &PointsTableModel::onQueryDone);
    m_changeTimer.setSingleShot(true);
    m_changeTimer.setInterval(kChangeGatherMs);
    connect(&m_changeTimer, &QTimer::timeout, this, &PointsTableModel::requery);
}

PointsTableModel::~PointsTableModel() {
    m_watcher.disconnect(this);
    m_watcher.waitForFinished(); // the worker works on its own snapshot; this only joins it
}

void PointsTableModel::setPoints(const PointList* list) {
    m_list = list;
    m_changeTimer.stop();
    requery();
}

void PointsTableModel::pointsChanged() {
    if (isIdentity()) {
        requery(); // cheap: a repaint, or a reset when the count changed
        return;
    }
    m_stale = !m_showsList || m_listCount != totalCount();
    if (!m_changeTimer.isActive()) {
        m_changeTimer.start();
    }
}

void PointsTableModel::setFilter(const PointFilter& filter) {
    m_filter = filter;
    requery();
}

void PointsTableModel::sort(int column, Qt::SortOrder order) {
    PointOrder next;
    next.listOrder = column < 0 || column >= kPointColumnCount;
    next.column = static_cast<PointColumn>(next.listOrder ? 0 : column);
    next.descending = order == Qt::DescendingOrder;
    m_order = next;
    requery();
}

int PointsTableModel::totalCount() const {
    return m_list != nullptr ? m_list->count() : 0;
}

int PointsTableModel::shownCount() const {
    return m_showsList ? m_listCount : static_cast<int>(m_rows.size());
}

int PointsTableModel::pointAt(int row) const {
    if (row < 0 || row >= shownCount()) {
        return -1;
    }
    return m_showsList ? row : m_rows[static_cast<std::size_t>(row)];
}

int PointsTableModel::rowOf(int index) const {
    if (m_showsList) {
        return index >= 0 && index < m_listCount ? index : -1;
    }
    if (m_rowOfPoint.empty() && !m_rows.empty()) {
        const int most = *std::max_element(m_rows.begin(), m_rows.end());
        m_rowOfPoint.assign(static_cast<std::size_t>(most) + 1, -1);
        for (std::size_t r = 0; r < m_rows.size(); ++r) {
            m_rowOfPoint[static_cast<std::size_t>(m_rows[r])] = static_cast<int>(r);
        }
    }
    return index >= 0 && index < static_cast<int>(m_rowOfPoint.size())
               ? m_rowOfPoint[static_cast<std::size_t>(index)]
               : -1;
}

void PointsTableModel::requery() {
    if (isIdentity()) {
        const int n = totalCount();
        m_stale = false;
        if (n != m_listCount || !m_showsList) {
            beginResetModel();
            m_showsList = true;
            m_rows = {};
            m_rowOfPoint = {};
            m_listCount = n;
            endResetModel();
            emit countsChanged();
        } else if (n > 0) {
            emit dataChanged(index(0, 0), index(n - 1, kPointColumnCount - 1));
        }
        emit queryFinished();
        return;
    }
    if (m_watcher.isRunning()) {
        m_queryAgain = true;
        return;
    }
    startQuery();
}

void PointsTableModel::startQuery() {
    m_queryAgain = false;
    PointSnapshot snapshot = m_list != nullptr
                                 ? PointSnapshot::Take(*m_list, m_services.now(),
                                                       PointSnapshot::NeedsTexts(m_filter, m_order))
                                 : PointSnapshot();
    m_watcher.setFuture(QtConcurrent::run(
        [snapshot = std::move(snapshot), filter = m_filter, order = m_order] {
            return QueryPoints(snapshot, filter, order);
        }));
}

void PointsTableModel::onQueryDone() {
    if (isIdentity()) {
        m_queryAgain = false;
        return; // the filter was cleared meanwhile; requery() has shown the list
    }
    if (m_queryAgain) {
        startQuery(); // the points, the filter or the order changed meanwhile
        return;
    }
    beginResetModel();
    m_showsList = false;
    m_rows = m_watcher.result();
    m_rowOfPoint = {};
    endResetModel();
    if (!m_changeTimer.isActive()) {
        m_stale = false; // no change arrived after the snapshot
    }
    emit countsChanged();
    emit queryFinished();
}

int PointsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownCount();
}

int PointsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kPointColumnCount;
}

QVariant PointsTableModel::data(const QModelIndex& index, int role) const {
    const int i = pointAt(index.row());
    if (m_list == nullptr || i < 0 || i >= m_list->count()) {
        return {};
    }
    if (role == PointIndexRole) {
        return i;
    }
    const auto column = static_cast<PointColumn>(index.column());
    if (role == Qt::TextAlignmentRole) {
        const bool number = column == PointColumn::X || column == PointColumn::Y;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const PointRecord& rec = m_list->point(i);
    switch (column) {
    case PointColumn::Label:
        return FromText8(m_list->label(i));
    case PointColumn::Memo:
        return FromText8(m_list->memo(i));
    case PointColumn::Since:
        return rec.bSinceDate != 0 ? SinceDateText(rec.stSince) : QString();
    case PointColumn::Passed:
        return IsDue(rec, m_services.now()) ? tr("yes") : QString();
    case PointColumn::X:
        return Position(rec.dX);
    case PointColumn::Y:
        return Position(rec.dY);
    }
    return {};
}

QVariant PointsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (static_cast<PointColumn>(section)) {
    case PointColumn::Label:
        return tr("Label");
    case PointColumn::Memo:
        return tr("Memo");
    case PointColumn::Since:
        return tr("Since");
    case PointColumn::Passed:
        return tr("Passed");
    case PointColumn::X:
        return tr("X");
    case PointColumn::Y:
        return tr("Y");
    }
    return {};
}

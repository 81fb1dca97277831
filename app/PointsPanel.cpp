#include "PointsPanel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

#include "CZelvorView.h"
#include "OpenMap.h"
#include "PointSelection.h"
#include "PointsTableModel.h"

namespace {
constexpr int kTypingPauseMs = 200;
// Points become due as time passes; the list catches up this often while "due only" is on.
constexpr int kDueRefreshMs = 30'000;
// Narrower than this, the columns no longer show their headings.
constexpr int kMinPanelWidth = 260;
} // namespace

PointsPanel::PointsPanel(const AppServices& services, QWidget* parent)
    : QDockWidget(tr("Points"), parent), m_model(new PointsTableModel(services, this)),
      m_table(new QTableView), m_filter(new QLineEdit), m_dueOnly(new QCheckBox(tr("due only"))),
      m_count(new QLabel) {
    setObjectName(QStringLiteral("PointsPanel"));
    m_filter->setPlaceholderText(tr("Filter"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setToolTip(tr("Shows the points whose label, memo or since text contains this"));
    m_dueOnly->setToolTip(tr("Shows only the points whose since date has passed"));

    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setSortIndicatorClearable(true);
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSortingEnabled(true);
    // Widths that show every column in a panel of a usual width (the last one stretches).
    const int widths[kPointColumnCount] = {110, 120, 110, 55, 55, 55};
    for (int c = 0; c < kPointColumnCount; ++c) {
        m_table->horizontalHeader()->resizeSection(c, widths[c]);
    }
    m_table->installEventFilter(this);

    auto* top = new QHBoxLayout;
    top->addWidget(m_filter, 1);
    top->addWidget(m_dueOnly);
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_count);
    setWidget(box);
    box->setMinimumWidth(kMinPanelWidth);

    m_typing.setSingleShot(true);
    m_typing.setInterval(kTypingPauseMs);
    connect(&m_typing, &QTimer::timeout, this, &PointsPanel::applyFilter);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { m_typing.start(); });
    connect(m_filter, &QLineEdit::returnPressed, this, &PointsPanel::applyFilter);
    connect(m_dueOnly, &QCheckBox::toggled, this, &PointsPanel::applyFilter);
    m_dueClock.setInterval(kDueRefreshMs);
    connect(&m_dueClock, &QTimer::timeout, this, [this] { m_model->pointsChanged(); });

    connect(m_model, &PointsTableModel::countsChanged, this, &PointsPanel::updateCount);
    connect(m_table, &QAbstractItemView::activated, this, &PointsPanel::activateRow);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PointsPanel::takeTableSelection);
    // A reset clears the table's selection: that is no choice of the user's.
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_syncing = true; });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_syncing = false;
        showViewSelection();
    });
    updateCount();
}

PointsPanel::~PointsPanel() = default;

CZelvorView* PointsPanel::attachedView() const {
    return m_view.data();
}

void PointsPanel::attach(CZelvorView* view) {
    if (m_view == view) {
        return;
    }
    if (m_view) {
        disconnect(m_view, nullptr, this, nullptr);
    }
    disconnect(m_mapChanged);
    disconnect(m_selectionChanged);
    m_view = view;
    // The points are the picture's map, which the view shares with the picture's other views.
    m_model->setPoints(view != nullptr ? &view->points() : nullptr);
    if (view != nullptr) {
        m_mapChanged = connect(&view->map(), &OpenMap::pointsChanged, m_model,
                               &PointsTableModel::pointsChanged);
        m_selectionChanged = connect(&view->selection(), &PointSelection::changed, this,
                                     &PointsPanel::showViewSelection);
        // The map may go with the view: stop reading it first.
        connect(view, &QObject::destroyed, this, [this] {
            m_view = nullptr;
            disconnect(m_mapChanged);
            disconnect(m_selectionChanged);
            m_model->setPoints(nullptr);
        });
    }
    updateCount();
    showViewSelection();
}

QString PointsPanel::CountText(int shown, int total, bool filtered) {
    const QLocale english(QLocale::English);
    if (filtered) {
        return tr("%1 of %2 points").arg(english.toString(shown), english.toString(total));
    }
    return total == 1 ? tr("1 point") : tr("%1 points").arg(english.toString(total));
}

void PointsPanel::applyFilter() {
    m_typing.stop();
    PointFilter filter;
    filter.text = m_filter->text().trimmed();
    filter.dueOnly = m_dueOnly->isChecked();
    if (filter.dueOnly) {
        m_dueClock.start();
    } else {
        m_dueClock.stop();
    }
    m_model->setFilter(filter);
    updateCount();
}

void PointsPanel::updateCount() {
    const bool filtered = !m_model->filter().isEmpty();
    m_count->setText(CountText(m_model->shownCount(), m_model->totalCount(), filtered));
}

std::vector<int> PointsPanel::selectedPoints() const {
    std::vector<int> points;
    const QItemSelection selection = m_table->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const int i = m_model->pointAt(row);
            if (i >= 0) {
                points.push_back(i);
            }
        }
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

void PointsPanel::activateRow(const QModelIndex& index) {
    const int i = m_model->pointAt(index.row());
    if (m_view && !m_model->rowsStale() && i >= 0 && i < m_view->points().count()) {
        m_view->selection().set({m_view->map().map().idAt(i)});
        m_view->CentreOnPoint(i);
    }
}

void PointsPanel::takeTableSelection() {
    if (m_syncing || !m_view) {
        return;
    }
    if (m_model->rowsStale()) {
        showViewSelection(); // rows computed before the last change may name other points
        return;
    }
    const PointMap& map = m_view->map().map();
    std::vector<PointId> ids;
    for (int i : selectedPoints()) {
        if (i < map.count()) {
            ids.push_back(map.idAt(i));
        }
    }
    m_syncing = true;
    m_view->selection().set(std::move(ids));
    m_syncing = false;
}

void PointsPanel::showViewSelection() {
    if (m_syncing) {
        return;
    }
    QItemSelection rows;
    if (m_view) {
        const PointMap& map = m_view->map().map();
        std::vector<int> shown;
        for (const PointId id : m_view->selection().ids()) {
            const int row = m_model->rowOf(map.indexOf(id));
            if (row >= 0) {
                shown.push_back(row);
            }
        }
        std::sort(shown.begin(), shown.end());
        // Runs of rows as one range each: a selection of every point is one range.
        for (std::size_t k = 0; k < shown.size();) {
            std::size_t end = k + 1;
            while (end < shown.size() && shown[end] == shown[end - 1] + 1) {
                ++end;
            }
            rows.select(m_model->index(shown[k], 0),
                        m_model->index(shown[end - 1], kPointColumnCount - 1));
            k = end;
        }
        if (shown.size() == 1) {
            m_table->scrollTo(m_model->index(shown.front(), 0));
        }
    }
    m_syncing = true;
    m_table->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}

void PointsPanel::deleteSelected() {
    // The view's selection is the panel's: the view asks its one question and removes the
    // points in one step.
    if (m_view && !m_model->rowsStale()) {
        m_view->OnEditDelete();
    }
}

bool PointsPanel::eventFilter(QObject* watched, QEvent* event) {
    const bool key = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (watched == m_table && key) {
        const auto* press = static_cast<QKeyEvent*>(event);
        if (press->key() == Qt::Key_Delete && press->modifiers() == Qt::NoModifier) {
            // Delete belongs to the table while it has the focus, before any window shortcut.
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
            } else {
                deleteSelected();
            }
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

void PointsPanel::closeEvent(QCloseEvent* event) {
    QDockWidget::closeEvent(event);
    emit closedByUser();
}

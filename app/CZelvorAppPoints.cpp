// The application's Points panel: made when the first picture opens (start-up makes none),
// docked on the right of the main window (or where the user last docked it), attached to the
// active view, and shown or hidden by View > Points. The settings keep whether it shows
// ("PointsPanel/visible", on unless the user hid it) and where ("PointsPanel/area", a
// Qt::DockWidgetArea); with no picture open it is hidden without changing either.
#include <algorithm>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QLayout>

#include "ActionBuilder.h"
#include "CMainFrame.h"
#include "CZelvorApp.h"
#include "CZelvorView.h"
#include "DocumentManager.h"
#include "PointsPanel.h"
#include "Resources.h"

namespace {
const QString kVisibleKey = QStringLiteral("PointsPanel/visible");
const QString kAreaKey = QStringLiteral("PointsPanel/area");
// The panel's first width beside the windows: every column shows.
constexpr int kFirstPanelWidth = 420;

// A panel that appears narrows the area that holds the picture windows; a window that no longer
// fits (a maximized one follows by itself) is narrowed to the area, keeping its place if it can,
// so that no part of the picture ends up behind the area's own scroll bars.
void FitWindowsIntoArea(QMdiArea* area) {
    const QRect room = area->viewport()->rect();
    for (QMdiSubWindow* window : area->subWindowList()) {
        if (window->isMaximized() || window->isMinimized()) {
            continue;
        }
        QRect frame = window->geometry();
        if (room.contains(frame)) {
            continue;
        }
        frame.setWidth(std::min(frame.width(), room.width()));
        frame.setHeight(std::min(frame.height(), room.height()));
        frame.moveLeft(std::clamp(frame.left(), room.left(), room.right() - frame.width() + 1));
        frame.moveTop(std::clamp(frame.top(), room.top(), room.bottom() - frame.height() + 1));
        window->setGeometry(frame);
    }
}

Qt::DockWidgetArea StoredArea(const QSettings& settings) {
    const int area = settings.value(kAreaKey, int(Qt::RightDockWidgetArea)).toInt();
    switch (area) {
    case Qt::LeftDockWidgetArea:
    case Qt::RightDockWidgetArea:
    case Qt::TopDockWidgetArea:
    case Qt::BottomDockWidgetArea:
        return static_cast<Qt::DockWidgetArea>(area);
    default:
        return Qt::RightDockWidgetArea; // a damaged or foreign value
    }
}
} // namespace

void CZelvorApp::FitWindowsBesidePanel() {
    // The main window lays the shown panel out now, so the area has its new size at once.
    m_mainFrame->layout()->activate();
    FitWindowsIntoArea(m_mainFrame->mdiArea());
}

PointsPanel* CZelvorApp::pointsPanel() const {
    return m_points.data();
}

void CZelvorApp::RegisterPointsPanel() {
    ActionBuilder& cmd = m_mainFrame->commands();
    cmd.setHandler(ID_VIEW_POINTS, [this] {
        if (m_points) {
            const bool show = !m_points->isVisible();
            m_points->setVisible(show);
            m_settings->setValue(kVisibleKey, show);
            if (show) {
                FitWindowsBesidePanel();
            }
        }
    });
    cmd.setUpdateHandler(ID_VIEW_POINTS, [this](CommandState& state) {
        state.enabled = m_points != nullptr && activeView() != nullptr;
        state.checked = m_points != nullptr && m_points->isVisible();
    });
    connect(m_mainFrame->mdiArea(), &QMdiArea::subWindowActivated, this,
            &CZelvorApp::FollowActiveView);
    connect(m_docs.get(), &DocumentManager::documentsChanged, this, &CZelvorApp::FollowActiveView);
}

void CZelvorApp::FollowActiveView() {
    CZelvorView* view = activeView();
    if (view == nullptr) {
        // Between windows (one closing, the next not yet active) or none left.
        if (m_points && m_mainFrame->mdiArea()->subWindowList().isEmpty()) {
            m_points->attach(nullptr);
            m_points->hide();
        }
        return;
    }
    if (!m_points) {
        m_points = new PointsPanel(*m_services, m_mainFrame.get());
        const Qt::DockWidgetArea area = StoredArea(*m_settings);
        m_mainFrame->addDockWidget(area, m_points);
        // Wide enough for every column at first, on either side.
        if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea) {
            m_mainFrame->resizeDocks({m_points}, {kFirstPanelWidth}, Qt::Horizontal);
        }
        connect(m_points, &QDockWidget::dockLocationChanged, this,
                [this](Qt::DockWidgetArea where) {
                    if (where != Qt::NoDockWidgetArea) {
                        m_settings->setValue(kAreaKey, int(where));
                    }
                });
        m_points->hide();
        connect(m_points, &PointsPanel::closedByUser, this,
                [this] { m_settings->setValue(kVisibleKey, false); });
    }
    m_points->attach(view);
    if (!m_points->isVisible() && m_settings->value(kVisibleKey, true).toBool()) {
        m_points->show();
        FitWindowsBesidePanel();
    }
}

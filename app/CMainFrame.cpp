#include "CMainFrame.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>

#include "ActionBuilder.h"
#include "AppServices.h"
#include "ContextHelpMode.h"
#include "Document.h"
#include "DocumentManager.h"
#include "FontSystemWarmUp.h"
#include "HelpWindow.h"
#include "LockKeyIndicators.h"
#include "Resources.h"
#include "WindowListMenu.h"
#include "ZelvorCommands.h"

namespace {
// Room beside the widest text of an indicator pane, in pixels.
constexpr int kIndicatorPadding = 12;

QLabel* MakeIndicatorPane(QStatusBar* bar, const QString& widest) {
    auto* pane = new QLabel(bar);
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(widest) + kIndicatorPadding);
    bar->addPermanentWidget(pane);
    return pane;
}
} // namespace

CMainFrame::CMainFrame(AppServices& services) : m_services(services) {}

CMainFrame::~CMainFrame() {
    if (m_docs != nullptr) {
        disconnect(m_docs, nullptr, this, nullptr);
    }
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        disconnect(dispatcher, nullptr, this, nullptr);
    }
    // Every document window goes before the defaults are saved; each view saves its map.
    if (m_mdiArea != nullptr) {
        QList<QPointer<QMdiSubWindow>> windows;
        for (QMdiSubWindow* window : m_mdiArea->findChildren<QMdiSubWindow*>()) {
            windows.append(window);
        }
        for (const QPointer<QMdiSubWindow>& window : windows) {
            delete window.data();
        }
    }
    m_services.setStatusSink({});
}

bool CMainFrame::LoadFrame() {
    setWindowTitle(Resources::String(IDR_MAINFRAME));
    setWindowIcon(Resources::Icon(IDR_MAINFRAME));

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setViewMode(QMdiArea::SubWindowView);
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);

    m_commands = std::make_unique<ActionBuilder>(ZelvorCommandTable());

    m_wndToolBar = m_commands->buildToolBar(IDR_MAINFRAME, this);
    if (m_wndToolBar == nullptr) {
        return false;
    }
    m_wndToolBar->setWindowTitle(tr("Toolbar"));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    // The status bar measures the window's first text: the font system is needed from here on.
    FontSystemWarmUp::Finish();
    m_wndStatusBar = new QStatusBar(this);
    setStatusBar(m_wndStatusBar);
    QStatusBar* bar = m_wndStatusBar;
    m_services.setStatusSink([bar](const QString& text) { bar->showMessage(text); });
    m_capsPane = MakeIndicatorPane(bar, Resources::String(ID_INDICATOR_CAPS));
    m_numPane = MakeIndicatorPane(bar, Resources::String(ID_INDICATOR_NUM));
    m_scrollPane = MakeIndicatorPane(bar, Resources::String(ID_INDICATOR_SCRL));
    m_indicators = new LockKeyIndicators(m_capsPane, m_numPane, m_scrollPane, this);
    m_services.showStatus(Resources::String(AFX_IDS_IDLEMESSAGE));

    m_commands->showMenu(menuBar(), IDR_MAINFRAME);
    m_menuId = IDR_MAINFRAME;
    m_commands->installAccelerators(this);
    m_commands->setStatusSink([this](const QString& text) { m_services.showStatus(text); });
    m_commands->routeStatusTips(this);

    if (const MenuLayout* docMenu = ZelvorCommandTable().menu(IDR_ZelvorTYPE)) {
        for (int i = 0; i < static_cast<int>(docMenu->popups.size()); ++i) {
            if (docMenu->popups[i].title == QLatin1String("&Window")) {
                if (QMenu* popup = m_commands->popup(IDR_ZelvorTYPE, i)) {
                    m_windowList = new WindowListMenu(*popup, *m_mdiArea, this);
                }
            }
        }
    }

    m_contextHelp = new ContextHelpMode(
        Resources::String(AFX_IDS_HELPMODEMESSAGE), Resources::String(AFX_IDS_IDLEMESSAGE),
        [this](const QString& text) { m_services.showStatus(text); }, this);
    RegisterFrameCommands();

    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateMenuAndTitle);
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &CMainFrame::UpdateMenuAndTitle);
    }
    return true;
}

void CMainFrame::setDocumentManager(DocumentManager* docs) {
    if (m_docs != nullptr) {
        disconnect(m_docs, nullptr, this, nullptr);
    }
    m_docs = docs;
    if (m_docs != nullptr) {
        connect(m_docs, &DocumentManager::documentsChanged, this, &CMainFrame::UpdateMenuAndTitle);
        connect(m_docs, &DocumentManager::documentTitleChanged, this,
                &CMainFrame::UpdateMenuAndTitle);
    }
}

void CMainFrame::RegisterFrameCommands() {
    ActionBuilder& cmd = *m_commands;
    cmd.setHandler(ID_VIEW_TOOLBAR, [this] { m_wndToolBar->setVisible(m_wndToolBar->isHidden()); });
    cmd.setUpdateHandler(ID_VIEW_TOOLBAR, [this](CommandState& state) {
        state.checked = !m_wndToolBar->isHidden();
    });
    cmd.setHandler(ID_VIEW_STATUS_BAR,
                   [this] { m_wndStatusBar->setVisible(m_wndStatusBar->isHidden()); });
    cmd.setUpdateHandler(ID_VIEW_STATUS_BAR, [this](CommandState& state) {
        state.checked = !m_wndStatusBar->isHidden();
    });

    const auto anyWindow = [this](CommandState& state) {
        state.enabled = !m_mdiArea->subWindowList().isEmpty();
    };
    cmd.setHandler(ID_WINDOW_CASCADE, [this] { m_mdiArea->cascadeSubWindows(); });
    cmd.setUpdateHandler(ID_WINDOW_CASCADE, anyWindow);
    cmd.setHandler(ID_WINDOW_TILE_HORZ, [this] { OnWindowTileHorz(); });
    cmd.setUpdateHandler(ID_WINDOW_TILE_HORZ, anyWindow);
    cmd.setHandler(ID_WINDOW_ARRANGE, [this] { OnWindowArrange(); });
    cmd.setUpdateHandler(ID_WINDOW_ARRANGE, anyWindow);

    cmd.setHandler(ID_HELP_FINDER, [this] { ShowHelp(); });
    cmd.setHandler(ID_HELP, [this] { ShowHelp(); });
    cmd.setHandler(ID_DEFAULT_HELP, [this] { ShowHelp(); });
    cmd.setHandler(ID_CONTEXT_HELP, [this] { m_contextHelp->enter(); });
}

void CMainFrame::ShowHelp() {
    if (m_help == nullptr) {
        m_help = new HelpWindow(this);
    }
    m_help->ShowContents();
}

void CMainFrame::UpdateMenuAndTitle() {
    if (m_mdiArea == nullptr || !m_commands) {
        return;
    }
    const bool anyDocumentWindow = !m_mdiArea->subWindowList().isEmpty();
    const int wanted = anyDocumentWindow ? IDR_ZelvorTYPE : IDR_MAINFRAME;
    if (wanted != m_menuId) {
        m_commands->showMenu(menuBar(), wanted);
        m_menuId = wanted;
    }
    // "Zelvor - plan.png"; with the active window maximised, "Zelvor - [plan.png]" as the MDI
    // area itself would put it, so that the two never fight over the title.
    QString title = Resources::String(IDR_MAINFRAME);
    QMdiSubWindow* active = m_mdiArea->currentSubWindow();
    if (active != nullptr && active->isMaximized()) {
        title += QStringLiteral(" - [") + active->windowTitle() + QLatin1Char(']');
    } else if (Document* doc = m_docs != nullptr ? m_docs->activeDocument() : nullptr) {
        title += QStringLiteral(" - ") + doc->GetTitle();
    }
    if (title != windowTitle()) {
        setWindowTitle(title);
    }
}

QLabel* CMainFrame::indicator(int id) const {
    switch (id) {
    case ID_INDICATOR_CAPS:
        return m_capsPane;
    case ID_INDICATOR_NUM:
        return m_numPane;
    case ID_INDICATOR_SCRL:
        return m_scrollPane;
    default:
        return nullptr;
    }
}

void CMainFrame::OnWindowTileHorz() {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList(QMdiArea::StackingOrder)) {
        if (window->isVisible() && !window->isMinimized()) {
            windows.append(window);
        }
    }
    if (windows.isEmpty()) {
        return;
    }
    // The active window (last in stacking order) goes on top, the others follow it.
    std::reverse(windows.begin(), windows.end());
    const QSize area = m_mdiArea->viewport()->size();
    const int count = static_cast<int>(windows.size());
    const int height = std::max(1, area.height() / count);
    int y = 0;
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow* window = windows[i];
        if (window->isMaximized()) {
            window->showNormal();
        }
        // The last window takes what the division leaves over.
        const int h = i + 1 < count ? height : std::max(1, area.height() - y);
        window->setGeometry(0, y, area.width(), h);
        y += h;
    }
}

void CMainFrame::OnWindowArrange() {
    const int areaWidth = m_mdiArea->viewport()->width();
    int bottom = m_mdiArea->viewport()->height();
    int x = 0;
    for (QMdiSubWindow* window : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized()) {
            continue;
        }
        const QSize size = window->size();
        if (x > 0 && x + size.width() > areaWidth) {
            x = 0;
            bottom -= size.height();
        }
        window->move(x, bottom - size.height());
        x += size.width();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_docs != nullptr && !m_docs->CloseAllDocuments()) {
        event->ignore();
        return;
    }
    if (m_help != nullptr) {
        m_help->close();
    }
    QMainWindow::closeEvent(event);
    event->accept();
    emit closed();
}

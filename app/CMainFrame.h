// The main window: menu bar, a toolbar that docks on any side or floats, the status bar (the
// message pane and the CAP, NUM and SCRL indicators) and the MDI area of document windows.
//
// It writes to no file: the start-up folder, the defaults and the MAPS folder are prepared by
// the application before the frame exists, and reach it as the services it is made with. While
// its status bar exists, the services' status texts show in pane 0. The destructor first
// destroys any document window still open (each view saves its map).
//
// Menu IDR_MAINFRAME shows while no document window is open, IDR_ZelvorTYPE while one is.
// Closing the main window closes every document window first; a window that refuses (a map the
// user chose not to lose) cancels the close.
#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>


class ActionBuilder;
class AppServices;
class ContextHelpMode;
class DocumentManager;
class HelpWindow;
class LockKeyIndicators;
class QLabel;
class QMdiArea;
class QStatusBar;
class QToolBar;
class WindowListMenu;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // `services` must outlive the frame.
    explicit CMainFrame(AppServices& services);
    ~CMainFrame() override;

    // Creates the window's contents: MDI area, menus, accelerators, toolbar, status bar with its
    // four panes, docking. False when a part cannot be made.
    bool LoadFrame();

    // The status bar (pane 0 is its message area) and the main toolbar.
    QStatusBar* m_wndStatusBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;

    QMdiArea* mdiArea() const { return m_mdiArea; }
    ActionBuilder& commands() const { return *m_commands; }
    // Closing the main window closes these documents first.
    void setDocumentManager(DocumentManager* docs);

    // The menu shown now: IDR_MAINFRAME or IDR_ZelvorTYPE (0 before LoadFrame).
    int currentMenuId() const { return m_menuId; }
    // Shows the menu that fits the document windows open now and the title of the active one.
    void UpdateMenuAndTitle();

    // The indicator label of ID_INDICATOR_CAPS, _NUM or _SCRL, or null.
    QLabel* indicator(int id) const;
    // The help window, made the first time help is asked for; null until then.
    HelpWindow* helpWindow() const { return m_help; }
    ContextHelpMode* contextHelp() const { return m_contextHelp; }

    // Window > Tile: the open, not minimised document windows stacked one above another, each
    // the full width of the window area and an equal share of its height, the active one on top.
    void OnWindowTileHorz();

    // Window > Arrange Icons: minimised document windows in a row along the bottom.
    void OnWindowArrange();

signals:
    // The main window closed (after every document window did).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RegisterFrameCommands();
    void ShowHelp();

    AppServices& m_services;
    QMdiArea* m_mdiArea = nullptr;
    std::unique_ptr<ActionBuilder> m_commands;
    DocumentManager* m_docs = nullptr;
    LockKeyIndicators* m_indicators = nullptr;
    QLabel* m_capsPane = nullptr;
    QLabel* m_numPane = nullptr;
    QLabel* m_scrollPane = nullptr;
    WindowListMenu* m_windowList = nullptr;
    HelpWindow* m_help = nullptr;
    ContextHelpMode* m_contextHelp = nullptr;
    int m_menuId = 0;
};

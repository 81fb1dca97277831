// The main window: menu bar, a toolbar that docks on any side or floats, the status bar (the
// message pane and the CAP, NUM and SCRL indicators) and the MDI area of document windows.
//
// Its lifetime brackets the default point record: the constructor captures the start-up
// directory into g_strBaseDir, loads g_pDefaults from Defaults.map (or the factory values, also
// when the file exists but cannot be read: it is then left as it is for the whole run) and
// makes sure the MAPS folder exists -- changing into it when it already existed, creating it
// (without changing directory) when it did not -- all before any window exists. The destructor
// first destroys any document window still open (each view saves its map), then saves the
// defaults to Defaults.map (unless it could not be read) and frees them. "Save Settings" also
// saves them at once.
//
// Menu IDR_MAINFRAME shows while no document window is open, IDR_ZelvorTYPE while one is.
// Closing the main window closes every document window first; a window that refuses (a map the
// user chose not to lose) cancels the close.
#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>


class ActionBuilder;
class ContextHelpMode;
class DefaultsStore;
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
    CMainFrame();
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

    // Why maps cannot be stored under the start-up directory (MAPS missing, not a folder or
    // not writable), or empty when they can. Found by the constructor.
    const QString& storageProblem() const { return m_storageProblem; }
    // Why Defaults.map could not be read (it is then never written), or empty.
    const QString& defaultsProblem() const { return m_defaultsProblem; }
    // Tells the user about defaultsProblem() and storageProblem(), once per run; nothing when
    // there is none.
    void ReportStorageProblem();

    // The text of status pane 0.
    QString paneText() const;
    // The indicator label of ID_INDICATOR_CAPS, _NUM or _SCRL, or null.
    QLabel* indicator(int id) const;
    // The help window, made the first time help is asked for; null until then.
    HelpWindow* helpWindow() const { return m_help; }
    ContextHelpMode* contextHelp() const { return m_contextHelp; }

    // Window > Tile: the open, not minimised document windows stacked one above another, each
    // the full width of the window area and an equal share of its height, the active one on top.
    void OnWindowTileHorz();

    // Writes g_pDefaults to Defaults.map now (after "Save Settings", and at exit), unless the
    // file that was there at start-up could not be read: that one is never overwritten. A
    // failure shows in status pane 0.
    void SaveDefaults();

    // Window > Arrange Icons: minimised document windows in a row along the bottom.
    void OnWindowArrange();

    // What the constructor found: whether the MAPS folder existed and the directory was
    // changed into it.
    bool changedIntoMaps() const { return m_changedIntoMaps; }

signals:
    // The main window closed (after every document window did).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RegisterFrameCommands();
    void ShowHelp();
    static QString CheckStorage(const std::string& baseDir, const QString& mkdirError);

    std::unique_ptr<DefaultsStore> m_defaults; // Defaults.map and the record g_pDefaults points to
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
    bool m_changedIntoMaps = false;
    bool m_storageReported = false;
    QString m_storageProblem;
    QString m_defaultsProblem;
};

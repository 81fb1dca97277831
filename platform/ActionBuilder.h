// Turns a CommandTable into Qt actions, menu bars and toolbars, routes triggered commands to the
// handler registered for their id, and keeps enabled and checked states true by running the
// registered update handlers whenever the event loop is about to wait for events.
//
// Contract:
// - One QAction per command id (action(id)), shared by every menu, toolbar and accelerator that
//   carries the id. Its text is the command's menu text, its status tip the prompt's part before
//   "\n", its tooltip the part after it, its whatsThis the status text; its shortcuts are all the
//   accelerators of the id, with Qt::WindowShortcut context (they reach the window the actions
//   are installed on and its children, never a modal dialog, which is a window of its own).
// - Triggering an action calls the handler registered for its id (setHandler); nothing else.
// - Update rule, run by updateAll(): a command with an update handler gets the state that handler
//   sets, starting from "enabled = a handler is registered, checked = unchanged"; a command
//   without an update handler is enabled exactly while it has a handler. So accelerators and
//   items whose command nobody handles are disabled and do nothing.
//   updateAll() runs on QAbstractEventDispatcher::aboutToBlock and before a popup is shown; a
//   command's rule is also applied at once when its handler or update handler is (re)set.
// - Prompts: while a menu item (grayed ones too) or toolbar button of a widget built here (or of
//   a widget passed to routeStatusTips) is hovered, its status text goes to the status sink
//   (setStatusSink);
//   when the hover ends, the table's idle text does.
// - The recent-file placeholder (CommandTable::recentFileFirstId) shows "&1 name", "&2 name",
//   ... for setRecentFiles' names, or its own grayed menu text while the list is empty.
#pragma once

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "CommandTable.h"

class QAction;
class QMenu;
class QMenuBar;
class QStyle;
class QToolBar;
class QWidget;

// What an update handler decides for one command.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    // The item's text for now ("&Undo Move Point\tCtrl+Z"); empty: the table's menu text.
    QString text;
};

class ActionBuilder : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CommandState& state)>;

    // `table` must outlive the builder. Starts listening for the event loop's idle moments.
    explicit ActionBuilder(const CommandTable& table, QObject* parent = nullptr);
    ~ActionBuilder() override;

    const CommandTable& table() const { return m_table; }

    // The one action of command `id`, created on first use (owned by the builder). Ids that the
    // table does not declare get an action with no text.
    QAction* action(int id);

    // Registers (or, with an empty function, removes) the handler of command `id`.
    void setHandler(int id, Handler handler);
    bool hasHandler(int id) const;
    // Registers (or removes) the update handler of command `id`.
    void setUpdateHandler(int id, UpdateHandler handler);

    // Runs command `id` as if chosen by the user: applies its update rule first and runs the
    // handler only when the command is enabled; returns whether a handler ran.
    bool execute(int id);

    // Applies the update rule to every action created so far.
    void updateAll();

    // Fills `bar` with the popups of menu `menuId`, replacing what it showed. The popups are
    // built once per menu id and kept (owned by the builder), so switching back and forth
    // between menus is cheap and keeps the popups' state.
    void showMenu(QMenuBar* bar, int menuId);
    // The popup at `index` of menu `menuId` (built on first use), or null when there is none.
    QMenu* popup(int menuId, int index);

    // Builds toolbar `toolBarId` as a new QToolBar child of `parent` (object name
    // "toolbar<id>"); buttons take their images from the toolbar's bitmap. Null for an unknown
    // id.
    QToolBar* buildToolBar(int toolBarId, QWidget* parent);
    // The images cut from toolbar `toolBarId`'s bitmap, in button order; empty when the
    // bitmap cannot be read.
    QList<QPixmap> toolBarImages(int toolBarId) const;

    // Adds every accelerator's action to `window`, so its keys work there and in its children.
    void installAccelerators(QWidget* window);

    // Shows the status texts of hover events that reach `widget` (a window, a menu bar, a
    // toolbar) in the status pane, and the idle text when a hover ends.
    void routeStatusTips(QWidget* widget);
    // Where prompts and the idle text go (pane 0 of the status bar); none: nowhere.
    void setStatusSink(std::function<void(const QString&)> sink) { m_statusSink = std::move(sink); }

    // Shows these names (already shortened for display) as the recent-file entries of every
    // popup that carries the placeholder; at most CommandTable::recentFileMaxCount are shown.
    void setRecentFiles(const QStringList& names);
    int recentFileCount() const { return static_cast<int>(m_recentNames.size()); }

signals:
    // Emitted after a command's handler ran (also for commands run through execute()).
    void commandRun(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onTriggered(int id);
    // The state the update rule gives command `id` now, and setting it on the action.
    CommandState stateOf(int id);
    void apply(int id, const CommandState& state);
    // Applies the update rule to command `id` if its action exists.
    void refresh(int id);
    // The popups of menu `menuId`, built on first use; null for an unknown menu.
    const std::vector<QMenu*>* popups(int menuId);
    QMenu* buildPopup(const MenuPopup& layout);
    void refreshRecentFiles();
    bool isRecentFileId(int id) const;

    const CommandTable& m_table;
    std::function<void(const QString&)> m_statusSink;
    std::map<int, QAction*> m_actions;
    std::map<int, Handler> m_handlers;
    std::map<int, UpdateHandler> m_updateHandlers;
    std::set<int> m_textChanged; // commands whose update gave them a text of their own
    std::map<int, std::vector<QMenu*>> m_menus;
    std::vector<QPointer<QMenu>> m_recentPopups;
    QStringList m_recentNames;
    QStyle* m_menuStyle = nullptr; // the popups' style: grayed items show their prompt too
    bool m_updating = false;
};

// The list of open document windows at the end of the Window menu: "&1 title", "&2 title", ...
// with a check on the current one; choosing an entry brings that window forward. Beyond nine
// windows, "&More Windows..." offers the full list.
#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

class WindowListMenu : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxEntries = 9;

    // Rebuilds the entries of `menu` each time it is about to show.
    WindowListMenu(QMenu& menu, QMdiArea& area, QObject* parent = nullptr);

    // Replaces the entries with the current window list (also run before the menu shows).
    void Rebuild();
    // The entry actions currently in the menu (separator and "More Windows..." excluded).
    const QList<QAction*>& entries() const { return m_entries; }

    static void Activate(QMdiArea& area, QMdiSubWindow* window);

private:
    void ChooseFromAll();

    QMenu& m_menu;
    QMdiArea& m_area;
    QList<QAction*> m_added;
    QList<QAction*> m_entries;
};

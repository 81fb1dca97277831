#include "WindowListMenu.h"

#include <QAction>
#include <QInputDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>

namespace {
QString Escaped(QString text) {
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}
} // namespace

WindowListMenu::WindowListMenu(QMenu& menu, QMdiArea& area, QObject* parent)
    : QObject(parent), m_menu(menu), m_area(area) {
    connect(&m_menu, &QMenu::aboutToShow, this, &WindowListMenu::Rebuild);
}

void WindowListMenu::Rebuild() {
    for (QAction* action : std::as_const(m_added)) {
        m_menu.removeAction(action);
        action->deleteLater();
    }
    m_added.clear();
    m_entries.clear();

    const QList<QMdiSubWindow*> windows = m_area.subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty()) {
        return;
    }
    m_added.append(m_menu.addSeparator());
    QMdiSubWindow* current = m_area.currentSubWindow();
    for (int i = 0; i < windows.size() && i < kMaxEntries; ++i) {
        QPointer<QMdiSubWindow> window = windows.at(i);
        QAction* entry = m_menu.addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(Escaped(window->windowTitle())));
        entry->setCheckable(true);
        entry->setChecked(window == current);
        connect(entry, &QAction::triggered, this, [this, window] {
            if (window) {
                Activate(m_area, window);
            }
        });
        m_added.append(entry);
        m_entries.append(entry);
    }
    if (windows.size() > kMaxEntries) {
        QAction* more = m_menu.addAction(tr("&More Windows..."));
        connect(more, &QAction::triggered, this, &WindowListMenu::ChooseFromAll);
        m_added.append(more);
    }
}

void WindowListMenu::Activate(QMdiArea& area, QMdiSubWindow* window) {
    if (window->isMinimized()) {
        window->showNormal();
    }
    area.setActiveSubWindow(window);
}

void WindowListMenu::ChooseFromAll() {
    const QList<QMdiSubWindow*> windows = m_area.subWindowList(QMdiArea::CreationOrder);
    QStringList titles;
    int currentIndex = 0;
    for (int i = 0; i < windows.size(); ++i) {
        titles.append(QStringLiteral("%1 %2").arg(i + 1).arg(windows.at(i)->windowTitle()));
        if (windows.at(i) == m_area.currentSubWindow()) {
            currentIndex = i;
        }
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(m_area.window(), tr("Select Window"),
                                                 tr("Windows:"), titles, currentIndex, false, &ok);
    const int index = titles.indexOf(chosen);
    if (ok && index >= 0 && index < windows.size()) {
        Activate(m_area, windows.at(index));
    }
}

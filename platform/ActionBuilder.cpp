#include "ActionBuilder.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProxyStyle>
#include <QStatusTipEvent>
#include <QThread>
#include <QToolBar>
#include <QWidget>

#include "ResourceImage.h"

namespace {
// Lets the pointer rest on a grayed menu item, so its prompt shows in the status pane as it
// does for any other item (choosing it still does nothing).
class PromptMenuStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_Menu_AllowActiveAndDisabled) {
            return 1;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The menu text of recent-file entry `number` (1-based): "&1 name" ... "&9 name", "1&0 name".
QString recentFileText(int number, const QString& name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
    const QString digits = QString::number(number);
    const QString numbered = digits.left(digits.size() - 1) + QLatin1Char('&') + digits.right(1);
    return numbered + QLatin1Char(' ') + escaped;
}
} // namespace

ActionBuilder::ActionBuilder(const CommandTable& table, QObject* parent)
    : QObject(parent), m_table(table) {
    auto* menuStyle = new PromptMenuStyle;
    menuStyle->setParent(this);
    m_menuStyle = menuStyle;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &ActionBuilder::updateAll);
    }
}

ActionBuilder::~ActionBuilder() {
    // The popups have no widget parent (a popup may sit in several menu bars over time).
    for (auto& [id, popups] : m_menus) {
        for (QMenu* popup : popups) {
            delete popup;
        }
    }
}

QAction* ActionBuilder::action(int id) {
    if (const auto it = m_actions.find(id); it != m_actions.end()) {
        return it->second;
    }
    auto* act = new QAction(this);
    act->setData(id);
    act->setIconVisibleInMenu(false);
    if (const CommandInfo* info = m_table.command(id)) {
        act->setText(info->menuText);
        act->setStatusTip(info->statusText());
        act->setToolTip(info->toolTip().isEmpty() ? info->statusText() : info->toolTip());
        act->setWhatsThis(info->statusText());
        act->setCheckable(info->checkable);
    }
    const QList<QKeySequence> keys = m_table.shortcutsFor(id);
    if (!keys.isEmpty()) {
        act->setShortcuts(keys);
        act->setShortcutContext(Qt::WindowShortcut);
    }
    // Nothing runs until an update says the command is enabled.
    act->setEnabled(false);
    connect(act, &QAction::triggered, this, [this, id] { onTriggered(id); });
    m_actions.emplace(id, act);
    return act;
}

void ActionBuilder::setHandler(int id, Handler handler) {
    if (handler) {
        m_handlers[id] = std::move(handler);
    } else {
        m_handlers.erase(id);
    }
    refresh(id);
}

bool ActionBuilder::hasHandler(int id) const {
    return m_handlers.count(id) != 0;
}

void ActionBuilder::setUpdateHandler(int id, UpdateHandler handler) {
    if (handler) {
        m_updateHandlers[id] = std::move(handler);
    } else {
        m_updateHandlers.erase(id);
    }
    refresh(id);
}

void ActionBuilder::refresh(int id) {
    if (m_actions.count(id) != 0) {
        apply(id, stateOf(id));
    }
}

CommandState ActionBuilder::stateOf(int id) {
    CommandState state;
    state.enabled = hasHandler(id);
    state.checked = action(id)->isChecked();
    if (isRecentFileId(id) && id - m_table.recentFileFirstId >= recentFileCount()) {
        // The placeholder of an empty list, and entries past the end, are grayed.
        state.enabled = false;
        return state;
    }
    if (const auto it = m_updateHandlers.find(id); it != m_updateHandlers.end()) {
        const UpdateHandler update = it->second;
        update(state);
    }
    return state;
}

void ActionBuilder::apply(int id, const CommandState& state) {
    QAction* act = action(id);
    act->setEnabled(state.enabled);
    if (act->isCheckable()) {
        act->setChecked(state.checked);
    }
    if (!state.text.isEmpty()) {
        act->setText(state.text);
        m_textChanged.insert(id);
    } else if (m_textChanged.erase(id) > 0) {
        if (const CommandInfo* info = m_table.command(id)) {
            act->setText(info->menuText);
        }
    }
}

bool ActionBuilder::execute(int id) {
    // A command may have become disabled since the last update: check again before running.
    const CommandState state = stateOf(id);
    apply(id, state);
    const auto it = m_handlers.find(id);
    if (!state.enabled || it == m_handlers.end()) {
        return false;
    }
    const Handler handler = it->second; // the handler may replace itself
    handler();
    emit commandRun(id);
    return true;
}

void ActionBuilder::onTriggered(int id) {
    execute(id);
}

void ActionBuilder::updateAll() {
    if (m_updating) {
        return;
    }
    m_updating = true;
    std::vector<int> ids;
    ids.reserve(m_actions.size());
    for (const auto& [id, act] : m_actions) {
        ids.push_back(id);
    }
    for (int id : ids) {
        apply(id, stateOf(id));
    }
    m_updating = false;
}

QMenu* ActionBuilder::buildPopup(const MenuPopup& layout) {
    auto* popup = new QMenu(layout.title);
    popup->setStyle(m_menuStyle);
    for (int id : layout.items) {
        if (id == kSeparatorId) {
            popup->addSeparator();
            continue;
        }
        popup->addAction(action(id));
        if (m_table.recentFileFirstId != 0 && id == m_table.recentFileFirstId) {
            m_recentPopups.emplace_back(popup);
        }
    }
    // Items shown must be true at the moment the popup opens.
    connect(popup, &QMenu::aboutToShow, this, &ActionBuilder::updateAll);
    return popup;
}

const std::vector<QMenu*>* ActionBuilder::popups(int menuId) {
    if (const auto it = m_menus.find(menuId); it != m_menus.end()) {
        return &it->second;
    }
    const MenuLayout* menu = m_table.menu(menuId);
    if (menu == nullptr) {
        return nullptr;
    }
    std::vector<QMenu*> built;
    for (const MenuPopup& popupLayout : menu->popups) {
        built.push_back(buildPopup(popupLayout));
    }
    auto& stored = m_menus[menuId] = std::move(built);
    refreshRecentFiles();
    return &stored;
}

void ActionBuilder::showMenu(QMenuBar* bar, int menuId) {
    const std::vector<QMenu*>* built = popups(menuId);
    if (bar == nullptr || built == nullptr) {
        return;
    }
    // Removing the popups' actions leaves the popups themselves alone (they are ours).
    for (QAction* act : bar->actions()) {
        bar->removeAction(act);
    }
    for (QMenu* popup : *built) {
        bar->addMenu(popup);
    }
    updateAll();
}

QMenu* ActionBuilder::popup(int menuId, int index) {
    const std::vector<QMenu*>* built = popups(menuId);
    if (built == nullptr || index < 0 || index >= static_cast<int>(built->size())) {
        return nullptr;
    }
    return (*built)[static_cast<std::size_t>(index)];
}

QList<QPixmap> ActionBuilder::toolBarImages(int toolBarId) const {
    QList<QPixmap> images;
    const ToolBarLayout* layout = m_table.toolBar(toolBarId);
    if (layout == nullptr) {
        return images;
    }
    const QPixmap bitmap = LoadResourcePng(layout->bitmapPath);
    const int width = layout->buttonSize.width();
    if (bitmap.isNull() || width <= 0) {
        return images;
    }
    for (int x = 0; x + width <= bitmap.width(); x += width) {
        images.append(bitmap.copy(x, 0, width, layout->buttonSize.height()));
    }
    return images;
}

QToolBar* ActionBuilder::buildToolBar(int toolBarId, QWidget* parent) {
    const ToolBarLayout* layout = m_table.toolBar(toolBarId);
    if (layout == nullptr) {
        return nullptr;
    }
    const QList<QPixmap> images = toolBarImages(toolBarId);
    auto* bar = new QToolBar(layout->title, parent);
    bar->setObjectName(QStringLiteral("toolbar%1").arg(toolBarId));
    bar->setIconSize(layout->buttonSize);
    int image = 0;
    for (int id : layout->buttons) {
        if (id == kSeparatorId) {
            bar->addSeparator();
            continue;
        }
        QAction* act = action(id);
        if (image < images.size()) {
            act->setIcon(QIcon(images.at(image)));
        }
        ++image;
        bar->addAction(act);
    }
    routeStatusTips(bar);
    updateAll();
    return bar;
}

void ActionBuilder::installAccelerators(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    for (const Accelerator& accel : m_table.accelerators()) {
        QAction* act = action(accel.commandId);
        if (!window->actions().contains(act)) {
            window->addAction(act);
        }
    }
    updateAll();
}

void ActionBuilder::routeStatusTips(QWidget* widget) {
    if (widget != nullptr) {
        widget->installEventFilter(this);
    }
}

bool ActionBuilder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (m_statusSink) {
            m_statusSink(tip.isEmpty() ? m_table.idleText : tip);
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool ActionBuilder::isRecentFileId(int id) const {
    const int first = m_table.recentFileFirstId;
    return first != 0 && id >= first && id < first + m_table.recentFileMaxCount;
}

void ActionBuilder::setRecentFiles(const QStringList& names) {
    m_recentNames = names.mid(0, m_table.recentFileMaxCount);
    refreshRecentFiles();
    updateAll();
}

void ActionBuilder::refreshRecentFiles() {
    const int first = m_table.recentFileFirstId;
    if (first == 0) {
        return;
    }
    QAction* placeholder = action(first);
    if (m_recentNames.isEmpty()) {
        const CommandInfo* info = m_table.command(first);
        placeholder->setText(info != nullptr ? info->menuText : QString());
    }
    for (int i = 0; i < recentFileCount(); ++i) {
        action(first + i)->setText(recentFileText(i + 1, m_recentNames.at(i)));
    }
    for (const QPointer<QMenu>& popup : m_recentPopups) {
        if (popup.isNull()) {
            continue;
        }
        // Take the entries out, then put the ones in use back right after the placeholder.
        for (int i = 1; i < m_table.recentFileMaxCount; ++i) {
            if (const auto it = m_actions.find(first + i); it != m_actions.end()) {
                popup->removeAction(it->second);
            }
        }
        const QList<QAction*> items = popup->actions();
        const qsizetype at = items.indexOf(placeholder);
        QAction* before = at + 1 < items.size() ? items.at(at + 1) : nullptr;
        for (int i = 1; i < recentFileCount(); ++i) {
            popup->insertAction(before, action(first + i));
        }
    }
}

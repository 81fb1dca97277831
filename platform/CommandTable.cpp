#include "CommandTable.h"

#include <QStringList>

namespace {
// Part `index` of a prompt split at "\n", or empty when the prompt has fewer parts.
QString promptPart(const QString& prompt, int index) {
    const QStringList parts = prompt.split(QLatin1Char('\n'));
    return index < parts.size() ? parts.at(index) : QString();
}
} // namespace

QString CommandInfo::statusText() const {
    return promptPart(prompt, 0);
}

QString CommandInfo::toolTip() const {
    return promptPart(prompt, 1);
}

void CommandTable::addCommand(const CommandInfo& info) {
    m_commands[info.id] = info;
}

const CommandInfo* CommandTable::command(int id) const {
    const auto it = m_commands.find(id);
    return it == m_commands.end() ? nullptr : &it->second;
}

void CommandTable::addMenu(const MenuLayout& menu) {
    m_menus[menu.id] = menu;
}

const MenuLayout* CommandTable::menu(int id) const {
    const auto it = m_menus.find(id);
    return it == m_menus.end() ? nullptr : &it->second;
}

void CommandTable::addAccelerator(const Accelerator& accel) {
    m_accelerators.push_back(accel);
}

QList<QKeySequence> CommandTable::shortcutsFor(int id) const {
    QList<QKeySequence> keys;
    for (const Accelerator& accel : m_accelerators) {
        if (accel.commandId == id) {
            keys.append(accel.keys);
        }
    }
    return keys;
}

void CommandTable::addToolBar(const ToolBarLayout& bar) {
    m_toolBars[bar.id] = bar;
}

const ToolBarLayout* CommandTable::toolBar(int id) const {
    const auto it = m_toolBars.find(id);
    return it == m_toolBars.end() ? nullptr : &it->second;
}

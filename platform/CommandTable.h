// The declaration of a program's commands, menus, accelerators and toolbars, keyed by numeric
// command ids. It holds data only; ActionBuilder turns it into Qt actions, menus and toolbars.
// The program's own table is filled in res/ (ZelvorCommandTable()).
#pragma once

#include <QKeySequence>
#include <QSize>
#include <QString>

#include <map>
#include <vector>

// Marks a separator in a popup's item list or a toolbar's button list.
inline constexpr int kSeparatorId = 0;

// One command, declared once.
struct CommandInfo {
    int id = 0;
    // Menu text: "&" marks the access key, "\t" separates the shortcut text shown at the right.
    // Empty for commands that no menu carries (reached by accelerator or toolbar only).
    QString menuText;
    // Status prompt, then "\n", then tooltip (either part may be empty; may be empty entirely).
    QString prompt;
    // True when menu items and buttons of this command show a check mark.
    bool checkable = false;

    // The part of the prompt before the first "\n": shown in the status bar on hover.
    QString statusText() const;
    // The part after the first "\n" up to the next one: the tooltip.
    QString toolTip() const;
};

// One popup of a menu bar: its title and its items (command ids, kSeparatorId for separators).
struct MenuPopup {
    QString title;
    std::vector<int> items;
};

// A menu bar: its popups left to right.
struct MenuLayout {
    int id = 0;
    std::vector<MenuPopup> popups;
};

// One accelerator: a key combination that runs a command. Several may run the same command.
struct Accelerator {
    QKeySequence keys;
    int commandId = 0;
};

// A toolbar: buttons left to right (kSeparatorId for separators). Its bitmap holds one image of
// buttonSize per button, side by side, in button order (separators take no image).
struct ToolBarLayout {
    int id = 0;
    // Shown on the toolbar while it floats and in the main window's context menu.
    QString title;
    QString bitmapPath;
    QSize buttonSize;
    std::vector<int> buttons;
};

class CommandTable {
public:
    // Adds or replaces the command with info.id.
    void addCommand(const CommandInfo& info);
    // The command with this id, or null.
    const CommandInfo* command(int id) const;
    const std::map<int, CommandInfo>& commands() const { return m_commands; }

    // Adds or replaces the menu with menu.id; menu() is null for an unknown id.
    void addMenu(const MenuLayout& menu);
    const MenuLayout* menu(int id) const;

    void addAccelerator(const Accelerator& accel);
    const std::vector<Accelerator>& accelerators() const { return m_accelerators; }
    // The key combinations that run command `id`, in table order.
    QList<QKeySequence> shortcutsFor(int id) const;

    // Adds or replaces the toolbar with bar.id.
    void addToolBar(const ToolBarLayout& bar);
    const ToolBarLayout* toolBar(int id) const;

    // Texts the command machinery itself shows in the status bar's message pane: the idle text
    // (no prompt active) and the text shown while context-help mode is on.
    QString idleText;
    QString helpModeText;

    // The id of the first recent-file command (entry n has id recentFileFirstId + n - 1) and
    // the number of entries a menu shows at most. The first id is also the grayed placeholder
    // item shown while the list is empty. 0 when the table has no recent-file list.
    int recentFileFirstId = 0;
    int recentFileMaxCount = 0;

private:
    std::map<int, CommandInfo> m_commands;
    std::map<int, MenuLayout> m_menus;
    std::vector<Accelerator> m_accelerators;
    std::map<int, ToolBarLayout> m_toolBars;
};

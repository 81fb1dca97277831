// The program's menus, accelerators, toolbar and prompts as declared in its command table.
#include <QKeySequence>
#include <QStringList>

#include <gtest/gtest.h>

#include <set>

#include "PrintQString.h"
#include "Resources.h"
#include "ZelvorCommands.h"

namespace {
const CommandTable& table() {
    return ZelvorCommandTable();
}

// The texts of a popup's items as a menu shows them; "-" for a separator.
QStringList itemTexts(const MenuPopup& popup) {
    QStringList texts;
    for (int id : popup.items) {
        if (id == kSeparatorId) {
            texts << QStringLiteral("-");
        } else {
            const CommandInfo* info = table().command(id);
            texts << (info != nullptr ? info->menuText : QStringLiteral("<undeclared %1>").arg(id));
        }
    }
    return texts;
}

QStringList titles(const MenuLayout& menu) {
    QStringList result;
    for (const MenuPopup& popup : menu.popups) {
        result << popup.title;
    }
    return result;
}

// Every command id that a menu, the toolbar or an accelerator reaches.
std::set<int> reachableIds() {
    std::set<int> ids;
    for (int menuId : {IDR_MAINFRAME, IDR_ZelvorTYPE}) {
        for (const MenuPopup& popup : table().menu(menuId)->popups) {
            ids.insert(popup.items.begin(), popup.items.end());
        }
    }
    ids.insert(table().toolBar(IDR_MAINFRAME)->buttons.begin(),
               table().toolBar(IDR_MAINFRAME)->buttons.end());
    for (const Accelerator& accel : table().accelerators()) {
        ids.insert(accel.commandId);
    }
    ids.erase(kSeparatorId);
    return ids;
}
} // namespace

TEST(ZelvorMenus, MainMenuShownWithoutDocument) {
    const MenuLayout* menu = table().menu(IDR_MAINFRAME);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(titles(*menu), QStringList({"&File", "&View", "&Help"}));
    EXPECT_EQ(itemTexts(menu->popups[0]),
              QStringList({"&Open...\tCtrl+O", "-", "P&rint Setup...", "-", "Recent File", "-",
                           "&Close", "E&xit"}));
    EXPECT_EQ(itemTexts(menu->popups[1]), QStringList({"&Toolbar", "&Status Bar"}));
    EXPECT_EQ(itemTexts(menu->popups[2]), QStringList({"&Help Topics", "-", "&About Zelvor..."}));
}

TEST(ZelvorMenus, DocumentMenuShownWithDocument) {
    const MenuLayout* menu = table().menu(IDR_ZelvorTYPE);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(titles(*menu), QStringList({"&File", "&Edit", "&View", "&Window", "&Help"}));
    EXPECT_EQ(itemTexts(menu->popups[0]),
              QStringList({"&Open...\tCtrl+O", "&Close", "Save &As...", "-", "&Print...\tCtrl+P",
                           "Print Pre&view", "P&rint Setup...", "-", "Recent File", "-", "E&xit"}));
    EXPECT_EQ(itemTexts(menu->popups[1]),
              QStringList({"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                           "&Paste\tCtrl+V", "&Delete\tDel", "-", "Select &All\tCtrl+A"}));
    // The view commands close the View popup in this order.
    EXPECT_EQ(itemTexts(menu->popups[2]),
              QStringList({"&Toolbar", "&Status Bar", "&Points", "-", "Full Size",
                           "Fit Picture\tCtrl+0", "Show Texts", "Zoom Plus", "Zoom Minus"}));
    EXPECT_EQ(itemTexts(menu->popups[3]),
              QStringList({"&New Window", "&Cascade", "&Tile", "&Arrange Icons"}));
    EXPECT_EQ(itemTexts(menu->popups[4]), QStringList({"&Help Topics", "-", "&About Zelvor..."}));
}

TEST(ZelvorMenus, ItemsCarryIdsAndChecksOfTheirCommands) {
    const MenuLayout* menu = table().menu(IDR_ZelvorTYPE);
    ASSERT_NE(menu, nullptr);
    const std::vector<int> view = {ID_VIEW_TOOLBAR,   ID_VIEW_STATUS_BAR, ID_VIEW_POINTS,
                                   kSeparatorId,      ID_VIEW_FULLSIZE,   ID_VIEW_FITPICTURE,
                                   ID_VIEW_SHOWTEXTS, ID_VIEW_ZOOMPLUS,   ID_VIEW_ZOOMMINUS};
    EXPECT_EQ(menu->popups[2].items, view);
    // Check marks: the two bars, the display modes and Show Texts; the zoom steps only enable.
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_POINTS, ID_VIEW_FULLSIZE,
                   ID_VIEW_FITPICTURE, ID_VIEW_SHOWTEXTS}) {
        EXPECT_TRUE(table().command(id)->checkable) << id;
    }
    for (int id : {ID_VIEW_ZOOMPLUS, ID_VIEW_ZOOMMINUS, ID_FILE_OPEN, ID_FILE_MRU_FILE1}) {
        EXPECT_FALSE(table().command(id)->checkable) << id;
    }
    // Neither menu offers File New or Save: only their accelerators reach them.
    const std::set<int> ids = reachableIds();
    for (int menuId : {IDR_MAINFRAME, IDR_ZelvorTYPE}) {
        for (const MenuPopup& popup : table().menu(menuId)->popups) {
            for (int id : popup.items) {
                EXPECT_NE(id, ID_FILE_NEW);
                EXPECT_NE(id, ID_FILE_SAVE);
            }
        }
    }
    EXPECT_EQ(ids.count(ID_FILE_NEW), 1u);
    EXPECT_EQ(ids.count(ID_FILE_SAVE), 1u);
}

TEST(ZelvorAccelerators, OneTableForEveryWindow) {
    const std::vector<std::pair<QKeySequence, int>> expected = {
        {QKeySequence("Ctrl+N"), ID_FILE_NEW},
        {QKeySequence("Ctrl+O"), ID_FILE_OPEN},
        {QKeySequence("Ctrl+S"), ID_FILE_SAVE},
        {QKeySequence("Ctrl+P"), ID_FILE_PRINT},
        {QKeySequence("Ctrl+Z"), ID_EDIT_UNDO},
        {QKeySequence("Ctrl+X"), ID_EDIT_CUT},
        {QKeySequence("Ctrl+C"), ID_EDIT_COPY},
        {QKeySequence("Ctrl+V"), ID_EDIT_PASTE},
        {QKeySequence("Alt+Backspace"), ID_EDIT_UNDO},
        {QKeySequence("Ctrl+Y"), ID_EDIT_REDO},
        {QKeySequence("Ctrl+Shift+Z"), ID_EDIT_REDO},
        {QKeySequence("Ctrl+A"), ID_EDIT_SELECT_ALL},
        {QKeySequence("Del"), ID_EDIT_CLEAR},
        {QKeySequence("Shift+Del"), ID_EDIT_CUT},
        {QKeySequence("Ctrl+Ins"), ID_EDIT_COPY},
        {QKeySequence("Shift+Ins"), ID_EDIT_PASTE},
        {QKeySequence("F6"), ID_NEXT_PANE},
        {QKeySequence("Shift+F6"), ID_PREV_PANE},
        {QKeySequence("Shift+F1"), ID_CONTEXT_HELP},
        {QKeySequence("F1"), ID_HELP},
        {QKeySequence("Ctrl+0"), ID_VIEW_FITPICTURE},
        {QKeySequence("Ctrl++"), ID_VIEW_ZOOMPLUS},
        {QKeySequence("Ctrl+="), ID_VIEW_ZOOMPLUS},
        {QKeySequence("Ctrl+-"), ID_VIEW_ZOOMMINUS},
    };
    const std::vector<Accelerator>& accels = table().accelerators();
    ASSERT_EQ(accels.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(accels[i].keys, expected[i].first) << i;
        EXPECT_EQ(accels[i].commandId, expected[i].second) << i;
    }
    EXPECT_EQ(table().shortcutsFor(ID_EDIT_UNDO),
              QList<QKeySequence>({QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")}));
    EXPECT_TRUE(table().shortcutsFor(ID_VIEW_FULLSIZE).isEmpty());

    // The shortcut text a menu item shows after "\t" is a key that really runs it.
    int itemsWithShortcutText = 0;
    for (const auto& [id, info] : table().commands()) {
        const qsizetype tab = info.menuText.indexOf(QLatin1Char('\t'));
        if (tab < 0) {
            continue;
        }
        ++itemsWithShortcutText;
        const QKeySequence shown(info.menuText.mid(tab + 1));
        EXPECT_TRUE(table().shortcutsFor(id).contains(shown)) << info.menuText.toStdString();
    }
    EXPECT_EQ(itemsWithShortcutText, 10); // Open, Print, Fit Picture and the seven Edit items
}

TEST(ZelvorStrings, PromptsAndTooltipsOfTheViewCommands) {
    struct Row {
        int id;
        const char* status;
        const char* tip;
    };
    const Row rows[] = {
        {ID_VIEW_FULLSIZE, "Show Picture as 1:1", "Show Picture as 1:1"},
        {ID_VIEW_ZOOMPLUS, "Make more Zomm", "Make more Zomm"},
        {ID_VIEW_ZOOMMINUS, "Make less Zoom", "Make less Zoom"},
        {ID_VIEW_SHOWTEXTS, "Show Text Labels", "Show Text Labels"},
        {ID_FILE_OPEN, "Open an existing document", "Open"},
        {ID_FILE_SAVE_AS, "Save the active document with a new name", "Save As"},
        {ID_FILE_PRINT, "Print the active document", "Print"},
        {ID_FILE_PRINT_PREVIEW, "Display full pages", "Print Preview"},
        {ID_FILE_PRINT_SETUP, "Change the printer and printing options", "Print Setup"},
        {ID_VIEW_TOOLBAR, "Show or hide the toolbar", "Toggle ToolBar"},
        {ID_VIEW_STATUS_BAR, "Show or hide the status bar", "Toggle StatusBar"},
        {ID_FILE_MRU_FILE1, "Open this document", ""},
        {ID_FILE_MRU_LAST, "Open this document", ""},
    };
    for (const Row& row : rows) {
        const CommandInfo* info = table().command(row.id);
        ASSERT_NE(info, nullptr) << row.id;
        EXPECT_EQ(info->statusText(), QString::fromUtf8(row.status)) << row.id;
        EXPECT_EQ(info->toolTip(), QString::fromUtf8(row.tip)) << row.id;
        EXPECT_EQ(info->prompt, Resources::String(row.id)) << row.id;
    }
    EXPECT_EQ(Resources::String(61445), "Close print preview mode\nCancel Preview");
}

TEST(ZelvorStrings, ShellTextsAndMissingEntries) {
    EXPECT_EQ(Resources::String(IDR_MAINFRAME), "Zelvor");
    EXPECT_EQ(Resources::String(AFX_IDS_APP_TITLE), "Zelvor");
    EXPECT_EQ(Resources::String(IDR_ZelvorTYPE),
              "\nZelvor\nZelvor\n\n\nZelvor.Document\nZelvor.Document");
    EXPECT_EQ(Resources::String(AFX_IDS_IDLEMESSAGE), " ");
    EXPECT_EQ(Resources::String(AFX_IDS_HELPMODEMESSAGE), "Select an object on which to get Help");
    EXPECT_EQ(Resources::String(ID_INDICATOR_CAPS), "CAP");
    EXPECT_EQ(Resources::String(ID_INDICATOR_NUM), "NUM");
    EXPECT_EQ(Resources::String(ID_INDICATOR_SCRL), "SCRL");
    EXPECT_EQ(table().idleText, " ");
    EXPECT_EQ(table().helpModeText, "Select an object on which to get Help");
    // There is no string 100 (nor any other id the table does not hold).
    for (int id : {100, 0, 130, 57608, 57671, 99999}) {
        EXPECT_FALSE(Resources::HasString(id)) << id;
        EXPECT_TRUE(Resources::String(id).isEmpty()) << id;
    }
    // Every command the user can reach has its prompt.
    for (int id : reachableIds()) {
        EXPECT_TRUE(Resources::HasString(id)) << id;
        EXPECT_FALSE(table().command(id)->statusText().isEmpty()) << id;
    }
}

TEST(ZelvorToolbar, ButtonsLeftToRight) {
    const ToolBarLayout* bar = table().toolBar(IDR_MAINFRAME);
    ASSERT_NE(bar, nullptr);
    const std::vector<int> buttons = {ID_FILE_OPEN,     ID_VIEW_FULLSIZE,  ID_VIEW_SHOWTEXTS,
                                      ID_VIEW_ZOOMPLUS, ID_VIEW_ZOOMMINUS, kSeparatorId,
                                      ID_FILE_SAVE_AS,  ID_FILE_PRINT,     ID_FILE_PRINT_PREVIEW};
    EXPECT_EQ(bar->buttons, buttons);
    EXPECT_EQ(bar->buttonSize, QSize(16, 15));
    EXPECT_EQ(table().recentFileFirstId, ID_FILE_MRU_FILE1);
    EXPECT_EQ(table().recentFileMaxCount, 10);
}

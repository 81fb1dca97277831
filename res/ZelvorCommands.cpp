#include "ZelvorCommands.h"

#include <QKeySequence>

#include "Resources.h"

namespace {

// The buttons of the toolbar bitmap, each this size.
constexpr QSize kToolbarButtonSize(16, 15);
struct MenuText {
    int id;
    const char* text;
    bool checkable;
};

// Menu texts of every command a menu carries; the same text in every menu.
constexpr MenuText kMenuTexts[] = {
    {ID_FILE_OPEN, "&Open...\tCtrl+O", false},
    {ID_FILE_CLOSE, "&Close", false},
    {ID_FILE_SAVE_AS, "Save &As...", false},
    {ID_FILE_PRINT, "&Print...\tCtrl+P", false},
    {ID_FILE_PRINT_PREVIEW, "Print Pre&view", false},
    {ID_FILE_PRINT_SETUP, "P&rint Setup...", false},
    {ID_FILE_MRU_FILE1, "Recent File", false},
    {ID_APP_EXIT, "E&xit", false},
    {ID_EDIT_UNDO, "&Undo\tCtrl+Z", false},
    {ID_EDIT_REDO, "&Redo\tCtrl+Y", false},
    {ID_EDIT_CUT, "Cu&t\tCtrl+X", false},
    {ID_EDIT_COPY, "&Copy\tCtrl+C", false},
    {ID_EDIT_PASTE, "&Paste\tCtrl+V", false},
    {ID_EDIT_CLEAR, "&Delete\tDel", false},
    {ID_EDIT_SELECT_ALL, "Select &All\tCtrl+A", false},
    {ID_VIEW_TOOLBAR, "&Toolbar", true},
    {ID_VIEW_STATUS_BAR, "&Status Bar", true},
    {ID_VIEW_POINTS, "&Points", true},
    {ID_VIEW_FULLSIZE, "Full Size", true},
    {ID_VIEW_FITPICTURE, "Fit Picture\tCtrl+0", true},
    {ID_VIEW_SHOWTEXTS, "Show Texts", true},
    {ID_VIEW_ZOOMPLUS, "Zoom Plus", false},
    {ID_VIEW_ZOOMMINUS, "Zoom Minus", false},
    {ID_WINDOW_NEW, "&New Window", false},
    {ID_WINDOW_CASCADE, "&Cascade", false},
    {ID_WINDOW_TILE_HORZ, "&Tile", false},
    {ID_WINDOW_ARRANGE, "&Arrange Icons", false},
    {ID_HELP_FINDER, "&Help Topics", false},
    {ID_APP_ABOUT, "&About Zelvor...", false},
};

// Commands that only accelerators (or the framework) reach: they have a prompt but no item.
constexpr int kCommandsWithoutItem[] = {
    ID_FILE_NEW,  ID_FILE_SAVE, ID_FILE_PRINT_DIRECT, ID_NEXT_PANE,
    ID_PREV_PANE, ID_CONTEXT_HELP, ID_HELP,         ID_DEFAULT_HELP,
};

constexpr int S = kSeparatorId;

CommandTable build() {
    CommandTable table;
    for (const MenuText& item : kMenuTexts) {
        CommandInfo info;
        info.id = item.id;
        info.menuText = QString::fromUtf8(item.text);
        info.prompt = Resources::String(item.id);
        info.checkable = item.checkable;
        table.addCommand(info);
    }
    for (int id : kCommandsWithoutItem) {
        CommandInfo info;
        info.id = id;
        info.prompt = Resources::String(id);
        table.addCommand(info);
    }
    // Recent-file entries 2 and up: the same prompt, no text of their own.
    for (int id = ID_FILE_MRU_FILE1 + 1; id <= ID_FILE_MRU_LAST; ++id) {
        CommandInfo info;
        info.id = id;
        info.prompt = Resources::String(id);
        table.addCommand(info);
    }

    const MenuPopup view128{"&View", {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}};
    const MenuPopup help{"&Help", {ID_HELP_FINDER, S, ID_APP_ABOUT}};
    table.addMenu({IDR_MAINFRAME,
                   {
                       {"&File",
                        {ID_FILE_OPEN, S, ID_FILE_PRINT_SETUP, S, ID_FILE_MRU_FILE1, S,
                         ID_FILE_CLOSE, ID_APP_EXIT}},
                       view128,
                       help,
                   }});
    table.addMenu(
        {IDR_ZelvorTYPE,
         {
             {"&File",
              {ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE_AS, S, ID_FILE_PRINT,
               ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP, S, ID_FILE_MRU_FILE1, S, ID_APP_EXIT}},
             {"&Edit",
              {ID_EDIT_UNDO, ID_EDIT_REDO, S, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE,
               ID_EDIT_CLEAR, S, ID_EDIT_SELECT_ALL}},
             {"&View",
              {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_POINTS, S, ID_VIEW_FULLSIZE,
               ID_VIEW_FITPICTURE,
               ID_VIEW_SHOWTEXTS, ID_VIEW_ZOOMPLUS, ID_VIEW_ZOOMMINUS}},
             {"&Window",
              {ID_WINDOW_NEW, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE}},
             help,
         }});

    const Accelerator accelerators[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), ID_EDIT_REDO},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), ID_EDIT_REDO},
        {QKeySequence(Qt::CTRL | Qt::Key_A), ID_EDIT_SELECT_ALL},
        {QKeySequence(Qt::Key_Delete), ID_EDIT_CLEAR},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F1), ID_CONTEXT_HELP},
        {QKeySequence(Qt::Key_F1), ID_HELP},
        // Navigation: the whole picture, and the zoom steps about the middle of the view.
        {QKeySequence(Qt::CTRL | Qt::Key_0), ID_VIEW_FITPICTURE},
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), ID_VIEW_ZOOMPLUS},
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), ID_VIEW_ZOOMPLUS},
        {QKeySequence(Qt::CTRL | Qt::Key_Minus), ID_VIEW_ZOOMMINUS},
    };
    for (const Accelerator& accel : accelerators) {
        table.addAccelerator(accel);
    }

    table.addToolBar(
        {IDR_MAINFRAME,
         Resources::String(IDR_MAINFRAME),
         QStringLiteral(":/zelvor/images/toolbar.png"),
         kToolbarButtonSize,
         {ID_FILE_OPEN, ID_VIEW_FULLSIZE, ID_VIEW_SHOWTEXTS, ID_VIEW_ZOOMPLUS, ID_VIEW_ZOOMMINUS, S,
          ID_FILE_SAVE_AS, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW}});

    table.idleText = Resources::String(AFX_IDS_IDLEMESSAGE);
    table.helpModeText = Resources::String(AFX_IDS_HELPMODEMESSAGE);
    table.recentFileFirstId = ID_FILE_MRU_FILE1;
    table.recentFileMaxCount = kRecentFileCount;
    return table;
}
} // namespace

const CommandTable& ZelvorCommandTable() {
    static const CommandTable table = build();
    return table;
}

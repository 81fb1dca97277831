// Resource and command identifiers, the string table, icons, the help page and the version.
// Ids are the program's numeric ids; every command of the menus, toolbar and accelerators is
// declared in ZelvorCommandTable() (ZelvorCommands.h) under the id given here.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QUrl>

// Resources.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDR_MAINFRAME = 128;  // main menu, accelerators, toolbar, icon, title
inline constexpr int IDR_ZelvorTYPE = 129; // document menu, document icon, template string
inline constexpr int IDD_POINT = 130;

// The program's own commands (handled by the view).
inline constexpr int ID_VIEW_FULLSIZE = 32771;
inline constexpr int ID_VIEW_ZOOMPLUS = 32773;
inline constexpr int ID_VIEW_ZOOMMINUS = 32774;
inline constexpr int ID_VIEW_SHOWTEXTS = 32777;
inline constexpr int ID_VIEW_FITPICTURE = 32800;
inline constexpr int ID_VIEW_POINTS = 32801;

// Standard commands.
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_CLOSE = 57602;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_PRINT_SETUP = 57606;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_FILE_PRINT_DIRECT = 57608;
inline constexpr int ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr int ID_FILE_MRU_FILE1 = 57616; // ID_FILE_MRU_FILE1 + n - 1 is entry n
inline constexpr int ID_FILE_MRU_LAST = 57631;
inline constexpr int kRecentFileCount = 10; // entries kept and shown
inline constexpr int ID_EDIT_CLEAR = 57632;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_SELECT_ALL = 57642;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_REDO = 57644;
inline constexpr int ID_WINDOW_NEW = 57648;
inline constexpr int ID_WINDOW_ARRANGE = 57649;
inline constexpr int ID_WINDOW_CASCADE = 57650;
inline constexpr int ID_WINDOW_TILE_HORZ = 57651;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_HELP_FINDER = 57667;
inline constexpr int ID_CONTEXT_HELP = 57669;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_DEFAULT_HELP = 57671;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;
inline constexpr int ID_VIEW_TOOLBAR = 59392;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;

// Status bar panes.
inline constexpr int ID_SEPARATOR = 0;
inline constexpr int ID_INDICATOR_CAPS = 59137;
inline constexpr int ID_INDICATOR_NUM = 59138;
inline constexpr int ID_INDICATOR_SCRL = 59139;

// Strings of the application shell.
inline constexpr int AFX_IDS_APP_TITLE = 57344;
inline constexpr int AFX_IDS_IDLEMESSAGE = 57345;
inline constexpr int AFX_IDS_HELPMODEMESSAGE = 57346;

namespace Resources {
// The string table entry `id`, or an empty string when there is none (see HasString).
QString String(int id);
bool HasString(int id);

// Icon IDR_MAINFRAME (the application) or IDR_ZelvorTYPE (documents) with its 32 x 32 and
// 16 x 16 images; a null icon for other ids.
QIcon Icon(int id);
// One image of that icon: size 32 or 16; a null pixmap otherwise.
QPixmap IconPixmap(int id, int size);
// Resource path of that image (":/..."), or empty; for tools that copy the files.
QString IconPath(int id, int size);

// The help page shipped with the program: its URL (qrc:) and its HTML text.
QUrl HelpPageUrl();
QString HelpPageHtml();

// "Zelvor" and "1.2.0.0".
QString ProductName();
QString ProductVersion();
// The application id that names the desktop entry, the icon and the AppStream data, and that
// Wayland compositors match windows by: "org.harrowmere.Zelvor".
QString ApplicationId();
// What `--version` prints for `program` ("zelvor", "zelvor-maps"): the line
// "<program> (Zelvor) 1.2.0.0", then the copyright and the license, ending in a newline.
QString VersionText(const QString& program);
} // namespace Resources

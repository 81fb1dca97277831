// The string table: window titles, the document template string, status-bar texts and the
// prompts of every command the menus, toolbar and accelerators reach (status text, "\n",
// tooltip). US English.
#include <QString>

#include <algorithm>
#include <iterator>

#include "Resources.h"

namespace {
struct Entry {
    int id;
    const char* text;
};

constexpr const char* kOpenThisDocument = "Open this document";

// Sorted by id.
constexpr Entry kStrings[] = {
    {IDR_MAINFRAME, "Zelvor"},
    {IDR_ZelvorTYPE, "\nZelvor\nZelvor\n\n\nZelvor.Document\nZelvor.Document"},
    {ID_VIEW_FULLSIZE, "Show Picture as 1:1\nShow Picture as 1:1"},
    {ID_VIEW_ZOOMPLUS, "Make more Zomm\nMake more Zomm"},
    {ID_VIEW_ZOOMMINUS, "Make less Zoom\nMake less Zoom"},
    {ID_VIEW_SHOWTEXTS, "Show Text Labels\nShow Text Labels"},
    {ID_VIEW_FITPICTURE, "Show the whole picture in the window\nFit Picture"},
    {ID_VIEW_POINTS, "Show or hide the list of points\nPoints"},
    {AFX_IDS_APP_TITLE, "Zelvor"},
    {AFX_IDS_IDLEMESSAGE, " "},
    {AFX_IDS_HELPMODEMESSAGE, "Select an object on which to get Help"},
    {ID_FILE_NEW, "Create a new document\nNew"},
    {ID_FILE_OPEN, "Open an existing document\nOpen"},
    {ID_FILE_CLOSE, "Close the active document\nClose"},
    {ID_FILE_SAVE, "Save the active document\nSave"},
    {ID_FILE_SAVE_AS, "Save the active document with a new name\nSave As"},
    {57605, "Change the printing options\nPage Setup"},
    {ID_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
    {ID_FILE_PRINT, "Print the active document\nPrint"},
    {ID_FILE_PRINT_PREVIEW, "Display full pages\nPrint Preview"},
    {57616, kOpenThisDocument},
    {57617, kOpenThisDocument},
    {57618, kOpenThisDocument},
    {57619, kOpenThisDocument},
    {57620, kOpenThisDocument},
    {57621, kOpenThisDocument},
    {57622, kOpenThisDocument},
    {57623, kOpenThisDocument},
    {57624, kOpenThisDocument},
    {57625, kOpenThisDocument},
    {57626, kOpenThisDocument},
    {57627, kOpenThisDocument},
    {57628, kOpenThisDocument},
    {57629, kOpenThisDocument},
    {57630, kOpenThisDocument},
    {57631, kOpenThisDocument},
    {ID_EDIT_CLEAR, "Erase the selection\nErase"},
    {57633, "Erase everything\nErase All"},
    {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
    {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
    {57636, "Find the specified text\nFind"},
    {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
    {57640, "Repeat the last action\nRepeat"},
    {57641, "Replace specific text with different text\nReplace"},
    {ID_EDIT_SELECT_ALL, "Select the entire document\nSelect All"},
    {ID_EDIT_UNDO, "Undo the last action\nUndo"},
    {ID_EDIT_REDO, "Redo the previously undone action\nRedo"},
    {ID_WINDOW_NEW, "Open another window for the active document\nNew Window"},
    {ID_WINDOW_ARRANGE, "Arrange icons at the bottom of the window\nArrange Icons"},
    {ID_WINDOW_CASCADE, "Arrange windows so they overlap\nCascade Windows"},
    {ID_WINDOW_TILE_HORZ, "Arrange windows as non-overlapping tiles\nTile Windows"},
    {57652, "Arrange windows as non-overlapping tiles\nTile Windows"},
    {57653, "Split the active window into panes\nSplit"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
    {57666, "Opens Help\nHelp Topics"},
    {ID_HELP_FINDER, "List Help topics\nHelp Topics"},
    {57668, "Display instructions about how to use help\nHelp"},
    {ID_CONTEXT_HELP, "Display help for clicked on buttons, menus and windows\nHelp"},
    {ID_HELP, "Display help for current task or command\nHelp"},
    {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
    {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
    {59136, "EXT"},
    {ID_INDICATOR_CAPS, "CAP"},
    {ID_INDICATOR_NUM, "NUM"},
    {ID_INDICATOR_SCRL, "SCRL"},
    {59140, "OVR"},
    {59141, "REC"},
    {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
    {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
    {61184, "Change the window size"},
    {61185, "Change the window position"},
    {61186, "Reduce the window to an icon"},
    {61187, "Enlarge the window to full size"},
    {61188, "Switch to the next document window"},
    {61189, "Switch to the previous document window"},
    {61190, "Close the active window and prompts to save the documents"},
    {61202, "Restore the window to normal size"},
    {61203, "Activate Task List"},
    {61215, "Activate this window"},
    {61445, "Close print preview mode\nCancel Preview"},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }),
              "the string table must stay sorted by id");

const Entry* find(int id) {
    const auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                     [](const Entry& e, int key) { return e.id < key; });
    return it != std::end(kStrings) && it->id == id ? it : nullptr;
}
} // namespace

namespace Resources {
QString String(int id) {
    const Entry* entry = find(id);
    return entry != nullptr ? QString::fromUtf8(entry->text) : QString();
}

bool HasString(int id) {
    return find(id) != nullptr;
}
} // namespace Resources

// The process-wide state shared by the shell, the document, the view and the Point dialog.
// All of it is touched only on the user-interface thread.
#pragma once

#include <string>

#include "PointRecord.h"

// The directory that was current at start-up; every file of the system is found under it.
// Written once by the main frame's constructor.
extern std::string g_strBaseDir;
// Full path and file name of the file most recently read into a document.
extern std::string g_strOpenPath;
extern std::string g_strOpenName;
// The look given to new points; null until the main frame exists, owned by it.
extern PointRecord* g_pDefaults;
// One-shot request from the Point dialog to apply its look to all points; the view clears it.
extern bool g_bApplyToAll;
// Set when the program was asked to end (a termination signal): from then on nothing waits for
// an answer. A map that cannot be saved goes to a recovery copy instead of a question.
extern bool g_bQuitRequested;

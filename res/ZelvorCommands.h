// The program's command table: every command with its menu text, prompt and check style; menu
// IDR_MAINFRAME (no document window active) and menu IDR_ZelvorTYPE (a document window active);
// the accelerator table IDR_MAINFRAME; toolbar IDR_MAINFRAME with its bitmap.
//
// Typical use by the main window:
//   ActionBuilder builder(ZelvorCommandTable());
//   builder.showMenu(menuBar(), IDR_MAINFRAME);
//   addToolBar(builder.buildToolBar(IDR_MAINFRAME, this));
//   builder.installAccelerators(this);
//   builder.routeStatusTips(this);
//   builder.setHandler(ID_FILE_OPEN, [this] { ... });
#pragma once

#include "CommandTable.h"

// Built on first use; lives until the process ends.
const CommandTable& ZelvorCommandTable();

// The Edit menu's commands on the active document window: Undo and Redo (each naming its step),
// Cut, Copy, Paste, Delete and Select All. Each is enabled only when it applies to the active
// view; keys and menu items reach the same handlers.
#pragma once

#include <functional>

class ActionBuilder;
class CZelvorView;

namespace EditCommands {
void Register(ActionBuilder& commands, std::function<CZelvorView*()> activeView);
}

// The last resort when a map cannot be saved and the program must end (a quit request, a window
// destroyed): the points go to a recovery copy in a fixed place of the user's own, so that they
// can be found and put back.
#pragma once

#include <string>

#include "FileResult.h"
#include "PointList.h"

// The folder recovery copies go to: $XDG_STATE_HOME/Harrowmere/Zelvor/recovered, or
// ~/.local/state/Harrowmere/Zelvor/recovered when XDG_STATE_HOME is unset or not absolute.
// Empty when neither that nor HOME is known.
std::string RecoveryFolder();

// Writes `list` as a map file named after `mapPath`'s file ("plan.map", then "plan-2.map",
// "plan-3.map", ...), in RecoveryFolder() (made when missing). An earlier copy is never
// replaced: a name is taken only when no file has it. On success `copyPath` is the copy's full
// path; on failure the result names the file and says why.
FileResult WriteRecoveryCopy(const std::string& mapPath, const PointList& list,
                             std::string& copyPath);

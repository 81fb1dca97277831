// Whole-file reads and crash-safe whole-file writes.
#pragma once

#include <string>
#include <string_view>

#include "MapFiles.h"

// Reads the whole file. Absent when it does not exist or cannot be opened for reading.
FileResult ReadWholeFile(const std::string& path, std::string& out);

// Replaces `path` with `bytes` so that a reader sees either the old file or the new one,
// never a mix: a temporary file in the same folder, every write checked, flushed and synced,
// renamed over the target, then the folder synced. A symbolic link stays a link: the file it
// points to is replaced. On failure the old file is intact, no temporary file remains, and
// the result says why.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes);

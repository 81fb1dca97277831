// Keeping a file's version beside it under a numbered name ("<path>.bad", "<path>.bad2", ...)
// so that a new version can take its place and nothing is lost.
#pragma once

#include <string>
#include <string_view>

#include "FileResult.h"

// The first of "<path><suffix>", "<path><suffix>2", "<path><suffix>3", ... that no file (or
// link) uses; empty when the first 999 are all taken.
std::string FreeAsideName(const std::string& path, const std::string& suffix);
// Renames `path` to its first free aside name, which `asidePath` receives. A path that is gone
// needs no keeping: success, with `asidePath` left empty.
FileResult MoveAside(const std::string& path, const std::string& suffix, std::string& asidePath);
// Writes `bytes`, what `path` held, atomically under its first free aside name; `path` stays.
FileResult CopyAside(const std::string& path, const std::string& suffix, std::string_view bytes,
                     std::string& asidePath);

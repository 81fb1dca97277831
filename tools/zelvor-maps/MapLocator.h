// Where the tool finds maps, the way the viewer does: a picture's map is
// <base>/MAPS/<picture name up to its last dot>.map, the default look <base>/Defaults.map; an
// argument ending in ".map" names a map file itself.
#pragma once

#include <QString>

#include <string>
#include <vector>

struct MapTarget {
    std::string mapPath;     // the map file, as a local 8-bit path
    std::string picturePath; // the picture the argument named; empty when it named a map
};

// Local 8-bit path bytes for a path given on the command line, and back for messages.
std::string LocalPath(const QString& path);

MapTarget LocateMap(const QString& baseDir, const QString& argument);
std::string DefaultsPath(const QString& baseDir);
// The map files directly in <base>/MAPS (names ending in ".map"), sorted by name. False, with
// the reason in `error`, when that folder cannot be read.
bool MapsUnder(const QString& baseDir, std::vector<std::string>& maps, std::string& error);
// True when `path` names an existing file (or a link to one).
bool FileExists(const std::string& path);

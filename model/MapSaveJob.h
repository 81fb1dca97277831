// One save of a picture's map by a writer that is not alone: other windows, other running
// copies or other programs may have written the file since this writer last read or wrote it.
//
// The save compares the file with what the writer last knew of it. When nobody else wrote it,
// `ours` is saved. When somebody did, the two versions are merged if that is unambiguous (see
// MergeMaps); otherwise the other version is kept beside the map as "<map>.conflict" (numbered
// when taken) and ours is saved. A file that cannot be read is never overwritten: it is renamed
// to "<map>.bad" (numbered) first. A file that has vanished is written anew.
//
// Saves run one at a time in a process, whatever thread calls, and hold an advisory lock on the
// map's folder, so two windows or two running copies never interleave their check and write. Safe
// to call from a worker thread: it touches nothing but its arguments and the files.
#pragma once

#include <functional>
#include <string>

#include "DiskStamp.h"
#include "FileResult.h"
#include "PointList.h"

struct MapSaveRequest {
    std::string path;
    PointList ours;     // the list to save
    PointList ancestor; // what this writer last read from or wrote to the file
    DiskStamp known;    // the file as this writer last read or wrote it
    // The file this writer last saw could not be read (the ancestor is then empty).
    bool knownUnreadable = false;
};

struct MapSaveOutcome {
    // Failed: the map was not written, and `result.message` says why.
    FileResult result;
    PointList ours;     // the request's list, handed back
    PointList ancestor; // what the file holds now, as far as this writer knows: the next ancestor
    DiskStamp known;    // the next stamp
    bool knownUnreadable = false;
    // The file now holds points that `ours` lacks or differs from it: it holds `ancestor`.
    bool othersTaken = false;
    // Where a version was kept aside in this save (empty when none was): another writer's
    // version (".conflict"), or a file that could not be read (".bad", `keptUnreadable`).
    std::string keptAside;
    bool keptUnreadable = false;
};

MapSaveOutcome SaveMapGuarded(MapSaveRequest request);

// Sets what a save does when another writer has held the map folder's lock for about two
// seconds and it is still waiting: `notice` is called once per such save, on the saving thread,
// with the map's path (an empty function: nothing). For a program whose user would otherwise
// see it hang; set once at start-up.
void SetLockWaitNotice(std::function<void(const std::string& mapPath)> notice);

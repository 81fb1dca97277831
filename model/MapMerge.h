// Combining two versions of one map that both started from a common one: the list this writer
// last read or wrote (the ancestor), the list now on disk (theirs) and the list about to be
// saved (ours). Points compare by their texts and every record byte but the two flash phases,
// which the renderer rewrites all the time and which say nothing about an edit.
#pragma once

#include "PointList.h"

// True when point i of `a` and point j of `b` are the same point.
bool SamePoint(const PointList& a, int i, const PointList& b, int j);
// True when both lists hold the same points in the same order.
bool SamePoints(const PointList& a, const PointList& b);
// True when `list` begins with the points of `prefix`.
bool StartsWith(const PointList& list, const PointList& prefix);
// `list` with the points of `from` after its first `skip` appended.
void AppendFrom(PointList& list, const PointList& from, int skip);

struct MapMerge {
    enum Kind {
        Ours,     // theirs did not change: save ours
        Theirs,   // ours did not change (or both changed alike): the disk already holds the result
        Merged,   // both only appended: `merged` is the ancestor, theirs' additions, ours'
        Conflict, // anything else: keep theirs aside and save ours
    };
    Kind kind = Ours;
    PointList merged; // only for Merged
};

MapMerge MergeMaps(const PointList& ancestor, const PointList& theirs, const PointList& ours);

#include "MapMerge.h"

#include <cstddef>
#include <cstring>

bool SamePoint(const PointList& a, int i, const PointList& b, int j) {
    const PointRecord& x = a.point(i);
    const PointRecord& y = b.point(j);
    constexpr std::size_t kPhases = offsetof(PointRecord, bTextPhase);
    constexpr std::size_t kAfter = offsetof(PointRecord, bReserved);
    const auto* px = reinterpret_cast<const unsigned char*>(&x);
    const auto* py = reinterpret_cast<const unsigned char*>(&y);
    return std::memcmp(px, py, kPhases) == 0 &&
           std::memcmp(px + kAfter, py + kAfter, sizeof(PointRecord) - kAfter) == 0 &&
           a.label(i) == b.label(j) && a.memo(i) == b.memo(j) && a.sinceText(i) == b.sinceText(j);
}

namespace {

bool SameRange(const PointList& a, const PointList& b, int count) {
    for (int i = 0; i < count; ++i) {
        if (!SamePoint(a, i, b, i)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool SamePoints(const PointList& a, const PointList& b) {
    return a.count() == b.count() && SameRange(a, b, a.count());
}

bool StartsWith(const PointList& list, const PointList& prefix) {
    return list.count() >= prefix.count() && SameRange(list, prefix, prefix.count());
}

void AppendFrom(PointList& list, const PointList& from, int skip) {
    for (int i = skip; i < from.count(); ++i) {
        list.AddPoint(from.point(i), from.label(i), from.sinceText(i), from.memo(i));
    }
}

MapMerge MergeMaps(const PointList& ancestor, const PointList& theirs, const PointList& ours) {
    MapMerge result;
    if (SamePoints(theirs, ancestor)) {
        result.kind = MapMerge::Ours;
    } else if (SamePoints(ours, ancestor) || SamePoints(ours, theirs)) {
        result.kind = MapMerge::Theirs;
    } else if (StartsWith(theirs, ancestor) && StartsWith(ours, ancestor)) {
        result.kind = MapMerge::Merged;
        result.merged = theirs;
        AppendFrom(result.merged, ours, ancestor.count());
    } else {
        result.kind = MapMerge::Conflict;
    }
    return result;
}

// The since-date conversion: a local SYSTEMTIME to seconds since 1970-01-01 00:00:00 UTC.
#pragma once

#include <cstdint>

#include "PointRecord.h"

// Years below 1900 give 0. Otherwise mktime with the daylight-saving flag -1 (the C library
// decides) on a 64-bit time_t; wDayOfWeek and wMilliseconds take no part. A date the
// conversion cannot represent is decided once: before 1970 it counts as long passed
// (INT64_MIN), otherwise as never reached (INT64_MAX). Results are cached per distinct date,
// so a tick over many points does not call mktime again and again.
std::int64_t SinceInstant(const SYSTEMTIME& st);

// True while `now` is strictly later than the since instant.
inline bool SinceHasPassed(const SYSTEMTIME& st, std::int64_t now) {
    return now > SinceInstant(st);
}

// A point is due at `now` when its since date is switched on and has passed: the points
// `zelvor-maps due` lists and the Points panel's "due only" shows.
inline bool IsDue(const PointRecord& rec, std::int64_t now) {
    return rec.bSinceDate != 0 && SinceHasPassed(rec.stSince, now);
}

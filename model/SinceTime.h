// The since-date conversion: a local SYSTEMTIME to seconds since 1970-01-01 00:00:00 UTC, the
// one conversion the viewer and zelvor-maps share.
#pragma once

#include <cstdint>

#include "PointRecord.h"

// The first years and last years a record's date is converted in (those SYSTEMTIME can hold).
inline constexpr int kFirstSinceYear = 1601;
inline constexpr int kLastSinceYear = 30827;

// The proleptic Gregorian calendar in the local time zone of the C library (TZ), with the
// zone's offsets of that time (for old dates, the local mean time the zone database gives).
// Out-of-range fields roll over (month 13 is January of the next year, hour 24 the next day);
// wDayOfWeek and wMilliseconds take no part. A date before kFirstSinceYear counts as long passed
// (INT64_MIN), one after kLastSinceYear as never reached (INT64_MAX).
//
// Local times that a daylight-saving change skips or repeats are resolved one way: a date is
// the first moment at which the local clock shows that time or a later one. A time in a fold
// (shown twice) is its first occurrence; a time in a gap (never shown) is the moment of the
// change. So the conversion never decreases as the local time grows, and "due before" a time
// never lists a later one. Results are cached per distinct date, so a tick over many points does
// not convert again and again.
std::int64_t SinceInstant(const SYSTEMTIME& st);

// Forgets cached results: for a process that changes TZ while running (tests do; the programs
// never do).
void ResetSinceTimeCache();

// True while `now` is strictly later than the since instant.
inline bool SinceHasPassed(const SYSTEMTIME& st, std::int64_t now) {
    return now > SinceInstant(st);
}

// A point is due at `now` when its since date is switched on and has passed: the points
// `zelvor-maps due` lists and the Points panel's "due only" shows.
inline bool IsDue(const PointRecord& rec, std::int64_t now) {
    return rec.bSinceDate != 0 && SinceHasPassed(rec.stSince, now);
}

#include "SinceTime.h"

#include <array>
#include <ctime>
#include <limits>
#include <map>
#include <mutex>

static_assert(sizeof(std::time_t) >= 8, "since dates need a 64-bit time_t");

namespace {

constexpr std::int64_t kDay = 86400;
// Within this of an instant the zone changes its offset at most once (true of every zone).
constexpr std::int64_t kOneChangeWindow = kDay;

// The fields that take part in the conversion; all of them, since any may be out of its usual
// range and still give a distinct date.
constexpr std::size_t kDateFields = 6; // year, month, day, hour, minute, second
using DateKey = std::array<std::uint16_t, kDateFields>;

DateKey keyOf(const SYSTEMTIME& st) {
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

// The Gregorian calendar repeats every 400 years, which are this many days; day 0 of the count
// below (0000-03-01) lies this many days before 1970-01-01.
constexpr std::int64_t kDaysPerEra = 146097;
constexpr std::int64_t kEpochFromEraStart = 719468;

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar (month 1 to 12).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * kDaysPerEra + doe - kEpochFromEraStart;
}

// The zone's offset from UTC at instant `t`, in seconds.
std::int64_t OffsetAt(std::int64_t t) {
    const auto tt = static_cast<std::time_t>(t);
    std::tm tm{};
    if (::localtime_r(&tt, &tm) == nullptr) {
        return 0;
    }
    return tm.tm_gmtoff;
}

// The first instant whose local clock reads `local` (seconds of local time since 1970) or
// later.
std::int64_t FirstInstantShowing(std::int64_t local) {
    const std::int64_t before = OffsetAt(local - kOneChangeWindow);
    const std::int64_t after = OffsetAt(local + kOneChangeWindow);
    const std::int64_t tBefore = local - before;
    const std::int64_t tAfter = local - after;
    const bool beforeHolds = OffsetAt(tBefore) == before;
    const bool afterHolds = OffsetAt(tAfter) == after;
    if (beforeHolds && afterHolds) {
        return std::min(tBefore, tAfter); // a fold: the first occurrence
    }
    if (beforeHolds || afterHolds) {
        return beforeHolds ? tBefore : tAfter;
    }
    if (before >= after) {
        return tBefore; // not a gap of one change: the offset of the day before decides
    }
    // A gap: the clock jumps over `local` at the change, between tAfter and tBefore.
    std::int64_t lo = tAfter;  // still the old offset
    std::int64_t hi = tBefore; // already the new one
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        (OffsetAt(mid) == before ? lo : hi) = mid;
    }
    return hi;
}

std::int64_t Convert(const SYSTEMTIME& st) {
    // Months roll over into years first; days, hours, minutes and seconds simply add up.
    const std::int64_t months = std::int64_t{st.wMonth} - 1;
    const std::int64_t year = std::int64_t{st.wYear} + (months >= 0 ? months / 12 : -1);
    const std::int64_t month = (months % 12 + 12) % 12 + 1;
    if (year < kFirstSinceYear) {
        return std::numeric_limits<std::int64_t>::min();
    }
    if (year > kLastSinceYear) {
        return std::numeric_limits<std::int64_t>::max();
    }
    const std::int64_t local = (DaysFromCivil(year, month, 1) + std::int64_t{st.wDay} - 1) * kDay +
                               std::int64_t{st.wHour} * 3600 + std::int64_t{st.wMinute} * 60 +
                               std::int64_t{st.wSecond};
    return FirstInstantShowing(local);
}

std::mutex& CacheMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<DateKey, std::int64_t>& Cache() {
    static std::map<DateKey, std::int64_t> cache;
    return cache;
}

} // namespace

std::int64_t SinceInstant(const SYSTEMTIME& st) {
    const DateKey key = keyOf(st);
    const std::lock_guard lock(CacheMutex());
    auto& cache = Cache();
    const auto found = cache.find(key);
    if (found != cache.end()) {
        return found->second;
    }
    const std::int64_t instant = Convert(st);
    cache.emplace(key, instant);
    return instant;
}

void ResetSinceTimeCache() {
    const std::lock_guard lock(CacheMutex());
    ::tzset();
    Cache().clear();
}

#include "SinceTime.h"

#include <array>
#include <ctime>
#include <limits>
#include <mutex>
#include <map>

static_assert(sizeof(std::time_t) >= 8, "since dates need a 64-bit time_t");

namespace {

// The fields that take part in the conversion; all of them, since any may be out of its usual
// range and still give a distinct date.
using DateKey = std::array<std::uint16_t, 6>;

DateKey keyOf(const SYSTEMTIME& st) {
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::int64_t convert(const SYSTEMTIME& st) {
    std::tm tm{};
    tm.tm_year = int{st.wYear} - 1900;
    tm.tm_mon = int{st.wMonth} - 1;
    tm.tm_mday = st.wDay;
    tm.tm_hour = st.wHour;
    tm.tm_min = st.wMinute;
    tm.tm_sec = st.wSecond;
    tm.tm_isdst = -1;
    // mktime returns -1 both for failure and for one second before 1970; it leaves tm_wday
    // alone only when it fails.
    tm.tm_wday = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && tm.tm_wday == -1) {
        return st.wYear < 1970 ? std::numeric_limits<std::int64_t>::min()
                               : std::numeric_limits<std::int64_t>::max();
    }
    return static_cast<std::int64_t>(t);
}

} // namespace

std::int64_t SinceInstant(const SYSTEMTIME& st) {
    if (st.wYear < 1900) {
        return 0;
    }
    static std::mutex mutex;
    static std::map<DateKey, std::int64_t> cache;
    const DateKey key = keyOf(st);
    const std::lock_guard lock(mutex);
    const auto found = cache.find(key);
    if (found != cache.end()) {
        return found->second;
    }
    const std::int64_t instant = convert(st);
    cache.emplace(key, instant);
    return instant;
}

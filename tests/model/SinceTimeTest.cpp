#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "SinceTime.h"

namespace {

SYSTEMTIME Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<std::uint16_t>(y);
    st.wMonth = static_cast<std::uint16_t>(mo);
    st.wDay = static_cast<std::uint16_t>(d);
    st.wHour = static_cast<std::uint16_t>(h);
    st.wMinute = static_cast<std::uint16_t>(mi);
    st.wSecond = static_cast<std::uint16_t>(s);
    return st;
}

// Every test here runs in UTC, so instants are known values.
class SinceTime : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
};

} // namespace

TEST_F(SinceTime, YearsBefore1900GiveZero) {
    for (int year : {0, 1, 1601, 1899}) {
        EXPECT_EQ(SinceInstant(Date(year, 6, 15, 12)), 0) << year;
        EXPECT_TRUE(SinceHasPassed(Date(year, 6, 15), 1)) << year;
        EXPECT_FALSE(SinceHasPassed(Date(year, 6, 15), 0)) << year;
    }
}

TEST_F(SinceTime, KnownInstants) {
    EXPECT_EQ(SinceInstant(Date(1970, 1, 1)), 0);
    // One second before 1970 is a real date, not a failed conversion.
    EXPECT_EQ(SinceInstant(Date(1969, 12, 31, 23, 59, 59)), -1);
    EXPECT_EQ(SinceInstant(Date(2000, 1, 1)), 946684800);
    EXPECT_EQ(SinceInstant(Date(2038, 1, 19, 3, 14, 8)), std::int64_t{1} << 31);
    EXPECT_EQ(SinceInstant(Date(1900, 1, 1)), -2208988800);
    // Out-of-range fields roll over as the C library does: month 13 is January next year.
    EXPECT_EQ(SinceInstant(Date(1999, 13, 1)), 946684800);
    // The day of the week and the milliseconds take no part.
    SYSTEMTIME st = Date(2000, 1, 1);
    st.wDayOfWeek = 3;
    st.wMilliseconds = 999;
    EXPECT_EQ(SinceInstant(st), 946684800);
}

TEST_F(SinceTime, EqualSecondsHaveNotPassed) {
    const SYSTEMTIME st = Date(2024, 3, 10, 12, 34, 56);
    const std::int64_t t = SinceInstant(st);
    EXPECT_FALSE(SinceHasPassed(st, t - 1));
    EXPECT_FALSE(SinceHasPassed(st, t));
    EXPECT_TRUE(SinceHasPassed(st, t + 1));
}

// Cached results stay tied to their own date: every field tells dates apart, and asking again,
// in any order, gives the same answers as the first time.
TEST_F(SinceTime, CacheKeepsDatesApart) {
    const SYSTEMTIME base = Date(2023, 5, 6, 7, 8, 9);
    const std::int64_t t = SinceInstant(base);
    struct Step {
        SYSTEMTIME st;
        std::int64_t offset;
    };
    std::vector<Step> steps;
    auto add = [&steps, &base](std::uint16_t SYSTEMTIME::*field, std::int64_t seconds) {
        SYSTEMTIME st = base;
        st.*field = static_cast<std::uint16_t>(st.*field + 1);
        steps.push_back({st, seconds});
    };
    add(&SYSTEMTIME::wSecond, 1);
    add(&SYSTEMTIME::wMinute, 60);
    add(&SYSTEMTIME::wHour, 3600);
    add(&SYSTEMTIME::wDay, 86400);
    add(&SYSTEMTIME::wMonth, 31 * 86400);
    add(&SYSTEMTIME::wYear, 366 * 86400); // 2024 is a leap year, and February is on the way
    for (const Step& s : steps) {
        EXPECT_EQ(SinceInstant(s.st) - t, s.offset);
    }
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        EXPECT_EQ(SinceInstant(it->st) - t, it->offset);
    }
    EXPECT_EQ(SinceInstant(base), t);
}

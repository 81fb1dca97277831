#include <cstdint>
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
        ResetSinceTimeCache();
    }
};

// Berlin: clocks go from 02:00 to 03:00 on 2026-03-29 and from 03:00 back to 02:00 on
// 2026-10-25; before 1893 the zone database gives local mean time (+0:53:28).
class SinceTimeInBerlin : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "Europe/Berlin", 1);
        ResetSinceTimeCache();
    }
    void TearDown() override {
        ::setenv("TZ", "UTC", 1);
        ResetSinceTimeCache();
    }
};

} // namespace

TEST_F(SinceTime, TheWholeRangeARecordHoldsConvertsAndSortsInOrder) {
    EXPECT_EQ(SinceInstant(Date(1601, 1, 1)), -11644473600);
    EXPECT_EQ(SinceInstant(Date(1899, 12, 31, 23, 59, 59)), -2208988801);
    EXPECT_EQ(SinceInstant(Date(30827, 12, 31, 23, 59, 59)), 910670515199);
    // Outside it: long passed, never reached.
    EXPECT_EQ(SinceInstant(Date(1600, 12, 31, 23, 59, 59)), INT64_MIN);
    EXPECT_EQ(SinceInstant(Date(0, 1, 1)), INT64_MIN);
    EXPECT_EQ(SinceInstant(Date(30828, 1, 1)), INT64_MAX);
    EXPECT_EQ(SinceInstant(Date(30827, 13, 1)), INT64_MAX);
    std::int64_t last = INT64_MIN;
    for (int year : {1601, 1700, 1850, 1899, 1900, 1969, 1970, 2026, 9999, 30827}) {
        const std::int64_t t = SinceInstant(Date(year, 6, 15, 12));
        EXPECT_GT(t, last) << year;
        last = t;
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

// A skipped time is the moment of the change, a repeated time its first occurrence: the first
// moment the clock shows that time or later.
TEST_F(SinceTimeInBerlin, GapsAndFoldsResolveToTheFirstMomentTheClockShowsTheTime) {
    const struct {
        SYSTEMTIME local;
        std::int64_t utc;
    } rows[] = {
        {Date(2026, 3, 29, 1, 59, 59), 1774745999}, // 00:59:59 UTC
        {Date(2026, 3, 29, 2, 0, 0), 1774746000},   // in the gap: the change, 01:00 UTC
        {Date(2026, 3, 29, 2, 30, 0), 1774746000},
        {Date(2026, 3, 29, 3, 0, 0), 1774746000},
        {Date(2026, 3, 29, 3, 30, 0), 1774747800},
        {Date(2026, 10, 25, 1, 59, 0), 1792886340}, // 23:59 UTC the day before
        {Date(2026, 10, 25, 2, 0, 0), 1792886400},  // in the fold: the first 02:00, summer time
        {Date(2026, 10, 25, 2, 30, 0), 1792888200},
        {Date(2026, 10, 25, 3, 0, 0), 1792893600},  // winter time, 02:00 UTC
        {Date(1850, 6, 1, 12, 0, 0), -3773739208},  // local mean time
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SinceInstant(row.local), row.utc)
            << row.local.wYear << "-" << row.local.wMonth << "-" << row.local.wDay << " "
            << row.local.wHour << ":" << row.local.wMinute;
    }
    // Later local times are never earlier instants, minute by minute through both changes.
    for (int month : {3, 10}) {
        const int day = month == 3 ? 29 : 25;
        std::int64_t last = SinceInstant(Date(2026, month, day, 0, 0));
        for (int minute = 1; minute < 5 * 60; ++minute) {
            const std::int64_t t = SinceInstant(Date(2026, month, day, minute / 60, minute % 60));
            EXPECT_GE(t, last) << month << " " << minute;
            last = t;
        }
    }
}

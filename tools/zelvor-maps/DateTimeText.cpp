#include "DateTimeText.h"

#include <QDate>

#include <cstdio>

#include "SinceTime.h"

namespace {

constexpr int kHoursPerDay = 24;
constexpr int kMinutesPerHour = 60;
constexpr int kSecondsPerMinute = 60;
constexpr int kDaysPerWeek = 7;
// "yyyy-mm-dd hh:mm:ss" with room for five-digit fields and the terminator.
constexpr std::size_t kFormattedSize = 40;

// Reads exactly `digits` decimal digits at `pos`; advances `pos`.
bool Digits(std::string_view s, std::size_t& pos, int digits, int& value) {
    if (pos + static_cast<std::size_t>(digits) > s.size()) {
        return false;
    }
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = s[pos++];
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return true;
}

bool Expect(std::string_view s, std::size_t& pos, char c) {
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

} // namespace

bool ParseDateTime(std::string_view text, SYSTEMTIME& st) {
    const std::string_view s = Trimmed(text);
    std::size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int fifth = 0;
    if (!Digits(s, pos, 4, year)) {
        return false;
    }
    if (std::size_t more = pos; Digits(s, more, 1, fifth)) { // a year past 9999
        year = year * 10 + fifth;
        pos = more;
    }
    if (!Expect(s, pos, '-') || !Digits(s, pos, 2, month) || !Expect(s, pos, '-') ||
        !Digits(s, pos, 2, day)) {
        return false;
    }
    if (pos < s.size()) {
        if (!(Expect(s, pos, ' ') || Expect(s, pos, 'T')) || !Digits(s, pos, 2, hour) ||
            !Expect(s, pos, ':') || !Digits(s, pos, 2, minute)) {
            return false;
        }
        if (pos < s.size() && (!Expect(s, pos, ':') || !Digits(s, pos, 2, second))) {
            return false;
        }
    }
    const QDate date(year, month, day);
    if (pos != s.size() || year < kFirstSinceYear || year > kLastSinceYear || !date.isValid() ||
        hour >= kHoursPerDay || minute >= kMinutesPerHour || second >= kSecondsPerMinute) {
        return false;
    }
    st.wYear = static_cast<std::uint16_t>(year);
    st.wMonth = static_cast<std::uint16_t>(month);
    st.wDayOfWeek = static_cast<std::uint16_t>(date.dayOfWeek() % kDaysPerWeek); // Sunday is 0
    st.wDay = static_cast<std::uint16_t>(day);
    st.wHour = static_cast<std::uint16_t>(hour);
    st.wMinute = static_cast<std::uint16_t>(minute);
    st.wSecond = static_cast<std::uint16_t>(second);
    st.wMilliseconds = 0;
    return true;
}

std::string FormatDateTime(const SYSTEMTIME& st) {
    char text[kFormattedSize];
    const int n = std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u",
                                unsigned(st.wYear), unsigned(st.wMonth), unsigned(st.wDay),
                                unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond));
    return std::string(text, static_cast<std::size_t>(n));
}

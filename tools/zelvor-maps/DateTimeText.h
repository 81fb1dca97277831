// Since dates as text: the form the tool prints and the forms it reads (command options and
// imported rows). Local time, as the records hold it.
#pragma once

#include <string>
#include <string_view>

#include "PointRecord.h"

// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or "YYYY-MM-DD HH:MM:SS" ('T' may stand for the
// space; surrounding spaces are ignored): a real calendar date in the years the since-date
// conversion covers (1601 to 30827; five digits past 9999) and a real time of day. Sets every field of `st`, the day of the week included; false (and `st`
// unchanged) for anything else.
bool ParseDateTime(std::string_view text, SYSTEMTIME& st);

// "YYYY-MM-DD HH:MM:SS" from the stored fields as they stand.
std::string FormatDateTime(const SYSTEMTIME& st);

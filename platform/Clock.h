// The system clock. Nothing reads it directly but AppServices (whose clock tests replace) and
// the command-line tool.
#pragma once

#include <cstdint>

namespace Clock {
// Seconds since 1970-01-01 00:00:00 UTC.
std::int64_t Now();
} // namespace Clock

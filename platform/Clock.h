// The current time as the renderer and the Point dialog read it; tests replace it.
#pragma once

#include <cstdint>
#include <functional>

namespace Clock {
// Seconds since 1970-01-01 00:00:00 UTC.
std::int64_t Now();
// Replaces the time source; an empty function restores the system clock.
void SetSource(std::function<std::int64_t()> source);
} // namespace Clock

#include "Clock.h"

#include <ctime>

namespace Clock {

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

} // namespace Clock

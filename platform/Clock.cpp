#include "Clock.h"

#include <ctime>
#include <utility>

namespace {
std::function<std::int64_t()>& Source() {
    static std::function<std::int64_t()> source;
    return source;
}
} // namespace

namespace Clock {

std::int64_t Now() {
    const auto& source = Source();
    if (source) {
        return source();
    }
    return static_cast<std::int64_t>(std::time(nullptr));
}

void SetSource(std::function<std::int64_t()> source) {
    Source() = std::move(source);
}

} // namespace Clock

#include "BackgroundPriority.h"

#include <sched.h>

#include <atomic>

namespace tiles {

namespace {
std::atomic<BuildPriority>& Chosen() {
    static std::atomic<BuildPriority> chosen{BuildPriority::Normal};
    return chosen;
}
} // namespace

void SetBuildPriority(BuildPriority priority) { Chosen() = priority; }

void EnterBuildPriority() {
    if (Chosen().load() == BuildPriority::Idle) {
        // On Linux a pid of 0 is the calling thread alone, not the whole process.
        const sched_param none{};
        (void)::sched_setscheduler(0, SCHED_IDLE, &none);
    }
}

} // namespace tiles

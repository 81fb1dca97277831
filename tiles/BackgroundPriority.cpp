#include "BackgroundPriority.h"

#include <sched.h>

#include <atomic>

namespace tiles {

namespace {
std::atomic<BuildPriority> g_priority{BuildPriority::Normal};
} // namespace

void SetBuildPriority(BuildPriority priority) { g_priority = priority; }

void EnterBuildPriority() {
    if (g_priority.load() == BuildPriority::Idle) {
        // On Linux a pid of 0 is the calling thread alone, not the whole process.
        const sched_param none{};
        (void)::sched_setscheduler(0, SCHED_IDLE, &none);
    }
}

} // namespace tiles

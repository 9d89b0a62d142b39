#include "platform/core/thread_priority.h"

#include <sched.h>

namespace tw::platform {

namespace {
// The time-constraint priority of the audio engines.
constexpr int kRealTimePriority = 91;
// Above every normal thread, well below the kernel's own real-time work.
constexpr int kRoundRobinOffset = 9;
}  // namespace

void SetThreadPriority(pthread_t thread, int priority) {
    sched_param param{};
    if (priority == kRealTimePriority) {
        param.sched_priority = sched_get_priority_min(SCHED_RR) + kRoundRobinOffset;
        if (pthread_setschedparam(thread, SCHED_RR, &param) == 0) return;
    }
    param.sched_priority = 0;
    pthread_setschedparam(thread, SCHED_OTHER, &param);
}

}  // namespace tw::platform

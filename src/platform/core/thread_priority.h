// Scheduling of audio worker threads. The engines raise and lower each other's threads while
// both run, so this works on thread handles directly and takes no lock that a joining thread
// might hold.
#pragma once

#include <pthread.h>

namespace tw::platform {

// 91 asks for the real-time policy (SCHED_RR at a modest priority) when the process may have
// it, silently the standard policy otherwise; any other value the standard policy. Any thread;
// `thread` must be running.
void SetThreadPriority(pthread_t thread, int priority);

}  // namespace tw::platform

// Waiting in tests: the main loop runs (timers fire, posted events and GTK events are
// handled) until a condition holds or the time-out passes.
#pragma once

#include <functional>

#include "platform/events/event_layer.h"

namespace tw::test {

// Main thread. The result of `done` at the end: false means the time-out passed.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    return RunEventLoopUntil(done, timeoutMs);
}

}  // namespace tw::test

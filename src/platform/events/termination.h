// SIGINT and SIGTERM as main-loop events: the handler runs on the main thread at the next
// loop iteration, where it may do anything (quit the run loop, remove files), instead of in
// a signal handler, where it could do almost nothing.
#pragma once

#include <functional>

namespace tw {

// Main thread. Replaces the handler; an empty one restores the default (the process ends).
void SetTerminationHandler(std::function<void(int signal)> handler);

}  // namespace tw

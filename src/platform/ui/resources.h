// The interface descriptions compiled into the program.
#pragma once

namespace tw {

// Makes the compiled-in interface descriptions ("main", "progress", ...) available to
// window creation. Main thread; safe to call more than once.
void RegisterUiResources();

}  // namespace tw

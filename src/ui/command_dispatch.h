// The current command: the id of the command being processed while OnCommand runs, and
// the last one the outermost dispatch recorded.
//
// Thread: main thread only.
#pragma once

#include <cstdint>

namespace tw {

// 0 when none is being processed.
std::uint32_t CurrentCommand();
std::uint32_t LastCommand();

}  // namespace tw

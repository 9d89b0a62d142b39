// Whether a dialog can be shown as a sheet of a window: a modal dialog tied to its parent.
// Thread: main thread only.
#pragma once

#include "platform/ui/native.h"

namespace tw {

// True when `parent` belongs to a top-level, non-floating LWindow that is shown and in
// front; a window that is shown but not in front is brought there and tested again.
bool PrepareSheetParent(NativeWindow* parent);

// The shown window that has the keyboard focus; nullptr when none has.
NativeWindow* FocusedWindow();

}  // namespace tw

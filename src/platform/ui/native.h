// Native windows and controls on GTK 3: the toolkit's start and the screen, and (through
// the headers included here) NativeControl and NativeWindow.
//
// Thread: main thread only.
#pragma once

#include "platform/events/event_layer.h"
#include "platform/ui/native_control.h"
#include "platform/ui/native_object.h"
#include "platform/ui/native_window.h"
#include "platform/ui/paint.h"

namespace tw {

// Initialises GTK once and applies the program's style; false when there is no display.
bool InitNativeUi();
bool NativeUiAvailable();

// The available window-positioning bounds of the main display; false when unknown.
bool GetMainScreenBounds(Rect* bounds);

}  // namespace tw

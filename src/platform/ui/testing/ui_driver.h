// A test driver for the GTK layer: user actions delivered through GTK's own paths (key
// presses and releases, clicks, typing, picks from popup menus, the close box), real
// pointer clicks through the X server, the theme, and what a control shows. Only tests and
// development tools link it (library tw_platform_ui_testing, declared under tests/).
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/events/event_layer.h"

namespace tw {

class NativeControl;
class NativeWindow;

namespace ui_driver {

// A key pressed and released as the window would receive it from the keyboard: virtual
// key code, modifier bits and character.
void PressKey(NativeWindow* window, int key_code, std::uint32_t modifiers, std::uint32_t character);
// Only the press, or only the release.
void SendKey(NativeWindow* window, bool press, int key_code, std::uint32_t modifiers,
             std::uint32_t character);
// Focuses the field and types the text key by key (GTK's input method commits each
// character, replacing a selection as typing does). A hidden window is shown first:
// GTK's fields take keys only on screen.
void TypeText(NativeControl* field, const std::string& text);
// A click in the close box, as the window manager delivers it.
void ClickCloseBox(NativeWindow* window);

// A user's click on a button, check box or radio button, through GTK's click handling.
void Click(NativeControl* control);
// A mouse button pressed over the control, delivered to the control itself.
void PressMouse(NativeControl* control);
// The pointer moved to (x, y) of the control (its own coordinates), as GTK delivers it.
void MovePointer(NativeControl* control, double x, double y);
// The name of the cursor set on the control's window ("pointer"); empty for the default.
std::string CursorName(NativeControl* control);
// A real click of the pointer at the control's centre, through the X server: it goes
// wherever the server and GTK send it, grabs and modality included.
void ClickWithPointer(NativeControl* control);

// Opens the popup's menu, highlights and picks `item`; false when there is none.
bool PickPopupItem(NativeControl* popup, int item);
// Opens the popup's menu; what it marks and highlights; closes it without a pick.
bool OpenPopupMenu(NativeControl* popup);
int PopupMarkedItem(NativeControl* popup);       // the item with the mark, 0 when none
int PopupHighlightedItem(NativeControl* popup);  // 0 when none
bool DismissPopupMenu(NativeControl* popup);

// The control's bounds in its window's client area (the PNG capture's coordinates).
Rect BoundsInWindow(NativeControl* control);

// The window's frame on screen as the window manager drew it, title bar and borders
// included (the client area when there is no window manager).
Rect FrameOnScreen(NativeWindow* window);

// Switches the GTK theme, light or dark, for every window.
void UseTheme(const std::string& name, bool dark);

}  // namespace ui_driver
}  // namespace tw

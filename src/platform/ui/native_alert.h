// Standard alerts on GTK: a dialog with the desktop's icon for the alert type, a bold
// caption, the message text (wrapped, and scrollable when it is long) and up to three
// buttons, run in a nested loop until the user answers.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/native.h"

namespace tw {

// Alert types.
inline constexpr int kAlertStop = 0;
inline constexpr int kAlertNote = 1;
inline constexpr int kAlertCaution = 2;
inline constexpr int kAlertPlain = 3;

struct AlertDescription {
    int type = kAlertNote;
    std::string caption;
    std::string text;
    // Titles of the buttons 1 (default), 2 (cancel) and 3 (other); empty: no button.
    std::string titles[3];
    int default_button = 1;  // the button Return chooses
    // A sheet: modal to `parent` and tied to it; Escape and the close box answer 2 even
    // without a cancel button. Otherwise an alert: Escape and the close box answer 2 when
    // there is a cancel button, else 1.
    bool sheet = false;
    NativeWindow* parent = nullptr;
};

// Shows the alert and returns the button chosen (1, 2 or 3) once the user has answered.
// Events keep being dispatched meanwhile (timers, posted commands, other windows).
int RunNativeAlert(const AlertDescription& desc);

// ---- for tests and tools: the alerts currently shown, newest last.
struct NativeAlertInfo {
    std::string caption;
    std::string text;                  // as shown
    std::vector<std::string> buttons;  // titles, left to right
    std::string icon_name;             // of the icon shown; empty for none
    bool sheet = false;
    bool modal = false;
    NativeWindow* transient_for = nullptr;
    int width = 0;  // the dialog's size on screen
    int height = 0;
    int text_lines = 0;         // lines the text occupies as laid out
    bool text_scrolls = false;  // the text is taller than its visible area
};
int OpenAlertCount();
// Of the newest alert; false when none is shown.
bool GetTopAlertInfo(NativeAlertInfo* info);
// A click on the newest alert's button with this title.
bool ClickTopAlertButton(const std::string& title);
// A key press (virtual key code and modifier bits) delivered to the newest alert.
bool PressKeyInTopAlert(int key_code, std::uint32_t modifiers = 0);
// The close box of the newest alert, as the window manager delivers it.
bool CloseTopAlert();
// Saves the newest alert as a PNG.
bool CaptureTopAlert(const std::string& path);

}  // namespace tw

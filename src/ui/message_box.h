// Message boxes: a stop, note, caution or plain alert with up to three buttons, shown as a
// sheet of its window when that window is in front and as an alert otherwise. The boxes
// shown are counted process-wide; while any is shown the application's menus that must
// not run under a box (application menu, Quit, Help) are disabled through a hook.
//
// Thread: main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/ui/native.h"
#include "platform/ui/native_alert.h"

namespace tw {

inline constexpr std::size_t kMessageTextSize = 260;

// Copies at most size - 1 bytes of `text` into `out` and terminates it; a cut falls on a
// UTF-8 character boundary.
void CopyBoundedText(char* out, std::size_t size, std::string_view text);

class LMessageBox {
  public:
    LMessageBox();

    // Shows the box and returns the button chosen: 1 default, 2 cancel (also Escape in a
    // sheet), 3 other.
    int Run();

    void SetCaption(std::string_view text) { CopyBoundedText(caption, sizeof caption, text); }
    void SetDefaultTitle(std::string_view text) {
        CopyBoundedText(defaultTitle, sizeof defaultTitle, text);
    }
    void SetCancelTitle(std::string_view text) {
        CopyBoundedText(cancelTitle, sizeof cancelTitle, text);
    }
    void SetOtherTitle(std::string_view text) {
        CopyBoundedText(otherTitle, sizeof otherTitle, text);
    }

    NativeWindow* parent = nullptr;  // none: the window that has the keyboard focus
    int alertType = kAlertNote;
    std::string text;
    char caption[kMessageTextSize] = "";
    char defaultTitle[kMessageTextSize] = "OK";
    char cancelTitle[kMessageTextSize] = "";
    char otherTitle[kMessageTextSize] = "";
    std::int16_t result = 1;
};

// A stop alert captioned "Tunewright" with an OK button.
void ShowMessage(NativeWindow* window, std::string_view text);
// A stop alert with the given caption.
void ShowMessage(NativeWindow* window, std::string_view text, std::string_view caption);
// A note alert.
void ShowNote(NativeWindow* window, std::string_view text, std::string_view caption);
// A note alert with two buttons; true when the default button was chosen.
bool AskQuestion(NativeWindow* window, std::string_view text, std::string_view caption,
                 std::string_view default_title, std::string_view cancel_title);

// Message boxes shown right now.
int ShownMessageBoxCount();
// Called with false when the first box opens and with true when the last one closes.
void SetMessageBoxMenuHook(std::function<void(bool enabled)> hook);

// The text as a box shows it: carriage returns removed, line feeds kept.
std::string RemoveCarriageReturns(std::string_view text);

}  // namespace tw

// Keys of a window: key records and their matching, and the standard key behaviour of a
// raw key event (Command-/ help, Command-W and a modal Escape cancel, the Help key).
#include <cctype>

#include "platform/ui/keys.h"
#include "ui/window.h"

namespace tw {

namespace {

bool IsPrintable(std::uint32_t c) {
    return c >= 0x20 && c != 0x7F;
}

std::uint32_t Upper(std::uint32_t c) {
    return c < 0x80 ? std::uint32_t(std::toupper(int(c))) : c;
}

}  // namespace

bool KeyRecordsMatch(const KeyRecord& a, const KeyRecord& b) {
    const bool pa = IsPrintable(a.character);
    const bool pb = IsPrintable(b.character);
    if (pa != pb) return false;
    if ((a.modifiers & ~kAlphaLock) != (b.modifiers & ~kAlphaLock)) return false;
    if (pa) return Upper(a.character) == Upper(b.character);
    return a.key_code == b.key_code;
}

bool LWindow::OnKey(const KeyRecord&, std::uint32_t) {
    return false;
}

OSStatus LWindow::HandleKeyEvent(const Event& e) {
    KeyRecord key;
    key.key_code = int(e.GetInt(kEventParamKeyCode, -1));
    key.modifiers = std::uint32_t(e.GetInt(kEventParamKeyModifiers));
    key.character = std::uint32_t(e.GetInt(kEventParamKeyChar));
    if (key.key_code == kVirtualKeyEscape && (key.modifiers & ~kAlphaLock) == 0) {
        key = KeyRecord{kVirtualKeyEscape, 0, 0};
    }
    if (e.Kind() == kEventRawKeyDown) {
        const std::uint32_t mods = key.modifiers & ~kAlphaLock;
        if (mods == kCmdKey && key.character == '/') {
            OnHelp();
            return kNoErr;
        }
        const bool command_w = mods == kCmdKey && (key.character == 'w' || key.character == 'W');
        if (command_w || (key.key_code == kVirtualKeyEscape && modal)) {
            PostCommand(kHICommandCancel);
            return kNoErr;
        }
    }
    OnKey(key, e.Kind());
    if (e.Kind() == kEventRawKeyDown && key.key_code == kVirtualKeyHelp) return kNoErr;
    return kEventNotHandledErr;
}

}  // namespace tw

#include "ui/key_handler.h"

#include "platform/ui/keys.h"

namespace tw {

namespace {

KeyStroke g_last_stroke;

// Key codes of the modifier keys, left and right.
struct ModifierKey {
    int code;
    std::uint16_t modifier;
};
constexpr ModifierKey kModifierKeys[] = {
    {55, kCmdKey},    {56, kShiftKey},   {60, kShiftKey},   {58, kOptionKey},
    {61, kOptionKey}, {59, kControlKey}, {62, kControlKey},
};

std::uint16_t ModifierOfKey(int code) {
    for (const ModifierKey& m : kModifierKeys) {
        if (m.code == code) return m.modifier;
    }
    return 0;
}

char FirstUtf8Byte(std::uint32_t c) {
    if (c < 0x80) return char(c);
    if (c < 0x800) return char(0xC0 | (c >> 6));
    if (c < 0x10000) return char(0xE0 | (c >> 12));
    return char(0xF0 | (c >> 18));
}

}  // namespace

OSStatus DispatchKeyEvent(LKeyHandler& handler, const Event& e) {
    if (e.Class() != kEventClassKeyboard) return kEventNotHandledErr;
    const KeyStroke stroke = ReadKeyStroke(e);
    // A modifier key on its own: a stroke that carries only the modifier.
    if (const std::uint16_t modifier = ModifierOfKey(stroke.key_code)) {
        const KeyStroke only{0, modifier, 0};
        bool taken = false;
        if (e.Kind() == kEventRawKeyDown) taken = handler.OnKeyDown(only);
        if (e.Kind() == kEventRawKeyUp) taken = handler.OnKeyUp(only);
        return taken ? kNoErr : kEventNotHandledErr;
    }
    switch (e.Kind()) {
        case kEventRawKeyDown: {
            g_last_stroke = stroke;
            if (handler.OnKeyDown(stroke)) return kNoErr;
            // Only keys with a character are typed; the character hook cannot hold them
            // back from the menus.
            if (stroke.character != 0) handler.OnCharTyped(FirstUtf8Byte(stroke.character));
            return stroke.key_code == kVirtualKeyHelp ? kNoErr : kEventNotHandledErr;
        }
        case kEventRawKeyRepeat:
            return handler.OnKeyRepeat(stroke) ? kNoErr : kEventNotHandledErr;
        case kEventRawKeyUp:
            return handler.OnKeyUp(stroke) ? kNoErr : kEventNotHandledErr;
        default:
            return kEventNotHandledErr;
    }
}

KeyStroke LastKeyStroke() {
    return g_last_stroke;
}

}  // namespace tw

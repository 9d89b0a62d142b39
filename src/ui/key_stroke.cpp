#include "ui/key_stroke.h"

#include <algorithm>
#include <memory>

#include "platform/ui/keys.h"
#include "platform/ui/native_accel.h"
#include "ui/window.h"

namespace tw {

namespace {

constexpr std::uint32_t kModifierMask = kCmdKey | kShiftKey | kOptionKey | kControlKey;

// Function-key character: the key code tells which key it is.
constexpr std::uint32_t kFunctionKeyCharacter = 16;

// Key codes of F1 to F19, in order.
constexpr std::uint16_t kFunctionKeyCodes[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                               103, 111, 105, 107, 113, 106, 64, 79,  80};
constexpr std::uint16_t kMenuKeyCode = 110;

bool IsPrintable(std::uint32_t c) {
    return c >= 0x20 && UnicodeIsPrintable(c);
}

std::string Utf8(std::uint32_t c) {
    std::string out;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

// The name of a key without a printable character; empty when it has none.
std::string SpecialKeyName(const KeyStroke& s) {
    const std::uint32_t c = s.character;
    if (c == kFunctionKeyCharacter) {
        const auto* end = std::end(kFunctionKeyCodes);
        const auto* it = std::find(std::begin(kFunctionKeyCodes), end, s.key_code);
        if (it != end) return "F" + std::to_string(it - std::begin(kFunctionKeyCodes) + 1);
        if (s.key_code == kMenuKeyCode) return "Menu";
        return {};
    }
    switch (c) {
        case 0:
            // Escape as a key press is read ({53, 0, 0}) still has a name to show.
            return s.key_code == kVirtualKeyEscape ? "Esc" : std::string();
        case 1:
            return "Home";
        case 3:
            return "Enter";
        case 4:
            return "End";
        case 5:
            return "Insert";
        case 8:
            return "Backspace";
        case 9:
            return "Tab";
        case 10:
        case 13:
            return "Return";
        case 11:
            return "Page Up";
        case 12:
            return "Page Down";
        case 27:
            if (s.key_code == kVirtualKeyClear) return "Clear";
            if (s.key_code == kVirtualKeyEscape) return "Esc";
            return "Unknown";
        case 28:
            return "Left";
        case 29:
            return "Right";
        case 30:
            return "Up";
        case 31:
            return "Down";
        case 127:
            return "Delete";
        default:
            return "Unknown";
    }
}

}  // namespace

bool IsEmptyStroke(const KeyStroke& s) {
    return s.key_code == 0 && s.modifiers == 0 && s.character == 0;
}

bool StrokesMatch(const KeyStroke& a, const KeyStroke& b) {
    const bool pa = IsPrintable(a.character);
    const bool pb = IsPrintable(b.character);
    if (pa != pb) return false;
    if ((a.modifiers & kModifierMask) != (b.modifiers & kModifierMask)) return false;
    if (pa) return UnicodeToUpper(a.character) == UnicodeToUpper(b.character);
    return a.key_code == b.key_code;
}

bool IsReservedStroke(const KeyStroke& s) {
    const std::uint32_t m = s.modifiers & kModifierMask;
    const std::uint32_t c = s.character;
    if (m == kCmdKey) return c == ',' || c == 'H' || c == 'h' || c == 'Q' || c == 'q';
    if (m == (kCmdKey | kOptionKey)) return c == 'h' || c == '?';
    if (m == (kCmdKey | kShiftKey)) return c == '?';
    return false;
}

KeyStroke ReadKeyStroke(const Event& e) {
    KeyStroke s;
    const auto code = e.GetInt(kEventParamKeyCode, -1);
    s.key_code = code < 0 || code > 0xFFFF ? kUnknownKeyCode : std::uint16_t(code);
    s.modifiers = std::uint16_t(e.GetInt(kEventParamKeyModifiers) & 0xFFFF);
    s.character = std::uint32_t(e.GetInt(kEventParamKeyChar));
    if (s.character == 0 || (s.character < 0x20 && code >= 0)) {
        const std::uint32_t control = ControlCharacterForVirtualKey(int(code));
        if (control != 0) s.character = control;
    }
    if (s.key_code == kVirtualKeyEscape && (s.modifiers & kModifierMask) == 0) {
        s = StrokeFromPacked(kStrokeEscape);
    }
    return s;
}

MenuKeyEquivalent MenuKeyEquivalentFor(const KeyStroke& s) {
    MenuKeyEquivalent m;
    if (IsEmptyStroke(s) || IsReservedStroke(s)) return m;
    m.present = true;
    m.modifiers = s.modifiers & kModifierMask;
    if (s.character >= 32 && s.character != 127) {
        m.character = UnicodeToUpper(s.character);
    } else {
        m.key_code = s.key_code;
    }
    return m;
}

std::string StrokeDisplayText(const KeyStroke& s) {
    if (IsEmptyStroke(s)) return {};
    std::string text;
    if (s.modifiers & kShiftKey) text += "Shift+";
    if (s.modifiers & kCmdKey) text += "Ctrl+";
    if (s.modifiers & kOptionKey) text += "Alt+";
    if (s.modifiers & kControlKey) text += "Super+";
    if (s.character == ' ') {
        text += "Space";
    } else if (IsPrintable(s.character)) {
        text += Utf8(UnicodeToUpper(s.character));
    } else {
        text += SpecialKeyName(s);
    }
    return text;
}

const ShortcutEntry* FindShortcut(ShortcutTable table, const KeyStroke& stroke) {
    for (const ShortcutEntry& e : table) {
        if (StrokesMatch(e.stroke, stroke)) return &e;
    }
    return nullptr;
}

const ShortcutEntry* FindShortcutForCommand(ShortcutTable table, std::uint32_t command) {
    for (const ShortcutEntry& e : table) {
        if (e.command == command) return &e;
    }
    return nullptr;
}

OSStatus HandleShortcutKey(LWindow* window, ShortcutTable table, const Event& event) {
    if (window == nullptr || !window->IsValid()) return kEventNotHandledErr;
    if (event.Kind() == kEventRawKeyDown) {
        if (const ShortcutEntry* e = FindShortcut(table, ReadKeyStroke(event))) {
            window->PostCommand(e->command);
            return kNoErr;
        }
    }
    return window->HandleKeyEvent(event);
}

EventHandlerRef InstallShortcutKeyHandler(LWindow* window, ShortcutTable table) {
    if (window == nullptr || !NativeWindow::IsValid(window->window)) return 0;
    auto copy = std::make_shared<std::vector<ShortcutEntry>>(table.begin(), table.end());
    return window->window->Target().InstallHandler({{kEventClassKeyboard, kEventRawKeyDown},
                                                    {kEventClassKeyboard, kEventRawKeyRepeat},
                                                    {kEventClassKeyboard, kEventRawKeyUp}},
                                                   [window, copy](EventHandlerCall&, Event& e) {
                                                       return HandleShortcutKey(
                                                           window, ShortcutTable(*copy), e);
                                                   });
}

bool SetMenuItemStroke(NativeWindow* window, std::uint32_t command, const KeyStroke& stroke) {
    const MenuKeyEquivalent m = MenuKeyEquivalentFor(stroke);
    if (!m.present) return SetMenuItemAccelerator(window, command, 0, 0);
    const unsigned keyval = AcceleratorKeyval(m.character, m.key_code);
    return SetMenuItemAccelerator(window, command, keyval, m.modifiers);
}

}  // namespace tw

// Key strokes and shortcut tables: reading a stroke from a keyboard event, matching two
// strokes, the strokes the desktop keeps for itself, menu accelerators, the display text
// of a stroke, and the key handling of a window that maps strokes to commands.
//
// Command is Ctrl, Option is Alt, Control is Super. Display texts use the names a Linux
// desktop shows for shortcuts ("Shift+Ctrl+K", "F5", "Esc").
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/events/event_layer.h"
#include "platform/ui/native.h"

namespace tw {

class LWindow;

// Key code (virtual key code), modifier bits (kCmdKey, kShiftKey, kAlphaLock, kOptionKey,
// kControlKey) and the key's character in the current keyboard layout (a Unicode code
// point; control characters for keys without a printable one). All three 0: empty.
struct KeyStroke {
    std::uint16_t key_code = 0;
    std::uint16_t modifiers = 0;
    std::uint32_t character = 0;
};

// The key code of a key the keyboard table does not know.
inline constexpr std::uint16_t kUnknownKeyCode = 0xFFFF;

// Built-in strokes in one 32-bit value: key code in the top 16 bits, the modifiers' high
// byte in bits 8 to 15, the character in bits 0 to 7.
constexpr KeyStroke StrokeFromPacked(std::uint32_t packed) {
    return KeyStroke{std::uint16_t(packed >> 16), std::uint16_t(((packed >> 8) & 0xFF) << 8),
                     packed & 0xFF};
}
inline constexpr std::uint32_t kStrokeCommandSlash = 303;          // Ctrl+/
inline constexpr std::uint32_t kStrokeCommandW = 343;              // Ctrl+W
inline constexpr std::uint32_t kStrokeEscape = 53u << 16;          // Escape
inline constexpr std::uint32_t kStrokeHelpKey = (114u << 16) | 5;  // Help (Insert)

bool IsEmptyStroke(const KeyStroke& s);

// Both characters printable or both not; modifiers equal apart from Caps Lock; then the
// characters equal regardless of case (printable) or the key codes equal (not printable).
bool StrokesMatch(const KeyStroke& a, const KeyStroke& b);

// Strokes the desktop and the application menu keep: Ctrl with ",", "H" or "Q"; Ctrl+Alt
// with "h" or "?"; Shift+Ctrl with "?". They never become menu accelerators.
bool IsReservedStroke(const KeyStroke& s);

// The stroke of a key event of the keyboard class: the character as the current layout
// gives it with the event's modifiers; a key without a printable character gets its
// control character; Escape without modifiers becomes {53, 0, 0}.
KeyStroke ReadKeyStroke(const Event& event);

// The accelerator a menu item gets from a stroke: none for an empty or reserved stroke;
// otherwise the stroke's modifiers and, for a character of 32 or more, that character in
// upper case, else the key code.
struct MenuKeyEquivalent {
    bool present = false;
    std::uint32_t modifiers = 0;
    std::uint32_t character = 0;  // 0: the key code below stands for the key
    std::uint16_t key_code = 0;
};
MenuKeyEquivalent MenuKeyEquivalentFor(const KeyStroke& s);

// Display text: empty for an empty stroke; otherwise "Shift+", "Ctrl+", "Alt+", "Super+"
// (in the order GTK labels accelerators) and the key's name: "Space", a printable
// character in upper case, "F1" to "F19", "Menu", or the name of a special key.
std::string StrokeDisplayText(const KeyStroke& s);

// One entry of a window's shortcut table.
struct ShortcutEntry {
    KeyStroke stroke;
    std::uint32_t command = 0;
};
using ShortcutTable = std::span<const ShortcutEntry>;

// The first entry whose stroke matches; nullptr when none.
const ShortcutEntry* FindShortcut(ShortcutTable table, const KeyStroke& stroke);
// The first entry for the command; nullptr when none.
const ShortcutEntry* FindShortcutForCommand(ShortcutTable table, std::uint32_t command);

// The window key handling for a key event: on a key press, the first matching entry of
// the table posts its command to the window; otherwise the window's standard keys
// (Ctrl+/ for help, Ctrl+W or Escape in a modal window for Cancel) and its own key
// handling. kNoErr when the key was used.
OSStatus HandleShortcutKey(LWindow* window, ShortcutTable table, const Event& event);

// Installs HandleShortcutKey with a copy of `table` on the window for key presses,
// repeats and releases. Returns the handler, 0 when the window has none.
EventHandlerRef InstallShortcutKeyHandler(LWindow* window, ShortcutTable table);

// Gives the menu item of `command` in the window's menu bar the accelerator of `stroke`
// (none for an empty or reserved stroke). False when the item does not exist.
bool SetMenuItemStroke(NativeWindow* window, std::uint32_t command, const KeyStroke& stroke);

}  // namespace tw

// The one table between GDK key values and the virtual key codes the program uses
// (Escape 53, Return 36, Help 114, F1 122, ...), and GDK modifier states to modifier bits.
//
// Thread: any.
#pragma once

#include <cstdint>

namespace tw {

inline constexpr int kVirtualKeyReturn = 36;
inline constexpr int kVirtualKeyTab = 48;
inline constexpr int kVirtualKeySpace = 49;
inline constexpr int kVirtualKeyDelete = 51;
inline constexpr int kVirtualKeyEscape = 53;
inline constexpr int kVirtualKeyEnter = 76;
inline constexpr int kVirtualKeyHelp = 114;
inline constexpr int kVirtualKeyF1 = 122;
inline constexpr int kVirtualKeyF5 = 96;
inline constexpr int kVirtualKeyClear = 71;
inline constexpr int kVirtualKeyHome = 115;
inline constexpr int kVirtualKeyEnd = 119;
inline constexpr int kVirtualKeyForwardDelete = 117;
inline constexpr int kVirtualKeyLeftArrow = 123;
inline constexpr int kVirtualKeyRightArrow = 124;
inline constexpr int kVirtualKeyDownArrow = 125;
inline constexpr int kVirtualKeyUpArrow = 126;

// -1 when the key has no virtual key code.
int VirtualKeyFromKeyval(unsigned keyval);
// 0 when the code is unknown; letters give the lower-case key value.
unsigned KeyvalFromVirtualKey(int code);
// Command, Shift, Caps Lock, Option and Control bits from a GDK modifier state.
std::uint32_t ModifiersFromGdkState(unsigned state);
unsigned GdkStateFromModifiers(std::uint32_t modifiers);

// The control character a key without a printable character stands for (Home 1, Enter
// 3, End 4, Help 5, Backspace 8, Tab 9, Return 13, Page Up 11, Page Down 12, function
// keys 16, Escape and Clear 27, arrows 28 to 31, Delete 127); 0 for other codes.
std::uint32_t ControlCharacterForVirtualKey(int code);

// Unicode character classes, as the desktop's text library sees them.
bool UnicodeIsPrintable(std::uint32_t c);
std::uint32_t UnicodeToUpper(std::uint32_t c);
std::uint32_t UnicodeToLower(std::uint32_t c);

// The GDK key value of an accelerator for a character (>= 32; letters in lower case, as
// accelerators take them) or, for other keys, for a virtual key code; 0 when none.
unsigned AcceleratorKeyval(std::uint32_t character, int key_code);

}  // namespace tw

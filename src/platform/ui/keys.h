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

// -1 when the key has no virtual key code.
int VirtualKeyFromKeyval(unsigned keyval);
// 0 when the code is unknown; letters give the lower-case key value.
unsigned KeyvalFromVirtualKey(int code);
// Command, Shift, Caps Lock, Option and Control bits from a GDK modifier state.
std::uint32_t ModifiersFromGdkState(unsigned state);
unsigned GdkStateFromModifiers(std::uint32_t modifiers);

}  // namespace tw

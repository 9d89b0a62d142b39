#include "platform/ui/keys.h"

#include <gdk/gdk.h>
#include <gdk/gdkkeysyms.h>

#include "platform/events/event_layer.h"

namespace tw {

namespace {

struct KeyMapping {
    unsigned keyval;
    int code;
};

// Virtual key codes of the ANSI keyboard layout.
constexpr KeyMapping kKeys[] = {
    {GDK_KEY_a, 0},
    {GDK_KEY_s, 1},
    {GDK_KEY_d, 2},
    {GDK_KEY_f, 3},
    {GDK_KEY_h, 4},
    {GDK_KEY_g, 5},
    {GDK_KEY_z, 6},
    {GDK_KEY_x, 7},
    {GDK_KEY_c, 8},
    {GDK_KEY_v, 9},
    {GDK_KEY_b, 11},
    {GDK_KEY_q, 12},
    {GDK_KEY_w, 13},
    {GDK_KEY_e, 14},
    {GDK_KEY_r, 15},
    {GDK_KEY_y, 16},
    {GDK_KEY_t, 17},
    {GDK_KEY_1, 18},
    {GDK_KEY_2, 19},
    {GDK_KEY_3, 20},
    {GDK_KEY_4, 21},
    {GDK_KEY_6, 22},
    {GDK_KEY_5, 23},
    {GDK_KEY_equal, 24},
    {GDK_KEY_9, 25},
    {GDK_KEY_7, 26},
    {GDK_KEY_minus, 27},
    {GDK_KEY_8, 28},
    {GDK_KEY_0, 29},
    {GDK_KEY_bracketright, 30},
    {GDK_KEY_o, 31},
    {GDK_KEY_u, 32},
    {GDK_KEY_bracketleft, 33},
    {GDK_KEY_i, 34},
    {GDK_KEY_p, 35},
    {GDK_KEY_Return, 36},
    {GDK_KEY_l, 37},
    {GDK_KEY_j, 38},
    {GDK_KEY_apostrophe, 39},
    {GDK_KEY_k, 40},
    {GDK_KEY_semicolon, 41},
    {GDK_KEY_backslash, 42},
    {GDK_KEY_comma, 43},
    {GDK_KEY_slash, 44},
    {GDK_KEY_n, 45},
    {GDK_KEY_m, 46},
    {GDK_KEY_period, 47},
    {GDK_KEY_Tab, 48},
    {GDK_KEY_space, 49},
    {GDK_KEY_grave, 50},
    {GDK_KEY_BackSpace, 51},
    {GDK_KEY_Escape, 53},
    {GDK_KEY_Control_L, 55},
    {GDK_KEY_Shift_L, 56},
    {GDK_KEY_Caps_Lock, 57},
    {GDK_KEY_Alt_L, 58},
    {GDK_KEY_Super_L, 59},
    {GDK_KEY_Shift_R, 60},
    {GDK_KEY_Alt_R, 61},
    {GDK_KEY_Super_R, 62},
    {GDK_KEY_Control_R, 55},
    {GDK_KEY_KP_Decimal, 65},
    {GDK_KEY_KP_Multiply, 67},
    {GDK_KEY_KP_Add, 69},
    {GDK_KEY_Clear, 71},
    {GDK_KEY_KP_Divide, 75},
    {GDK_KEY_KP_Enter, 76},
    {GDK_KEY_KP_Subtract, 78},
    {GDK_KEY_KP_Equal, 81},
    {GDK_KEY_KP_0, 82},
    {GDK_KEY_KP_1, 83},
    {GDK_KEY_KP_2, 84},
    {GDK_KEY_KP_3, 85},
    {GDK_KEY_KP_4, 86},
    {GDK_KEY_KP_5, 87},
    {GDK_KEY_KP_6, 88},
    {GDK_KEY_KP_7, 89},
    {GDK_KEY_KP_8, 91},
    {GDK_KEY_KP_9, 92},
    {GDK_KEY_F5, 96},
    {GDK_KEY_F6, 97},
    {GDK_KEY_F7, 98},
    {GDK_KEY_F3, 99},
    {GDK_KEY_F8, 100},
    {GDK_KEY_F9, 101},
    {GDK_KEY_F11, 103},
    {GDK_KEY_F13, 105},
    {GDK_KEY_F14, 107},
    {GDK_KEY_F10, 109},
    {GDK_KEY_F12, 111},
    {GDK_KEY_F15, 113},
    {GDK_KEY_F16, 106},
    {GDK_KEY_F17, 64},
    {GDK_KEY_F18, 79},
    {GDK_KEY_F19, 80},
    {GDK_KEY_Menu, 110},
    {GDK_KEY_Help, 114},
    {GDK_KEY_Insert, 114},
    {GDK_KEY_Home, 115},
    {GDK_KEY_Page_Up, 116},
    {GDK_KEY_Delete, 117},
    {GDK_KEY_F4, 118},
    {GDK_KEY_End, 119},
    {GDK_KEY_F2, 120},
    {GDK_KEY_Page_Down, 121},
    {GDK_KEY_F1, 122},
    {GDK_KEY_Left, 123},
    {GDK_KEY_Right, 124},
    {GDK_KEY_Down, 125},
    {GDK_KEY_Up, 126},
};

// Keys whose character is a control character rather than a printable one.
struct ControlCharacter {
    int code;
    std::uint32_t character;
};
constexpr ControlCharacter kControlCharacters[] = {
    {115, 1},  {76, 3},   {119, 4},  {114, 5},  {51, 8},   {48, 9},   {36, 13},  {116, 11},
    {121, 12}, {71, 27},  {53, 27},  {123, 28}, {124, 29}, {126, 30}, {125, 31}, {117, 127},
    {122, 16}, {120, 16}, {99, 16},  {118, 16}, {96, 16},  {97, 16},  {98, 16},  {100, 16},
    {101, 16}, {109, 16}, {103, 16}, {111, 16}, {105, 16}, {107, 16}, {113, 16}, {106, 16},
    {64, 16},  {79, 16},  {80, 16},  {110, 16},
};

}  // namespace

std::uint32_t ControlCharacterForVirtualKey(int code) {
    for (const ControlCharacter& c : kControlCharacters) {
        if (c.code == code) return c.character;
    }
    return 0;
}

bool UnicodeIsPrintable(std::uint32_t c) {
    return g_unichar_isprint(gunichar(c));
}

std::uint32_t UnicodeToUpper(std::uint32_t c) {
    return g_unichar_toupper(gunichar(c));
}

std::uint32_t UnicodeToLower(std::uint32_t c) {
    return g_unichar_tolower(gunichar(c));
}

unsigned AcceleratorKeyval(std::uint32_t character, int key_code) {
    if (character >= 0x20 && character != 0x7F) {
        // Characters without a key value of their own get a Unicode key value.
        return gdk_unicode_to_keyval(g_unichar_tolower(gunichar(character)));
    }
    return KeyvalFromVirtualKey(key_code);
}

int VirtualKeyFromKeyval(unsigned keyval) {
    const unsigned lower = gdk_keyval_to_lower(keyval);
    for (const KeyMapping& k : kKeys) {
        if (k.keyval == lower || k.keyval == keyval) return k.code;
    }
    return -1;
}

unsigned KeyvalFromVirtualKey(int code) {
    for (const KeyMapping& k : kKeys) {
        if (k.code == code) return k.keyval;
    }
    return 0;
}

std::uint32_t ModifiersFromGdkState(unsigned state) {
    std::uint32_t m = 0;
    if (state & GDK_CONTROL_MASK) m |= kCmdKey;
    if (state & GDK_SHIFT_MASK) m |= kShiftKey;
    if (state & GDK_LOCK_MASK) m |= kAlphaLock;
    if (state & GDK_MOD1_MASK) m |= kOptionKey;
    if (state & (GDK_SUPER_MASK | GDK_MOD4_MASK)) m |= kControlKey;
    return m;
}

unsigned GdkStateFromModifiers(std::uint32_t m) {
    unsigned s = 0;
    if (m & kCmdKey) s |= GDK_CONTROL_MASK;
    if (m & kShiftKey) s |= GDK_SHIFT_MASK;
    if (m & kAlphaLock) s |= GDK_LOCK_MASK;
    if (m & kOptionKey) s |= GDK_MOD1_MASK;
    if (m & kControlKey) s |= GDK_SUPER_MASK;
    return s;
}

}  // namespace tw

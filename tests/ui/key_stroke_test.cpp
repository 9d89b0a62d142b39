// Key strokes: matching, reserved strokes, display texts, menu accelerators on real GTK
// menus, and the window key handling with real key events.
#include "ui/key_stroke.h"
#include "platform/ui/testing/ui_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui_support.h"
#include "platform/ui/keys.h"
#include "platform/ui/native_accel.h"
#include "ui/key_handler.h"
#include "ui/window.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

constexpr std::uint16_t kCmd = kCmdKey;
constexpr std::uint16_t kShift = kShiftKey;
constexpr std::uint16_t kOpt = kOptionKey;
constexpr std::uint16_t kCtl = kControlKey;
constexpr std::uint16_t kCaps = kAlphaLock;

// Virtual key codes of a few letters.
constexpr std::uint16_t kKeyA = 0;
constexpr std::uint16_t kKeyK = 40;
constexpr std::uint16_t kKeyZ = 6;
constexpr std::uint16_t kKeyQ = 12;
constexpr std::uint16_t kKeyH = 4;
constexpr std::uint16_t kKeyComma = 43;
constexpr std::uint16_t kKeySlash = 44;

TEST(KeyStroke, Matching) {
    struct Case {
        const char* name;
        KeyStroke a;
        KeyStroke b;
        bool match;
    } cases[] = {
        {"a and A, same modifiers", {kKeyA, kCmd, 'a'}, {kKeyA, kCmd, 'A'}, true},
        {"the character counts, not the key", {kKeyZ, kCmd, 'z'}, {16, kCmd, 'z'}, true},
        {"different letters", {kKeyA, kCmd, 'a'}, {kKeyA, kCmd, 'b'}, false},
        {"Caps Lock does not count", {kKeyA, kCmd | kCaps, 'A'}, {kKeyA, kCmd, 'a'}, true},
        {"Shift counts", {kKeyA, kCmd | kShift, 'A'}, {kKeyA, kCmd, 'a'}, false},
        {"Alt counts", {kKeyA, kCmd | kOpt, 'a'}, {kKeyA, kCmd, 'a'}, false},
        {"printable and not", {53, 0, 'a'}, {53, 0, 27}, false},
        {"not printable: key codes equal", {96, 0, 16}, {96, 0, 16}, true},
        {"not printable: key codes differ", {96, 0, 16}, {97, 0, 16}, false},
        {"not printable: the character does not count", {53, 0, 0}, {53, 0, 27}, true},
        {"non-ASCII letters fold their case", {33, kCmd, 0xFC}, {33, kCmd, 0xDC}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StrokesMatch(c.a, c.b), c.match);
        EXPECT_EQ(StrokesMatch(c.b, c.a), c.match);
    }
}

TEST(KeyStroke, PackedBuiltInStrokes) {
    const KeyStroke help = StrokeFromPacked(kStrokeCommandSlash);
    EXPECT_EQ(help.key_code, 0);
    EXPECT_EQ(help.modifiers, kCmd);
    EXPECT_EQ(help.character, std::uint32_t('/'));
    const KeyStroke close = StrokeFromPacked(kStrokeCommandW);
    EXPECT_EQ(close.modifiers, kCmd);
    EXPECT_EQ(close.character, std::uint32_t('W'));
    EXPECT_EQ(StrokeFromPacked(kStrokeEscape).key_code, kVirtualKeyEscape);
    EXPECT_EQ(StrokeFromPacked(kStrokeHelpKey).key_code, kVirtualKeyHelp);
    EXPECT_EQ(StrokeFromPacked(kStrokeHelpKey).character, 5u);
    EXPECT_TRUE(IsEmptyStroke(StrokeFromPacked(0)));
    EXPECT_FALSE(IsEmptyStroke(StrokeFromPacked(kStrokeCommandW)));
}

TEST(KeyStroke, DisplayTexts) {
    struct Case {
        KeyStroke stroke;
        const char* text;
    } cases[] = {
        {{kKeyK, kCmd | kShift, 'k'}, "Shift+Ctrl+K"},
        {{kKeyK, kCmd | kShift, 'K'}, "Shift+Ctrl+K"},
        {{96, 0, 16}, "F5"},
        {{122, 0, 16}, "F1"},
        {{106, kCmd, 16}, "Ctrl+F16"},
        {{80, 0, 16}, "F19"},
        {{110, 0, 16}, "Menu"},
        {{kVirtualKeyEscape, 0, 27}, "Esc"},
        {StrokeFromPacked(kStrokeEscape), "Esc"},
        {{kVirtualKeyClear, 0, 27}, "Clear"},
        {{49, kCmd, ' '}, "Ctrl+Space"},
        {{kKeySlash, kCmd, '/'}, "Ctrl+/"},
        {{kKeyA, kCmd | kOpt | kCtl | kShift, 'a'}, "Shift+Ctrl+Alt+Super+A"},
        {{33, kCmd, 0xFC}, "Ctrl+\xC3\x9C"},  // ü shows as Ü
        {{123, 0, 28}, "Left"},
        {{125, 0, 31}, "Down"},
        {{116, 0, 11}, "Page Up"},
        {{117, 0, 127}, "Delete"},
        {{51, 0, 8}, "Backspace"},
        {{36, 0, 13}, "Return"},
        {{114, 0, 5}, "Insert"},
        {{0, 0, 0}, ""},
        {{7, kCmd, 0}, "Ctrl+"},  // no character: only the modifiers
        {{200, 0, 16}, ""},       // a function key the table does not know
        {{1, 0, 2}, "Unknown"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StrokeDisplayText(c.stroke), c.text)
            << c.stroke.key_code << "/" << c.stroke.modifiers << "/" << c.stroke.character;
    }
}

TEST(KeyStroke, ReservedStrokesNeverBecomeMenuAccelerators) {
    struct Case {
        KeyStroke stroke;
        bool reserved;
    } cases[] = {
        {{kKeyQ, kCmd, 'q'}, true},
        {{kKeyQ, kCmd, 'Q'}, true},
        {{kKeyH, kCmd, 'h'}, true},
        {{kKeyH, kCmd, 'H'}, true},
        {{kKeyComma, kCmd, ','}, true},
        {{kKeyH, kCmd | kOpt, 'h'}, true},
        {{kKeySlash, kCmd | kOpt, '?'}, true},
        {{kKeySlash, kCmd | kShift, '?'}, true},
        {{kKeyQ, kCmd | kShift, 'Q'}, false},
        {{kKeyQ, kOpt, 'q'}, false},
        {{kKeyK, kCmd, 'k'}, false},
        {{kKeySlash, kCmd, '/'}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(StrokeDisplayText(c.stroke));
        EXPECT_EQ(IsReservedStroke(c.stroke), c.reserved);
        EXPECT_EQ(MenuKeyEquivalentFor(c.stroke).present, !c.reserved);
    }
    EXPECT_FALSE(MenuKeyEquivalentFor(KeyStroke{}).present);
    const MenuKeyEquivalent k = MenuKeyEquivalentFor({kKeyK, kCmd | kShift, 'k'});
    EXPECT_EQ(k.character, std::uint32_t('K'));
    EXPECT_EQ(k.modifiers, std::uint32_t(kCmd | kShift));
    const MenuKeyEquivalent f5 = MenuKeyEquivalentFor({96, 0, 16});
    EXPECT_EQ(f5.character, 0u);
    EXPECT_EQ(f5.key_code, 96);
}

Event KeyEvent(std::uint32_t kind, int code, std::uint32_t modifiers, std::uint32_t character) {
    Event e(kEventClassKeyboard, kind);
    e.SetParam(kEventParamKeyCode, std::int64_t{code});
    e.SetParam(kEventParamKeyModifiers, std::int64_t{modifiers});
    e.SetParam(kEventParamKeyChar, std::int64_t{character});
    return e;
}

// Records what reaches each hook; key down takes the keys it is told to.
class RecordingHandler : public LKeyHandler {
  public:
    bool OnKeyDown(const KeyStroke& s) override {
        log += "down(" + StrokeDisplayText(s) + ")";
        return take_down;
    }
    bool OnKeyRepeat(const KeyStroke& s) override {
        log += "repeat(" + StrokeDisplayText(s) + ")";
        return false;
    }
    bool OnKeyUp(const KeyStroke& s) override {
        log += "up(" + StrokeDisplayText(s) + ")";
        return false;
    }
    bool OnCharTyped(char byte) override {
        log += "char(" + std::to_string(static_cast<unsigned char>(byte)) + ")";
        return true;
    }
    bool take_down = false;
    std::string log;
};

TEST(KeyHandler, HooksGetStrokesInOrder) {
    struct Case {
        const char* name;
        Event event;
        bool take_down;
        const char* log;
        bool handled;
    } cases[] = {
        {"a letter goes down, then is typed", KeyEvent(kEventRawKeyDown, kKeyA, 0, 'a'), false,
         "down(A)char(97)", false},
        {"taken by key down, not typed", KeyEvent(kEventRawKeyDown, kKeyA, 0, 'a'), true, "down(A)",
         true},
        {"a non-ASCII letter types its first UTF-8 byte", KeyEvent(kEventRawKeyDown, 33, 0, 0xFC),
         false, "down(\xC3\x9C)char(195)", false},
        {"the Help key is answered", KeyEvent(kEventRawKeyDown, kVirtualKeyHelp, 0, 0), false,
         "down(Insert)char(5)", true},
        {"Escape is normalised", KeyEvent(kEventRawKeyDown, kVirtualKeyEscape, 0, 27), false,
         "down(Esc)", false},
        {"repeat", KeyEvent(kEventRawKeyRepeat, kKeyA, 0, 'a'), true, "repeat(A)", false},
        {"release", KeyEvent(kEventRawKeyUp, 96, 0, 0), false, "up(F5)", false},
        {"Ctrl pressed alone", KeyEvent(kEventRawKeyDown, 55, kCmd, 0), false, "down(Ctrl+)",
         false},
        {"Alt released", KeyEvent(kEventRawKeyUp, 58, 0, 0), false, "up(Alt+)", false},
        {"Super pressed, taken", KeyEvent(kEventRawKeyDown, 59, kCtl, 0), true, "down(Super+)",
         true},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingHandler h;
        h.take_down = c.take_down;
        EXPECT_EQ(DispatchKeyEvent(h, c.event) == kNoErr, c.handled);
        EXPECT_EQ(h.log, c.log);
    }
    RecordingHandler h;
    DispatchKeyEvent(h, KeyEvent(kEventRawKeyDown, kKeyK, kCmd | kShift, 'K'));
    DispatchKeyEvent(h, KeyEvent(kEventRawKeyUp, kKeyK, kCmd | kShift, 'K'));
    EXPECT_EQ(StrokeDisplayText(LastKeyStroke()), "Shift+Ctrl+K");
}

class KeyWindow : public LWindow {
  public:
    void OnCommand(std::uint32_t id, void*) override { commands.push_back(id); }
    void OnHelp() override { ++help; }
    bool OnCancel() override {
        ++cancels;
        return false;  // stays open
    }
    std::vector<std::uint32_t> commands;
    int help = 0;
    int cancels = 0;
};

class KeyWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(test::NeedDisplay()); }

    void Open(KeyWindow* w, bool modal) {
        ASSERT_TRUE(w->CreateWindow(300, 200, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
        w->InstallWindowHandler(false);
        w->modal = modal ? 1 : 0;
        w->shown = 1;
        w->Show(true);
        ASSERT_TRUE(RunEventLoopUntil([&] { return w->IsFront(); }, 5000));
    }
};

TEST_F(KeyWindowTest, MenuAcceleratorsFollowTheTableExceptReservedStrokes) {
    KeyWindow w;
    Open(&w, false);
    const int menu = w.window->AddMenu("Tools");
    struct Case {
        std::uint32_t command;
        KeyStroke stroke;
        const char* label;  // as GTK labels the item's accelerator
    } cases[] = {
        {801, {kKeyQ, kCmd, 'q'}, ""},
        {802, {kKeyH, kCmd, 'h'}, ""},
        {803, {kKeyComma, kCmd, ','}, ""},
        // A window's own menu command travels as four digits.
        {FourCC("0804"), {kKeyK, kCmd | kShift, 'K'}, "Shift+Ctrl+K"},
        {805, {96, 0, 16}, "F5"},
        {806, {}, ""},
        {807, {kKeyZ, kCmd, 'z'}, "Ctrl+Z"},
    };
    for (const Case& c : cases) w.window->AddMenuItem(menu, "Item", c.command);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_TRUE(SetMenuItemStroke(w.window, c.command, c.stroke));
        EXPECT_EQ(MenuItemAcceleratorLabel(w.window, c.command), c.label);
        // What the menu shows is what the toolbar's help texts show.
        if (*c.label != '\0') {
            EXPECT_EQ(StrokeDisplayText(c.stroke), c.label);
        }
    }
    EXPECT_FALSE(SetMenuItemStroke(w.window, 999, {kKeyK, kCmd, 'k'}));
    // The accelerator picks the item from the keyboard.
    ui_driver::PressKey(w.window, kKeyK, kCmd | kShift, 'K');
    EXPECT_TRUE(RunEventLoopUntil(
        [&] { return std::find(w.commands.begin(), w.commands.end(), 804u) != w.commands.end(); },
        2000));
}

TEST_F(KeyWindowTest, TableFirstThenHelpThenCancel) {
    const ShortcutEntry table[] = {
        {{kKeyZ, kCmd, 'z'}, 500},
        {{96, 0, 16}, 501},
        {{kKeyA, kCmd | kShift, 'A'}, 502},
    };
    struct Case {
        const char* name;
        bool modal;
        int key_code;
        std::uint32_t modifiers;
        std::uint32_t character;
        std::vector<std::uint32_t> commands;
        int help;
        int cancels;
    } cases[] = {
        {"table entry", false, kKeyZ, kCmd, 'z', {500}, 0, 0},
        {"table entry, Caps Lock on", false, kKeyZ, kCmd | kCaps, 'Z', {500}, 0, 0},
        {"function key entry", false, 96, 0, 0, {501}, 0, 0},
        {"Shift entry", false, kKeyA, kCmd | kShift, 'A', {502}, 0, 0},
        {"a without Shift is not the Shift entry", false, kKeyA, kCmd, 'a', {}, 0, 0},
        {"Ctrl+/ is help", false, kKeySlash, kCmd, '/', {}, 1, 0},
        {"Ctrl+W cancels", false, 13, kCmd, 'w', {}, 0, 1},
        {"Escape cancels a modal window", true, kVirtualKeyEscape, 0, 0, {}, 0, 1},
        {"Escape does nothing in a modeless one", false, kVirtualKeyEscape, 0, 0, {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyWindow w;
        Open(&w, c.modal);
        ASSERT_NE(InstallShortcutKeyHandler(&w, table), 0u);
        ui_driver::PressKey(w.window, c.key_code, c.modifiers, c.character);
        RunEventLoopFor(100);
        EXPECT_EQ(w.commands, c.commands);
        EXPECT_EQ(w.help, c.help);
        EXPECT_EQ(w.cancels, c.cancels);
    }
}

TEST_F(KeyWindowTest, ATableEntryWinsOverTheStandardKeys) {
    const ShortcutEntry table[] = {{{13, kCmd, 'w'}, 600}};
    KeyWindow w;
    Open(&w, true);
    ASSERT_NE(InstallShortcutKeyHandler(&w, table), 0u);
    ui_driver::PressKey(w.window, 13, kCmd, 'w');
    RunEventLoopFor(100);
    EXPECT_EQ(w.commands, std::vector<std::uint32_t>{600});
    EXPECT_EQ(w.cancels, 0);
}

}  // namespace
}  // namespace tw

// Shortcuts follow the keyboard layout: with a German layout on the test's private X
// server, the key that types "z" (where the US layout has "y") gives a Ctrl+Z entry of
// a shortcut table its command. The key presses go through the X server (XTEST), so the
// server's layout turns key positions into characters as it does for a real keyboard.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gui_support.h"
#include "ui/key_stroke.h"
#include "ui/window.h"

// Last: Xlib's macros must not meet our names.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

class CommandWindow : public LWindow {
  public:
    void OnCommand(std::uint32_t id, void*) override { commands.push_back(id); }
    std::vector<std::uint32_t> commands;
};

bool SetLayout(const char* layout) {
    const std::string command =
        std::string("setxkbmap -display \"") + getenv("DISPLAY") + "\" " + layout + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

// The key code that types `keysym` now; a fresh connection, since Xlib keeps the key map
// it read first.
unsigned KeycodeOf(KeySym keysym) {
    ::Display* x = XOpenDisplay(getenv("DISPLAY"));
    if (x == nullptr) return 0;
    const unsigned code = XKeysymToKeycode(x, keysym);
    XCloseDisplay(x);
    return code;
}

// Ctrl held around a press and release of the key with this X key code.
void PressWithControl(::Display* x, unsigned keycode) {
    const unsigned control = KeycodeOf(XK_Control_L);
    XTestFakeKeyEvent(x, control, True, CurrentTime);
    XTestFakeKeyEvent(x, keycode, True, CurrentTime);
    XTestFakeKeyEvent(x, keycode, False, CurrentTime);
    XTestFakeKeyEvent(x, control, False, CurrentTime);
    XFlush(x);
}

TEST(KeyboardLayout, TheCharacterCountsNotTheKeyPosition) {
    ASSERT_TRUE(test::NeedDisplay());
    ::Display* x = XOpenDisplay(getenv("DISPLAY"));
    ASSERT_NE(x, nullptr);
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(x, &event_base, &error_base, &major, &minor));

    ASSERT_TRUE(SetLayout("us")) << "setxkbmap (x11-xkb-utils) is needed";
    const unsigned us_z = KeycodeOf(XK_z);
    ASSERT_TRUE(SetLayout("de"));
    const unsigned de_z = KeycodeOf(XK_z);
    // German keyboards swap Y and Z: the layout really changed.
    ASSERT_NE(us_z, 0u);
    ASSERT_NE(de_z, 0u);
    ASSERT_NE(us_z, de_z);

    CommandWindow w;
    ASSERT_TRUE(w.CreateWindow(300, 200, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
    w.InstallWindowHandler(false);
    w.modal = 0;
    w.shown = 1;
    const ShortcutEntry table[] = {
        {{6, kCmdKey, 'z'}, 700},   // Ctrl+Z, key code of the US position
        {{16, kCmdKey, 'y'}, 701},  // Ctrl+Y
    };
    ASSERT_NE(InstallShortcutKeyHandler(&w, table), 0u);
    w.Show(true);
    ASSERT_TRUE(RunEventLoopUntil([&] { return w.IsFront(); }, 5000));
    // Let the toolkit take in the new layout.
    RunEventLoopFor(300);

    PressWithControl(x, de_z);
    EXPECT_TRUE(RunEventLoopUntil([&] { return !w.commands.empty(); }, 3000));
    EXPECT_EQ(w.commands, std::vector<std::uint32_t>{700});

    // The key at the US "z" position types "y" here.
    w.commands.clear();
    PressWithControl(x, us_z);
    EXPECT_TRUE(RunEventLoopUntil([&] { return !w.commands.empty(); }, 3000));
    EXPECT_EQ(w.commands, std::vector<std::uint32_t>{701});

    SetLayout("us");
    XCloseDisplay(x);
}

}  // namespace
}  // namespace tw

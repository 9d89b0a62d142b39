// LWindow on real GTK windows: command rules, modal runs, the close box, the modal
// stack, messages, bound commands, keys and placements.
#include "ui/window.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "gui_support.h"
#include "platform/ui/keys.h"
#include "platform/ui/testing/ui_driver.h"
#include "store/settings.h"
#include "ui/controls.h"

namespace tw {
namespace {

// A private X server: no other test's windows overlap ours, whatever runs beside us.
const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/false));

using test::Later;

// Records what reaches its virtual operations.
class ProbeWindow : public LWindow {
  public:
    void OnInit() override {
        ++inits;
        if (on_init) on_init();
    }
    bool OnOK() override {
        ++oks;
        return ok_answer;
    }
    bool OnCancel() override {
        ++cancels;
        return cancel_answer;
    }
    void OnHelp() override { ++helps; }
    void OnCommand(std::uint32_t id, void*) override {
        commands.push_back(id);
        current_seen.push_back(CurrentCommand());
        main_thread_seen = main_thread_seen && IsMainThread();
        if (on_command) on_command(id);
    }
    void OnClose() override { ++closes; }
    void OnShown() override { ++shows; }
    void OnHidden() override { ++hides; }
    void UpdateControls() override { ++updates; }
    OSStatus OnWindowMessage(std::uint32_t id, void* d1, void* d2) override {
        message = {id, d1, d2};
        return kNoErr;
    }

    std::function<void()> on_init;
    std::function<void(std::uint32_t)> on_command;
    bool ok_answer = true;
    bool cancel_answer = true;
    int inits = 0, oks = 0, cancels = 0, helps = 0, closes = 0, shows = 0, hides = 0, updates = 0;
    std::vector<std::uint32_t> commands;
    std::vector<std::uint32_t> current_seen;
    bool main_thread_seen = true;
    struct {
        std::uint32_t id = 0;
        void* d1 = nullptr;
        void* d2 = nullptr;
    } message;
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::NeedDisplay());
        // Settings go to a private folder, never the user's.
        char dir[] = "/tmp/tw-ui-settings-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        settings_dir_ = dir;
        setenv("XDG_CONFIG_HOME", dir, 1);
        setenv("HOME", dir, 1);
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + settings_dir_ + "'";
        (void)system(cmd.c_str());
    }

    // Sends a command event as a click, a menu or a window would.
    static OSStatus SendCommandEvent(LWindow& w, std::uint32_t id, std::uint32_t attributes) {
        Event e(kEventClassCommand, kEventCommandProcess);
        e.SetParam(kEventParamCommand, HICommand{attributes, id, 0});
        return SendEventToTarget(e, &w.content->Target());
    }

    std::string settings_dir_;
};

TEST_F(WindowTest, FreshObjectHasItsInitialFields) {
    ProbeWindow w;
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.ended, 0);
    EXPECT_EQ(w.shown, 0);
    EXPECT_EQ(w.window, nullptr);
    EXPECT_EQ(w.topLevel, 1);
    EXPECT_STREQ(w.caption, "NO CAPTION");
    EXPECT_EQ(w.modal, 1);
    EXPECT_EQ(w.nextAutoTop, 100);
    EXPECT_FALSE(w.IsValid());
}

TEST_F(WindowTest, CommandProcessRules) {
    struct Case {
        const char* name;
        std::uint32_t id;
        std::uint32_t attributes;
        bool top_level;
        OSStatus answer;
        std::vector<std::uint32_t> expected_commands;
        int expected_helps;
    };
    const std::uint32_t kFromMenu = kHICommandFromMenu;
    const Case cases[] = {
        {"menu 0101 becomes 101", FourCC("0101"), kFromMenu, true, kNoErr, {101}, 0},
        {"click 9999 becomes 9999", FourCC("9999"), kHICommandFromControl, true, kNoErr, {9999}, 0},
        {"0000 becomes 0", FourCC("0000"), 0, true, kNoErr, {0}, 0},
        {"not all digits stays", FourCC("01a1"), 0, true, kNoErr, {FourCC("01a1")}, 0},
        {"plain number", 1116, 0, true, kNoErr, {1116}, 0},
        {"menu command of the window list",
         FourCC("pref"),
         kFromMenu,
         true,
         kNoErr,
         {FourCC("pref")},
         0},
        {"menu cut", FourCC("cut "), kFromMenu, true, kNoErr, {FourCC("cut ")}, 0},
        {"other menu command passes", FourCC("abou"), kFromMenu, true, kEventNotHandledErr, {}, 0},
        {"menu command from a window passes",
         FourCC("pref"),
         kFromMenu | kHICommandFromWindow,
         true,
         kEventNotHandledErr,
         {},
         0},
        {"menu command to an embedded pane passes",
         FourCC("pref"),
         kFromMenu,
         false,
         kEventNotHandledErr,
         {},
         0},
        {"app help", FourCC("ahlp"), 0, true, kNoErr, {}, 1},
        {"help", FourCC("help"), kFromMenu, true, kNoErr, {}, 1},
    };
    for (const Case& c : cases) {
        ProbeWindow w;
        ASSERT_TRUE(w.CreateDialog(200, 100));
        w.InstallWindowHandler(false);
        w.topLevel = c.top_level ? 1 : 0;
        const OSStatus answer = SendCommandEvent(w, c.id, c.attributes);
        w.topLevel = 1;
        EXPECT_EQ(answer, c.answer) << c.name;
        EXPECT_EQ(w.commands, c.expected_commands) << c.name;
        EXPECT_EQ(w.helps, c.expected_helps) << c.name;
    }
}

TEST_F(WindowTest, WhileAPopupMenuIsOpenCommandsAreOnlyRemembered) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateDialog(200, 100));
    w.InstallWindowHandler(false);
    SetMenuTracking(true);
    EXPECT_EQ(SendCommandEvent(w, 1234, 0), kEventNotHandledErr);
    SetMenuTracking(false);
    EXPECT_TRUE(w.commands.empty());
    EXPECT_EQ(TrackedMenuCommand(), 1234u);
}

TEST_F(WindowTest, CurrentCommandIsSetDuringDispatchAndRestoredAfter) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateDialog(200, 100));
    w.InstallWindowHandler(false);
    w.on_command = [&](std::uint32_t id) {
        if (id == 1) w.SendCommand(2);  // nested
    };
    w.SendCommand(1);
    EXPECT_EQ((w.commands), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ((w.current_seen), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(CurrentCommand(), 0u);
    EXPECT_EQ(LastCommand(), 1u);  // recorded by the outermost dispatch only

    // An embedded pane takes the command directly, under the same rule.
    ProbeWindow pane;
    pane.AttachEmbedded(&w, w.content);
    pane.SendCommand(7);
    EXPECT_EQ((pane.commands), (std::vector<std::uint32_t>{7}));
    EXPECT_EQ(LastCommand(), 7u);
    w.content->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(&w));
}

TEST_F(WindowTest, OkRefusedByOnOKKeepsTheDialogOpenWithEndedClear) {
    ProbeWindow w;
    w.ok_answer = false;
    ASSERT_TRUE(w.CreateDialog(300, 120));
    bool open_after_return = false;
    int ended_after_return = -1;
    std::vector<std::unique_ptr<Later>> script;
    w.on_init = [&] {
        NativeControl* ok = CreatePushButton(&w, 1, "OK", kPushButtonStyle, kHICommandOK);
        CreatePushButton(&w, 2, "Cancel", kPushButtonStyle, kHICommandCancel);
        SetControlFrame(&w, 1, 200, 80, 80, 24);
        SetControlFrame(&w, 2, 110, 80, 80, 24);
        ASSERT_NE(ok, nullptr);
        script.push_back(std::make_unique<Later>(100, [&] {
            // Return presses the default button: the OK command.
            ui_driver::PressKey(w.window, kVirtualKeyReturn, 0, '\r');
        }));
        script.push_back(std::make_unique<Later>(250, [&] {
            open_after_return = w.IsValid() && w.IsVisible();
            ended_after_return = w.ended;
            ui_driver::PressKey(w.window, kVirtualKeyEscape, 0, 0x1b);  // the cancel button
        }));
    };
    const bool result = w.DoModal();
    EXPECT_EQ(w.oks, 1);
    EXPECT_TRUE(open_after_return);
    EXPECT_EQ(ended_after_return, 0);
    EXPECT_EQ(w.cancels, 1);
    EXPECT_FALSE(result);
    EXPECT_FALSE(w.IsValid());
    EXPECT_EQ(w.closes, 1);
}

TEST_F(WindowTest, DoModalEndsWithOKAndReportsIt) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateDialog(200, 100));
    std::unique_ptr<Later> later;
    w.on_init = [&] { later = std::make_unique<Later>(50, [&] { w.SendCommand(kHICommandOK); }); };
    EXPECT_TRUE(w.DoModal());
    EXPECT_EQ(w.inits, 1);
    EXPECT_EQ(w.shown, 1);
    EXPECT_EQ(w.result, 1);
    EXPECT_EQ(w.ended, 0);  // cleared by Close
    EXPECT_EQ(w.window, nullptr);
    EXPECT_EQ(modal_stack::Size(), 0);
}

TEST_F(WindowTest, CloseBoxFollowsOnCancel) {
    ProbeWindow w;
    w.cancel_answer = false;
    ASSERT_TRUE(w.CreateDialog(200, 100));
    bool still_open = false;
    int ended_then = -1;
    std::vector<std::unique_ptr<Later>> script;
    w.on_init = [&] {
        script.push_back(std::make_unique<Later>(80, [&] { ui_driver::ClickCloseBox(w.window); }));
        script.push_back(std::make_unique<Later>(200, [&] {
            still_open = w.IsValid() && w.IsVisible() && IsEventLoopRunning(w.window);
            ended_then = w.ended;
            w.cancel_answer = true;
            ui_driver::ClickCloseBox(w.window);
        }));
    };
    EXPECT_FALSE(w.DoModal());
    EXPECT_TRUE(still_open);
    EXPECT_EQ(ended_then, 0);
    EXPECT_EQ(w.cancels, 2);
    EXPECT_EQ(w.result, 0);  // EndModal(Cancel) sets it back to 0
}

TEST_F(WindowTest, ACloseBoxWithoutAWindowObjectDisposesTheWindow) {
    ASSERT_TRUE(test::NeedDisplay());
    NativeWindow* w =
        NativeWindow::Create(100, 100, kDocumentWindowClass, kWindowCloseBoxAttribute);
    ASSERT_NE(w, nullptr);
    w->Show();
    RunEventLoopFor(50);
    ui_driver::ClickCloseBox(w);
    EXPECT_FALSE(NativeWindow::IsValid(w));
}

TEST_F(WindowTest, EndModalOnAFloatingWindowRecordsTheResultOnly) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateWindow(200, 100, kFloatingWindowClass, 0, 0));
    bool running_after = false;
    std::vector<std::unique_ptr<Later>> script;
    w.on_init = [&] {
        script.push_back(std::make_unique<Later>(50, [&] { w.EndModal(kHICommandOK); }));
        script.push_back(std::make_unique<Later>(150, [&] {
            running_after = IsEventLoopRunning(w.window);
            EXPECT_EQ(w.result, 1);
            EXPECT_EQ(w.ended, 0);
            QuitEventLoop(w.window);
        }));
    };
    w.DoModal();
    EXPECT_TRUE(running_after);
}

TEST_F(WindowTest, ASecondModalDialogDisablesTheApplicationMenusUntilItCloses) {
    std::vector<bool> menu_states;
    modal_stack::SetMenuStateListener([&](bool enabled) { menu_states.push_back(enabled); });
    NativeWindow* main_window = NativeWindow::Create(300, 200, kDocumentWindowClass, 0);
    modal_stack::Push(main_window);  // the main window is the bottom entry
    EXPECT_TRUE(menu_states.empty());

    ProbeWindow outer;
    ProbeWindow inner;
    int depth_inside = 0;
    bool inner_top = false;
    std::vector<std::unique_ptr<Later>> script;
    ASSERT_TRUE(outer.CreateDialog(300, 150));
    outer.on_init = [&] {
        script.push_back(std::make_unique<Later>(50, [&] {
            ASSERT_TRUE(inner.CreateDialog(200, 100));
            inner.window->SetProperty(kPropertyParentWindow,
                                      reinterpret_cast<std::uintptr_t>(outer.window));
            inner.on_init = [&] {
                script.push_back(std::make_unique<Later>(50, [&] {
                    depth_inside = modal_stack::Size();
                    inner_top =
                        modal_stack::IsTop(inner.window) && !modal_stack::IsTop(outer.window);
                    inner.SendCommand(kHICommandOK);
                }));
            };
            inner.DoModal();
            outer.SendCommand(kHICommandCancel);
        }));
    };
    outer.DoModal();
    EXPECT_EQ(depth_inside, 3);
    EXPECT_TRUE(inner_top);
    // Disabled when the outer dialog joined the main window, enabled when it left.
    EXPECT_EQ(menu_states, (std::vector<bool>{false, true}));
    modal_stack::Pop(main_window);
    main_window->Dispose();
    modal_stack::SetMenuStateListener(nullptr);
}

TEST_F(WindowTest, ClickActivationAndModalityFollowTheModalStack) {
    ProbeWindow a;
    ProbeWindow b;
    ASSERT_TRUE(a.CreateDialog(100, 100));
    ASSERT_TRUE(b.CreateDialog(100, 100));
    std::vector<std::unique_ptr<Later>> script;
    int activation_a = -1;
    int activation_b = -1;
    OSStatus modality_a = 0;
    void* blocker = nullptr;
    b.on_init = [&] {
        script.push_back(std::make_unique<Later>(30, [&] {
            Event ea(kEventClassWindow, kEventWindowGetClickActivation);
            SendEventToTarget(ea, &a.window->Target());
            activation_a = int(ea.GetInt(kEventParamClickActivation, -1));
            Event eb(kEventClassWindow, kEventWindowGetClickActivation);
            SendEventToTarget(eb, &b.window->Target());
            activation_b = int(eb.GetInt(kEventParamClickActivation, -1));
            Event m(kEventClassWindow, kEventWindowGetClickModality);
            modality_a = SendEventToTarget(m, &a.window->Target());
            blocker = m.GetPointer(kEventParamModalWindow);
            b.SendCommand(kHICommandOK);
        }));
    };
    a.on_init = [&] {
        script.push_back(std::make_unique<Later>(30, [&] {
            b.DoModal();
            a.SendCommand(kHICommandOK);
        }));
    };
    NativeWindow* b_native = b.window;
    a.DoModal();
    EXPECT_EQ(activation_a, kClickActivationActivateAndHandle);  // a is not the top
    EXPECT_EQ(activation_b, kClickActivationIgnore);
    EXPECT_EQ(modality_a, kNoErr);
    EXPECT_EQ(blocker, static_cast<void*>(b_native));
}

TEST_F(WindowTest, PostCommandFromAWorkerRunsOnTheMainThread) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateDialog(200, 100));
    w.InstallWindowHandler(false);
    std::thread worker([&] {
        for (std::uint32_t id = 1; id <= 5; ++id) w.PostCommand(id);
    });
    worker.join();
    EXPECT_TRUE(w.commands.empty());  // nothing runs before the loop does
    RunEventLoopUntil([&] { return w.commands.size() == 5; }, 2000);
    EXPECT_EQ(w.commands, (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(w.main_thread_seen);

    w.eventQueue = false;  // no queue: nothing is posted
    w.PostCommand(6);
    RunEventLoopFor(30);
    EXPECT_EQ(w.commands.size(), 5u);
}

TEST_F(WindowTest, PostedCommandsForAClosedWindowAreDropped) {
    auto w = std::make_unique<ProbeWindow>();
    ASSERT_TRUE(w->CreateDialog(200, 100));
    w->InstallWindowHandler(false);
    w->PostCommand(1);
    w->Close();
    RunEventLoopFor(30);
    EXPECT_TRUE(w->commands.empty());
}

TEST_F(WindowTest, SendWindowMessageReachesTheWindow) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateDialog(200, 100));
    w.InstallWindowHandler(false);
    int a = 1;
    int b = 2;
    EXPECT_EQ(w.SendWindowMessage(42, &a, &b), kNoErr);
    EXPECT_EQ(w.message.id, 42u);
    EXPECT_EQ(w.message.d1, &a);
    EXPECT_EQ(w.message.d2, &b);
}

TEST_F(WindowTest, BoundWindowCommandsAreIssuedAtTheirMoments) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateDialog(200, 100));
    w.BindCommand(kBindOnModalRun, 501);
    w.BindCommand(kBindOnShown, 502);
    w.BindCommand(kBindOnHidden, 503);
    w.BindCommand(kBindOnClosed, 504);
    std::unique_ptr<Later> later;
    w.on_init = [&] { later = std::make_unique<Later>(80, [&] { w.SendCommand(kHICommandOK); }); };
    w.DoModal();
    auto has = [&](std::uint32_t id) {
        return std::find(w.commands.begin(), w.commands.end(), id) != w.commands.end();
    };
    EXPECT_TRUE(has(501));
    EXPECT_TRUE(has(502));
    EXPECT_TRUE(has(503));
    EXPECT_TRUE(has(504));
    EXPECT_GE(w.shows, 1);
    EXPECT_GE(w.hides, 1);
    // An absent binding does nothing.
    ProbeWindow plain;
    ASSERT_TRUE(plain.CreateDialog(100, 100));
    plain.IssueBoundCommand(kBindOnActivated);
    EXPECT_TRUE(plain.commands.empty());
}

TEST_F(WindowTest, StandardKeys) {
    struct Case {
        const char* name;
        int code;
        std::uint32_t modifiers;
        std::uint32_t character;
        std::uint8_t modal;
        OSStatus answer;
        int helps;
        bool cancel_posted;
    };
    const Case cases[] = {
        {"Command-/", 44, kCmdKey, '/', 1, kNoErr, 1, false},
        {"Command-W", 13, kCmdKey, 'w', 0, kNoErr, 0, true},
        {"Escape in a modal window", kVirtualKeyEscape, 0, 0x1b, 1, kNoErr, 0, true},
        {"Escape in a modeless window", kVirtualKeyEscape, 0, 0x1b, 0, kEventNotHandledErr, 0,
         false},
        {"Help key", kVirtualKeyHelp, 0, 0, 1, kNoErr, 0, false},
        {"plain letter", 0, 0, 'a', 1, kEventNotHandledErr, 0, false},
    };
    for (const Case& c : cases) {
        ProbeWindow w;
        ASSERT_TRUE(w.CreateDialog(100, 100));
        w.InstallWindowHandler(false);
        w.modal = c.modal;
        Event e(kEventClassKeyboard, kEventRawKeyDown);
        e.SetParam(kEventParamKeyCode, std::int64_t{c.code});
        e.SetParam(kEventParamKeyModifiers, std::int64_t{c.modifiers});
        e.SetParam(kEventParamKeyChar, std::int64_t{c.character});
        EXPECT_EQ(w.HandleKeyEvent(e), c.answer) << c.name;
        EXPECT_EQ(w.helps, c.helps) << c.name;
        RunEventLoopFor(20);
        EXPECT_EQ(w.cancels, c.cancel_posted ? 1 : 0) << c.name;
    }
}

TEST_F(WindowTest, KeyRecordsMatch) {
    struct Case {
        KeyRecord a;
        KeyRecord b;
        bool match;
    };
    const Case cases[] = {
        {{0, kCmdKey, 'a'}, {0, kCmdKey, 'A'}, true},               // case ignored
        {{0, kCmdKey, 'a'}, {0, kCmdKey | kAlphaLock, 'a'}, true},  // Caps Lock ignored
        {{0, kCmdKey, 'a'}, {0, kShiftKey, 'a'}, false},
        {{122, 0, 0}, {122, 0, 0x10}, true},  // not printable: key codes
        {{122, 0, 0}, {120, 0, 0}, false},
        {{0, 0, 'a'}, {0, 0, 0x1b}, false},  // printable vs not
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeyRecordsMatch(c.a, c.b), c.match)
            << c.a.key_code << "/" << c.a.character << " vs " << c.b.key_code;
    }
}

TEST_F(WindowTest, CentringUsesHalfTheWidthAndAThirdOfTheHeight) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateWindow(400, 300, kDocumentWindowClass, 0, 0));
    Rect screen;
    ASSERT_TRUE(GetMainScreenBounds(&screen));
    int ww = 0;
    int wh = 0;
    w.GetSize(&ww, &wh);
    int x = 0;
    int y = 0;
    w.GetPosition(&x, &y);
    EXPECT_EQ(x, int(screen.x) + (int(screen.w) - ww) / 2);
    EXPECT_EQ(y, int(screen.y) + (int(screen.h) - wh) / 3);
}

TEST_F(WindowTest, RestorePlacementClampsToTheScreen) {
    Rect screen;
    ASSERT_TRUE(GetMainScreenBounds(&screen));
    const int W = int(screen.w);
    const int H = int(screen.h);
    struct Case {
        const char* name;
        const char* x;  // nullptr: not stored
        const char* y;
        int expect_x;  // -1000: centred
        int expect_y;  // -1000: the top of the screen
    };
    const Case cases[] = {
        {"stored values inside", "120", "80", 120, 80},
        {"X past the right edge", "100000", "50", 100000, 50},
        {"negative X", "-40", "50", 0, 50},
        {"Y past the bottom", "10", "100000", 10, 100000},
        {"Y above the top", "10", "-5", 10, -1000},
        {"nothing stored", nullptr, nullptr, -1000, -1000},
    };
    for (const Case& c : cases) {
        DeleteSetting("PlacementTest", "X");
        DeleteSetting("PlacementTest", "Y");
        if (c.x) SetSetting("PlacementTest", "X", c.x);
        if (c.y) SetSetting("PlacementTest", "Y", c.y);
        ProbeWindow w;
        ASSERT_TRUE(w.CreateWindow(400, 300, kDocumentWindowClass, 0, 0));
        int ww = 0;
        int wh = 0;
        w.GetSize(&ww, &wh);
        w.RestoreWindowPlacement("PlacementTest");
        int x = 0;
        int y = 0;
        w.GetPosition(&x, &y);
        int ex = c.expect_x == -1000 ? (W - ww) / 2 : std::min(c.expect_x, W - ww);
        int ey = c.expect_y == -1000 ? 0 : std::min(c.expect_y, H - wh);
        EXPECT_EQ(x, int(screen.x) + ex) << c.name;
        EXPECT_EQ(y, int(screen.y) + ey) << c.name;
    }
}

TEST_F(WindowTest, SavedPlacementRestoresThePosition) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateWindow(300, 200, kDocumentWindowClass, 0, 0));
    w.window->SetToolbarVisible(true);
    w.window->SetStatusBarVisible(true);
    w.window->Move(210, 130);
    w.SaveWindowPlacement("SaveTest");
    EXPECT_EQ(GetSettingInt("SaveTest", "X", -1), 210);
    EXPECT_EQ(GetSettingInt("SaveTest", "Y", -1), 130);
    EXPECT_EQ(GetSettingInt("SaveTest", "Width", -1), 300);
    int cw = 0;
    int ch = 0;
    w.GetClientSize(&cw, &ch);
    EXPECT_EQ(GetSettingInt("SaveTest", "Height", -1), ch - kToolbarHeight - kStatusBarHeight);
    EXPECT_FALSE(GetSettingBool("SaveTest", "Maximized", true));

    ProbeWindow again;
    ASSERT_TRUE(again.CreateWindow(300, 200, kDocumentWindowClass, 0, 0));
    again.RestoreWindowPlacement("SaveTest");
    int x = 0;
    int y = 0;
    again.GetPosition(&x, &y);
    EXPECT_EQ(x, 210);
    EXPECT_EQ(y, 130);
}

TEST_F(WindowTest, LayoutAreaLeavesOutToolbarAndStatusBar) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateWindow(400, 300, kDocumentWindowClass, 0, 0));
    struct Case {
        bool toolbar;
        bool status;
        int y;
        int h;
    };
    for (Case c : {Case{false, false, 0, 300}, Case{true, false, 56, 300},
                   Case{false, true, 0, 300}, Case{true, true, 56, 300}}) {
        w.window->SetToolbarVisible(c.toolbar);
        w.window->SetStatusBarVisible(c.status);
        int x = -1;
        int y = -1;
        int lw = 0;
        int lh = 0;
        w.GetLayoutArea(&x, &y, &lw, &lh);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(lw, 400);
        // The content view keeps its 300 pixels; the status bar adds its own below.
        EXPECT_EQ(lh, c.h);
    }
}

TEST_F(WindowTest, CreateFromNibTakesTheTitleAndSize) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateFromNib("main", "MainWindow"));
    EXPECT_STREQ(w.caption, "Tunewright");
    int cw = 0;
    int ch = 0;
    w.GetClientSize(&cw, &ch);
    EXPECT_EQ(cw, 640);
    EXPECT_EQ(ch, 378);  // main.ui: the tuner layout and a margin
    // A second call shows the existing window instead.
    EXPECT_FALSE(w.CreateFromNib("main", "MainWindow"));
    ProbeWindow missing;
    EXPECT_FALSE(missing.CreateFromNib("main", "NoSuchWindow"));
    EXPECT_FALSE(missing.CreateFromNib("nosuchnib", "MainWindow"));
    EXPECT_EQ(missing.window, nullptr);
}

TEST_F(WindowTest, RunModalWindowIsModalToItsParent) {
    ProbeWindow parent;
    ASSERT_TRUE(parent.CreateWindow(500, 400, kDocumentWindowClass, 0, 0));
    parent.Show(true);
    ProbeWindow dialog;
    NativeWindow* seen_parent = nullptr;
    std::string title;
    std::unique_ptr<Later> later;
    dialog.on_init = [&] {
        later = std::make_unique<Later>(50, [&] {
            seen_parent = dialog.window->ModalParent();
            title = dialog.window->Title();
            dialog.SendCommand(kHICommandOK);
        });
    };
    EXPECT_TRUE(dialog.RunModalWindow(parent.window, 150, 60));
    EXPECT_EQ(seen_parent, parent.window);
    EXPECT_EQ(title, "No Caption");
    EXPECT_TRUE(parent.IsVisible());  // shown again after the dialog
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

class ModelessProbe : public LModelessWindow {
  public:
    void OnInit() override { ++inits; }
    void OnCommand(std::uint32_t id, void*) override { commands.push_back(id); }
    bool OnCancel() override { return ++cancels > 0; }
    int inits = 0;
    int cancels = 0;
    std::vector<std::uint32_t> commands;
};

TEST_F(WindowTest, ModelessWindowsReturnAtOnceAndCloseOnTheirCloseBox) {
    ModelessProbe w;
    ASSERT_TRUE(w.CreateWindow(200, 100, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
    EXPECT_TRUE(w.DoModal());  // returns its result (1 until a modal run) at once
    EXPECT_EQ(w.inits, 1);
    EXPECT_EQ(w.modal, 0);
    EXPECT_EQ(w.shown, 1);
    EXPECT_TRUE(w.IsVisible());
    EXPECT_EQ(EventLoopDepth(), 0);
    // Commands from a menu pass; others reach the window.
    Event menu(kEventClassCommand, kEventCommandProcess);
    menu.SetParam(kEventParamCommand, HICommand{kHICommandFromMenu, FourCC("0101"), 0});
    EXPECT_EQ(SendEventToTarget(menu, &w.content->Target()), kEventNotHandledErr);
    w.SendCommand(55);
    EXPECT_EQ(w.commands, (std::vector<std::uint32_t>{55}));
    ui_driver::ClickCloseBox(w.window);
    EXPECT_EQ(w.cancels, 1);
    EXPECT_FALSE(w.IsValid());  // closing a modeless window disposes it
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

TEST_F(WindowTest, MenuToolbarAndKeysOfARealWindow) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateWindow(300, 200, kDocumentWindowClass, 0, 0));
    w.InstallWindowHandler(false);
    const int menu = w.window->AddMenu("Tuner");
    w.window->AddMenuItem(menu, "Window command", FourCC("0101"));
    w.window->AddMenuItem(menu, "About", FourCC("abou"));
    w.window->AddToolbarItem(1000, "Preferences", "", "Adjust settings and options");
    w.window->SetToolbarVisible(true);
    w.Show(true);
    RunEventLoopFor(50);
    // Through GTK's menu activation: the digits become the window's command number, the
    // application's command passes on.
    EXPECT_TRUE(w.window->ActivateMenuItem(FourCC("0101")));
    EXPECT_TRUE(w.window->ActivateMenuItem(FourCC("abou")));
    EXPECT_TRUE(w.window->ClickToolbarItem(1000));
    EXPECT_EQ(w.commands, (std::vector<std::uint32_t>{101, 1000}));
    w.window->SetMenuItemEnabled(FourCC("0101"), false);
    EXPECT_FALSE(w.window->ActivateMenuItem(FourCC("0101")));

    // Keys reach the window's target as raw key events with their virtual codes.
    std::vector<std::pair<std::uint32_t, int>> keys;
    w.window->Target().InstallHandler({{kEventClassKeyboard, kEventRawKeyDown},
                                       {kEventClassKeyboard, kEventRawKeyUp},
                                       {kEventClassKeyboard, kEventRawKeyRepeat}},
                                      [&](EventHandlerCall&, Event& e) {
                                          keys.emplace_back(e.Kind(),
                                                            int(e.GetInt(kEventParamKeyCode)));
                                          return kEventNotHandledErr;
                                      });
    ui_driver::PressKey(w.window, kVirtualKeyF1, 0, 0);
    ui_driver::PressKey(w.window, 0, 0, 'a');
    const std::vector<std::pair<std::uint32_t, int>> expected = {{kEventRawKeyDown, kVirtualKeyF1},
                                                                 {kEventRawKeyUp, kVirtualKeyF1},
                                                                 {kEventRawKeyDown, 0},
                                                                 {kEventRawKeyUp, 0}};
    EXPECT_EQ(keys, expected);
}

TEST_F(WindowTest, TheInformationBarGrowsTheWindowOnce) {
    ProbeWindow w;
    ASSERT_TRUE(w.CreateWindow(300, 200, kDocumentWindowClass, 0, 0));
    int w0 = 0;
    int h0 = 0;
    w.GetSize(&w0, &h0);
    EXPECT_FALSE(w.window->IsInfoBarVisible());
    w.window->SetInfoBarText("No sound is heard.");
    w.window->SetInfoBarText("No sound is heard. Still.");
    int w1 = 0;
    int h1 = 0;
    w.GetSize(&w1, &h1);
    EXPECT_TRUE(w.window->IsInfoBarVisible());
    EXPECT_EQ(w.window->InfoBarText(), "No sound is heard. Still.");
    EXPECT_EQ(h1, h0 + kInfoBarHeight);
    int cw = 0;
    int ch = 0;
    w.GetClientSize(&cw, &ch);
    EXPECT_EQ(ch, 200);  // the layout area is unchanged
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// Return on a window opens a modal dialog each time, although the key's release goes
// to the dialog: the window must not take the next press for a repeat.
TEST_F(WindowTest, AShortcutThatOpensAModalDialogWorksEveryTime) {
    ProbeWindow main_window;
    ASSERT_TRUE(main_window.CreateWindow(300, 200, kDocumentWindowClass, 0, 0));
    main_window.Show(true);
    RunEventLoopFor(100);
    int dialogs = 0;
    std::vector<std::unique_ptr<Later>> script;
    main_window.window->Target().InstallHandler(
        {{kEventClassKeyboard, kEventRawKeyDown}}, [&](EventHandlerCall&, Event& e) {
            if (e.GetInt(kEventParamKeyCode) != kVirtualKeyReturn) return kEventNotHandledErr;
            ++dialogs;
            ProbeWindow dialog;
            if (!dialog.CreateDialog(200, 100)) return kNoErr;
            dialog.on_init = [&] {
                // The player lets go of Return while the dialog is up, then closes it.
                script.push_back(std::make_unique<Later>(50, [&] {
                    ui_driver::SendKey(dialog.window, false, kVirtualKeyReturn, 0, '\r');
                }));
                script.push_back(
                    std::make_unique<Later>(120, [&] { dialog.EndModal(kHICommandOK); }));
            };
            dialog.DoModal();
            script.clear();
            return kNoErr;
        });
    for (int press = 1; press <= 3; ++press) {
        const int before = dialogs;
        ui_driver::SendKey(main_window.window, true, kVirtualKeyReturn, 0, '\r');
        // Without a dialog the release comes back to the window itself.
        if (dialogs == before)
            ui_driver::SendKey(main_window.window, false, kVirtualKeyReturn, 0, '\r');
        RunEventLoopFor(50);
    }
    EXPECT_EQ(dialogs, 3);
}

// Return presses the focused button; the default button only when focus is elsewhere.
TEST_F(WindowTest, ReturnPressesTheFocusedButtonAndTheDefaultOneOtherwise) {
    constexpr std::uint32_t kApply = FourCC("aply");
    ProbeWindow w;
    ASSERT_TRUE(w.CreateDialog(300, 120));
    std::vector<std::unique_ptr<Later>> script;
    struct Seen {
        std::vector<std::uint32_t> commands;
        int oks = 0;
        bool open = false;
    } after_apply;
    w.on_init = [&] {
        CreatePushButton(&w, 1, "OK", kPushButtonStyle, kHICommandOK);
        CreatePushButton(&w, 2, "Apply", kPushButtonStyle, kApply);
        CreateEditField(&w, 3, EditFieldOptions{});
        SetControlFrame(&w, 1, 200, 80, 80, 24);
        SetControlFrame(&w, 2, 110, 80, 80, 24);
        SetControlFrame(&w, 3, 10, 20, 200, 24);
        script.push_back(std::make_unique<Later>(100, [&] {
            FindControl(&w, 2)->Focus();
            ui_driver::PressKey(w.window, kVirtualKeyReturn, 0, '\r');
        }));
        script.push_back(std::make_unique<Later>(250, [&] {
            after_apply = {w.commands, w.oks, w.IsValid() && w.IsVisible()};
            FindControl(&w, 3)->Focus();
            ui_driver::PressKey(w.window, kVirtualKeyReturn, 0, '\r');
        }));
        script.push_back(std::make_unique<Later>(600, [&] { w.EndModal(kHICommandCancel); }));
    };
    const bool result = w.DoModal();
    EXPECT_EQ(std::count(after_apply.commands.begin(), after_apply.commands.end(), kApply), 1);
    EXPECT_EQ(after_apply.oks, 0);
    EXPECT_TRUE(after_apply.open);
    EXPECT_EQ(w.oks, 1);  // focus in the field: the default button
    EXPECT_TRUE(result);
}

// A modal run without a parent blocks every other window of the program: a real click on
// another window's button does nothing while it runs, and works again after.
TEST_F(WindowTest, AModalRunWithoutAParentBlocksEveryOtherWindow) {
    constexpr std::uint32_t kPlay = FourCC("play");
    ProbeWindow other;
    ASSERT_TRUE(other.CreateWindow(300, 200, kDocumentWindowClass, 0, 0));
    other.InstallWindowHandler(true);
    CreatePushButton(&other, 10, "Play", kPushButtonStyle, kPlay);
    SetControlFrame(&other, 10, 20, 20, 120, 30);
    other.Show(true);
    other.window->Move(0, 0);
    RunEventLoopFor(200);
    NativeControl* play = FindControl(&other, 10);
    ui_driver::ClickWithPointer(play);
    ASSERT_EQ(std::count(other.commands.begin(), other.commands.end(), kPlay), 1)
        << "a click on an unblocked window must work, or this test proves nothing";

    ProbeWindow dialog;
    ASSERT_TRUE(dialog.CreateDialog(200, 100));
    std::vector<std::unique_ptr<Later>> script;
    long clicks_during = -1;
    dialog.on_init = [&] {
        dialog.window->Move(700, 500);
        script.push_back(std::make_unique<Later>(200, [&] {
            ui_driver::ClickWithPointer(play);
            clicks_during = std::count(other.commands.begin(), other.commands.end(), kPlay) - 1;
            dialog.EndModal(kHICommandOK);
        }));
    };
    dialog.DoModal();
    EXPECT_EQ(clicks_during, 0);
    ui_driver::ClickWithPointer(play);
    EXPECT_EQ(std::count(other.commands.begin(), other.commands.end(), kPlay), 2);
}

}  // namespace
}  // namespace tw

// Behaviour that needs a window manager: activation, keep-above, iconify. Each test
// process starts its own X server with openbox on it, so parallel runs do not meet.
#include <gtest/gtest.h>

#include <vector>

#include "common/test_env.h"
#include "gui_support.h"
#include "platform/ui/testing/ui_driver.h"
#include "store/settings.h"
#include "ui/window.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

class WatchedWindow : public LWindow {
  public:
    void OnActivated() override { ++activated; }
    void OnDeactivated() override { ++deactivated; }
    void OnShown() override { ++shown_count; }
    void OnHidden() override { ++hidden_count; }
    void OnAppActivated() override { ++app_activated; }
    void OnAppDeactivated() override { ++app_deactivated; }
    void OnCommand(std::uint32_t id, void*) override { commands.push_back(id); }
    int activated = 0, deactivated = 0, shown_count = 0, hidden_count = 0;
    int app_activated = 0, app_deactivated = 0;
    std::vector<std::uint32_t> commands;
};

class WindowManagerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(test::NeedDisplay()); }

    static bool Has(const std::vector<std::uint32_t>& v, std::uint32_t id) {
        return std::find(v.begin(), v.end(), id) != v.end();
    }
};

TEST_F(WindowManagerTest, ActivationMovesBetweenWindows) {
    WatchedWindow a;
    WatchedWindow b;
    ASSERT_TRUE(a.CreateWindow(200, 150, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
    ASSERT_TRUE(b.CreateWindow(200, 150, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
    for (WatchedWindow* w : {&a, &b}) {
        w->InstallWindowHandler(false);
        w->InstallAppHandler();
        w->BindCommand(kBindOnActivated, 601);
        w->BindCommand(kBindOnDeactivated, 602);
        w->modal = 0;
        w->shown = 1;
    }
    a.Show(true);
    ASSERT_TRUE(RunEventLoopUntil([&] { return a.activated > 0; }, 5000));
    EXPECT_TRUE(a.IsFront());
    EXPECT_TRUE(Has(a.commands, 601));
    EXPECT_GE(a.app_activated, 1);
    b.Show(true);
    ASSERT_TRUE(RunEventLoopUntil([&] { return b.activated > 0 && a.deactivated > 0; }, 5000));
    EXPECT_TRUE(Has(a.commands, 602));
    EXPECT_FALSE(a.IsFront());
    EXPECT_TRUE(b.IsFront());
}

TEST_F(WindowManagerTest, KeepAboveIsHonouredByTheWindowManager) {
    WatchedWindow w;
    ASSERT_TRUE(w.CreateWindow(200, 150, kDocumentWindowClass, 0, 0));
    w.Show(true);
    RunEventLoopFor(200);
    EXPECT_FALSE(w.window->WindowManagerKeepsAbove());
    w.window->SetKeepAbove(true);
    EXPECT_TRUE(RunEventLoopUntil([&] { return w.window->WindowManagerKeepsAbove(); }, 5000));
    w.window->SetKeepAbove(false);
    EXPECT_TRUE(RunEventLoopUntil([&] { return !w.window->WindowManagerKeepsAbove(); }, 5000));
}

TEST_F(WindowManagerTest, CollapseAndExpandReachTheWindow) {
    WatchedWindow w;
    ASSERT_TRUE(w.CreateWindow(200, 150, kDocumentWindowClass, kWindowCollapseBoxAttribute, 0));
    w.InstallWindowHandler(false);
    w.BindCommand(kBindOnHidden, 701);
    w.BindCommand(kBindOnShown, 702);
    w.Show(true);
    ASSERT_TRUE(RunEventLoopUntil([&] { return w.shown_count > 0; }, 5000));
    w.window->Collapse(true);
    ASSERT_TRUE(RunEventLoopUntil([&] { return w.window->IsCollapsed(); }, 5000));
    EXPECT_GE(w.hidden_count, 1);
    EXPECT_TRUE(Has(w.commands, 701));
    const int shown_before = w.shown_count;
    w.Show(true);  // expands a collapsed window
    ASSERT_TRUE(RunEventLoopUntil([&] { return !w.window->IsCollapsed(); }, 5000));
    EXPECT_GT(w.shown_count, shown_before);
    EXPECT_TRUE(Has(w.commands, 702));
}

TEST_F(WindowManagerTest, ADialogOverAFloatingParentRunsInFront) {
    WatchedWindow parent;
    ASSERT_TRUE(parent.CreateWindow(400, 300, kDocumentWindowClass, 0, 0));
    parent.Show(true);
    parent.window->SetKeepAbove(true);
    ASSERT_TRUE(RunEventLoopUntil([&] { return parent.window->WindowManagerKeepsAbove(); }, 5000));
    WatchedWindow dialog;
    ASSERT_TRUE(dialog.CreateDialog(200, 100));
    dialog.window->SetProperty(kPropertyParentWindow,
                               reinterpret_cast<std::uintptr_t>(parent.window));
    bool parent_above_during = true;
    bool dialog_active = false;
    test::Later check(400, [&] {
        parent_above_during = parent.window->WindowManagerKeepsAbove();
        dialog_active = dialog.window->IsActive();
        dialog.SendCommand(kHICommandOK);
    });
    dialog.DoModal();
    EXPECT_FALSE(parent_above_during);
    EXPECT_TRUE(dialog_active);
    EXPECT_TRUE(parent.window->IsKeepAbove());  // floats again afterwards
}

// A placement stored far off screen comes back with the whole frame on screen, title bar
// and borders included, in the corner nearest to where it was stored; whether it is
// restored before the window is shown or while it is.
TEST_F(WindowManagerTest, ARestoredPlacementFarOffScreenKeepsTheWholeFrameOnScreen) {
    test::TempHome home;
    SetSetting("FarAway", "X", "100000");
    SetSetting("FarAway", "Y", "100000");
    Rect screen;
    ASSERT_TRUE(GetMainScreenBounds(&screen));
    for (const bool shown_first : {false, true}) {
        WatchedWindow w;
        ASSERT_TRUE(w.CreateWindow(400, 300, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
        if (shown_first) w.Show(true);
        if (shown_first) RunEventLoopFor(300);
        w.RestoreWindowPlacement("FarAway");
        w.Show(true);
        // The frame is known once the window manager has put it round the window.
        ASSERT_TRUE(
            RunEventLoopUntil([&] { return ui_driver::FrameOnScreen(w.window).h > 300; }, 5000));
        RunEventLoopFor(500);
        const Rect f = ui_driver::FrameOnScreen(w.window);
        const char* when = shown_first ? "restored while shown" : "restored before showing";
        EXPECT_GE(f.x, screen.x) << when;
        EXPECT_GE(f.y, screen.y) << when;
        EXPECT_EQ(f.x + f.w, screen.x + screen.w) << when << ": frame at " << f.x << "," << f.y;
        EXPECT_EQ(f.y + f.h, screen.y + screen.h) << when << ": frame at " << f.x << "," << f.y;
    }
}

}  // namespace
}  // namespace tw

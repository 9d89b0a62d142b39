// The preferences dialog on real GTK windows with openbox and the virtual audio backend:
// its geometry, the device pop-up, what OK and Cancel write, the sound settings button,
// and what the main window does with the answer.
#include "tuner/preferences_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/virtual_devices.h"
#include "common/test_env.h"
#include "platform/ui/testing/ui_driver.h"
#include "store/settings.h"
#include "tuner/main_window.h"
#include "tuner/tuner_settings.h"
#include "ui/controls.h"
#include "ui/gui_support.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

int g_sound_settings_opened = 0;
bool CountSoundSettings() {
    ++g_sound_settings_opened;
    return true;
}

hal::VirtualDeviceSpec Mic(const std::string& name, bool is_default) {
    hal::VirtualDeviceSpec mic = test::Input(name, 48000, {1}, hal::VirtualSignal::Kind::kTone);
    mic.defaultInput = is_default;
    return mic;
}

const std::vector<hal::VirtualDeviceSpec> kTwoInputs = {
    Mic("USB Microphone", false), Mic("Built-in Microphone", true), test::Output("Speakers", 2)};

Rect FrameOf(LWindow* w, int id) {
    NativeControl* c = FindControl(w, id);
    return c != nullptr ? c->Frame() : Rect{-1, -1, -1, -1};
}

class PreferencesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::NeedDisplay());
        g_sound_settings_opened = 0;
        test::UseVirtualDevices(kTwoInputs);
        LTimerSet::EnableTimers(true);
    }
    void TearDown() override { later_.clear(); }

    // Runs `action` with the dialog and its page once the dialog is on screen and active.
    void WhenShown(std::function<void(LTabbedDialog&, LTabbedPage&)> action) {
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [this, action, poll] {
            auto* dialog = dynamic_cast<LTabbedDialog*>(LWindow::FromNative(modal_stack::Top()));
            if (dialog != nullptr && dialog->shown && dialog->IsVisible() &&
                dialog->window->IsActive() && dialog->Page(0) != nullptr) {
                action(*dialog, *dialog->Page(0));
            } else {
                later_.push_back(std::make_unique<test::Later>(20, *poll));
            }
        };
        later_.push_back(std::make_unique<test::Later>(20, *poll));
    }
    static void Press(LWindow& w, int id) { ui_driver::Click(FindControl(&w, id)); }

    test::TempHome home_;
    std::vector<std::unique_ptr<test::Later>> later_;
};

TEST_F(PreferencesTest, TheDialogHasItsGeometryAndShowsTheDefaultInputAtFirstUse) {
    bool checked = false;
    WhenShown([&](LTabbedDialog& dialog, LTabbedPage& page) {
        checked = true;
        int w = 0;
        int h = 0;
        dialog.GetClientSize(&w, &h);
        EXPECT_EQ(w, 766);
        EXPECT_EQ(h, 211);
        EXPECT_EQ(dialog.window->Title(), "Preferences");
        const Rect ok = FrameOf(&dialog, kTabbedDialogOK);
        const Rect cancel = FrameOf(&dialog, kTabbedDialogCancel);
        EXPECT_EQ(int(ok.x), 738 - 82);
        EXPECT_EQ(int(cancel.x), 738 - 196);
        EXPECT_EQ(int(ok.y), 112 + 63);
        EXPECT_EQ(int(ok.w), 100);
        EXPECT_EQ(int(FrameOf(&dialog, kTabbedDialogHelp).x), 20);
        const Rect tabs = FrameOf(&dialog, kTabbedDialogTabs);
        EXPECT_EQ(int(tabs.x + tabs.w), 738 + 14);
        EXPECT_EQ(int(tabs.y + tabs.h), 112 + 53);
        // The page's controls, and the page within the tabs below the labels.
        EXPECT_EQ(int(FrameOf(&page, kPrefsInputPopup).x), 372);
        EXPECT_EQ(int(FrameOf(&page, kPrefsKeepOnTop).y), 86);
        const Rect popup = ui_driver::BoundsInWindow(FindControl(&page, kPrefsInputPopup));
        EXPECT_NEAR(popup.x, 14 + 372, 6);
        // GTK draws its tab row taller than the 25 pixels above the page origin (39).
        EXPECT_GE(popup.y, 39 + 14);
        EXPECT_LE(popup.y, 39 + 14 + 20);

        ASSERT_EQ(PopupGetCount(&page, kPrefsInputPopup), 2);
        EXPECT_EQ(PopupGetText(&page, kPrefsInputPopup), "Built-in Microphone");
        EXPECT_FALSE(GetCheckBoxValue(&page, kPrefsKeepOnTop));
        Press(dialog, kTabbedDialogCancel);
    });
    EXPECT_FALSE(RunPreferencesDialog(nullptr, &CountSoundSettings));
    EXPECT_TRUE(checked);
    EXPECT_EQ(GetSetting(kTunerSection, "SoundInDevice", "unset"), "unset");
}

TEST_F(PreferencesTest, OkWritesTheChoiceAndCancelWritesNothing) {
    struct Case {
        const char* stored;  // nullptr: nothing stored
        const char* pick;    // nullptr: leave the pop-up
        bool tick;
        bool ok;
        const char* shown;    // the pop-up's text when the dialog opens
        const char* written;  // "SoundInDevice" afterwards
        const char* on_top;   // "AlwaysOnTop" afterwards
    } cases[] = {
        {nullptr, nullptr, false, true, "Built-in Microphone", "Built-in Microphone", "0"},
        {nullptr, "USB Microphone", true, true, "Built-in Microphone", "USB Microphone", "1"},
        {"USB Microphone", "Built-in Microphone", true, false, "USB Microphone", "USB Microphone",
         "unset"},
        // A device that is gone shows the first one, which OK then stores.
        {"Unplugged Interface", nullptr, false, true, "USB Microphone", "USB Microphone", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stored ? c.stored : "-") + " ok " + (c.ok ? "yes" : "no"));
        test::TempHome home;
        if (c.stored) SetSoundInDevice(c.stored);
        std::string shown;
        WhenShown([&](LTabbedDialog& dialog, LTabbedPage& page) {
            shown = PopupGetText(&page, kPrefsInputPopup);
            if (c.pick) {
                for (int i = 0; i < PopupGetCount(&page, kPrefsInputPopup); ++i) {
                    if (PopupGetItemText(&page, kPrefsInputPopup, i) == c.pick)
                        ui_driver::PickPopupItem(FindControl(&page, kPrefsInputPopup), i + 1);
                }
            }
            if (c.tick) Press(page, kPrefsKeepOnTop);
            // The picked menu goes away first.
            later_.push_back(std::make_unique<test::Later>(
                100, [&] { Press(dialog, c.ok ? kTabbedDialogOK : kTabbedDialogCancel); }));
        });
        EXPECT_EQ(RunPreferencesDialog(nullptr, &CountSoundSettings), c.ok);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(GetSetting(kTunerSection, "SoundInDevice", "unset"), c.written);
        EXPECT_EQ(GetSetting(kTunerSection, "AlwaysOnTop", "unset"), c.on_top);
        if (c.ok) {
            EXPECT_EQ(GetSetting(kTunerSection, "SoundInDeviceChannel", "unset"), "0");
        }
    }
}

TEST_F(PreferencesTest, WithoutInputDevicesThePopupIsEmptyAndOkStoresAnEmptyName) {
    test::UseVirtualDevices({test::Output("Speakers", 2)});
    int items = -1;
    WhenShown([&](LTabbedDialog& dialog, LTabbedPage& page) {
        items = PopupGetCount(&page, kPrefsInputPopup);
        Press(dialog, kTabbedDialogOK);
    });
    EXPECT_TRUE(RunPreferencesDialog(nullptr, &CountSoundSettings));
    EXPECT_EQ(items, 0);
    EXPECT_EQ(GetSetting(kTunerSection, "SoundInDevice", "unset"), "");
}

TEST_F(PreferencesTest, TheSoundSettingsButtonLeavesTheDialogOpen) {
    bool still_open = false;
    WhenShown([&](LTabbedDialog& dialog, LTabbedPage& page) {
        Press(page, kPrefsSoundSettings);
        later_.push_back(std::make_unique<test::Later>(200, [&] {
            still_open = dialog.IsVisible();
            Press(dialog, kTabbedDialogCancel);
        }));
    });
    EXPECT_FALSE(RunPreferencesDialog(nullptr, &CountSoundSettings));
    EXPECT_EQ(g_sound_settings_opened, 1);
    EXPECT_TRUE(still_open);
}

TEST_F(PreferencesTest, TheMainWindowFloatsAfterOkAndListensAgainAfterEitherAnswer) {
    MainWindow main;
    ASSERT_TRUE(main.CreateFromNib("main", "MainWindow"));
    main.InstallWindowHandler(true);
    main.modal = 0;
    main.OnInit();
    main.SetSoundSettingsOpener(&CountSoundSettings);
    main.Show(true);
    ASSERT_TRUE(
        RunEventLoopUntil([&] { return main.IsVisible() && main.Analyzer().IsCapturing(); }, 5000));
    bool stopped_meanwhile = false;
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        WhenShown([&](LTabbedDialog& dialog, LTabbedPage& page) {
            stopped_meanwhile = !main.Analyzer().IsCapturing();
            Press(page, kPrefsKeepOnTop);
            Press(dialog, ok ? kTabbedDialogOK : kTabbedDialogCancel);
        });
        EXPECT_EQ(main.ShowPreferences(), ok);
        EXPECT_TRUE(stopped_meanwhile);
        EXPECT_TRUE(main.Analyzer().IsCapturing());
        EXPECT_EQ(main.window->IsKeepAbove(), ok);
    }
    EXPECT_TRUE(RunEventLoopUntil([&] { return main.window->WindowManagerKeepsAbove(); }, 3000));
    main.Close();
}

}  // namespace
}  // namespace tw

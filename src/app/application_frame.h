// The application frame around the main window: the menu bar (the application menu, the
// window's own menus, the Window and Help menus), the command dispatcher on the application,
// the quit request and the quit sequence, and the menus' state under modal windows and
// message boxes.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "platform/events/event_layer.h"
#include "ui/key_stroke.h"
#include "ui/menu_table.h"

namespace tw {

class LWindow;

// Commands of the frame's menus.
inline constexpr std::uint32_t kCommandQuit = FourCC("quit");
inline constexpr std::uint32_t kCommandQuitRetry = FourCC("ExNc");
inline constexpr std::uint32_t kCommandPreferences = FourCC("pref");
inline constexpr std::uint32_t kCommandAbout = FourCC("abou");
inline constexpr std::uint32_t kCommandClose = FourCC("clos");
inline constexpr std::uint32_t kCommandMaximize = FourCC("maxi");
inline constexpr std::uint32_t kCommandMinimize = FourCC("mini");
inline constexpr std::uint32_t kCommandMinimizeAll = FourCC("mina");
inline constexpr std::uint32_t kCommandBringAllToFront = FourCC("bfrt");
inline constexpr std::uint32_t kCommandArrangeInFront = FourCC("frnt");
inline constexpr std::uint32_t kCommandProgramHelp = 9020;
inline constexpr std::uint32_t kCommandHomePage = 3333;
inline constexpr std::uint32_t kCommandSupportPage = 3336;
inline constexpr std::uint32_t kCommandSuggestion = 3337;
inline constexpr std::uint32_t kCommandBugReport = 3338;
inline constexpr std::uint32_t kCommandMakerHomePage = 3339;
inline constexpr std::uint32_t kCommandCheckForNewVersion = 9405;

struct MainWindowHooks {
    LWindow* window = nullptr;
    // The window's preferences dialog; true when it ended with OK.
    std::function<bool()> showPreferences;
    // Its own menus and shortcut table (may be empty).
    std::span<const MenuTableEntry> menus;
    ShortcutTable shortcuts;
};

class ApplicationFrame {
  public:
    explicit ApplicationFrame(MainWindowHooks hooks);
    ~ApplicationFrame();
    ApplicationFrame(const ApplicationFrame&) = delete;
    ApplicationFrame& operator=(const ApplicationFrame&) = delete;

    // The whole menu bar of the main window, in order: application menu, the window's own
    // menus, Window, Help.
    void BuildMenus();
    // The command handler on the application, and the hooks that disable the menus while
    // a modal window is stacked or a message box is shown.
    void Install();
    void Uninstall();

    // Quit, the close box and the session's end ask here; false when it declines (a message
    // box or a modal dialog is open, or the window's OnCancel refuses).
    bool QuitRequest();
    // Closes the main window and ends the run loop (or retries once a dialog has gone).
    void QuitSequence();
    // Whether the quit sequence has closed the main window.
    bool Quitting() const { return quitting_; }

    // The dispatch of one command; kEventNotHandledErr when the platform should go on.
    OSStatus Dispatch(std::uint32_t command);

    // The menus' state as the modal stack and the message boxes make it.
    bool MenusEnabled() const { return menus_enabled_; }

    // Called when the quit sequence closes the main window, before the loop ends (saves
    // the placement, removes the run lock).
    std::function<void()> onMainWindowClosed;

  private:
    void UpdateMenuState();
    void ShowAbout();

    MainWindowHooks hooks_;
    EventHandlerRef handler_ = 0;
    int application_menu_ = -1;
    int window_menu_ = -1;
    int help_menu_ = -1;
    bool modal_enabled_ = true;
    bool boxes_enabled_ = true;
    bool menus_enabled_ = true;
    bool quitting_ = false;
};

}  // namespace tw

#include "app/application_frame.h"

#include "app/crash_report.h"
#include "app/maker_web.h"
#include "app/update_check_dialogs.h"
#include "platform/core/folder_lookup.h"
#include "platform/core/open_uri.h"
#include "platform/ui/about_dialog.h"
#include "platform/ui/native_accel.h"
#include "ui/message_box.h"
#include "ui/modal_stack.h"
#include "ui/window.h"

namespace tw {

namespace {

// GDK key values of the frame's accelerators (Latin-1 keys have their character's code).
constexpr unsigned kKeyQ = 'q';
constexpr unsigned kKeyComma = ',';
constexpr unsigned kKeyM = 'm';
constexpr unsigned kKeySlash = '/';

}  // namespace

ApplicationFrame::ApplicationFrame(MainWindowHooks hooks) : hooks_(std::move(hooks)) {}

ApplicationFrame::~ApplicationFrame() {
    Uninstall();
}

void ApplicationFrame::BuildMenus() {
    LWindow* main = hooks_.window;
    if (main == nullptr || main->window == nullptr) return;
    NativeWindow* w = main->window;
    w->RemoveAllMenus();

    application_menu_ = w->AddMenu(kProgramName);
    w->AddMenuItem(application_menu_, "About Tunewright", kCommandAbout);
    w->AddMenuSeparator(application_menu_);
    w->AddMenuItem(application_menu_, "Preferences...", kCommandPreferences);
    w->AddMenuSeparator(application_menu_);
    w->AddMenuItem(application_menu_, "Quit", kCommandQuit);
    // The keys every GTK program has for these; the window's shortcut table may not take them.
    SetMenuItemAccelerator(w, kCommandPreferences, kKeyComma, kCmdKey);
    SetMenuItemAccelerator(w, kCommandQuit, kKeyQ, kCmdKey);

    BuildMenusFromTable(main, hooks_.menus, hooks_.shortcuts);

    const int existing = w->FindMenu("Window");
    if (existing >= 0) w->RemoveMenu(existing);
    window_menu_ = w->AddMenu("Window");
    w->AddMenuItem(window_menu_, "Maximize", kCommandMaximize);
    w->AddMenuItem(window_menu_, "Minimize", kCommandMinimize);
    w->AddMenuItem(window_menu_, "Minimize All", kCommandMinimizeAll);
    w->AddMenuSeparator(window_menu_);
    w->AddMenuItem(window_menu_, "Bring All to Front", kCommandBringAllToFront);
    w->AddMenuItem(window_menu_, "Arrange in Front", kCommandArrangeInFront);
    SetMenuItemAccelerator(w, kCommandMinimize, kKeyM, kCmdKey);
    SetMenuItemAccelerator(w, kCommandMinimizeAll, kKeyM, kCmdKey | kOptionKey);

    const int old_help = w->FindMenu("Help");
    if (old_help >= 0) w->RemoveMenu(old_help);
    help_menu_ = w->AddMenu("Help");
    w->AddMenuItem(help_menu_, "Tunewright Musical Instrument Tuner Help", kCommandProgramHelp);
    SetMenuItemAccelerator(w, kCommandProgramHelp, kKeySlash, kCmdKey);
    w->AddMenuSeparator(help_menu_);
    w->AddMenuItem(help_menu_, "Tunewright Home Page", kCommandHomePage);
    w->AddMenuItem(help_menu_, "Technical Support Page", kCommandSupportPage);
    w->AddMenuItem(help_menu_, "Send Improvement Suggestion or Feedback", kCommandSuggestion);
    w->AddMenuItem(help_menu_, "Send Bug Report", kCommandBugReport);
    w->AddMenuSeparator(help_menu_);
    w->AddMenuItem(help_menu_, "Orvane Software Home Page", kCommandMakerHomePage);
    w->AddMenuSeparator(help_menu_);
    w->AddMenuItem(help_menu_, "Check for New Version", kCommandCheckForNewVersion);
    UpdateMenuState();
}

void ApplicationFrame::Install() {
    if (handler_ != 0) return;
    handler_ = ApplicationTarget().InstallHandler(
        {{kEventClassCommand, kEventCommandProcess}}, [this](EventHandlerCall&, Event& e) {
            HICommand command;
            if (!e.GetParam(kEventParamCommand, &command)) return kEventNotHandledErr;
            if (IsMenuTracking()) return kEventNotHandledErr;
            // Recorded for a crash report while it runs; the previous value comes back after.
            const std::int32_t previous = GetRunPhase();
            SetRunPhase(static_cast<std::int32_t>(command.command_id));
            const OSStatus status = Dispatch(command.command_id);
            SetRunPhase(previous);
            return status;
        });
    modal_stack::SetMenuStateListener([this](bool enabled) {
        modal_enabled_ = enabled;
        UpdateMenuState();
    });
    SetMessageBoxMenuHook([this](bool enabled) {
        boxes_enabled_ = enabled;
        UpdateMenuState();
    });
}

void ApplicationFrame::Uninstall() {
    if (handler_ == 0) return;
    ApplicationTarget().RemoveHandler(handler_);
    handler_ = 0;
    modal_stack::SetMenuStateListener(nullptr);
    SetMessageBoxMenuHook(nullptr);
}

void ApplicationFrame::UpdateMenuState() {
    menus_enabled_ = modal_enabled_ && boxes_enabled_;
    LWindow* main = hooks_.window;
    if (main == nullptr || main->window == nullptr) return;
    // Every menu as a whole, submenus included, while a modal window or a box is up.
    for (int m = 0; m <= help_menu_; ++m) main->window->SetMenuEnabled(m, menus_enabled_);
}

bool ApplicationFrame::QuitRequest() {
    if (ShownMessageBoxCount() > 0) return false;
    if (modal_stack::Size() > 1) return false;
    if (hooks_.window != nullptr && !hooks_.window->OnCancel()) return false;
    QuitSequence();
    return true;
}

void ApplicationFrame::QuitSequence() {
    if (ShownMessageBoxCount() > 0) return;
    if (modal_stack::Size() > 1) {
        // End the dialog in front and come back once it has gone.
        if (LWindow* front = LWindow::FromNative(modal_stack::Top())) {
            front->EndModal(kHICommandCancel);
        }
        if (hooks_.window != nullptr) {
            Event retry(kEventClassCommand, kEventCommandProcess);
            retry.SetParam(kEventParamCommand, HICommand{0, kCommandQuitRetry, 0});
            retry.SetPostTarget(&ApplicationTarget());
            main_queue::Post(std::move(retry), EventPriority::kStandard);
        }
        return;
    }
    if (quitting_) return;
    quitting_ = true;
    // Work already queued completes: what waits now, in two passes.
    for (int pass = 0; pass < 2; ++pass) {
        const std::size_t waiting = main_queue::Count();
        const std::size_t n = pass == 0 ? std::min<std::size_t>(waiting, 4) : waiting;
        for (std::size_t i = 0; i < n; ++i) ReceiveAndDispatchNextEvent(0);
    }
    LWindow* main = hooks_.window;
    if (main != nullptr && main->window != nullptr) modal_stack::Pop(main->window);
    CloseAboutDialog();
    if (onMainWindowClosed) onMainWindowClosed();
    QuitApplicationEventLoop();
}

void ApplicationFrame::ShowAbout() {
    AboutInfo info;
    info.name = kProgramName;
    info.version = std::string(kProgramVersion);
    info.comments = "Musical Instrument Tuner";
    info.website = MakerPageUrl("tuner/index");
    info.website_label = "Tunewright Home Page";
    LookUpResourceFile("images/tunewright-128.png", &info.icon_path);
    ShowAboutDialog(hooks_.window ? hooks_.window->window : nullptr, info);
}

OSStatus ApplicationFrame::Dispatch(std::uint32_t command) {
    LWindow* main = hooks_.window;
    NativeWindow* native = main ? main->window : nullptr;
    switch (command) {
        case kCommandQuit:
            QuitRequest();
            return kNoErr;
        case kCommandQuitRetry:
            QuitSequence();
            return kNoErr;
        case kCommandPreferences:
            if (hooks_.showPreferences) hooks_.showPreferences();
            return kNoErr;
        case kCommandAbout:
            ShowAbout();
            return kNoErr;
        case kHICommandAppHelp:
        case kCommandProgramHelp:
            if (main) main->OnHelp();
            return kNoErr;
        case kCommandClose:
            if (main) main->Show(false);
            return kNoErr;
        case kCommandMaximize:
            if (main) main->Show(true);
            if (native && native->IsCollapsed()) native->Collapse(false);
            return kNoErr;
        case kCommandMinimize:
            if (native) native->Collapse(true);
            return kNoErr;
        case kCommandMinimizeAll:
            for (NativeWindow* w : NativeWindow::All()) {
                if (w->IsVisible()) w->Collapse(true);
            }
            return kNoErr;
        case kCommandBringAllToFront:
            if (native) native->BringToFront();
            [[fallthrough]];
        case kCommandArrangeInFront:
            if (main) main->Show(true);
            return kEventNotHandledErr;  // the platform goes on with its own handling
        case kCommandHomePage:
            OpenUri(MakerPageUrl("tuner/index"));
            return kNoErr;
        case kCommandSupportPage:
            OpenUri(MakerPageUrl("tuner/support"));
            return kNoErr;
        case kCommandMakerHomePage:
            OpenUri(MakerPageUrl("index"));
            return kNoErr;
        case kCommandSuggestion:
            OpenUri(SuggestionUrl(""));
            return kNoErr;
        case kCommandBugReport:
            OpenUri(MenuBugReportUrl());
            return kNoErr;
        case kCommandCheckForNewVersion:
            RunUpdateCheck(native);
            return kNoErr;
        default:
            if (main) main->DispatchCommand(command, nullptr);
            return kNoErr;
    }
}

}  // namespace tw

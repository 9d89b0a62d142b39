#include "app/application.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/crash_report.h"
#include "app/maker_web.h"
#include "app/run_lock.h"
#include "app/startup.h"
#include "base/main_thread_poster.h"
#include "base/timer_set.h"
#include "platform/core/atomic_file.h"
#include "platform/core/folder_lookup.h"
#include "platform/core/open_uri.h"
#include "platform/core/preferences.h"
#include "platform/core/process.h"
#include "platform/events/termination.h"
#include "platform/ui/about_dialog.h"
#include "platform/ui/native.h"
#include "platform/ui/single_instance.h"
#include "store/folders.h"
#include "store/settings.h"
#include "ui/message_box.h"
#include "ui/modal_stack.h"
#include "ui/window.h"

namespace tw {

namespace {

// Private events of the start-up.
constexpr std::uint32_t kEventEndPreliminaryLoop = FourCC("Lmae");
constexpr std::uint64_t kOpenFilesWanted = 4096;
constexpr const char* kStatusText = "Tunewright Musical Instrument Tuner v 2.15";

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// What the new-version set-up copies into the shared data folder, when the program has it.
std::string InstallFolder() {
    std::string path;
    return LookUpResourceFile("install", &path) && IsFolder(path) ? path : std::string();
}

// Runs the loop once around so that what waits from the start is handled before the
// main window exists.
void RunPreliminaryLoop() {
    const EventHandlerRef ref = ApplicationTarget().InstallHandler(
        {{kEventClassCommand, kEventEndPreliminaryLoop}}, [](EventHandlerCall&, Event&) {
            QuitApplicationEventLoop();
            return kNoErr;
        });
    Event e(kEventClassCommand, kEventEndPreliminaryLoop);
    e.SetPostTarget(&ApplicationTarget());
    main_queue::Post(std::move(e), EventPriority::kStandard);
    RunApplicationEventLoop();
    ApplicationTarget().RemoveHandler(ref);
}

RunLockPrompts LockPrompts(NativeWindow* parent) {
    RunLockPrompts prompts;
    prompts.ask = [parent](const std::string& title, const std::string& text,
                           const std::string& first, const std::string& second) {
        return AskQuestion(parent, text, title, first, second);
    };
    prompts.openUrl = [](const std::string& url) { OpenUri(url); };
    prompts.wait = [](int ms) { RunEventLoopFor(ms); };
    return prompts;
}

}  // namespace

int RunApplication(const std::vector<std::string>& args, const MainWindowFactory& make_main) {
    RegisterThread("MAIN");
    process::SetLocaleFromEnvironment();
    process::RaiseOpenFileLimit(kOpenFilesWanted);
    MigrateSharedFolder();
    // Temporary files of a save that a crash cut short.
    RemoveStaleTemporaryFiles(FolderOf(PreferencesFilePath("com.orvanesoft.tunewright")));
    RemoveStaleTemporaryFiles(GetSharedFolder());

    if (args.size() > 1 && args[1] == "-installer") {
        RunNewVersionSetup(Now(), InstallFolder());
        return 0;
    }
    if (NeedsNewVersionSetup(process::ProgramChangeTime())) {
        RunNewVersionSetup(Now(), InstallFolder());
    }
    if (!InitNativeUi()) {
        std::fprintf(stderr,
                     "tunewright: cannot open the display (the command-line modes need none: "
                     "try --help)\n");
        return 2;
    }

    LWindow* main = nullptr;
    bool shown_at_startup = GetSettingBool("Settings", "MainWindowShownAtStartup", true);
    const InstanceRole role = RegisterSingleInstance(kApplicationId, [&main] {
        // A second launch: show the window, unless a dialog of ours is in front.
        if (main == nullptr || main->window == nullptr) return;
        if (modal_stack::Size() > 1) {
            main->OnShown();
            return;
        }
        main->Show(true);
        if (main->window->IsCollapsed()) main->window->Collapse(false);
        main->window->BringToFront();
    });
    if (role == InstanceRole::kRemote) return 0;

    LMainThreadPoster::InstallMainThreadHandler();
    // SIGINT and SIGTERM (the session's end among them): dialogs end as cancelled, the main
    // window closes as at quit, so that nothing the player chose is lost.
    std::unique_ptr<EventLoopTimer> unwind;
    bool terminating = false;
    std::function<void()> terminate = [&] {
        terminating = true;
        // The dialog in front ends; the one below it, if any, at the next turn of its loop.
        if (modal_stack::Size() > 1) {
            if (LWindow* front = LWindow::FromNative(modal_stack::Top())) {
                front->EndModal(kHICommandCancel);
            }
            unwind = EventLoopTimer::Install(0, [&](EventLoopTimer*) { terminate(); });
            return;
        }
        QuitApplicationEventLoop();
    };
    SetTerminationHandler([&](int) { terminate(); });
    if (!SystemVersionSupported(process::GetSystemVersion())) {
        ShowMessage(nullptr, SystemVersionMessage());
        SetTerminationHandler(nullptr);
        UnregisterSingleInstance();
        return 0;
    }
    RunPreliminaryLoop();
    if (terminating) {
        SetTerminationHandler(nullptr);
        UnregisterSingleInstance();
        return 0;
    }

    MainWindowHooks hooks = make_main();
    main = hooks.window;
    if (main == nullptr || !main->CreateFromNib("main", "MainWindow")) {
        SetTerminationHandler(nullptr);
        UnregisterSingleInstance();
        return 0;
    }
    ApplicationFrame frame(hooks);
    frame.Install();
    main->InstallWindowHandler(true);
    // The close box asks to quit.
    const EventHandlerRef close_handler = main->window->Target().InstallHandler(
        {{kEventClassWindow, kEventWindowClose}}, [&frame](EventHandlerCall&, Event&) {
            frame.QuitRequest();
            return kNoErr;
        });

    bool closed = false;
    auto close_main = [&] {
        if (closed) return;
        closed = true;
        CloseAboutDialog();
        if (main->window != nullptr) {
            main->SaveWindowPlacement("MainWindow");
            main->window->Target().RemoveHandler(close_handler);
        }
        main->Close();
        RemoveRunLock();
        SetRunPhase(kPhaseGuiDestroy);
    };
    frame.onMainWindowClosed = close_main;

    main->Show(false);
    main->window->SetTitle(kProgramName);
    frame.BuildMenus();
    main->window->SetStatusBarVisible(true);
    main->window->SetStatusText(0, kStatusText);
    LTimerSet::EnableTimers(false);
    main->OnInit();
    CreateRunLock(LockPrompts(main->window));
    SetRunPhase(kPhaseGuiInit);
    SetSettingBool("Settings", "FirstRun", true);
    main->RestoreWindowPlacement("MainWindow");
    main->UpdateControls();
    InstallShortcutKeyHandler(main, hooks.shortcuts);
    if (shown_at_startup) {
        main->Show(true);
        main->window->BringToFront();
    }
    main->InstallAppHandler();
    LTimerSet::EnableTimers(true);

    modal_stack::Push(main->window);
    SetRunPhase(kPhaseIdle);
    if (!terminating) RunApplicationEventLoop();

    SetTerminationHandler(nullptr);
    close_main();
    SetRunPhase(kPhaseGlobalDestroy);
    frame.Uninstall();
    UnregisterSingleInstance();
    LMainThreadPoster::RemoveMainThreadHandler();
    return 0;
}

}  // namespace tw

// ui-demo --dialogs: a window with the toolbar and one button per standard dialog (message
// box, question, choice dialog, progress dialog).
//   ui-demo --dialogs                     runs until the window is closed
//   ui-demo --dialogs --screenshot DIR    opens each dialog in turn, saves toolbar.png,
//                                         message.png, question.png, choice.png,
//                                         progress.png and huge.png in DIR, and quits
#include "dialogs_demo.h"
#include "platform/ui/screen_capture.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/native.h"
#include "platform/ui/native_alert.h"
#include "ui/choice_dialog.h"
#include "ui/controls.h"
#include "ui/key_stroke.h"
#include "ui/message_box.h"
#include "ui/progress_dialog.h"
#include "ui/toolbar.h"
#include "ui/window.h"

namespace tw::demo {

namespace {

enum : int {
    kMessageButton = 1,
    kQuestionButton = 2,
    kChoiceButton = 3,
    kProgressButton = 4,
    kToolbarButton = 5,
    kNote = 10,
};
constexpr std::uint32_t kPreferencesCommand = 1000;

// Pause before a capture, so that the window is mapped and painted.
constexpr int kSettleMs = 400;

const ToolbarItem kItems[] = {
    {kToolbarItemButton, kPreferencesCommand, kIconPreferences, "Preferences", "Preferences",
     "Adjust settings and options", 0},
};
const ShortcutEntry kShortcuts[] = {
    {{43, kCmdKey, ','}, kPreferencesCommand},
};

// A progress task that counts to 100 in steps while the dialog stays responsive.
class CountingProgress : public LProgressDialog {
  public:
    bool DoWork() override {
        SetText("Checking for a newer version\xE2\x80\xA6", 0);
        for (int i = 0; i <= 100; ++i) {
            SetText("Step " + std::to_string(i) + " of 100", 1);
            SetProgress(i / 100.0);
            if (WaitEvents(stepMs)) return false;  // cancelled
            if (i == 42 && atStep42) atStep42(*this);
        }
        return true;
    }
    int stepMs = 30;
    std::function<void(CountingProgress&)> atStep42;
};

class DialogsWindow : public LWindow {
  public:
    bool Open() {
        if (!CreateWindow(520, 260, kDocumentWindowClass,
                          kWindowCloseBoxAttribute | kWindowResizableAttribute, 0)) {
            return false;
        }
        window->SetTitle("Tunewright dialogs");
        InstallWindowHandler(false);
        modal = 0;
        toolbar.SetToolbarName("Demo");
        toolbar.CreateToolbar(this, kItems, 1, kShortcuts);
        InstallShortcutKeyHandler(this, kShortcuts);
        CreateStaticText(this, kNote, "Each button opens one of the standard dialogs.");
        CreatePushButton(this, kMessageButton, "Message", kPushButtonStyle, kMessageButton);
        CreatePushButton(this, kQuestionButton, "Question", kPushButtonStyle, kQuestionButton);
        CreatePushButton(this, kChoiceButton, "Choice", kPushButtonStyle, kChoiceButton);
        CreatePushButton(this, kProgressButton, "Progress", kPushButtonStyle, kProgressButton);
        CreatePushButton(this, kToolbarButton, "Hide or show the toolbar", kPushButtonStyle,
                         kCommandToggleToolbar);
        shown = 1;
        UpdateControls();
        return true;
    }

    void UpdateControls() override {
        SetControlFrame(this, kNote, 20, toolbar.Height() + 16, 480, 20);
        int x = 20;
        for (int id : {kMessageButton, kQuestionButton, kChoiceButton, kProgressButton}) {
            SetControlFrame(this, id, x, toolbar.Height() + 48, 110, 28);
            x += 120;
        }
        SetControlFrame(this, kToolbarButton, 20, toolbar.Height() + 88, 230, 28);
    }

    void OnCommand(std::uint32_t id, void*) override {
        if (toolbar.HandleCommand(id)) return;
        switch (id) {
            case kMessageButton:
                ShowMessage(window,
                            "The sound output device \"USB Audio\" could not be opened.\r\n"
                            "Choose another device in the preferences.",
                            "Playback error");
                break;
            case kQuestionButton:
                AskQuestion(window, "A newer version of Tunewright is available. Download it now?",
                            "Update", "Download", "Not Now");
                break;
            case kChoiceButton:
                RunChoice(nullptr);
                break;
            case kProgressButton: {
                CountingProgress p;
                p.SetCaption("Update check");
                p.RunProgress(window);
                break;
            }
            case kPreferencesCommand:
                ShowNote(window, "The preferences dialog opens here.", "Preferences");
                break;
            default:
                break;
        }
    }

    void OnHelp() override { ShowNote(window, "The manual opens here.", "Help"); }

    int RunChoice(std::function<void(LChoiceDialog&)> when_shown) {
        LChoiceDialog d;
        d.parentWindow = window;
        d.SetCaption("Update available");
        d.text = "Tunewright 2.1 is available. You have 2.0.";
        d.message = "The update is free and keeps your settings.";
        d.choices = {{1, "Download and install", "Fetch the new version now; this takes a minute."},
                     {2, "Remind me later", "Ask again in a week."},
                     {3, "Skip this version", "Do not ask about 2.1 again."}};
        d.preselected = 1;
        d.hasCancel = true;
        d.showCheckBox = true;
        if (when_shown) {
            pending_.push_back(EventLoopTimer::Install(
                kSettleMs, [&d, when_shown](EventLoopTimer*) { when_shown(d); }));
        }
        return d.AskChoice();
    }

    LToolbar toolbar;

  private:
    std::vector<std::unique_ptr<EventLoopTimer>> pending_;
};

// Captures the newest alert once it is laid out, then presses `button`.
void CaptureAlertThen(const std::string& path, const std::string& button, int* status,
                      std::vector<std::unique_ptr<EventLoopTimer>>* timers) {
    auto poll = std::make_shared<std::function<void(EventLoopTimer*)>>();
    *poll = [=](EventLoopTimer* t) {
        NativeAlertInfo info;
        if (!GetTopAlertInfo(&info) || info.width <= 1) {
            t->SetNextFireTime(20);
            return;
        }
        RunEventLoopFor(kSettleMs);
        if (!CaptureTopAlert(path)) {
            std::fprintf(stderr, "ui-demo: cannot write %s\n", path.c_str());
            *status = 2;
        }
        ClickTopAlertButton(button);
    };
    timers->push_back(EventLoopTimer::Install(20, [poll](EventLoopTimer* t) { (*poll)(t); }));
}

void Capture(NativeWindow* w, const std::string& path, int* status) {
    if (!SaveWindowPng(*w, path)) {
        std::fprintf(stderr, "ui-demo: cannot write %s\n", path.c_str());
        *status = 2;
    }
}

// Every dialog in turn, each photographed.
void RunScreenshots(DialogsWindow& w, const std::string& dir, int* status) {
    std::vector<std::unique_ptr<EventLoopTimer>> timers;
    Capture(w.window, dir + "/toolbar.png", status);

    CaptureAlertThen(dir + "/message.png", "OK", status, &timers);
    w.OnCommand(kMessageButton, nullptr);

    CaptureAlertThen(dir + "/question.png", "Not Now", status, &timers);
    w.OnCommand(kQuestionButton, nullptr);

    std::string huge;
    while (huge.size() < 100 * 1024) {
        huge += "A line of a very long report that goes on and on. ";
        if (huge.size() % 7 == 0) huge += "\r\n";
    }
    CaptureAlertThen(dir + "/huge.png", "OK", status, &timers);
    ShowMessage(w.window, huge, "A 100 KB text");

    w.RunChoice([&](LChoiceDialog& d) {
        Capture(d.window, dir + "/choice.png", status);
        d.SendCommand(kChoiceFirstButton + 1);  // the second choice, as its button sends it
    });

    CountingProgress p;
    p.SetCaption("Update check");
    p.stepMs = 5;
    p.atStep42 = [&](CountingProgress& d) {
        d.WaitEvents(kSettleMs);
        Capture(d.window, dir + "/progress.png", status);
    };
    p.RunProgress(w.window);
}

}  // namespace

int RunDialogsDemo(int argc, char** argv) {
    std::string screenshots;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshots = argv[++i];
        } else {
            std::fprintf(stderr, "usage: ui-demo --dialogs [--screenshot DIR]\n");
            return 2;
        }
    }
    if (!InitNativeUi()) {
        std::fprintf(stderr, "ui-demo: cannot open the display\n");
        return 2;
    }
    DialogsWindow w;
    if (!w.Open()) {
        std::fprintf(stderr, "ui-demo: cannot create the window\n");
        return 2;
    }
    w.Show(true);
    int status = 0;
    std::unique_ptr<EventLoopTimer> script;
    if (!screenshots.empty()) {
        script = EventLoopTimer::Install(1000, [&](EventLoopTimer*) {
            RunScreenshots(w, screenshots, &status);
            QuitApplicationEventLoop();
        });
    } else {
        // Closing the window ends the demo.
        w.window->Target().InstallHandler({{kEventClassWindow, kEventWindowClose}},
                                          [](EventHandlerCall&, Event&) {
                                              QuitApplicationEventLoop();
                                              return kEventNotHandledErr;
                                          });
    }
    RunApplicationEventLoop();
    w.Close();
    return status;
}

}  // namespace tw::demo

// The application frame on a real window: the menu bar, the dispatcher with its crash-report
// record, the quit request under boxes and dialogs, the menus' state, and the update check
// against version servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/application_frame.h"
#include "app/crash_report.h"
#include "app/update_check_dialogs.h"
#include "common/test_env.h"
#include "platform/core/open_uri.h"
#include "platform/ui/about_dialog.h"
#include "platform/ui/native.h"
#include "platform/ui/native_accel.h"
#include "platform/ui/native_alert.h"
#include "ui/gui_support.h"
#include "ui/message_box.h"
#include "ui/modal_stack.h"
#include "ui/window.h"
#include "web/test_server.h"

namespace tw {
namespace {

constexpr std::uint32_t kPref = FourCC("pref");

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class MainStandIn : public LWindow {
  public:
    bool OnCancel() override { return agree; }
    void OnCommand(std::uint32_t id, void*) override { commands.push_back(id); }
    bool agree = true;
    std::vector<std::uint32_t> commands;
};

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::NeedDisplay());
        ASSERT_TRUE(
            main_.CreateWindow(420, 300, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
        main_.InstallWindowHandler(true);
        main_.Show(true);
        modal_stack::Push(main_.window);
        MainWindowHooks hooks;
        hooks.window = &main_;
        hooks.showPreferences = [this] {
            phase_in_preferences_ = GetRunPhase();
            return true;
        };
        frame_ = std::make_unique<ApplicationFrame>(hooks);
        frame_->Install();
        frame_->BuildMenus();
        frame_->onMainWindowClosed = [this] { ++closed_; };
        SetOpenUriHandlerForTesting([this](const std::string& uri) {
            opened_.push_back(uri);
            return true;
        });
    }
    void TearDown() override {
        SetOpenUriHandlerForTesting(nullptr);
        frame_.reset();
        modal_stack::Pop(main_.window);
        main_.Close();
    }
    // Runs `action` once `depth` boxes are on screen.
    void WhenBoxes(int depth, std::function<void()> action) {
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [this, depth, action, poll] {
            NativeAlertInfo info;
            if (OpenAlertCount() == depth && GetTopAlertInfo(&info) && info.width > 1) {
                action();
            } else {
                later_.push_back(std::make_unique<test::Later>(20, *poll));
            }
        };
        later_.push_back(std::make_unique<test::Later>(20, *poll));
    }
    bool SendMenuCommand(std::uint32_t command) { return main_.window->ActivateMenuItem(command); }

    test::TempHome home_;
    MainStandIn main_;
    std::unique_ptr<ApplicationFrame> frame_;
    std::vector<std::unique_ptr<test::Later>> later_;
    std::vector<std::string> opened_;
    std::int32_t phase_in_preferences_ = 0;
    int closed_ = 0;
};

TEST_F(FrameTest, TheMenuBarHasTheApplicationWindowAndHelpMenus) {
    NativeWindow* w = main_.window;
    EXPECT_GE(w->FindMenu("Tunewright"), 0);
    EXPECT_GE(w->FindMenu("Window"), 0);
    EXPECT_GE(w->FindMenu("Help"), 0);
    for (const std::uint32_t c :
         {kCommandAbout, kCommandPreferences, kCommandQuit, kCommandMaximize, kCommandMinimize,
          kCommandMinimizeAll, kCommandBringAllToFront, kCommandArrangeInFront, kCommandProgramHelp,
          kCommandHomePage, kCommandSupportPage, kCommandSuggestion, kCommandBugReport,
          kCommandMakerHomePage, kCommandCheckForNewVersion}) {
        EXPECT_TRUE(w->IsMenuItemEnabled(c)) << c;
    }
    EXPECT_EQ(MenuItemAcceleratorLabel(w, kCommandQuit), "Ctrl+Q");
    EXPECT_EQ(MenuItemAcceleratorLabel(w, kCommandPreferences), "Ctrl+,");
    EXPECT_EQ(MenuItemAcceleratorLabel(w, kCommandMinimize), "Ctrl+M");
    EXPECT_EQ(MenuItemAcceleratorLabel(w, kCommandProgramHelp), "Ctrl+/");
}

TEST_F(FrameTest, CommandsAreRecordedWhileTheyRunAndWebPagesOpen) {
    SetRunPhase(kPhaseIdle);
    ASSERT_TRUE(SendMenuCommand(kCommandPreferences));
    EXPECT_EQ(phase_in_preferences_, static_cast<std::int32_t>(kPref));
    EXPECT_EQ(GetRunPhase(), kPhaseIdle);
    EXPECT_EQ(GetLastCommand(), static_cast<std::int32_t>(kPref));
    // The crash identifier of the main thread names it.
    SetCrashReporter("/bin/true", "");
    InstallCrashHandlers();
    RegisterThread("MAIN");
    SetRunPhase(kPhaseIdle);
    ASSERT_TRUE(SendMenuCommand(kCommandPreferences));
    EXPECT_TRUE(EndsWith(MakeCrashId("11", "M"), "-MAINUkn0(LstCmd1886545254)"));

    ASSERT_TRUE(SendMenuCommand(kCommandBugReport));
    ASSERT_TRUE(SendMenuCommand(kCommandHomePage));
    ASSERT_EQ(opened_.size(), 2u);
    EXPECT_NE(opened_[0].find("?software=Tunewright&version=2.15MAC"), std::string::npos);
    EXPECT_NE(opened_[1].find("tuner/index.html"), std::string::npos);

    // Anything the frame does not know goes to the main window.
    EXPECT_EQ(frame_->Dispatch(1000), kNoErr);
    EXPECT_EQ(main_.commands, (std::vector<std::uint32_t>{1000}));
}

TEST_F(FrameTest, TheAboutBoxShowsNameVersionIconAndHomePageAndGoesAtQuit) {
    ASSERT_TRUE(SendMenuCommand(kCommandAbout));
    ASSERT_TRUE(IsAboutDialogOpen());
    const AboutInfo info = ShownAboutInfo();
    EXPECT_EQ(info.name, "Tunewright");
    EXPECT_EQ(info.version, "2.15");
    EXPECT_NE(info.website.find("tuner/index.html"), std::string::npos);
    EXPECT_NE(info.icon_path.find("tunewright-128.png"), std::string::npos);
    ASSERT_TRUE(SendMenuCommand(kCommandAbout));  // shown again, not twice
    EXPECT_TRUE(frame_->QuitRequest());
    EXPECT_FALSE(IsAboutDialogOpen());
}

TEST_F(FrameTest, QuitIsDeclinedUnderABoxOrADialogOrByTheWindow) {
    // A message box is shown: declined, and the menus are off until it closes.
    bool answer = true;
    bool menus_during_box = true;
    WhenBoxes(1, [&] {
        answer = frame_->QuitRequest();
        menus_during_box = frame_->MenusEnabled();
        ClickTopAlertButton("OK");
    });
    ShowMessage(main_.window, "A box");
    EXPECT_FALSE(answer);
    EXPECT_FALSE(menus_during_box);
    EXPECT_TRUE(frame_->MenusEnabled());
    EXPECT_EQ(closed_, 0);

    // A modal dialog is stacked: declined.
    LWindow dialog;
    ASSERT_TRUE(dialog.CreateDialog(200, 100));
    modal_stack::Push(dialog.window);
    EXPECT_FALSE(frame_->MenusEnabled());
    EXPECT_FALSE(main_.window->IsMenuEnabled(main_.window->FindMenu("Help")));
    EXPECT_FALSE(frame_->QuitRequest());
    modal_stack::Pop(dialog.window);
    dialog.Close();
    EXPECT_TRUE(frame_->MenusEnabled());

    // The window refuses.
    main_.agree = false;
    EXPECT_FALSE(frame_->QuitRequest());
    EXPECT_EQ(closed_, 0);

    // It agrees: the quit sequence closes the main window once.
    main_.agree = true;
    EXPECT_TRUE(frame_->QuitRequest());
    EXPECT_EQ(closed_, 1);
    EXPECT_TRUE(frame_->Quitting());
}

// The update check against a version server: what it answers, and what it opens.
class UpdateCheckTest : public FrameTest {
  protected:
    // Answers each box and the follow dialog as they come.
    UpdateCheckOutcome Check(const std::string& reply, const std::vector<std::string>& answers) {
        test::TestServer server([reply](test::ServerConnection& c) {
            if (reply == "<silent>") {
                c.Hold();
            } else {
                c.Send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + reply);
            }
        });
        answers_ = answers;
        captions_.clear();
        ended_ = nullptr;
        AnswerNext();
        return RunUpdateCheck(main_.window,
                              "http://127.0.0.1:" + std::to_string(server.port()) + "/v");
    }
    void AnswerNext() {
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [this, poll] {
            NativeAlertInfo info;
            if (OpenAlertCount() > 0 && GetTopAlertInfo(&info) && info.width > 1) {
                captions_.push_back(info.caption);
                const std::string a = answers_.empty() ? "OK" : answers_.front();
                if (!answers_.empty()) answers_.erase(answers_.begin());
                ClickTopAlertButton(a);
            } else if (modal_stack::Size() > 1 && OpenAlertCount() == 0) {
                // The "Follow Releases" choice dialog: closed without a choice.
                LWindow* top = LWindow::FromNative(modal_stack::Top());
                if (top != nullptr && top != ended_ &&
                    std::string(top->caption) == "Follow Releases") {
                    captions_.push_back(top->caption);
                    ended_ = top;  // it goes at the next turn of its loop
                    top->EndModal(kHICommandCancel);
                }
            }
            later_.push_back(std::make_unique<test::Later>(30, *poll));
        };
        later_.push_back(std::make_unique<test::Later>(30, *poll));
    }
    std::vector<std::string> answers_;
    std::vector<std::string> captions_;
    LWindow* ended_ = nullptr;
};

TEST_F(UpdateCheckTest, VersionsCompareAsDecimalNumbers) {
    struct Case {
        const char* version;
        UpdateCheckOutcome outcome;
    };
    for (const Case& c :
         {Case{"2.15", UpdateCheckOutcome::kCurrent}, Case{"2.100", UpdateCheckOutcome::kCurrent},
          Case{"2.2", UpdateCheckOutcome::kUpdateAvailable}}) {
        SCOPED_TRACE(c.version);
        opened_.clear();
        const auto outcome =
            Check(std::string("version=") + c.version + "&info=https://example.org/new&download=x",
                  {c.outcome == UpdateCheckOutcome::kCurrent ? "No" : "View"});
        EXPECT_EQ(outcome, c.outcome);
        if (c.outcome == UpdateCheckOutcome::kCurrent) {
            EXPECT_EQ(captions_, (std::vector<std::string>{"Version Current", "Follow Releases"}));
            EXPECT_TRUE(opened_.empty());
        } else {
            EXPECT_EQ(captions_, (std::vector<std::string>{"Updated Version Available"}));
            EXPECT_EQ(opened_, (std::vector<std::string>{"https://example.org/new"}));
        }
    }
}

TEST_F(UpdateCheckTest, BadAnswersGiveNoInformationAndOpenNothing) {
    for (const char* reply : {"version=3.0&info=https://example.org/x",  // no download=
                              "version=3.0&info=javascript:alert(1)&download=x",
                              "version=3.0&info=file:///etc/passwd&download=x", "garbage"}) {
        SCOPED_TRACE(reply);
        opened_.clear();
        EXPECT_EQ(Check(reply, {"OK"}), UpdateCheckOutcome::kNoInformation);
        EXPECT_EQ(captions_, (std::vector<std::string>{"No Version Information"}));
        EXPECT_TRUE(opened_.empty());
    }
}

TEST_F(UpdateCheckTest, ASilentServerEndsAfterTheTimeOut) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Check("<silent>", {"OK"}), UpdateCheckOutcome::kNoInformation);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(4900));
    EXPECT_LT(elapsed, std::chrono::milliseconds(9000));
}

}  // namespace
}  // namespace tw

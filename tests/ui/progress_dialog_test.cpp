// The progress dialog on real GTK windows with openbox: a task running inside RunProgress
// keeps timers and painting going, and a cancel reaches it at its next look.
#include "ui/progress_dialog.h"
#include "platform/ui/testing/ui_driver.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "gui_support.h"
#include "platform/ui/keys.h"
#include "platform/ui/native_alert.h"
#include "platform/ui/native_dialog.h"
#include "ui/controls.h"

namespace tw {
namespace {

const auto* const kDisplay =
    ::testing::AddGlobalTestEnvironment(new test::PrivateDisplay(/*with_window_manager=*/true));

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// A dialog whose task is a function of the test.
class TaskDialog : public LProgressDialog {
  public:
    bool DoWork() override { return task(*this); }
    bool WaitCondition() override { return condition || cancelled; }
    std::function<bool(TaskDialog&)> task;
    bool condition = false;
};

class ProgressDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::NeedDisplay());
        ASSERT_TRUE(
            parent_.CreateWindow(400, 300, kDocumentWindowClass, kWindowCloseBoxAttribute, 0));
        parent_.InstallWindowHandler(false);
        parent_.modal = 0;
        parent_.shown = 1;
        // A view that a timer redraws while the task runs.
        NativeControl* pane = CreateUserPane(&parent_, 10);
        ASSERT_NE(pane, nullptr);
        SetControlFrame(&parent_, 10, 0, 0, 400, 300);
        pane->Target().InstallHandler({{kEventClassControl, kEventControlDraw}},
                                      [this](EventHandlerCall&, Event&) {
                                          ++draws_;
                                          return kEventNotHandledErr;
                                      });
        parent_.Show(true);
        ASSERT_TRUE(RunEventLoopUntil([&] { return parent_.IsFront(); }, 5000));
        ticker_ = EventLoopTimer::Install(50, [this, pane](EventLoopTimer* t) {
            ++ticks_;
            pane->Invalidate();
            t->SetNextFireTime(50);
        });
    }

    LWindow parent_;
    int draws_ = 0;
    int ticks_ = 0;
    std::unique_ptr<EventLoopTimer> ticker_;
    std::vector<std::unique_ptr<test::Later>> later_;
};

TEST_F(ProgressDialogTest, CancelReachesAPollingTaskWhileTimersAndPaintingGoOn) {
    struct Case {
        const char* name;
        std::function<void(TaskDialog&)> cancel;
    } cases[] = {
        {"Cancel button",
         [](TaskDialog& d) { ui_driver::Click(FindControl(&d, kProgressCancel)); }},
        {"close box", [](TaskDialog& d) { ui_driver::ClickCloseBox(d.window); }},
        {"Escape", [](TaskDialog& d) { ui_driver::PressKey(d.window, kVirtualKeyEscape, 0, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TaskDialog dialog;
        dialog.SetCaption("Working");
        Clock::time_point cancelled_at{};
        int ticks_before_cancel = 0;
        int draws_before_cancel = 0;
        bool button_disabled = false;
        const int ticks_at_start = ticks_;
        const int draws_at_start = draws_;
        later_.push_back(std::make_unique<test::Later>(500, [&] {
            ticks_before_cancel = ticks_ - ticks_at_start;
            draws_before_cancel = draws_ - draws_at_start;
            cancelled_at = Clock::now();
            c.cancel(dialog);
        }));
        dialog.task = [&](TaskDialog& d) {
            const auto start = Clock::now();
            while (MsSince(start) < 3000) {
                if (d.IsCancelled()) {
                    button_disabled = !FindControl(&d, kProgressCancel)->IsEnabled();
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a slice of work
            }
            return true;
        };
        const auto start = Clock::now();
        EXPECT_FALSE(dialog.RunProgress(parent_.window));
        const double after_cancel = MsSince(cancelled_at);
        EXPECT_LT(MsSince(start), 2000);
        EXPECT_LT(after_cancel, 100);
        // 500 ms at 50 ms per tick: most of the ten ticks came while the task ran.
        EXPECT_GE(ticks_before_cancel, 7);
        EXPECT_GE(draws_before_cancel, 4);
        EXPECT_TRUE(button_disabled);
        EXPECT_TRUE(dialog.asSheet);
        EXPECT_FALSE(dialog.IsValid());  // closed
    }
}

TEST_F(ProgressDialogTest, TextsAndTheBarShowWhatTheTaskSays) {
    TaskDialog dialog;
    dialog.SetCaption("Downloading");
    std::string line1, line2, title;
    double fraction = -1;
    bool indeterminate = false, determinate_again = false, modal = false;
    NativeWindow* modal_to = nullptr;
    LWindow* found_object = nullptr;
    dialog.task = [&](TaskDialog& d) {
        d.SetText("Fetching the file", 0);
        d.SetText("3 of 10", 1);
        d.SetText("ignored line number", 7);
        d.SetProgress(0.3);
        line1 = GetControlText(&d, kProgressTextLine1);
        line2 = GetControlText(&d, kProgressTextLine2);
        title = d.window->Title();
        fraction = ProgressBarFraction(FindControl(&d, kProgressBar));
        d.SetIndeterminate();
        indeterminate = ProgressBarIsIndeterminate(FindControl(&d, kProgressBar));
        d.SetDeterminate();
        determinate_again = !ProgressBarIsIndeterminate(FindControl(&d, kProgressBar));
        d.SetProgress(7.0);  // clamped
        modal = IsApplicationModal(d.window);
        modal_to = d.window->ModalParent();
        found_object = LWindow::FromNative(d.window);
        return true;
    };
    EXPECT_TRUE(dialog.RunProgress(parent_.window));
    EXPECT_EQ(line1, "Fetching the file");
    EXPECT_EQ(line2, "ignored line number");
    EXPECT_EQ(title, "Downloading");
    EXPECT_NEAR(fraction, 0.3, 0.001);
    EXPECT_TRUE(indeterminate);
    EXPECT_TRUE(determinate_again);
    EXPECT_TRUE(modal);
    EXPECT_EQ(modal_to, parent_.window);
    // The native window leads back to the window object (not to the progress interface).
    EXPECT_EQ(found_object, static_cast<LWindow*>(&dialog));
}

TEST_F(ProgressDialogTest, WithoutAParentTheDialogIsModalForTheApplication) {
    TaskDialog dialog;
    bool modal = false;
    dialog.task = [&](TaskDialog& d) {
        d.IsCancelled();
        modal = IsApplicationModal(d.window) && d.window->ModalParent() == nullptr;
        return true;
    };
    EXPECT_TRUE(dialog.RunProgress(nullptr));
    EXPECT_FALSE(dialog.asSheet);
    EXPECT_TRUE(modal);
}

TEST_F(ProgressDialogTest, ATaskThatNeverLooksStillEndsTheDialog) {
    TaskDialog dialog;
    dialog.task = [&](TaskDialog& d) {
        // A cancel is queued, but the task never dispatches it.
        d.PostCommand(kHICommandCancel);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return true;
    };
    const auto start = Clock::now();
    EXPECT_TRUE(dialog.RunProgress(parent_.window));
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_FALSE(dialog.IsValid());
    // The queued cancel finds no dialog and goes nowhere; the program goes on.
    const int ticks = ticks_;
    RunEventLoopFor(200);
    EXPECT_GT(ticks_, ticks);
    EXPECT_FALSE(dialog.cancelled);
}

TEST_F(ProgressDialogTest, WaitsDispatchEventsUntilTheirConditionHolds) {
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        (void)!write(pipe_fds[1], "x", 1);
    });
    TaskDialog dialog;
    bool pipe_ready = false, timed_out_condition = true, condition_met = false;
    int sockets_timeout = -1, sockets_cancelled = -1, bad_fd = -1;
    double pipe_ms = 0, condition_ms = 0;
    int ticks_in_pipe_wait = 0;
    dialog.task = [&](TaskDialog& d) {
        auto t = Clock::now();
        const int before = ticks_;
        pipe_ready = d.WaitPipe(pipe_fds[0], 2000);
        pipe_ms = MsSince(t);
        ticks_in_pipe_wait = ticks_ - before;
        char c;
        (void)!read(pipe_fds[0], &c, 1);

        const int fds[] = {pipe_fds[0]};
        sockets_timeout = d.WaitSockets(fds, 100);
        const int invalid[] = {987654};
        bad_fd = d.WaitSockets(invalid, 100);
        timed_out_condition = d.WaitEvents(80);

        later_.push_back(std::make_unique<test::Later>(100, [&] { d.condition = true; }));
        t = Clock::now();
        condition_met = d.WaitEvents(-1);
        condition_ms = MsSince(t);

        d.condition = false;
        later_.push_back(std::make_unique<test::Later>(
            50, [&] { ui_driver::Click(FindControl(&d, kProgressCancel)); }));
        sockets_cancelled = d.WaitSockets(fds, 5000);
        return true;
    };
    EXPECT_TRUE(dialog.RunProgress(parent_.window));
    writer.join();
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    EXPECT_TRUE(pipe_ready);
    EXPECT_GT(pipe_ms, 150);
    EXPECT_LT(pipe_ms, 1000);
    EXPECT_GE(ticks_in_pipe_wait, 2);
    EXPECT_EQ(sockets_timeout, kWaitTimedOut);
    EXPECT_EQ(bad_fd, kWaitCancelled);
    EXPECT_FALSE(timed_out_condition);
    EXPECT_TRUE(condition_met);
    EXPECT_LT(condition_ms, 1000);
    EXPECT_EQ(sockets_cancelled, kWaitCancelled);
}

TEST_F(ProgressDialogTest, MessagesFromTheTaskCarryTheDialogsCaption) {
    TaskDialog dialog;
    dialog.SetCaption("Update");
    NativeAlertInfo seen;
    NativeWindow* dialog_window = nullptr;
    dialog.task = [&](TaskDialog& d) {
        dialog_window = d.window;
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [&, poll] {
            if (GetTopAlertInfo(&seen) && seen.width > 1) {
                ClickTopAlertButton("OK");
            } else {
                later_.push_back(std::make_unique<test::Later>(20, *poll));
            }
        };
        later_.push_back(std::make_unique<test::Later>(20, *poll));
        d.ShowMessage("The server did not answer.");
        return true;
    };
    EXPECT_TRUE(dialog.RunProgress(parent_.window));
    EXPECT_EQ(seen.caption, "Update");
    EXPECT_EQ(seen.text, "The server did not answer.");
    EXPECT_EQ(seen.icon_name, "dialog-error");
    // A sheet of the progress dialog, which is in front.
    EXPECT_TRUE(seen.sheet);
    EXPECT_EQ(seen.transient_for, dialog_window);
}

}  // namespace
}  // namespace tw

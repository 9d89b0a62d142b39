// The progress dialog: a long task runs on the main thread inside RunProgress while the
// dialog shows two lines of text and a progress bar. The task keeps the program alive by
// calling the progress interface, each call of which dispatches the events waiting
// (timers fire, windows repaint, the Cancel button works). Cancel, the close box and
// Escape only set a flag; the task sees it at its next IsCancelled and ends itself.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "ui/message_box.h"
#include "ui/window.h"

namespace tw {

// Control ids of the dialog.
inline constexpr int kProgressTextLine1 = 101;
inline constexpr int kProgressTextLine2 = 102;
inline constexpr int kProgressBar = 104;
inline constexpr int kProgressCancel = 105;

// Answers of WaitSockets.
inline constexpr int kWaitTimedOut = 0;
inline constexpr int kWaitReady = 1;
inline constexpr int kWaitCancelled = 2;  // also a socket that cannot be waited for

// What a task running under the dialog may call.
class LProgress {
  public:
    virtual ~LProgress() = default;
    // True once the user cancelled; dispatches the waiting events first.
    virtual bool IsCancelled() = 0;
    // Dispatches events for up to ms (-1: no limit) until the wait condition holds; true
    // when it did, false at the deadline.
    virtual bool WaitEvents(int ms) = 0;
    // Dispatches events until `fd` is readable (true), the user cancels or ms pass.
    virtual bool WaitPipe(int fd, int ms) = 0;
    // Dispatches events until one of `fds` is readable (kWaitReady), ms pass
    // (kWaitTimedOut) or the user cancels (kWaitCancelled).
    virtual int WaitSockets(std::span<const int> fds, int ms) = 0;
    // A stop alert captioned with the dialog's caption.
    virtual void ShowMessage(std::string_view text) = 0;
    // Line 0 is the first text line, any other the second.
    virtual void SetText(std::string_view text, int line) = 0;
    virtual void SetProgress(double fraction) = 0;
    virtual void SetIndeterminate() = 0;
    virtual void SetDeterminate() = 0;
};

class LProgressDialog : public LProgress, public LWindow {
  public:
    // Shows the dialog (as a sheet of `parent` when that window is in front), runs DoWork
    // with the application modal for the dialog, closes it and returns DoWork's result;
    // false when the dialog cannot be made.
    bool RunProgress(NativeWindow* parent);

    // The task.
    virtual bool DoWork() = 0;
    // What ends WaitEvents early; the user's cancel by default.
    virtual bool WaitCondition() { return cancelled; }

    bool IsCancelled() override;
    bool WaitEvents(int ms) override;
    bool WaitPipe(int fd, int ms) override;
    int WaitSockets(std::span<const int> fds, int ms) override;
    void ShowMessage(std::string_view text) override;
    void SetText(std::string_view text, int line) override;
    void SetProgress(double fraction) override;
    void SetIndeterminate() override;
    void SetDeterminate() override;

    // Cancel (button, close box, Escape): disables the button and sets the flag.
    void EndModal(std::uint32_t code) override;

    void SetCaption(std::string_view text) { CopyBoundedText(caption, sizeof caption, text); }

    NativeWindow* parentWindow = nullptr;
    bool asSheet = false;
    bool cancelled = false;

  private:
    void BuildControls();
    bool dispatching_ = false;
};

// Receives and dispatches what is waiting in the main queue without blocking: up to
// min(n + 1, 4) events where n were queued, then as many as are queued then, plus one.
void DispatchPendingEvents();

}  // namespace tw

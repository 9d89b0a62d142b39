#include "ui/progress_dialog.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/ui/native_dialog.h"
#include "ui/controls.h"
#include "ui/sheet.h"

namespace tw {

namespace {

// Longest pause between two looks at the pipes, sockets and the cancel flag while
// waiting: short enough that a cancel or ready data is noticed without a visible delay.
constexpr int kWaitSliceMs = 10;

// The bar moves in thousandths, finer than a pixel at the dialog's width.
constexpr int kProgressSteps = 1000;

// At most this many events are taken at once before the queue is looked at again.
constexpr std::size_t kFirstDispatchLimit = 4;

// Layout of the dialog's content, in pixels.
constexpr int kMargin = 20;
constexpr int kContentWidth = 440;
constexpr int kLineWidth = kContentWidth - 2 * kMargin;
constexpr int kLine1Top = 16;
constexpr int kLine2Top = 38;
constexpr int kLineHeight = 18;
constexpr int kBarTop = 64;
constexpr int kBarHeight = 12;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 28;
constexpr int kButtonTop = 86;

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`; -1 stands for no deadline.
int Remaining(Clock::time_point deadline, bool unlimited) {
    if (unlimited) return kWaitSliceMs;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::max<long long>(0, left));
}

// -1: an fd that cannot be polled; 0: nothing to read; 1: readable (or closed).
int PollReadable(std::span<const int> fds) {
    std::vector<pollfd> p;
    for (int fd : fds) p.push_back(pollfd{fd, POLLIN, 0});
    if (p.empty()) return 0;
    const int n = poll(p.data(), p.size(), 0);
    if (n < 0) return -1;
    for (const pollfd& q : p) {
        if (q.revents & POLLNVAL) return -1;
        if (q.revents & (POLLIN | POLLHUP | POLLERR)) return 1;
    }
    return 0;
}

}  // namespace

void DispatchPendingEvents() {
    const std::size_t n = main_queue::Count();
    const std::size_t first = std::min(n + 1, kFirstDispatchLimit);
    for (std::size_t i = 0; i < first; ++i) ReceiveAndDispatchNextEvent(0);
    const std::size_t more = main_queue::Count() + 1;
    for (std::size_t i = 0; i < more; ++i) ReceiveAndDispatchNextEvent(0);
}

void LProgressDialog::BuildControls() {
    NativeControl* line1 = CreateStaticText(this, kProgressTextLine1, "");
    NativeControl* line2 = CreateStaticText(this, kProgressTextLine2, "");
    NativeControl* bar = CreateProgressBar(this, kProgressBar);
    NativeControl* cancel =
        CreatePushButton(this, kProgressCancel, "Cancel", kPushButtonStyle, kHICommandCancel);
    if (line1 == nullptr || line2 == nullptr || bar == nullptr || cancel == nullptr) return;
    bar->SetMinimum(0);
    bar->SetMaximum(kProgressSteps);
    SetControlFrame(this, kProgressTextLine1, kMargin, kLine1Top, kLineWidth, kLineHeight);
    SetControlFrame(this, kProgressTextLine2, kMargin, kLine2Top, kLineWidth, kLineHeight);
    SetControlFrame(this, kProgressBar, kMargin, kBarTop, kLineWidth, kBarHeight);
    SetControlFrame(this, kProgressCancel, kContentWidth - kMargin - kButtonWidth, kButtonTop,
                    kButtonWidth, kButtonHeight);
    cancel->MakeCancelButton();
}

bool LProgressDialog::RunProgress(NativeWindow* parent) {
    parentWindow = NativeWindow::IsValid(parent) ? parent : nullptr;
    std::string wanted_caption = caption;
    asSheet = parentWindow != nullptr && PrepareSheetParent(parentWindow);
    if (!CreateFromNib("progress", asSheet ? "LProgressSheet" : "LProgressDialog")) return false;
    // The window object, not the progress interface in front of it.
    LWindow* self_window = this;
    window->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(self_window));
    content->SetProperty(kPropertyWindowObject, reinterpret_cast<std::uintptr_t>(self_window));
    window->SetProperty(kPropertyParentWindow, reinterpret_cast<std::uintptr_t>(parentWindow));
    window->Hide();
    InstallWindowHandler(false);
    // A caller's caption wins over the description's title.
    if (wanted_caption != "NO CAPTION") CopyBoundedText(caption, sizeof caption, wanted_caption);
    window->SetTitle(caption);
    BuildControls();
    if (parentWindow != nullptr) {
        window->SetModalTo(parentWindow);
    } else {
        SetApplicationModal(window, true);
    }
    if (!asSheet) window->BringToFront();
    OnBeforeInit();
    OnInit();
    shown = 1;
    SendReadyEvent();
    window->Show();
    window->BringToFront();
    UpdateControls();
    IssueBoundCommand(kBindOnModalRun);

    cancelled = false;
    NativeWindow* self = window;
    modal_stack::Push(self);
    const bool outcome = DoWork();
    modal_stack::Pop(self);
    if (IsValid()) Close();
    return outcome;
}

void LProgressDialog::EndModal(std::uint32_t code) {
    result = code == kHICommandOK ? 1 : 0;
    if (code != kHICommandCancel) return;
    EnableControl(this, kProgressCancel, false);
    cancelled = true;
    // The cancel arrives from inside a dispatch; what it set off may run now, but not a
    // dispatch inside this one again.
    if (!dispatching_) {
        dispatching_ = true;
        DispatchPendingEvents();
        dispatching_ = false;
    }
}

bool LProgressDialog::IsCancelled() {
    DispatchPendingEvents();
    return cancelled;
}

bool LProgressDialog::WaitEvents(int ms) {
    const bool unlimited = ms < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    while (true) {
        if (WaitCondition()) return true;
        const int left = Remaining(deadline, unlimited);
        if (left <= 0) return false;
        ReceiveAndDispatchNextEvent(std::min(left, kWaitSliceMs));
    }
}

bool LProgressDialog::WaitPipe(int fd, int ms) {
    const int fds[] = {fd};
    return WaitSockets(fds, ms) == kWaitReady;
}

int LProgressDialog::WaitSockets(std::span<const int> fds, int ms) {
    const bool unlimited = ms < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    while (true) {
        const int ready = PollReadable(fds);
        if (ready < 0) return kWaitCancelled;
        if (ready > 0) return kWaitReady;
        if (cancelled) return kWaitCancelled;
        const int left = Remaining(deadline, unlimited);
        if (left <= 0) return kWaitTimedOut;
        ReceiveAndDispatchNextEvent(std::min(left, kWaitSliceMs));
    }
}

void LProgressDialog::ShowMessage(std::string_view text) {
    DispatchPendingEvents();
    tw::ShowMessage(IsValid() ? window : parentWindow, text, caption);
}

void LProgressDialog::SetText(std::string_view text, int line) {
    DispatchPendingEvents();
    const int id = line == 0 ? kProgressTextLine1 : kProgressTextLine2;
    SetControlText(this, id, std::string(text));
    EnableControl(this, id, true);
}

void LProgressDialog::SetProgress(double fraction) {
    DispatchPendingEvents();
    SetControlValue(this, kProgressBar, int(std::clamp(fraction, 0.0, 1.0) * kProgressSteps + 0.5));
}

void LProgressDialog::SetIndeterminate() {
    DispatchPendingEvents();
    if (NativeControl* bar = FindControl(this, kProgressBar)) bar->SetIndeterminate(true);
}

void LProgressDialog::SetDeterminate() {
    DispatchPendingEvents();
    if (NativeControl* bar = FindControl(this, kProgressBar)) bar->SetIndeterminate(false);
}

}  // namespace tw

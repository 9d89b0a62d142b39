// Commands of a window: the command-process rules (OK, Cancel, help, four-digit ids, the
// menu commands a window takes), dispatch to OnCommand under the current-command rule,
// sending, posting and window messages, and commands bound under tags.
#include "ui/command_dispatch.h"

#include <algorithm>
#include <iterator>

#include "ui/window.h"

namespace tw {

namespace {

// Main-thread globals of the command dispatch.
std::uint32_t g_current_command = 0;
std::uint32_t g_last_command = 0;
int g_dispatch_depth = 0;

// Menu commands a window takes itself; any other menu command goes on to the
// application's menu handler.
constexpr std::uint32_t kWindowMenuCommands[] = {
    FourCC("mina"), FourCC("quit"), FourCC("sall"), FourCC("undo"), FourCC("redo"),
    FourCC("past"), FourCC("pref"), FourCC("mini"), FourCC("copy"), FourCC("frnt"),
    FourCC("maxi"), FourCC("cut "), FourCC("bfrt"), FourCC("clos")};

// "0101" -> 101; other ids unchanged.
std::uint32_t DecodeDigitCommand(std::uint32_t id) {
    std::uint32_t value = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned c = (id >> shift) & 0xFF;
        if (c < '0' || c > '9') return id;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::uint32_t CurrentCommand() {
    return g_current_command;
}
std::uint32_t LastCommand() {
    return g_last_command;
}

OSStatus LWindow::HandleCommand(const HICommand& command, bool modeless) {
    if (IsMenuTracking()) {
        TrackMenuCommand(command.command_id);
        return kEventNotHandledErr;
    }
    const bool from_menu = (command.attributes & kHICommandFromMenu) != 0;
    const bool from_window = (command.attributes & kHICommandFromWindow) != 0;
    if (from_menu && (modeless || from_window || !topLevel)) return kEventNotHandledErr;
    std::uint32_t id = command.command_id;
    if (id == kHICommandCancel) {
        if (OnCancel()) {
            ended = 1;
            EndModal(kHICommandCancel);
            if (modeless && IsValid()) window->BringToFront();
        }
        return kNoErr;
    }
    if (id == kHICommandOK) {
        if (OnOK()) {
            ended = 1;
            EndModal(kHICommandOK);
            if (modeless && IsValid()) window->BringToFront();
        }
        return kNoErr;
    }
    if (id == kHICommandAppHelp) {
        OnHelp();
        return kNoErr;
    }
    const std::uint32_t decoded = DecodeDigitCommand(id);
    // Menu items of a window's own commands carry their number as four digits.
    const bool window_number = decoded != id;
    id = decoded;
    if (id == kHICommandHelp) {
        OnHelp();
        return kNoErr;
    }
    if (from_menu && !window_number &&
        std::find(std::begin(kWindowMenuCommands), std::end(kWindowMenuCommands), id) ==
            std::end(kWindowMenuCommands)) {
        return kEventNotHandledErr;
    }
    DispatchCommand(id, nullptr);
    if (IsValid() && IsVisible()) UpdateControls();
    return kNoErr;
}

void LWindow::DispatchCommand(std::uint32_t id, void* data) {
    const std::uint32_t previous = g_current_command;
    g_current_command = id;
    if (g_dispatch_depth == 0) g_last_command = id;
    ++g_dispatch_depth;
    OnCommand(id, data);
    --g_dispatch_depth;
    g_current_command = previous;
}

void LWindow::SendCommand(std::uint32_t id) {
    if (!topLevel) {
        DispatchCommand(id, nullptr);
        return;
    }
    if (content == nullptr || !IsValid()) return;
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{0, id, 0});
    SendEventToTarget(e, &content->Target());
}

void LWindow::PostCommand(std::uint32_t id) {
    if (!eventQueue || content == nullptr) return;
    Event e(kEventClassCommand, kEventCommandProcess);
    e.SetParam(kEventParamCommand, HICommand{0, id, 0});
    e.SetPostTarget(&content->Target());
    main_queue::Post(std::move(e), EventPriority::kStandard);
}

OSStatus LWindow::SendWindowMessage(std::uint32_t id, void* data1, void* data2) {
    if (content == nullptr || !IsValid()) return kEventNotHandledErr;
    Event e(kEventClassCommand, kEventWindowMessage);
    e.SetParam(kEventParamMessageId, std::int64_t{id});
    e.SetParam(kEventParamData1, data1);
    e.SetParam(kEventParamData2, data2);
    return SendEventToTarget(e, &content->Target());
}

OSStatus LWindow::OnWindowMessage(std::uint32_t, void*, void*) {
    return kEventNotHandledErr;
}

void LWindow::BindCommand(std::uint32_t tag, std::uint32_t id) {
    if (content != nullptr) content->SetProperty(tag, id);
}

void LWindow::IssueBoundCommand(std::uint32_t tag, NativeControl* control) {
    NativeControl* holder = control != nullptr ? control : content;
    if (holder == nullptr || !NativeControl::IsValid(holder)) return;
    const auto id = std::uint32_t(holder->GetProperty(tag));
    if (id != 0) DispatchCommand(id, nullptr);
}

}  // namespace tw

// The window and application event handlers of an LWindow: which events they take (modal
// or modeless rules) and what each does, from activation to the close box.
#include <vector>

#include "ui/window.h"

namespace tw {

void LWindow::RemoveHandlers() {
    if (appHandler != 0) {
        ApplicationTarget().RemoveHandler(appHandler);
        appHandler = 0;
    }
    if (windowHandler_ != 0) {
        if (NativeWindow::IsValid(window)) window->Target().RemoveHandler(windowHandler_);
        windowHandler_ = 0;
    }
}

void LWindow::InstallWindowHandler(bool modeless) {
    if (!NativeWindow::IsValid(window)) return;
    if (windowHandler_ != 0) window->Target().RemoveHandler(windowHandler_);
    std::vector<EventTypeSpec> types = {
        {kEventClassWindow, kEventWindowHiding},
        {kEventClassWindow, kEventWindowShown},
        {kEventClassWindow, kEventWindowClose},
        {kEventClassWindow, kEventWindowClosed},
        {kEventClassWindow, kEventWindowActivated},
        {kEventClassWindow, kEventWindowDeactivated},
        {kEventClassWindow, kEventWindowGetClickModality},
        {kEventClassCommand, kEventCommandProcess},
        {kEventClassWindow, kEventWindowCursorChange},
        {kEventClassMouse, kEventMouseMoved},
        {kEventClassCommand, kEventWindowMessage},
    };
    if (modeless) {
        types.push_back({kEventClassWindow, kEventWindowShowing});
        types.push_back({kEventClassWindow, kEventWindowExpanding});
        types.push_back({kEventClassWindow, kEventWindowCollapsing});
    } else {
        types.push_back({kEventClassWindow, kEventWindowGetClickActivation});
        types.push_back({kEventClassWindow, kEventWindowShowing});
        types.push_back({kEventClassWindow, kEventWindowExpanding});
        types.push_back({kEventClassWindow, kEventWindowCollapsing});
    }
    windowHandler_ =
        window->Target().InstallHandler(types, [this, modeless](EventHandlerCall& next, Event& e) {
            return HandleWindowEvent(next, e, modeless);
        });
}

void LWindow::InstallAppHandler() {
    const std::vector<EventTypeSpec> types = {{kEventClassApplication, kEventAppActivated},
                                              {kEventClassApplication, kEventAppDeactivated}};
    if (appHandler != 0 && ApplicationTarget().HasHandler(appHandler)) return;
    appHandler = ApplicationTarget().InstallHandler(types, [this](EventHandlerCall&, Event& e) {
        if (!IsValid()) return kEventNotHandledErr;
        if (e.Kind() == kEventAppActivated) {
            if (!modal || modal_stack::IsTop(window)) {
                if (NativeWindow* top = modal_stack::Top()) {
                    top->Show();
                    top->BringToFront();
                }
                OnAppActivated();
                IssueBoundCommand(kBindOnAppActivated);
            }
        } else {
            OnAppDeactivated();
            IssueBoundCommand(kBindOnAppDeactivated);
        }
        return kEventNotHandledErr;
    });
}

void LWindow::SendReadyEvent() {
    if (!shown || !topLevel || !NativeWindow::IsValid(window)) return;
    Event e(kEventClassWindow, kEventWindowReady);
    SendEventToTarget(e, &window->Target());
}

void LWindow::ActivatedActions(bool check_modal_stack, bool* acted) {
    *acted = false;
    if (check_modal_stack && modal && !modal_stack::IsTop(window)) return;
    *acted = true;
    SendReadyEvent();
    if (shown) UpdateControls();
    OnActivated();
    IssueBoundCommand(kBindOnActivated);
}

OSStatus LWindow::HandleWindowEvent(EventHandlerCall&, Event& e, bool modeless) {
    if (!IsValid()) return kEventNotHandledErr;
    if (e.Class() == kEventClassCommand) {
        if (e.Kind() == kEventWindowMessage) {
            return OnWindowMessage(std::uint32_t(e.GetInt(kEventParamMessageId)),
                                   e.GetPointer(kEventParamData1), e.GetPointer(kEventParamData2));
        }
        HICommand command;
        if (!e.GetParam(kEventParamCommand, &command)) return kEventNotHandledErr;
        return HandleCommand(command, modeless);
    }
    if (e.Class() == kEventClassMouse) return kEventNotHandledErr;  // standard cursor handling
    switch (e.Kind()) {
        case kEventWindowActivated: {
            bool acted = false;
            ActivatedActions(!modeless, &acted);
            if (modeless) return kNoErr;
            return acted ? kEventNotHandledErr : kNoErr;
        }
        case kEventWindowDeactivated:
            Redraw();
            OnDeactivated();
            IssueBoundCommand(kBindOnDeactivated);
            return modeless ? kNoErr : kEventNotHandledErr;
        case kEventWindowGetClickActivation: {
            const bool ignore = modal && modal_stack::IsTop(window);
            e.SetParam(
                kEventParamClickActivation,
                std::int64_t{ignore ? kClickActivationIgnore : kClickActivationActivateAndHandle});
            return kEventNotHandledErr;
        }
        case kEventWindowGetClickModality:
            if (modeless) {
                window->Show();
                return kEventNotHandledErr;
            }
            if (!modal_stack::IsTop(window)) {
                e.SetParam(kEventParamModalClickResult, std::int64_t{1});
                e.SetParam(kEventParamModalWindow, static_cast<void*>(modal_stack::Top()));
                e.SetParam(kEventParamWindowModality, std::int64_t{3});
                return kNoErr;
            }
            return kEventNotHandledErr;
        case kEventWindowShowing:
        case kEventWindowShown:
        case kEventWindowExpanding:
            SendReadyEvent();
            OnShown();
            IssueBoundCommand(kBindOnShown);
            return kEventNotHandledErr;
        case kEventWindowHiding:
        case kEventWindowCollapsing:
            OnHidden();
            IssueBoundCommand(kBindOnHidden);
            return kEventNotHandledErr;
        case kEventWindowCursorChange:
            return kEventNotHandledErr;
        case kEventWindowClose:
            if (OnCancel()) {
                result = 1;
                ended = 1;
                EndModal(kHICommandCancel);
                if (modeless) Close();
            }
            return kNoErr;
        case kEventWindowClosed:
            IssueBoundCommand(kBindOnClosed);
            return modeless ? kNoErr : kEventNotHandledErr;
        default:
            return kEventNotHandledErr;
    }
}

}  // namespace tw

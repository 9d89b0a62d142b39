#include "ui/controls.h"

#include <cstdio>
#include <vector>

namespace tw {

namespace {

// Placeholder frames keep new controls out of sight until the layout places them.
constexpr int kPlaceholderX = -300;
constexpr int kPlaceholderWidth = 500;
constexpr int kPlaceholderHeight = 30;
constexpr int kPopupPlaceholderHeight = 20;
constexpr int kAutoTopStep = 510;

NativeControl* Container(LWindow* window) {
    if (window == nullptr || window->content == nullptr) return nullptr;
    if (!NativeControl::IsValid(window->content)) return nullptr;
    return window->content;
}

std::size_t Utf8Length(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80) ++n;
    }
    return n;
}

// Item number of the index-th item that is not a separator; 0 when there is none.
int ItemOfIndex(const NativeControl* c, int index) {
    if (index < 0) return 0;
    int seen = 0;
    for (int item = 1; item <= c->PopupItemCount(); ++item) {
        if (c->PopupItemIsSeparator(item)) continue;
        if (seen == index) return item;
        ++seen;
    }
    return 0;
}

int IndexOfItem(const NativeControl* c, int item) {
    if (item < 1 || item > c->PopupItemCount() || c->PopupItemIsSeparator(item)) return -1;
    int index = 0;
    for (int i = 1; i < item; ++i) {
        if (!c->PopupItemIsSeparator(i)) ++index;
    }
    return index;
}

NativeControl* FindIn(NativeControl* parent, int id) {
    for (NativeControl* c : parent->Children()) {
        if (c->Signature() == kControlSignature && c->Id() == id) return c;
    }
    for (NativeControl* c : parent->Children()) {
        // The controls of an embedded pane belong to its own window object.
        if (c->HasProperty(kPropertyWindowObject)) continue;
        if (NativeControl* found = FindIn(c, id)) return found;
    }
    return nullptr;
}

void InstallPopupBehaviour(LWindow* window, NativeControl* c) {
    c->Target().InstallHandler(
        {{kEventClassMenu, kEventMenuTargetItem}, {kEventClassMenu, kEventMenuClosed}},
        [window, c](EventHandlerCall&, Event& e) {
            if (e.Kind() == kEventMenuTargetItem) {
                const int item = int(e.GetInt(kEventParamMenuItemIndex));
                if (item == 0) {
                    c->SetProperty(kPropertyPopupHighlight, 0);
                } else if (!c->PopupItemIsSeparator(item)) {
                    c->SetProperty(kPropertyPopupHighlight, std::uintptr_t(item));
                    SetMenuTracking(true);
                }
                return kNoErr;
            }
            SetMenuTracking(false);
            const int item = int(c->GetProperty(kPropertyPopupHighlight));
            if (item == 0) return kNoErr;  // closed without a pick
            c->SetProperty(kPropertyPopupHighlight, 0);
            c->SetValue(item);
            window->IssueBoundCommand(kBindOnPopupPick, c);
            if (!NativeControl::IsValid(c)) return kNoErr;
            c->Invalidate();
            window->UpdateControls();
            return kNoErr;
        });
}

void InstallEditBehaviour(LWindow* window, NativeControl* c) {
    c->Target().InstallHandler(
        {{kEventClassTextInput, kEventTextInputFilterText},
         {kEventClassTextInput, kEventTextInputChanged}},
        [window, c](EventHandlerCall&, Event& e) {
            if (e.Kind() == kEventTextInputChanged) {
                window->IssueBoundCommand(kBindOnEditInput, c);
                window->UpdateControls();
                return kNoErr;
            }
            std::string proposed;
            e.GetParam(kEventParamText, &proposed);
            const auto limit = std::size_t(c->GetProperty(kPropertyEditLengthLimit));
            if (limit > 0 && Utf8Length(proposed) > limit &&
                Utf8Length(proposed) > Utf8Length(c->Text())) {
                window->IssueBoundCommand(kBindOnEditTooLong);
                return kUserCanceledErr;
            }
            const auto filter = EditFilter(c->GetProperty(kPropertyEditFilter));
            if (!EditFilterAccepts(filter, proposed)) return kUserCanceledErr;
            return kEventNotHandledErr;
        });
}

}  // namespace

bool EditFilterAccepts(EditFilter filter, const std::string& text) {
    switch (filter) {
        case EditFilter::kNone:
            return true;
        case EditFilter::kDecimal: {
            std::size_t i = 0;
            if (!text.empty() && (text[0] == '+' || text[0] == '-')) i = 1;
            int points = 0;
            for (; i < text.size(); ++i) {
                const char ch = text[i];
                if (ch == '.') {
                    if (++points > 1) return false;
                } else if (ch < '0' || ch > '9') {
                    return false;
                }
            }
            return true;
        }
        case EditFilter::kLowerCase:
            for (char ch : text) {
                if (ch < 'a' || ch > 'z') return false;
            }
            return true;
        case EditFilter::kUpperCase:
            for (char ch : text) {
                if (ch < 'A' || ch > 'Z') return false;
            }
            return true;
    }
    return true;
}

NativeControl* FindControl(LWindow* window, int id) {
    if (id == -1) return nullptr;
    NativeControl* root = Container(window);
    if (root == nullptr) return nullptr;
    NativeControl* found = FindIn(root, id);
    // A view inside a scroll view answers as the scroll view.
    if (found != nullptr && found->Kind() == ControlKind::kEditText && found->Parent() != nullptr &&
        found->Parent()->Kind() == ControlKind::kScrollView) {
        return found->Parent();
    }
    return found;
}

NativeControl* CreateControl(LWindow* window, int id, ControlKind kind) {
    NativeControl* parent = Container(window);
    if (parent == nullptr) return nullptr;
    window->nextAutoTop += kAutoTopStep;
    const int height = kind == ControlKind::kPopup ? kPopupPlaceholderHeight : kPlaceholderHeight;
    NativeControl* c =
        NativeControl::Create(parent, kind,
                              Rect{double(kPlaceholderX), double(window->nextAutoTop),
                                   double(kPlaceholderWidth), double(height)});
    if (c == nullptr) return nullptr;
    c->SetControlId(kControlSignature, id);
    if (id != -1) c->SetCommandId(std::uint32_t(id));
    c->Target().InstallHandler({{kEventClassControl, kEventControlClickWhileOtherFocused}},
                               [window, c](EventHandlerCall&, Event&) {
                                   window->IssueBoundCommand(kBindOnClickWhileOtherFocused, c);
                                   return kEventNotHandledErr;  // the click goes on
                               });
    if (kind == ControlKind::kPopup) InstallPopupBehaviour(window, c);
    if (kind == ControlKind::kEditText) InstallEditBehaviour(window, c);
    return c;
}

NativeControl* CreateStaticText(LWindow* window, int id, const char* text, const Rgba* color) {
    NativeControl* c = CreateControl(window, id, ControlKind::kStaticText);
    if (c == nullptr) return nullptr;
    c->SetText(text != nullptr ? text : "");
    if (color != nullptr) c->SetTextColor(*color);
    return c;
}

NativeControl* CreatePushButton(LWindow* window, int id, const char* title, int style,
                                std::uint32_t command) {
    ControlKind kind =
        style == 1 || style == 2 ? ControlKind::kBevelButton : ControlKind::kPushButton;
    if (command == kHICommandAppHelp) kind = ControlKind::kHelpButton;
    NativeControl* c = CreateControl(window, id, kind);
    if (c == nullptr) return nullptr;
    c->SetText(title != nullptr ? title : "");
    if (command != 0) c->SetCommandId(command);
    if (command == kHICommandOK) c->MakeDefaultButton();
    if (command == kHICommandCancel) c->MakeCancelButton();
    return c;
}

NativeControl* CreateCheckBox(LWindow* window, int id, const char* title) {
    NativeControl* c = CreateControl(window, id, ControlKind::kCheckBox);
    if (c != nullptr) c->SetText(title != nullptr ? title : "");
    return c;
}

NativeControl* CreatePopup(LWindow* window, int id) {
    return CreateControl(window, id, ControlKind::kPopup);
}

NativeControl* CreateEditField(LWindow* window, int id, const EditFieldOptions& options) {
    NativeControl* c = CreateControl(window, id, ControlKind::kEditText);
    if (c == nullptr) return nullptr;
    if (options.secure) c->SetSecure(true);
    if (options.read_only) c->SetReadOnly(true);
    EditFilter filter = EditFilter::kNone;
    if (options.decimal_only) {
        filter = EditFilter::kDecimal;
    } else if (options.lower_case_only) {
        filter = EditFilter::kLowerCase;
    } else if (options.upper_case_only) {
        filter = EditFilter::kUpperCase;
    }
    if (filter != EditFilter::kNone) c->SetProperty(kPropertyEditFilter, std::uintptr_t(filter));
    return c;
}

NativeControl* CreateUserPane(LWindow* window, int id) {
    return CreateControl(window, id, ControlKind::kUserPane);
}

NativeControl* CreateImage(LWindow* window, int id, const std::string& path) {
    NativeControl* c = CreateControl(window, id, ControlKind::kImage);
    if (c != nullptr) c->SetImage(path);
    return c;
}

NativeControl* CreateIcon(LWindow* window, int id, const std::string& path) {
    NativeControl* c = CreateControl(window, id, ControlKind::kIcon);
    if (c != nullptr) c->SetImage(path);
    return c;
}

NativeControl* CreateSeparator(LWindow* window, int id) {
    return CreateControl(window, id, ControlKind::kSeparator);
}

NativeControl* CreateTabs(LWindow* window, int id, const char* const* labels) {
    NativeControl* c = CreateControl(window, id, ControlKind::kTabs);
    if (c == nullptr) return nullptr;
    for (; labels != nullptr && *labels != nullptr; ++labels) c->TabsAppend(*labels);
    return c;
}

NativeControl* CreateRadioGroup(LWindow* window, int id) {
    return CreateControl(window, id, ControlKind::kRadioGroup);
}

NativeControl* CreateRadioButton(LWindow* window, int group_id, int id, const char* title) {
    NativeControl* group = FindControl(window, group_id);
    if (group == nullptr || group->Kind() != ControlKind::kRadioGroup) return nullptr;
    const int count = int(group->Children().size());
    NativeControl* c = NativeControl::Create(group, ControlKind::kRadioButton,
                                             Rect{0, double(24 * count), 200, 22});
    if (c == nullptr) return nullptr;
    c->SetControlId(kControlSignature, id);
    if (id != -1) c->SetCommandId(std::uint32_t(id));
    c->SetText(title != nullptr ? title : "");
    if (group->Value() == 0) group->SetValue(1);
    return c;
}

NativeControl* CreateProgressBar(LWindow* window, int id) {
    return CreateControl(window, id, ControlKind::kProgressBar);
}

NativeControl* CreateScrollView(LWindow* window, int id) {
    return CreateControl(window, id, ControlKind::kScrollView);
}

NativeControl* CreateLittleArrows(LWindow* window, int id, int maximum) {
    NativeControl* c = CreateControl(window, id, ControlKind::kLittleArrows);
    if (c != nullptr) c->SetMaximum(maximum);
    return c;
}

void SetControlFrame(LWindow* window, int id, int x, int y, int w, int h) {
    NativeControl* c = FindControl(window, id);
    if (c == nullptr) return;
    if (window->topLevel && NativeWindow::IsValid(window->window)) {
        y -= window->window->ToolbarHeight();
    }
    if (auto* composite =
            reinterpret_cast<LCompositeControl*>(c->GetProperty(kPropertyCompositeControl))) {
        composite->LayoutIn(x, y, w, h);
        return;
    }
    if (c->GetProperty(kPropertyFixedHeightRow) == 1) {
        c->SetFrame(Rect{double(x), double(y), double(w - 3), 24});
        return;
    }
    if (c->Kind() == ControlKind::kLittleArrows) {
        if (NativeControl* field = FindControl(window, id + 1)) {
            field->SetFrame(Rect{double(x), double(y + 3), double(w - 19), 18});
        }
        c->SetFrame(Rect{double(x + w - 13), double(y - 2), 10, 28});
        return;
    }
    if (c->Kind() == ControlKind::kEditText) {
        NativeControl* before = FindControl(window, id - 1);
        if (before != nullptr && before->Kind() == ControlKind::kLittleArrows) return;
        h = 18;
    }
    c->SetFrame(Rect{double(x), double(y), double(w), double(h)});
    if (auto* companion =
            reinterpret_cast<NativeControl*>(c->GetProperty(kPropertyCompanionFrame))) {
        if (NativeControl::IsValid(companion))
            companion->SetFrame(Rect{0, 0, double(w), double(h)});
    }
}

void EnableControl(LWindow* window, int id, bool enabled) {
    if (NativeControl* c = FindControl(window, id)) c->SetEnabled(enabled);
}

void ShowControl(LWindow* window, int id, bool visible) {
    if (NativeControl* c = FindControl(window, id)) c->SetVisible(visible);
}

void SetControlTextColor(LWindow* window, int id, const Rgba& color) {
    if (NativeControl* c = FindControl(window, id)) c->SetTextColor(color);
}

void SetControlText(LWindow* window, int id, const std::string& text) {
    if (NativeControl* c = FindControl(window, id)) c->SetText(text);
}

std::string GetControlText(LWindow* window, int id) {
    NativeControl* c = FindControl(window, id);
    return c != nullptr ? c->Text() : std::string();
}

void SetControlValue(LWindow* window, int id, int value) {
    if (NativeControl* c = FindControl(window, id)) c->SetValue(value);
}

int GetControlValue(LWindow* window, int id) {
    NativeControl* c = FindControl(window, id);
    return c != nullptr ? c->Value() : 0;
}

void SetCheckBoxValue(LWindow* window, int id, int value) {
    SetControlValue(window, id, value);
}

bool GetCheckBoxValue(LWindow* window, int id) {
    return GetControlValue(window, id) == 1;
}

void PopupAppendItems(LWindow* window, int id, const char* const* items) {
    NativeControl* c = FindControl(window, id);
    if (c == nullptr || c->Kind() != ControlKind::kPopup) return;
    for (; items != nullptr && *items != nullptr; ++items) c->PopupAppendItem(*items);
}

void PopupRemoveAll(LWindow* window, int id) {
    if (NativeControl* c = FindControl(window, id)) c->PopupRemoveAll();
}

void PopupSelectIndex(LWindow* window, int id, int index) {
    NativeControl* c = FindControl(window, id);
    if (c == nullptr || c->Kind() != ControlKind::kPopup) return;
    const int item = ItemOfIndex(c, index);
    c->SetValue(item != 0 ? item : 1);
}

bool PopupSelectText(LWindow* window, int id, const char* text) {
    NativeControl* c = FindControl(window, id);
    if (c == nullptr || c->Kind() != ControlKind::kPopup || text == nullptr) return false;
    for (int item = 1; item <= c->PopupItemCount(); ++item) {
        if (!c->PopupItemIsSeparator(item) && c->PopupItemText(item) == text) {
            c->SetValue(item);
            return true;
        }
    }
    return false;
}

int PopupGetIndex(LWindow* window, int id) {
    NativeControl* c = FindControl(window, id);
    if (c == nullptr || c->Kind() != ControlKind::kPopup) return -1;
    return IndexOfItem(c, c->Value());
}

int PopupGetCount(LWindow* window, int id) {
    NativeControl* c = FindControl(window, id);
    if (c == nullptr || c->Kind() != ControlKind::kPopup) return 0;
    int n = 0;
    for (int item = 1; item <= c->PopupItemCount(); ++item) {
        if (!c->PopupItemIsSeparator(item)) ++n;
    }
    return n;
}

std::string PopupGetText(LWindow* window, int id) {
    NativeControl* c = FindControl(window, id);
    if (c == nullptr || c->Kind() != ControlKind::kPopup) return {};
    return c->PopupItemText(c->Value());
}

std::string PopupGetItemText(LWindow* window, int id, int index) {
    NativeControl* c = FindControl(window, id);
    if (c == nullptr || c->Kind() != ControlKind::kPopup) return {};
    return c->PopupItemText(ItemOfIndex(c, index));
}

void SetEditText(LWindow* window, int id, const char* text) {
    SetControlText(window, id, text != nullptr ? text : "");
}

void SetEditInt(LWindow* window, int id, int value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    SetControlText(window, id, buf);
}

std::string GetEditText(LWindow* window, int id) {
    return GetControlText(window, id);
}

void EditSelectAll(LWindow* window, int id) {
    if (NativeControl* c = FindControl(window, id)) c->SelectAll();
}
void EditCut(LWindow* window, int id) {
    if (NativeControl* c = FindControl(window, id)) c->Cut();
}
void EditCopy(LWindow* window, int id) {
    if (NativeControl* c = FindControl(window, id)) c->Copy();
}
void EditPaste(LWindow* window, int id) {
    if (NativeControl* c = FindControl(window, id)) c->Paste();
}

void SetEditPlaceholder(LWindow* window, int id, const char* text) {
    if (NativeControl* c = FindControl(window, id)) c->SetPlaceholder(text != nullptr ? text : "");
}

void SetEditLengthLimit(LWindow* window, int id, int limit) {
    if (NativeControl* c = FindControl(window, id)) {
        c->SetProperty(kPropertyEditLengthLimit, std::uintptr_t(limit > 0 ? limit : 0));
    }
}

}  // namespace tw

namespace tw {

void LWindow::BindControlCommand(int control_id, std::uint32_t tag, std::uint32_t id) {
    if (NativeControl* c = FindControl(this, control_id)) c->SetProperty(tag, id);
}

}  // namespace tw

#include "ui/choice_dialog.h"

#include <algorithm>

#include "platform/ui/native_dialog.h"
#include "ui/controls.h"

namespace tw {

namespace {

// Layout, in pixels.
constexpr int kMinWidth = 400;         // the narrowest the texts and buttons get
constexpr int kMaxWidth = 600;         // long descriptions wrap rather than widen further
constexpr int kCheckBoxTextCap = 300;  // the check box's share of the width
constexpr int kHelpButtonWidth = 20;   // kept free beside the check box
constexpr int kCheckBoxExtra = 30;
constexpr int kMargin = 16;
constexpr int kBelowMainText = 26;  // the main text's top margin and a gap of 10
constexpr int kGap = 10;
constexpr int kCheckBoxGap = 11;
constexpr int kBottomRow = 36;  // below the separator, for a check box under 20 high
constexpr int kBottomPadding = 16;
constexpr int kCheckBoxMinHeight = 20;
constexpr int kButtonWidth = 96;
constexpr int kButtonHeight = 28;
constexpr int kButtonTopInRow = 4;

// The size RunModalWindow is asked for; the layout resizes the window to its content.
constexpr int kInitialHalfSize = 200;

}  // namespace

int LChoiceDialog::ChoiceCount() const {
    int n = 0;
    while (n < int(choices.size()) && choices[n].value > 0) ++n;
    return n;
}

int LChoiceDialog::AskChoice() {
    chosen = -1;
    checkBoxState = checkBoxInitial;
    if (!RunModalWindow(parentWindow, kInitialHalfSize, kInitialHalfSize)) return -1;
    return chosen;
}

void LChoiceDialog::OnInit() {
    window->SetTitle(caption);
    const int count = ChoiceCount();

    NativeControl* main_text = CreateStaticText(this, kChoiceMainText, text.c_str());
    SetTextWraps(main_text, true);
    NativeControl* secondary = nullptr;
    if (!message.empty()) {
        secondary = CreateStaticText(this, kChoiceMessage, message.c_str());
        SetTextWraps(secondary, true);
    }
    std::vector<NativeControl*> buttons;
    for (int i = 0; i < count; ++i) {
        const int id = kChoiceFirstButton + i;
        NativeControl* b = CreatePushButton(this, id, choices[i].title.c_str(), kPushButtonStyle,
                                            std::uint32_t(id));
        buttons.push_back(b);
    }
    CreateSeparator(this, kChoiceSeparator);
    NativeControl* check = CreateCheckBox(this, kChoiceCheckBox, "Show this dialog again");
    SetCheckBoxValue(this, kChoiceCheckBox, checkBoxInitial ? 1 : 0);
    ShowControl(this, kChoiceCheckBox, showCheckBox);
    // Without choices the dialog must still have a way out.
    const bool needs_ok = count == 0;
    if (hasCancel || needs_ok) {
        CreatePushButton(this, kChoiceCancel, "Cancel", kPushButtonStyle, kHICommandCancel);
        if (NativeControl* c = FindControl(this, kChoiceCancel)) c->MakeCancelButton();
    }
    if (needs_ok) {
        CreatePushButton(this, kChoiceOK, "OK", kPushButtonStyle, kHICommandOK);
        if (NativeControl* ok = FindControl(this, kChoiceOK)) ok->MakeDefaultButton();
    }

    // The width: the widest choice, the check box row, or the minimum.
    int width = kMinWidth;
    for (int i = 0; i < count; ++i) {
        SetChoiceButtonLabel(buttons[i], choices[i].title, choices[i].description);
        width = std::max(width, std::min(kMaxWidth, PreferredWidth(buttons[i])));
    }
    // Cancel and OK share the check box's row, at its right end.
    int row_buttons = 0;
    for (int id : {kChoiceOK, kChoiceCancel}) {
        if (FindControl(this, id) != nullptr) row_buttons += kButtonWidth + kGap;
    }
    const int check_width = check != nullptr ? PreferredWidth(check) : 0;
    width = std::max(width, std::min(check_width, kCheckBoxTextCap) + kHelpButtonWidth +
                                kCheckBoxExtra + row_buttons);

    SetWrapWidth(main_text, width);
    const int main_height = PreferredHeightForWidth(main_text, width);
    SetControlFrame(this, kChoiceMainText, kMargin, kMargin, width, main_height);
    int y = main_height + kBelowMainText;
    if (secondary != nullptr) {
        SetWrapWidth(secondary, width);
        const int h = PreferredHeightForWidth(secondary, width);
        SetControlFrame(this, kChoiceMessage, kMargin, y, width, h);
        y += h + kGap;
    }
    for (int i = 0; i < count; ++i) {
        SetWrapWidth(buttons[i], width);
        const int h = PreferredHeightForWidth(buttons[i], width);
        SetControlFrame(this, kChoiceFirstButton + i, kMargin, y, width, h);
        y += h + kGap;
        if (choices[i].value == preselected) {
            // Default and focused: Return presses the focused button.
            buttons[i]->MakeDefaultButton();
            buttons[i]->Focus();
        }
    }
    SetControlFrame(this, kChoiceSeparator, kMargin, y, width, 1);
    const int check_height = std::max(PreferredHeightForWidth(check, width), 1);
    SetControlFrame(this, kChoiceCheckBox, kMargin, y + kCheckBoxGap,
                    width - kHelpButtonWidth - row_buttons, check_height);
    int right = kMargin + width;
    for (int id : {kChoiceOK, kChoiceCancel}) {
        if (FindControl(this, id) == nullptr) continue;
        right -= kButtonWidth;
        SetControlFrame(this, id, right, y + kButtonTopInRow + kCheckBoxGap / 2, kButtonWidth,
                        kButtonHeight);
        right -= kGap;
    }
    const int bottom =
        check_height < kCheckBoxMinHeight ? kBottomRow : check_height + kBottomPadding;
    const int content_w = width + 2 * kMargin;
    const int content_h = y + kCheckBoxGap + bottom;
    int x0 = 0;
    int y0 = 0;
    GetPosition(&x0, &y0);
    SetBounds(x0, y0, content_w, content_h);
    CenterWindow();
}

void LChoiceDialog::ReadCheckBox() {
    if (FindControl(this, kChoiceCheckBox) != nullptr) {
        checkBoxState = GetCheckBoxValue(this, kChoiceCheckBox);
    }
}

bool LChoiceDialog::OnOK() {
    ReadCheckBox();
    return true;
}

bool LChoiceDialog::OnCancel() {
    // Only a dialog with a Cancel button (or one without choices) can be cancelled; the
    // close box and Escape do nothing otherwise.
    if (!hasCancel && ChoiceCount() > 0) return false;
    ReadCheckBox();
    chosen = -1;
    return true;
}

void LChoiceDialog::OnCommand(std::uint32_t id, void*) {
    const int index = int(id) - kChoiceFirstButton;
    if (index < 0 || index >= ChoiceCount()) return;
    chosen = choices[index].value;
    ReadCheckBox();
    ended = 1;
    EndModal(kHICommandOK);
}

}  // namespace tw

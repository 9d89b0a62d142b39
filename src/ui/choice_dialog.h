// The choice dialog: a main text, an optional secondary message, one large button per
// choice (a bold title over a description), an optional Cancel button and an optional
// "Show this dialog again" check box. A choice ends the dialog at once.
//
// Thread: main thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/message_box.h"
#include "ui/window.h"

namespace tw {

// Control ids and their layout.
inline constexpr int kChoiceMainText = 101;
inline constexpr int kChoiceMessage = 102;
inline constexpr int kChoiceSeparator = 103;
inline constexpr int kChoiceCheckBox = 104;
inline constexpr int kChoiceCancel = 105;
inline constexpr int kChoiceOK = 106;  // only in a dialog without choices
inline constexpr int kChoiceFirstButton = 200;

struct Choice {
    int value = 0;  // the list ends at the first value of 0 or below
    std::string title;
    std::string description;
};

class LChoiceDialog : public LWindow {
  public:
    // Runs the dialog; the chosen value, or -1 when it was cancelled, ended without a
    // choice or could not be made.
    int AskChoice();
    // The check box's state when the dialog ended (by a choice, OK or Cancel).
    bool ShowAgain() const { return checkBoxState; }

    // The choices before the first value of 0 or below.
    int ChoiceCount() const;

    void OnInit() override;
    bool OnOK() override;
    bool OnCancel() override;
    void OnCommand(std::uint32_t id, void* data) override;

    // The window title, kept in the window's caption.
    void SetCaption(std::string_view text) { CopyBoundedText(caption, sizeof caption, text); }

    NativeWindow* parentWindow = nullptr;
    std::string text;
    std::string message;  // secondary; empty: none
    std::vector<Choice> choices;
    int preselected = 0;  // value of the choice Return picks; 0: none
    bool hasCancel = false;
    bool showCheckBox = false;
    bool checkBoxInitial = true;
    bool checkBoxState = true;
    int chosen = -1;

  private:
    void ReadCheckBox();
};

}  // namespace tw

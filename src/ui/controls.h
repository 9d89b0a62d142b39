// Controls of a window, addressed by small integer ids and bound to commands through
// their properties: creation at a placeholder position, finding by id, the wrappers the
// windows use, and SetControlFrame, by which a window lays its controls out.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/native.h"
#include "ui/window.h"

namespace tw {

// Control IDs carry this signature.
inline constexpr std::uint32_t kControlSignature = FourCC("orvs");

// Properties kept on controls (and the content view), under their four-character tags.
inline constexpr std::uint32_t kPropertyCompositeControl = FourCC("Thic");  // its LCompositeControl
inline constexpr std::uint32_t kPropertyCustomView = FourCC("PaiN");  // a user pane's LCustomView
inline constexpr std::uint32_t kPropertyPopupHighlight = FourCC("PDmi");   // item highlighted
inline constexpr std::uint32_t kPropertyEditFilter = FourCC("Edif");       // an EditFilter
inline constexpr std::uint32_t kPropertyEditLengthLimit = FourCC("Edln");  // characters, 0 = none
inline constexpr std::uint32_t kPropertyCompanionFrame = FourCC("Grpr");   // resized along
inline constexpr std::uint32_t kPropertyFixedHeightRow = FourCC("dtpC");   // 1: a picker row
// Commands bound on controls, issued at the moment each name says.
inline constexpr std::uint32_t kBindOnPopupPick = FourCC("PDch");    // an item was picked
inline constexpr std::uint32_t kBindOnEditInput = FourCC("Edit");    // every key press or input
inline constexpr std::uint32_t kBindOnEditTooLong = FourCC("Edml");  // (content view) refused
inline constexpr std::uint32_t kBindOnClickWhileOtherFocused = FourCC("Ctlf");

// Push button styles: 0 push button; 1 and 2 bevel buttons.
inline constexpr int kPushButtonStyle = 0;
inline constexpr int kBevelButtonStyle = 1;

// Edit field input filters (stored under kPropertyEditFilter).
enum class EditFilter : std::uintptr_t { kNone = 0, kDecimal = 1, kLowerCase = 2, kUpperCase = 3 };

// The 9-byte option record of an edit field; bytes past the fifth are not interpreted.
struct EditFieldOptions {
    std::uint8_t secure = 0;
    std::uint8_t lower_case_only = 0;
    std::uint8_t upper_case_only = 0;
    std::uint8_t decimal_only = 0;
    std::uint8_t read_only = 0;
    std::uint8_t reserved[4] = {0, 0, 0, 0};
};

// True when the whole text passes the filter: decimal = an optional leading "+" or "-",
// digits and at most one "."; lower / upper case = letters of that case only.
bool EditFilterAccepts(EditFilter filter, const std::string& text);

// A control object made of several native controls; it lays itself out.
class LCompositeControl {
  public:
    virtual ~LCompositeControl() = default;
    virtual void LayoutIn(int x, int y, int w, int h) = 0;
};

// Finds a control by id among the window's controls (not inside embedded panes); -1 and
// unknown ids find nothing. A text view inside a scroll view answers as the scroll view.
NativeControl* FindControl(LWindow* window, int id);

// Creation. Each control is placed off the visible area until the window's layout moves
// it (SetControlFrame), gets the control ID {orvs, id} and the command ID id (none for
// id -1). nullptr when the window has no content view.
NativeControl* CreateControl(LWindow* window, int id, ControlKind kind);
NativeControl* CreateStaticText(LWindow* window, int id, const char* text,
                                const Rgba* color = nullptr);
NativeControl* CreatePushButton(LWindow* window, int id, const char* title, int style,
                                std::uint32_t command);
NativeControl* CreateCheckBox(LWindow* window, int id, const char* title);
NativeControl* CreatePopup(LWindow* window, int id);
NativeControl* CreateEditField(LWindow* window, int id, const EditFieldOptions& options);
NativeControl* CreateUserPane(LWindow* window, int id);
NativeControl* CreateImage(LWindow* window, int id, const std::string& path);
NativeControl* CreateIcon(LWindow* window, int id, const std::string& path);
NativeControl* CreateSeparator(LWindow* window, int id);
NativeControl* CreateTabs(LWindow* window, int id, const char* const* labels);
NativeControl* CreateRadioGroup(LWindow* window, int id);
// A radio button inside radio group `group_id`.
NativeControl* CreateRadioButton(LWindow* window, int group_id, int id, const char* title);
NativeControl* CreateProgressBar(LWindow* window, int id);
NativeControl* CreateScrollView(LWindow* window, int id);
NativeControl* CreateLittleArrows(LWindow* window, int id, int maximum);

// Layout: moves control `id`; in a top-level window y is in window coordinates, so the
// toolbar height is taken off first.
void SetControlFrame(LWindow* window, int id, int x, int y, int w, int h);

// By id; a missing id does nothing (getters answer 0, false or "").
void EnableControl(LWindow* window, int id, bool enabled);
void ShowControl(LWindow* window, int id, bool visible);
void SetControlTextColor(LWindow* window, int id, const Rgba& color);
void SetControlText(LWindow* window, int id, const std::string& text);
std::string GetControlText(LWindow* window, int id);
void SetControlValue(LWindow* window, int id, int value);
int GetControlValue(LWindow* window, int id);

// Check boxes.
void SetCheckBoxValue(LWindow* window, int id, int value);
bool GetCheckBoxValue(LWindow* window, int id);  // true only when the value is 1

// Popups. Items are appended from a null-terminated list ("-" is a separator). Indexes
// count the items that are not separators, from 0; an index past the end (or below 0)
// selects item 1.
void PopupAppendItems(LWindow* window, int id, const char* const* items);
void PopupRemoveAll(LWindow* window, int id);
void PopupSelectIndex(LWindow* window, int id, int index);
// Selects the first item whose text equals; false when none does.
bool PopupSelectText(LWindow* window, int id, const char* text);
// The selected index, -1 when nothing is selected.
int PopupGetIndex(LWindow* window, int id);
int PopupGetCount(LWindow* window, int id);         // items that are not separators
std::string PopupGetText(LWindow* window, int id);  // of the selected item
std::string PopupGetItemText(LWindow* window, int id, int index);

// Edit fields.
void SetEditText(LWindow* window, int id, const char* text);
void SetEditInt(LWindow* window, int id, int value);  // "%d"
std::string GetEditText(LWindow* window, int id);
void EditSelectAll(LWindow* window, int id);
void EditCut(LWindow* window, int id);
void EditCopy(LWindow* window, int id);
void EditPaste(LWindow* window, int id);
void SetEditPlaceholder(LWindow* window, int id, const char* text);
// Characters the field may hold; 0 = no limit.
void SetEditLengthLimit(LWindow* window, int id, int limit);

}  // namespace tw

// What the standard dialogs need of GTK beyond the controls themselves: measuring a
// control's text for a width, wrapping static texts, two-line choice buttons, the state
// of a progress bar, and application-wide modality.
//
// Thread: main thread only.
#pragma once

#include <string>

#include "platform/ui/native.h"

namespace tw {

// The height the control needs at this width, and the width it would like; in pixels.
int PreferredHeightForWidth(NativeControl* control, int width);
int PreferredWidth(NativeControl* control);

// A static text that wraps at its width instead of being cut short.
void SetTextWraps(NativeControl* control, bool wraps);

// A large button showing a bold title over a wrapped description (kPushButton or
// kBevelButton). Its preferred width is then that of the texts on one line each.
void SetChoiceButtonLabel(NativeControl* control, const std::string& title,
                          const std::string& description);

// A wrapping text (or the text of a choice button) wraps at this width of the control and
// never asks for more.
void SetWrapWidth(NativeControl* control, int width);

// A progress bar: the fraction shown, and whether it runs indeterminate.
double ProgressBarFraction(NativeControl* control);
bool ProgressBarIsIndeterminate(NativeControl* control);

// Modal for the whole application (input to the other windows is blocked).
void SetApplicationModal(NativeWindow* window, bool modal);
bool IsApplicationModal(NativeWindow* window);

// The keyboard focus is on this control (or on a widget inside it).
bool ControlHasFocus(NativeControl* control);

}  // namespace tw

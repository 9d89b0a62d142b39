#include "ui/message_box.h"

#include <algorithm>

#include "ui/sheet.h"

namespace tw {

namespace {

int g_shown_boxes = 0;
std::function<void(bool)> g_menu_hook;

void CountBox(int delta) {
    const int before = g_shown_boxes;
    g_shown_boxes += delta;
    if (!g_menu_hook) return;
    if (before == 0 && g_shown_boxes == 1) g_menu_hook(false);
    if (before == 1 && g_shown_boxes == 0) g_menu_hook(true);
}

void ShowAlert(NativeWindow* window, int type, std::string_view text, std::string_view caption) {
    LMessageBox box;
    box.parent = window;
    box.alertType = type;
    box.text = std::string(text);
    box.SetCaption(caption);
    box.Run();
}

}  // namespace

void CopyBoundedText(char* out, std::size_t size, std::string_view text) {
    if (out == nullptr || size == 0) return;
    std::size_t n = std::min(text.size(), size - 1);
    if (n < text.size()) {
        // Step back over continuation bytes so that no character is cut in half.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::copy_n(text.data(), n, out);
    out[n] = '\0';
}

std::string RemoveCarriageReturns(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r') out += c;
    }
    return out;
}

LMessageBox::LMessageBox() = default;

int LMessageBox::Run() {
    result = 1;
    AlertDescription desc;
    desc.type = alertType;
    desc.caption = caption;
    desc.titles[0] = defaultTitle;
    desc.titles[1] = cancelTitle;
    desc.titles[2] = otherTitle;
    // A caution alert's Return chooses the harmless button.
    if (alertType == kAlertCaution) {
        if (cancelTitle[0] != '\0') {
            desc.default_button = 2;
        } else if (otherTitle[0] != '\0') {
            desc.default_button = 3;
        }
    }
    desc.text = RemoveCarriageReturns(text);
    CountBox(+1);
    NativeWindow* owner = NativeWindow::IsValid(parent) ? parent : FocusedWindow();
    desc.parent = owner;
    desc.sheet = owner != nullptr && PrepareSheetParent(owner);
    if (!NativeWindow::IsValid(owner)) desc.parent = nullptr;
    result = std::int16_t(RunNativeAlert(desc));
    CountBox(-1);
    return result;
}

void ShowMessage(NativeWindow* window, std::string_view text) {
    ShowMessage(window, text, "Tunewright");
}

void ShowMessage(NativeWindow* window, std::string_view text, std::string_view caption) {
    ShowAlert(window, kAlertStop, text, caption);
}

void ShowNote(NativeWindow* window, std::string_view text, std::string_view caption) {
    ShowAlert(window, kAlertNote, text, caption);
}

bool AskQuestion(NativeWindow* window, std::string_view text, std::string_view caption,
                 std::string_view default_title, std::string_view cancel_title) {
    LMessageBox box;
    box.parent = window;
    box.alertType = kAlertNote;
    box.text = std::string(text);
    box.SetCaption(caption);
    box.SetDefaultTitle(default_title);
    box.SetCancelTitle(cancel_title);
    return box.Run() == 1;
}

int ShownMessageBoxCount() {
    return g_shown_boxes;
}

void SetMessageBoxMenuHook(std::function<void(bool enabled)> hook) {
    g_menu_hook = std::move(hook);
}

}  // namespace tw

// Single-line edit fields: the GtkEntry, the text input offered to the field's target as
// the whole text it would produce (which the target may refuse), the change notice, and
// the field operations (placeholder, secure and read-only entry, clipboard).
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/ui/native_internal.h"

namespace tw {

namespace {

using Internals = NativeUiInternals;

void OnInsertText(GtkEditable* editable, const gchar* text, gint length, gint* position,
                  gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    if (!Internals::Dispatching(*c)) return;
    std::string current = gtk_entry_get_text(GTK_ENTRY(editable));
    const std::string inserted(text, length < 0 ? std::string(text).size() : size_t(length));
    // The position is in characters.
    const char* base = current.c_str();
    const char* at = g_utf8_offset_to_pointer(base, *position);
    const size_t byte_pos = std::min(current.size(), size_t(at - base));
    std::string proposed = current;
    proposed.insert(byte_pos, inserted);
    Event e(kEventClassTextInput, kEventTextInputFilterText);
    e.SetParam(kEventParamText, proposed);
    if (SendToControl(c, e) == kUserCanceledErr) {
        g_signal_stop_emission_by_name(editable, "insert-text");
    }
}

void OnEntryChanged(GtkEditable*, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    if (!Internals::Dispatching(*c)) return;
    Event e(kEventClassTextInput, kEventTextInputChanged);
    SendToControl(c, e);
}

}  // namespace

ControlParts BuildEditField(NativeControl& c) {
    GtkWidget* w = gtk_entry_new();
    gtk_entry_set_activates_default(GTK_ENTRY(w), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
    g_signal_connect(w, "insert-text", G_CALLBACK(OnInsertText), &c);
    g_signal_connect(w, "changed", G_CALLBACK(OnEntryChanged), &c);
    return {w, nullptr, nullptr, nullptr};
}

void NativeControl::SetPlaceholder(const std::string& text) {
    if (kind_ == ControlKind::kEditText) {
        gtk_entry_set_placeholder_text(GTK_ENTRY(widget_), text.c_str());
    }
}

void NativeControl::SetSecure(bool on) {
    if (kind_ == ControlKind::kEditText) gtk_entry_set_visibility(GTK_ENTRY(widget_), !on);
}

void NativeControl::SetReadOnly(bool on) {
    if (kind_ == ControlKind::kEditText) gtk_editable_set_editable(GTK_EDITABLE(widget_), !on);
}

void NativeControl::SelectAll() {
    if (kind_ == ControlKind::kEditText) gtk_editable_select_region(GTK_EDITABLE(widget_), 0, -1);
}
void NativeControl::Cut() {
    if (kind_ == ControlKind::kEditText) gtk_editable_cut_clipboard(GTK_EDITABLE(widget_));
}
void NativeControl::Copy() {
    if (kind_ == ControlKind::kEditText) gtk_editable_copy_clipboard(GTK_EDITABLE(widget_));
}
void NativeControl::Paste() {
    if (kind_ == ControlKind::kEditText) gtk_editable_paste_clipboard(GTK_EDITABLE(widget_));
}

bool NativeControl::GetSelection(int* start, int* end) const {
    int s = 0;
    int e = 0;
    const bool any = kind_ == ControlKind::kEditText &&
                     gtk_editable_get_selection_bounds(GTK_EDITABLE(widget_), &s, &e);
    if (start) *start = any ? s : 0;
    if (end) *end = any ? e : 0;
    return any;
}

}  // namespace tw

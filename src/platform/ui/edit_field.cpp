// Single-line edit fields: the GtkEntry, the text input offered to the field's target as
// the whole text it would produce (which the target may refuse, leaving the field and its
// selection as they were), the change notice, and the field operations (placeholder,
// secure and read-only entry, selection, clipboard).
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/ui/native_internal.h"

namespace tw {

namespace {

using Internals = NativeUiInternals;

void SendChanged(NativeControl* c) {
    Event e(kEventClassTextInput, kEventTextInputChanged);
    SendToControl(c, e);
}

// Once the main loop is idle again the replacement is over: a refused one gets its
// selection back (GTK moved the cursor after the insertion we stopped), a deletion that
// no insertion followed sends the change notice it held back.
gboolean SettleSnapshot(gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    auto& snap = Internals::EditSnapshot(*c);
    snap.idle_source = 0;
    const bool held = snap.change_held;
    if (snap.restored) {
        Internals::Dispatching(*c) = false;
        gtk_editable_select_region(GTK_EDITABLE(c->Widget()), snap.start, snap.end);
        Internals::Dispatching(*c) = true;
    }
    ForgetEditSnapshot(*c);
    if (held) SendChanged(c);
    return G_SOURCE_REMOVE;
}

void OnDeleteText(GtkEditable* editable, gint start, gint end, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    if (!Internals::Dispatching(*c)) return;
    int sel_start = 0;
    int sel_end = 0;
    if (!gtk_editable_get_selection_bounds(editable, &sel_start, &sel_end)) return;
    if (end < 0) end = gtk_entry_get_text_length(GTK_ENTRY(editable));
    if (start != sel_start || end != sel_end) return;
    // The selection goes: typing or pasting over it may follow at once.
    auto& snap = Internals::EditSnapshot(*c);
    ForgetEditSnapshot(*c);
    snap.valid = true;
    snap.text = gtk_entry_get_text(GTK_ENTRY(editable));
    snap.start = sel_start;
    snap.end = sel_end;
    snap.idle_source = g_idle_add_full(G_PRIORITY_HIGH, SettleSnapshot, c, nullptr);
}

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
    auto& snap = Internals::EditSnapshot(*c);
    if (SendToControl(c, e) != kUserCanceledErr) {
        // Taken: the insertion's own change notice covers the deletion before it.
        ForgetEditSnapshot(*c);
        return;
    }
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (!snap.valid || snap.restored) return;
    // Refused over a selection: the selection comes back as it was.
    Internals::Dispatching(*c) = false;
    gtk_entry_set_text(GTK_ENTRY(editable), snap.text.c_str());
    Internals::Dispatching(*c) = true;
    *position = snap.end;
    snap.restored = true;
    snap.change_held = false;
}

void OnEntryChanged(GtkEditable*, gpointer data) {
    auto* c = static_cast<NativeControl*>(data);
    if (!Internals::Dispatching(*c)) return;
    auto& snap = Internals::EditSnapshot(*c);
    if (snap.restored) return;  // the text is what it was: nothing changed
    if (snap.valid) {
        // Held until it is clear whether an insertion replaces the selection.
        snap.change_held = true;
        return;
    }
    SendChanged(c);
}

}  // namespace

void ForgetEditSnapshot(NativeControl& c) {
    auto& snap = Internals::EditSnapshot(c);
    if (snap.idle_source != 0) g_source_remove(snap.idle_source);
    snap = {};
}

ControlParts BuildEditField(NativeControl& c) {
    GtkWidget* w = gtk_entry_new();
    gtk_entry_set_activates_default(GTK_ENTRY(w), TRUE);
    gtk_entry_set_width_chars(GTK_ENTRY(w), 1);
    g_signal_connect(w, "delete-text", G_CALLBACK(OnDeleteText), &c);
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
void NativeControl::SelectRange(int start, int end) {
    if (kind_ == ControlKind::kEditText) {
        gtk_editable_select_region(GTK_EDITABLE(widget_), start, end);
    }
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

#include "platform/ui/about_dialog.h"

#include <gtk/gtk.h>

#include "platform/ui/native_window.h"

namespace tw {

namespace {

GtkWidget* g_dialog = nullptr;
AboutInfo g_info;

void OnResponse(GtkDialog* dialog, gint, gpointer) {
    gtk_widget_destroy(GTK_WIDGET(dialog));
}

void OnDestroy(GtkWidget*, gpointer) {
    g_dialog = nullptr;
    g_info = AboutInfo{};
}

}  // namespace

void ShowAboutDialog(NativeWindow* parent, const AboutInfo& info) {
    if (g_dialog == nullptr) {
        g_dialog = gtk_about_dialog_new();
        GtkAboutDialog* about = GTK_ABOUT_DIALOG(g_dialog);
        gtk_about_dialog_set_program_name(about, info.name.c_str());
        gtk_about_dialog_set_version(about, info.version.c_str());
        gtk_about_dialog_set_comments(about, info.comments.c_str());
        gtk_about_dialog_set_website(about, info.website.c_str());
        gtk_about_dialog_set_website_label(about, info.website_label.c_str());
        if (!info.icon_path.empty()) {
            if (GdkPixbuf* logo = gdk_pixbuf_new_from_file(info.icon_path.c_str(), nullptr)) {
                gtk_about_dialog_set_logo(about, logo);
                g_object_unref(logo);
            }
        }
        if (parent != nullptr && parent->Widget() != nullptr) {
            gtk_window_set_transient_for(GTK_WINDOW(g_dialog), GTK_WINDOW(parent->Widget()));
        }
        gtk_window_set_position(GTK_WINDOW(g_dialog), GTK_WIN_POS_CENTER_ON_PARENT);
        g_signal_connect(g_dialog, "response", G_CALLBACK(OnResponse), nullptr);
        g_signal_connect(g_dialog, "destroy", G_CALLBACK(OnDestroy), nullptr);
        g_info = info;
    }
    gtk_window_present(GTK_WINDOW(g_dialog));
}

bool IsAboutDialogOpen() {
    return g_dialog != nullptr;
}

void CloseAboutDialog() {
    if (g_dialog != nullptr) gtk_widget_destroy(g_dialog);
}

AboutInfo ShownAboutInfo() {
    return g_info;
}

}  // namespace tw

// The about box: the desktop's own about dialog with the program's name, version, icon,
// a line of description and the home page link. One at a time; it does not block.
//
// Thread: main thread only.
#pragma once

#include <string>

namespace tw {

class NativeWindow;

struct AboutInfo {
    std::string name;
    std::string version;
    std::string comments;
    std::string website;
    std::string website_label;
    std::string icon_path;  // a PNG; none: no logo
};

// Shows the box over `parent`, creating it when it is not open, else bringing it forward.
void ShowAboutDialog(NativeWindow* parent, const AboutInfo& info);
bool IsAboutDialogOpen();
// Closes it when open (the quit sequence).
void CloseAboutDialog();
// What it shows, for tests: empty strings when it is not open.
AboutInfo ShownAboutInfo();

}  // namespace tw

// The preferences dialog: a tabbed dialog with the one page "General", where the player
// chooses the sound input device, opens the desktop's sound settings for volumes and
// channels, and keeps the main window on top of others.
//
// Thread: main thread only.
#pragma once

#include <cstdint>

#include "audio/device_catalogue.h"
#include "ui/tabbed_dialog.h"

namespace tw {

// Control ids and commands of the "General" page.
inline constexpr int kPrefsInputLabel = 7600;
inline constexpr int kPrefsInputPopup = 7601;
inline constexpr int kPrefsSoundSettings = 7602;
inline constexpr int kPrefsKeepOnTop = 7603;
inline constexpr int kPrefsSeparator = 7604;

// The page's content size.
inline constexpr int kGeneralPageWidth = 738;
inline constexpr int kGeneralPageHeight = 112;

// The stored input device ("SoundInDevice", the system's default input by default, and
// "SoundInDeviceChannel") as a selection of the catalogue.
DeviceSelection ReadStoredInputSelection();
// Stores the device's name (empty for none) and the channel index.
void WriteInputSelection(const DeviceSelection& selection);

// The input devices in catalogue order, selecting the first whose name is the
// selection's device (the first item when none is).
void FillDevicePopup(LWindow* page, int control, const DeviceSelection& selection);
// Device = the selected item's index, channel 0, multi-channel when it has more than one.
DeviceSelection SelectionFromPopup(LWindow* page, int control);

class GeneralPage : public LTabbedPage {
  public:
    // Runs the desktop's sound settings; replaced by tests. True when one started.
    using SoundSettingsOpener = bool (*)();
    explicit GeneralPage(SoundSettingsOpener opener);

    void OnInit() override;
    bool OnOK() override;
    void OnHelp() override;
    void OnCommand(std::uint32_t id, void* data) override;

  private:
    SoundSettingsOpener opener_;
};

// Runs the dialog modally over `parent`; true when it ended with OK. `opener` null: the
// desktop's own sound settings.
bool RunPreferencesDialog(NativeWindow* parent, GeneralPage::SoundSettingsOpener opener = nullptr);

}  // namespace tw

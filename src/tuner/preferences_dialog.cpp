#include "tuner/preferences_dialog.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/core/sound_settings.h"
#include "store/folders.h"
#include "tuner/tuner_settings.h"
#include "ui/controls.h"

namespace tw {

namespace {

struct Frame {
    int x, y, w, h;
};
// Positions on the page.
constexpr Frame kInputLabelFrame{18, 14, 348, 18};
constexpr Frame kInputPopupFrame{372, 14, 348, 20};
constexpr Frame kSoundSettingsFrame{369, 44, 351, 20};
constexpr Frame kSeparatorFrame{18, 76, 702, 1};
constexpr Frame kKeepOnTopFrame{18, 86, 702, 20};

void Place(LWindow* page, int id, const Frame& f) {
    SetControlFrame(page, id, f.x, f.y, f.w, f.h);
}

}  // namespace

DeviceSelection ReadStoredInputSelection() {
    int32_t index = -1;
    std::string default_name;
    GetDefaultInputDevice(&index, &default_name);
    const std::string name = GetSoundInDevice(default_name.c_str());
    return MakeDeviceSelection(name, GetSoundInDeviceChannel());
}

void WriteInputSelection(const DeviceSelection& selection) {
    std::string name;
    if (!GetInputDeviceName(selection.deviceIndex, &name)) name.clear();
    SetSoundInDevice(name);
    SetSoundInDeviceChannel(selection.channelIndex);
}

void FillDevicePopup(LWindow* page, int control, const DeviceSelection& selection) {
    PopupRemoveAll(page, control);
    std::vector<DeviceEntry> devices;
    EnumerateInputDevices(&devices);
    std::vector<const char*> names;
    for (const DeviceEntry& d : devices) names.push_back(d.name.c_str());
    names.push_back(nullptr);
    PopupAppendItems(page, control, names.data());
    std::string wanted;
    if (GetInputDeviceName(selection.deviceIndex, &wanted) &&
        !PopupSelectText(page, control, wanted.c_str())) {
        PopupSelectIndex(page, control, 0);
    }
}

DeviceSelection SelectionFromPopup(LWindow* page, int control) {
    DeviceSelection selection;
    selection.deviceIndex = PopupGetIndex(page, control);
    selection.channelIndex = 0;
    selection.multiChannel = CountChannels(selection.deviceIndex) > 1;
    return selection;
}

GeneralPage::GeneralPage(SoundSettingsOpener opener)
    : opener_(opener != nullptr ? opener : &OpenSoundSettings) {}

void GeneralPage::OnInit() {
    NativeControl* label = CreateStaticText(this, kPrefsInputLabel, "Sound Input Device:");
    if (label != nullptr) label->SetAlignment(1);
    CreatePopup(this, kPrefsInputPopup);
    CreatePushButton(this, kPrefsSoundSettings, "Volume and Input Channel Settings...",
                     kPushButtonStyle, kPrefsSoundSettings);
    CreateSeparator(this, kPrefsSeparator);
    CreateCheckBox(this, kPrefsKeepOnTop, "Keep window on top at all times");
    Place(this, kPrefsInputLabel, kInputLabelFrame);
    Place(this, kPrefsInputPopup, kInputPopupFrame);
    Place(this, kPrefsSoundSettings, kSoundSettingsFrame);
    Place(this, kPrefsSeparator, kSeparatorFrame);
    Place(this, kPrefsKeepOnTop, kKeepOnTopFrame);

    FillDevicePopup(this, kPrefsInputPopup, ReadStoredInputSelection());
    SetCheckBoxValue(this, kPrefsKeepOnTop, GetAlwaysOnTop() ? 1 : 0);
}

bool GeneralPage::OnOK() {
    WriteInputSelection(SelectionFromPopup(this, kPrefsInputPopup));
    SetAlwaysOnTop(GetCheckBoxValue(this, kPrefsKeepOnTop));
    return true;
}

void GeneralPage::OnHelp() {
    OpenHelpPage("general");
}

void GeneralPage::OnCommand(std::uint32_t id, void*) {
    // Nothing is said when no sound settings program is installed; the dialog stays.
    if (id == std::uint32_t(kPrefsSoundSettings)) opener_();
}

bool RunPreferencesDialog(NativeWindow* parent, GeneralPage::SoundSettingsOpener opener) {
    LTabbedDialog dialog;
    dialog.AddPage("General", kGeneralPageWidth, kGeneralPageHeight,
                   [opener] { return std::make_unique<GeneralPage>(opener); });
    return dialog.Run(parent, "Preferences");
}

}  // namespace tw

// The sound device catalogue: input devices and their selectable channel entries, name and
// index look-ups, the default input device, the `DeviceSelection` by which the rest of the
// program names an input, and the output devices for playback. Nothing is cached: every call
// asks the hardware anew, so devices that come and go are seen at the next call.
//
// Thread: any thread (the main thread for dialogs and the analyser, the capture thread while it
// opens a device); no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/audio_hal.h"

namespace tw {

// Names are cut to this many bytes, as the fixed 260-byte name buffers hold.
inline constexpr size_t kDeviceNameMax = 259;

// One element of an enumeration: a device (id = device id) or a channel entry (id = data-source
// id or channel number).
struct DeviceEntry {
    uint32_t id = 0;
    std::string name;
};

struct DeviceSelection {
    int32_t deviceIndex = 0;    // among input devices; -1 when there is no default input
    int32_t channelIndex = 0;   // in the device's channel-entry list
    bool multiChannel = false;  // channel 0 of a device with more than one channel entry

    bool operator==(const DeviceSelection&) const = default;
};

// Clears the list and appends the input devices in hardware order; returns the number of all
// devices the hardware reports (input or not), 0 on failure.
int32_t EnumerateInputDevices(std::vector<DeviceEntry>* list);
// Clears the list and fills it with the device's channel entries; returns the channel count as
// the hardware layer defines it (an unsigned byte), 0 when the configuration cannot be read.
uint8_t EnumerateChannels(hal::DeviceId device, std::vector<DeviceEntry>* list);
int32_t CountDevices();
bool GetInputDevice(int32_t index, hal::DeviceId* device, std::string* name);
bool GetInputDeviceName(int32_t index, std::string* name);
bool FindInputDeviceByName(const std::string& name, int32_t* index, hal::DeviceId* device);
bool FindInputDeviceById(hal::DeviceId device, int32_t* index, std::string* name);
// Index -1 and an empty name when there is none or it is not an input device.
bool GetDefaultInputDevice(int32_t* index, std::string* name);
uint8_t CountChannels(int32_t deviceIndex);
std::string GetChannelName(int32_t deviceIndex, int32_t channelIndex);
DeviceSelection MakeDeviceSelection(const std::string& deviceName, int32_t channelIndex);
DeviceSelection DefaultDeviceSelection();
hal::DeviceId SelectionDeviceId(const DeviceSelection& selection);

// Output devices for playback: 1-based indices over devices with output streams and a name;
// index 0 is the system default output device.
inline constexpr const char* kDefaultPlaybackDevice = "Default Playback Device";
void EnumerateOutputDevices(std::vector<DeviceEntry>* list);
// -1 when the index is past the list (or index 0 and no default output exists).
int64_t OutputDeviceIdByIndex(int32_t index);
// 0 for "Default Playback Device" or a name no device has.
int32_t OutputDeviceIndexByName(const std::string& name);
int32_t OutputDeviceIndexById(hal::DeviceId device);

}  // namespace tw

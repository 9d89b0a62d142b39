#include "audio/device_catalogue.h"

#include <cstdio>

namespace tw {

namespace {

std::string Bounded(std::string name) {
    if (name.size() > kDeviceNameMax) name.resize(kDeviceNameMax);
    return name;
}

// Only entries with a name count when a list is indexed.
const DeviceEntry* At(const std::vector<DeviceEntry>& list, int32_t index) {
    if (index < 0) return nullptr;
    for (const auto& entry : list) {
        if (entry.name.empty()) continue;
        if (index-- == 0) return &entry;
    }
    return nullptr;
}

}  // namespace

int32_t EnumerateInputDevices(std::vector<DeviceEntry>* list) {
    list->clear();
    hal::AudioBackend& backend = hal::Backend();
    std::vector<hal::DeviceId> devices;
    if (!backend.Devices(&devices)) return 0;
    for (hal::DeviceId device : devices) {
        std::string name;
        int streams = 0;
        // A device that cannot answer ends the enumeration; what was found stays listed.
        if (!backend.DeviceName(device, &name) || !backend.InputStreams(device, &streams)) return 0;
        if (streams > 0) list->push_back({device, Bounded(name)});
    }
    return static_cast<int32_t>(devices.size());
}

uint8_t EnumerateChannels(hal::DeviceId device, std::vector<DeviceEntry>* list) {
    list->clear();
    hal::AudioBackend& backend = hal::Backend();
    std::vector<int> buffers;
    if (!backend.InputStreamConfiguration(device, &buffers)) return 0;
    uint8_t entries = 0;
    uint8_t channels = 0;
    for (size_t i = 0; i < buffers.size(); ++i) {
        uint32_t source = 0;
        if (backend.InputDataSource(device, static_cast<int>(i), &source)) {
            std::string name;
            backend.DataSourceName(device, source, &name);
            if (name.empty()) name = "Default";
            // Entries go in at the head, so the list runs backwards over the buffers.
            list->insert(list->begin(), {source, Bounded(name)});
            entries = static_cast<uint8_t>(entries + 1);
            channels = static_cast<uint8_t>(channels + buffers[i]);
        } else if (i == 0 && buffers.size() == 1) {
            const int count = buffers[0];
            for (int c = 0; c < count; ++c) {
                char name[32];
                if (count == 1) {
                    std::snprintf(name, sizeof name, "Default");
                } else {
                    std::snprintf(name, sizeof name, "Channel %d", c + 1);
                }
                list->insert(list->begin(), {static_cast<uint32_t>(c), name});
            }
            return static_cast<uint8_t>(entries + count);
        }
    }
    return static_cast<uint8_t>(entries + channels);
}

int32_t CountDevices() {
    std::vector<DeviceEntry> list;
    return EnumerateInputDevices(&list);
}

bool GetInputDevice(int32_t index, hal::DeviceId* device, std::string* name) {
    if (index == -1) return false;
    std::vector<DeviceEntry> list;
    EnumerateInputDevices(&list);
    const DeviceEntry* entry = At(list, index);
    if (!entry) return false;
    if (device) *device = entry->id;
    if (name) *name = entry->name;
    return true;
}

bool GetInputDeviceName(int32_t index, std::string* name) {
    return GetInputDevice(index, nullptr, name);
}

bool FindInputDeviceByName(const std::string& name, int32_t* index, hal::DeviceId* device) {
    std::vector<DeviceEntry> list;
    EnumerateInputDevices(&list);
    int32_t i = 0;
    for (const auto& entry : list) {
        if (entry.name.empty()) continue;
        if (entry.name == name) {
            if (index) *index = i;
            if (device) *device = entry.id;
            return true;
        }
        ++i;
    }
    return false;
}

bool FindInputDeviceById(hal::DeviceId device, int32_t* index, std::string* name) {
    std::vector<DeviceEntry> list;
    EnumerateInputDevices(&list);
    int32_t i = 0;
    for (const auto& entry : list) {
        if (entry.name.empty()) continue;
        if (entry.id == device) {
            if (index) *index = i;
            if (name) *name = entry.name;
            return true;
        }
        ++i;
    }
    if (index) *index = -1;
    if (name) name->clear();
    return false;
}

bool GetDefaultInputDevice(int32_t* index, std::string* name) {
    hal::DeviceId device = hal::kNoDevice;
    if (!hal::Backend().DefaultInputDevice(&device)) {
        if (index) *index = -1;
        if (name) name->clear();
        return false;
    }
    return FindInputDeviceById(device, index, name);
}

uint8_t CountChannels(int32_t deviceIndex) {
    hal::DeviceId device = hal::kNoDevice;
    if (!GetInputDevice(deviceIndex, &device, nullptr)) device = hal::kNoDevice;
    std::vector<DeviceEntry> list;
    return EnumerateChannels(device, &list);
}

std::string GetChannelName(int32_t deviceIndex, int32_t channelIndex) {
    hal::DeviceId device = hal::kNoDevice;
    if (!GetInputDevice(deviceIndex, &device, nullptr)) return {};
    std::vector<DeviceEntry> list;
    EnumerateChannels(device, &list);
    const DeviceEntry* entry = At(list, channelIndex);
    return entry ? entry->name : std::string();
}

DeviceSelection MakeDeviceSelection(const std::string& deviceName, int32_t channelIndex) {
    DeviceSelection selection{0, 0, false};
    int32_t index = 0;
    hal::DeviceId device = hal::kNoDevice;
    if (!FindInputDeviceByName(deviceName, &index, &device)) return selection;
    selection.deviceIndex = index;
    std::vector<DeviceEntry> list;
    const uint8_t count = EnumerateChannels(device, &list);
    if (At(list, channelIndex)) selection.channelIndex = channelIndex;
    selection.multiChannel = selection.channelIndex == 0 && count > 1;
    return selection;
}

DeviceSelection DefaultDeviceSelection() {
    DeviceSelection selection{-1, 0, false};
    GetDefaultInputDevice(&selection.deviceIndex, nullptr);
    if (selection.deviceIndex >= 0)
        selection.multiChannel = CountChannels(selection.deviceIndex) > 1;
    return selection;
}

hal::DeviceId SelectionDeviceId(const DeviceSelection& selection) {
    hal::DeviceId device = hal::kNoDevice;
    if (!GetInputDevice(selection.deviceIndex, &device, nullptr)) return hal::kNoDevice;
    return device;
}

void EnumerateOutputDevices(std::vector<DeviceEntry>* list) {
    list->clear();
    hal::AudioBackend& backend = hal::Backend();
    std::vector<hal::DeviceId> devices;
    if (!backend.Devices(&devices)) return;
    for (hal::DeviceId device : devices) {
        std::string name;
        int streams = 0;
        if (!backend.DeviceName(device, &name) || !backend.OutputStreams(device, &streams)) return;
        if (streams > 0 && !name.empty()) list->push_back({device, Bounded(name)});
    }
}

int64_t OutputDeviceIdByIndex(int32_t index) {
    if (index == 0) {
        hal::DeviceId device = hal::kNoDevice;
        return hal::Backend().DefaultOutputDevice(&device) ? int64_t{device} : -1;
    }
    std::vector<DeviceEntry> list;
    EnumerateOutputDevices(&list);
    if (index < 0 || static_cast<size_t>(index) > list.size()) return -1;
    return list[index - 1].id;
}

int32_t OutputDeviceIndexByName(const std::string& name) {
    if (name == kDefaultPlaybackDevice) return 0;
    std::vector<DeviceEntry> list;
    EnumerateOutputDevices(&list);
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].name == name) return static_cast<int32_t>(i + 1);
    }
    return 0;
}

int32_t OutputDeviceIndexById(hal::DeviceId device) {
    std::vector<DeviceEntry> list;
    EnumerateOutputDevices(&list);
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].id == device) return static_cast<int32_t>(i + 1);
    }
    return 0;
}

}  // namespace tw

#include "platform/audio/virtual/virtual_backend.h"

#include <algorithm>
#include <cstdlib>

#include "platform/audio/sound_file.h"
#include "platform/core/folder_lookup.h"
#include "platform/audio/virtual/virtual_device.h"
#include "platform/audio/virtual/virtual_options.h"
#include "platform/audio/virtual/virtual_units.h"

namespace tw::hal {

namespace {

// The demo clip: named by TUNEWRIGHT_DEMO_CLIP, else among the program's resources (a build
// tree's resources/, an installation's share/tunewright), else the working folder's.
std::string DemoClipPath() {
    if (const char* env = std::getenv("TUNEWRIGHT_DEMO_CLIP")) return env;
    std::string path;
    if (LookUpResourceFile("demo-guitar.flac", &path)) return path;
    return "resources/demo-guitar.flac";
}

}  // namespace

VirtualBackend::VirtualBackend() {
    std::string error;
    const char* option = std::getenv("TUNEWRIGHT_VIRTUAL_DEVICES");
    if (!(option && Configure(option, &error))) SetDevices(DemoDevices());
    if (const char* speed = std::getenv("TUNEWRIGHT_VIRTUAL_SPEED")) {
        speed_ = std::max(0.0, std::atof(speed));
    }
}

VirtualBackend::~VirtualBackend() = default;

std::vector<VirtualDeviceSpec> VirtualBackend::DemoDevices() {
    VirtualDeviceSpec mic;
    mic.name = "Virtual Microphone";
    mic.inputBuffers = {1};
    mic.signal.kind = VirtualSignal::Kind::kFile;
    mic.signal.path = DemoClipPath();
    if (!SoundFileReader::Open(mic.signal.path, nullptr)) {
        // Without the clip the microphone hears a steady A2.
        mic.signal.kind = VirtualSignal::Kind::kHarmonic;
        mic.signal.hz = 110.0;
    }
    VirtualDeviceSpec speakers;
    speakers.name = "Virtual Speakers";
    speakers.outputChannels = 2;
    return {mic, speakers};
}

void VirtualBackend::SetDevices(const std::vector<VirtualDeviceSpec>& devices) {
    std::lock_guard<std::mutex> lock(mutex_);
    devices_.clear();
    for (const auto& spec : devices) {
        auto device = std::make_shared<Device>();
        device->id = nextId_++;
        device->spec = spec;
        devices_.push_back(std::move(device));
    }
}

bool VirtualBackend::Configure(const std::string& option, std::string* error) {
    VirtualDeviceOptions options;
    if (!ParseVirtualDevices(option, &options, error)) return false;
    SetDevices(options.devices);
    SetNoDefaultInput(options.noDefaultInput);
    return true;
}

void VirtualBackend::SetNoDefaultInput(bool none) {
    std::lock_guard<std::mutex> lock(mutex_);
    noDefaultInput_ = none;
}

void VirtualBackend::SetSpeed(double speed) {
    std::lock_guard<std::mutex> lock(mutex_);
    speed_ = std::max(0.0, speed);
}

double VirtualBackend::Speed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return speed_;
}

std::shared_ptr<VirtualBackend::Device> VirtualBackend::Find(DeviceId device) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& d : devices_) {
        if (d->id == device) return d;
    }
    return nullptr;
}

DeviceId VirtualBackend::FindDevice(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& d : devices_) {
        if (d->spec.name == name) return d->id;
    }
    return kNoDevice;
}

std::vector<int32_t> VirtualBackend::Output(DeviceId device, int* channels) {
    auto d = Find(device);
    if (!d) return {};
    std::lock_guard<std::mutex> lock(d->outputMutex);
    if (channels) *channels = d->outputChannels;
    return d->output;
}

std::vector<int32_t> VirtualBackend::TakeOutput(DeviceId device, int* channels) {
    auto d = Find(device);
    if (!d) return {};
    std::lock_guard<std::mutex> lock(d->outputMutex);
    if (channels) *channels = d->outputChannels;
    std::vector<int32_t> taken;
    taken.swap(d->output);
    return taken;
}

void VirtualBackend::Silence(DeviceId device) {
    if (auto d = Find(device)) d->silenced = true;
}

void VirtualBackend::Vanish(DeviceId device) {
    if (auto d = Find(device)) d->vanished = true;
}

int VirtualBackend::OpenUnits() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return openUnits_;
}

void VirtualBackend::UnitOpened(int delta) {
    std::lock_guard<std::mutex> lock(mutex_);
    openUnits_ += delta;
}

bool VirtualBackend::Devices(std::vector<DeviceId>* devices) {
    std::lock_guard<std::mutex> lock(mutex_);
    devices->clear();
    for (const auto& d : devices_) {
        if (!d->vanished) devices->push_back(d->id);
    }
    return true;
}

bool VirtualBackend::DeviceName(DeviceId device, std::string* name) {
    auto d = Find(device);
    if (!d || d->vanished) return false;
    *name = d->spec.name;
    return true;
}

bool VirtualBackend::InputStreams(DeviceId device, int* count) {
    auto d = Find(device);
    if (!d || d->vanished) return false;
    *count = static_cast<int>(d->spec.inputBuffers.size());
    return true;
}

bool VirtualBackend::OutputStreams(DeviceId device, int* count) {
    auto d = Find(device);
    if (!d || d->vanished) return false;
    *count = d->spec.outputChannels > 0 ? 1 : 0;
    return true;
}

bool VirtualBackend::InputStreamConfiguration(DeviceId device, std::vector<int>* channels) {
    auto d = Find(device);
    if (!d || d->vanished) return false;
    *channels = d->spec.inputBuffers;
    return true;
}

bool VirtualBackend::InputDataSource(DeviceId device, int buffer, uint32_t* source) {
    auto d = Find(device);
    if (!d || d->vanished || buffer < 0 ||
        static_cast<size_t>(buffer) >= d->spec.dataSources.size()) {
        return false;
    }
    // Data-source ids are distinct from channel numbers, as on the hardware.
    *source = 0x100u + static_cast<uint32_t>(buffer);
    return true;
}

bool VirtualBackend::DataSourceName(DeviceId device, uint32_t source, std::string* name) {
    auto d = Find(device);
    if (!d || d->vanished || source < 0x100u || source - 0x100u >= d->spec.dataSources.size()) {
        return false;
    }
    *name = d->spec.dataSources[source - 0x100u];
    return true;
}

bool VirtualBackend::DefaultInputDevice(DeviceId* device) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (noDefaultInput_) return false;
    const std::shared_ptr<Device>* first = nullptr;
    for (const auto& d : devices_) {
        if (d->vanished || d->spec.inputBuffers.empty()) continue;
        if (d->spec.defaultInput) {
            *device = d->id;
            return true;
        }
        if (!first) first = &d;
    }
    if (!first) return false;
    *device = (*first)->id;
    return true;
}

bool VirtualBackend::DefaultOutputDevice(DeviceId* device) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::shared_ptr<Device>* first = nullptr;
    for (const auto& d : devices_) {
        if (d->vanished || d->spec.outputChannels < 1) continue;
        if (d->spec.defaultOutput) {
            *device = d->id;
            return true;
        }
        if (!first) first = &d;
    }
    if (!first) return false;
    *device = (*first)->id;
    return true;
}

bool VirtualBackend::ActualSampleRate(DeviceId device, double* rate) {
    auto d = Find(device);
    if (!d || d->vanished) return false;
    *rate = d->spec.rate;
    return true;
}

bool VirtualBackend::BufferFrameSizeRange(DeviceId device, int32_t* minimum, int32_t* maximum) {
    auto d = Find(device);
    if (!d || d->vanished) return false;
    *minimum = d->spec.bufferMinimum;
    *maximum = d->spec.bufferMaximum;
    return true;
}

std::unique_ptr<InputUnit> VirtualBackend::CreateInputUnit() {
    return MakeVirtualInputUnit(*this);
}

std::unique_ptr<OutputUnit> VirtualBackend::CreateOutputUnit() {
    return MakeVirtualOutputUnit(*this);
}

VirtualBackend& Virtual() {
    static VirtualBackend* backend = new VirtualBackend();
    return *backend;
}

}  // namespace tw::hal

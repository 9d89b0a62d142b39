// The virtual audio backend: devices described in code or by an option string, whose input is
// a synthesized signal or an audio file and whose output is kept for inspection. A device can
// go silent or disappear while it streams, refuse to open (as if in use), and run in real time
// or faster. Tests and the demo use it.

// The option string that describes devices is read by virtual_options.h.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/audio_hal.h"
#include "platform/audio/virtual/virtual_device_description.h"

namespace tw::hal {

class VirtualBackend final : public AudioBackend {
  public:
    VirtualBackend();
    ~VirtualBackend() override;

    // Replaces the device list (ids are fresh); not while units stream.
    void SetDevices(const std::vector<VirtualDeviceSpec>& devices);
    // The device list from an option string; false (with `error`) when it cannot be read.
    bool Configure(const std::string& option, std::string* error);
    // The devices used when neither code nor option says anything: a microphone with a
    // plucked-guitar demo (or a tone) and stereo speakers.
    static std::vector<VirtualDeviceSpec> DemoDevices();
    // No default input device at all.
    void SetNoDefaultInput(bool none);
    // 1 real time, N faster, 0 unpaced.
    void SetSpeed(double speed);
    double Speed() const;

    DeviceId FindDevice(const std::string& name);
    // Output rendered so far to a device (device channels interleaved, full scale), and its
    // channel count; TakeOutput also clears it. Any thread.
    std::vector<int32_t> Output(DeviceId device, int* channels = nullptr);
    std::vector<int32_t> TakeOutput(DeviceId device, int* channels = nullptr);
    // Make a device stop delivering, or leave the list, now.
    void Silence(DeviceId device);
    void Vanish(DeviceId device);
    // Units of this backend open right now.
    int OpenUnits() const;

    const char* Name() const override { return "virtual"; }
    bool Devices(std::vector<DeviceId>* devices) override;
    bool DeviceName(DeviceId device, std::string* name) override;
    bool InputStreams(DeviceId device, int* count) override;
    bool OutputStreams(DeviceId device, int* count) override;
    bool InputStreamConfiguration(DeviceId device, std::vector<int>* channels) override;
    bool InputDataSource(DeviceId device, int buffer, uint32_t* source) override;
    bool DataSourceName(DeviceId device, uint32_t source, std::string* name) override;
    bool DefaultInputDevice(DeviceId* device) override;
    bool DefaultOutputDevice(DeviceId* device) override;
    bool ActualSampleRate(DeviceId device, double* rate) override;
    bool BufferFrameSizeRange(DeviceId device, int32_t* minimum, int32_t* maximum) override;
    std::unique_ptr<InputUnit> CreateInputUnit() override;
    std::unique_ptr<OutputUnit> CreateOutputUnit() override;

    // Shared with the units.
    struct Device;
    std::shared_ptr<Device> Find(DeviceId device);
    void UnitOpened(int delta);

  private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Device>> devices_;
    DeviceId nextId_ = 1;
    bool noDefaultInput_ = false;
    double speed_ = 1.0;
    int openUnits_ = 0;
};

// The process's virtual backend (also when another backend is in use, so that tests can
// describe devices before selecting it).
VirtualBackend& Virtual();

}  // namespace tw::hal

// The virtual audio backend: devices described in code or by an option string, whose input is
// a synthesized signal or an audio file and whose output is kept for inspection. A device can
// go silent or disappear while it streams, refuse to open (as if in use), and run in real time
// or faster. Tests and the demo use it.
//
// Option string (TUNEWRIGHT_VIRTUAL_DEVICES), devices separated by ';', fields by ',':
//   name=Mic,rate=44100,in=1,signal=tone:440            a mono microphone playing A4
//   name=Interface,in=2,sources=Line|Mic,signal=file:/path/a.flac
//   name=Speakers,out=2,default_out                      an output-only device
// Fields: name, rate, in (channels per input buffer, '+' separated: "2+2"), out, sources ('|'
// separated, one per input buffer), signal (silence | nothing | tone:HZ[:LEVEL] |
// harmonic:HZ[:LEVEL] | file:PATH), silent_after=MS, vanish_after=MS, busy, default_in,
// default_out, no_default_in. LEVEL is a fraction of full scale.
// TUNEWRIGHT_VIRTUAL_SPEED: 1 = real time (default), N = N times faster, 0 = as fast as it goes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio/audio_hal.h"

namespace tw::hal {

struct VirtualSignal {
    enum class Kind {
        kSilence,   // zeros, delivered on time
        kNothing,   // the device runs but never delivers a buffer
        kTone,      // a sine; channel c plays (c + 1) x hz so that channels differ
        kHarmonic,  // a tone with four harmonics; channel c as above
        kFile,      // an audio file, looped; channel c takes file channel c mod its count
        kGenerator  // frames from `generator` (code only)
    };
    Kind kind = Kind::kSilence;
    double hz = 440.0;
    double level = 0.25;  // peak, as a fraction of full scale
    std::string path;
    // (destination, frames, channels, first frame index): full-scale 32-bit samples.
    std::function<void(int32_t*, int32_t, int, int64_t)> generator;
};

struct VirtualDeviceSpec {
    std::string name;
    int32_t rate = 44100;
    std::vector<int> inputBuffers;  // channels per input buffer; empty: no input
    int outputChannels = 0;
    std::vector<std::string> dataSources;  // one per input buffer; empty: no data sources
    VirtualSignal signal;
    int32_t silentAfterMs = -1;  // stops delivering after this much audio time
    int32_t vanishAfterMs = -1;  // leaves the device list and stops after this much audio time
    bool busy = false;           // refuses to open, as a device held by another program
    bool defaultInput = false;
    bool defaultOutput = false;
    int32_t bufferMinimum = 32;
    int32_t bufferMaximum = 8192;
    int32_t outputSliceFrames = 512;
};

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

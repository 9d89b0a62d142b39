// The audio HAL: what the device catalogue, the capture engine and the playback engine need of
// the sound hardware, behind one small interface. Two backends: PortAudio (real devices) and a
// virtual one (devices described in code or by an option; tests and the demo use it). The
// backend is chosen once, from a table, by the TUNEWRIGHT_AUDIO environment variable.
//
// Samples cross this interface as 32-bit signed integers at full scale, interleaved.
// Thread: the device queries and unit set-up run on any one thread at a time per unit; the
// callbacks run on the backend's audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tw::hal {

// 0 names no device.
using DeviceId = uint32_t;
inline constexpr DeviceId kNoDevice = 0;

// Input unit: told that `frames` frames are ready; the callee fetches them with Render (only
// from inside the callback). Returns 0 when it took them, -1 when it gave up this cycle.
// Runs on the audio thread: must not block or allocate.
using InputCallback = int (*)(void* context, int32_t frames);

// Output unit: fill `destination` (frames x client channels, zeroed beforehand) and return the
// frames written; the rest stays silent. Runs on the audio thread.
using RenderCallback = int32_t (*)(void* context, int32_t* destination, int32_t frames);

class InputUnit {
  public:
    virtual ~InputUnit() = default;
    virtual bool SetDevice(DeviceId device) = 0;
    // The device side of the stream: its rate and channel count.
    virtual bool DeviceFormat(double* rate, int* channels) = 0;
    // What we want delivered: 32-bit integers, `channels` interleaved, at `rate`. No channel map:
    // the device's first channels are delivered.
    virtual bool SetClientFormat(double rate, int channels) = 0;
    virtual bool SetBufferFrameSize(int32_t frames) = 0;
    virtual int32_t BufferFrameSize() = 0;
    virtual void SetInputCallback(InputCallback callback, void* context) = 0;
    virtual bool Initialize() = 0;
    virtual void Uninitialize() = 0;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    // Drops what the unit holds in flight.
    virtual void Reset() = 0;
    // Audio thread, inside the input callback: copy the ready frames.
    virtual bool Render(int32_t* destination, int32_t frames) = 0;
};

class OutputUnit {
  public:
    virtual ~OutputUnit() = default;
    virtual bool SetDevice(DeviceId device) = 0;
    // The format the render callback produces.
    virtual bool SetStreamFormat(double rate, int channels) = 0;
    // The device side: its rate and channel count once a device is set.
    virtual bool DeviceFormat(double* rate, int* channels) = 0;
    // One entry per device output channel: the client channel heard on it, -1 for none.
    virtual bool GetChannelMap(std::vector<int32_t>* map) = 0;
    virtual bool SetChannelMap(const std::vector<int32_t>& map) = 0;
    virtual int32_t MaximumFramesPerSlice() = 0;
    virtual void SetRenderCallback(RenderCallback callback, void* context) = 0;
    virtual bool Initialize() = 0;
    virtual void Uninitialize() = 0;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    virtual void Reset() = 0;
};

// Every query answers false when the device is gone or the backend cannot tell.
class AudioBackend {
  public:
    virtual ~AudioBackend() = default;
    virtual const char* Name() const = 0;
    // All devices, input or output, in the hardware's order.
    virtual bool Devices(std::vector<DeviceId>* devices) = 0;
    virtual bool DeviceName(DeviceId device, std::string* name) = 0;
    // Number of input (output) streams; 0 for a device without that direction.
    virtual bool InputStreams(DeviceId device, int* count) = 0;
    virtual bool OutputStreams(DeviceId device, int* count) = 0;
    // Channels of each input buffer.
    virtual bool InputStreamConfiguration(DeviceId device, std::vector<int>* channels) = 0;
    // Data source of input buffer `buffer` and its name; false where there are none.
    virtual bool InputDataSource(DeviceId device, int buffer, uint32_t* source) = 0;
    virtual bool DataSourceName(DeviceId device, uint32_t source, std::string* name) = 0;
    virtual bool DefaultInputDevice(DeviceId* device) = 0;
    virtual bool DefaultOutputDevice(DeviceId* device) = 0;
    virtual bool ActualSampleRate(DeviceId device, double* rate) = 0;
    virtual bool BufferFrameSizeRange(DeviceId device, int32_t* minimum, int32_t* maximum) = 0;
    virtual std::unique_ptr<InputUnit> CreateInputUnit() = 0;
    virtual std::unique_ptr<OutputUnit> CreateOutputUnit() = 0;
};

// The backend in use: chosen at the first call from TUNEWRIGHT_AUDIO ("portaudio", the default,
// or "virtual"); a backend that cannot start gives way to the next in the table, so there is
// always one. Any thread.
AudioBackend& Backend();
// Makes the named backend the one in use (tests, the demo); false when it is unknown or cannot
// start. Not while units are open.
bool SelectBackend(const std::string& name);

// Why the last failing backend call failed, in the words of the library behind it ("Device
// unavailable"); empty when none failed. Backends record it where they map their library's
// errors; callers add it to their own message. Any thread (a unit may fail on a capture thread).
std::string LastError();
void RecordError(std::string reason);

// Copies `frames` frames of `clientChannels`-channel audio into `deviceChannels`-channel
// frames following `map` (one entry per device channel; -1 or out of range gives silence).
// Shared by the backends; audio thread, no allocation.
void ApplyChannelMap(const int32_t* client, int clientChannels, int32_t* device, int deviceChannels,
                     const int32_t* map, int32_t frames);

// The identity map for a device of `deviceChannels` fed by `clientChannels`.
std::vector<int32_t> DefaultChannelMap(int deviceChannels, int clientChannels);

}  // namespace tw::hal

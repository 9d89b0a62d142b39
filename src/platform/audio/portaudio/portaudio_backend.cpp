#include "platform/audio/portaudio/portaudio_backend.h"

#include <dlfcn.h>
#include <portaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/audio/portaudio/library_chatter.h"

namespace tw::hal {

namespace {

// ALSA's "plug" devices (default, pulse) claim up to 128 channels that they merely up-mix; a
// channel list that long helps nobody, so listings stop here.
constexpr int kMaxListedChannels = 8;
// Fixed slices keep the render callback's work per call bounded and known.
constexpr unsigned long kOutputSliceFrames = 512;
// The reference tone needs no low latency, but it must never break up: the sound server's
// "high" latency (35 ms over PulseAudio) runs dry when a busy desktop delays our audio thread.
// A tenth of a second more delay on a change of target goes unnoticed; a gap does not.
constexpr double kMinOutputLatencySeconds = 0.15;
// PortAudio cannot tell a device's buffer range; these bounds are what ALSA and JACK accept.
constexpr int32_t kBufferMinimum = 64;
constexpr int32_t kBufferMaximum = 8192;
// Re-reading the device list costs a re-initialisation (ALSA probes every card); at most once
// in this long, so that a burst of catalogue calls costs one probe.
constexpr auto kRefreshInterval = std::chrono::milliseconds(1000);

using Clock = std::chrono::steady_clock;

// All PortAudio calls except the stream callbacks go through this lock: the library is not
// thread-safe.
std::mutex g_mutex;
int g_openStreams = 0;  // under g_mutex
Clock::time_point g_lastRefresh;

// Takes g_mutex for a call into PortAudio, noting the thread as one of ours.
std::lock_guard<std::mutex> Lock() {
    MarkLibraryCaller();
    return std::lock_guard<std::mutex>(g_mutex);
}

// The one place where PortAudio's errors become ours: a failure, which callers report as their
// own (a device that cannot be opened, a list that cannot be read), with the library's text of
// why kept beside it. Caller holds g_mutex (the host error info is global).
bool Check(PaError error) {
    if (error >= 0) return true;
    std::string reason = Pa_GetErrorText(error);
    if (error == paUnanticipatedHostError) {
        const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
        if (host && host->errorText && *host->errorText)
            reason += std::string(": ") + host->errorText;
    }
    RecordError(std::move(reason));
    return false;
}

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

// ALSA and JACK print diagnostics on stderr while PortAudio probes them; the command line's
// output must stay clean. Both libraries are loaded with PortAudio, so their hooks are found
// at run time without linking them ourselves.
void SilenceProbeChatter() {
    // No JACK server is started just because we looked for one.
    setenv("JACK_NO_START_SERVER", "1", 0);
    using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
    if (auto set = reinterpret_cast<int (*)(AlsaHandler)>(
            dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))) {
        set(&QuietAlsa);
    }
    for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
        if (auto set =
                reinterpret_cast<void (*)(void (*)(const char*))>(dlsym(RTLD_DEFAULT, name))) {
            set(&QuietJack);
        }
    }
}

PaDeviceIndex IndexOf(DeviceId device) {
    return device == kNoDevice ? paNoDevice : static_cast<PaDeviceIndex>(device - 1);
}

// With g_mutex held.
const PaDeviceInfo* Info(DeviceId device) {
    const PaDeviceIndex index = IndexOf(device);
    if (index < 0 || index >= Pa_GetDeviceCount()) return nullptr;
    return Pa_GetDeviceInfo(index);
}

// Opens a stream of ours in 32-bit integers at the given latency; the caller holds g_mutex.
bool OpenStream(PaStream** stream, PaStreamParameters* in, PaStreamParameters* out, double rate,
                unsigned long frames, double latency, PaStreamCallback* callback, void* self) {
    for (PaStreamParameters* p : {in, out}) {
        if (!p) continue;
        p->sampleFormat = paInt32;
        p->suggestedLatency = latency;
    }
    if (!Check(Pa_OpenStream(stream, in, out, rate, frames, paClipOff, callback, self))) {
        *stream = nullptr;
        return false;
    }
    ++g_openStreams;
    return true;
}

// Aborts and closes a stream of ours, if open. Takes g_mutex.
void CloseStream(PaStream** stream) {
    const auto lock = Lock();
    if (!*stream) return;
    Pa_AbortStream(*stream);
    Pa_CloseStream(*stream);
    *stream = nullptr;
    --g_openStreams;
}

class PaInputUnit final : public InputUnit {
  public:
    ~PaInputUnit() override { Uninitialize(); }

    bool SetDevice(DeviceId device) override {
        const auto lock = Lock();
        const PaDeviceInfo* info = Info(device);
        if (!info || info->maxInputChannels < 1) return false;
        device_ = device;
        return true;
    }
    bool DeviceFormat(double* rate, int* channels) override {
        const auto lock = Lock();
        const PaDeviceInfo* info = Info(device_);
        if (!info) return false;
        *rate = info->defaultSampleRate;
        *channels = std::min(info->maxInputChannels, kMaxListedChannels);
        return true;
    }
    bool SetClientFormat(double rate, int channels) override {
        if (rate < 1 || channels < 1) return false;
        rate_ = rate;
        channels_ = channels;
        return true;
    }
    bool SetBufferFrameSize(int32_t frames) override {
        frames_ = std::clamp(frames, kBufferMinimum, kBufferMaximum);
        return true;
    }
    int32_t BufferFrameSize() override { return frames_; }
    void SetInputCallback(InputCallback callback, void* context) override {
        callback_ = callback;
        context_ = context;
    }
    bool Initialize() override {
        const auto lock = Lock();
        if (stream_) return true;
        const PaDeviceInfo* info = Info(device_);
        if (!info) return false;
        PaStreamParameters in{};
        in.device = IndexOf(device_);
        in.channelCount = channels_;
        return OpenStream(&stream_, &in, nullptr, rate_, static_cast<unsigned long>(frames_),
                          info->defaultHighInputLatency, &PaInputUnit::Callback, this);
    }
    void Uninitialize() override { CloseStream(&stream_); }
    bool Start() override {
        const auto lock = Lock();
        return stream_ && Check(Pa_StartStream(stream_));
    }
    void Stop() override {
        const auto lock = Lock();
        if (stream_ && Pa_IsStreamActive(stream_) == 1) Pa_AbortStream(stream_);
    }
    void Reset() override {}
    bool Render(int32_t* destination, int32_t frames) override {
        if (!input_ || frames > available_) return false;
        std::memcpy(destination, input_, sizeof(int32_t) * static_cast<size_t>(frames) * channels_);
        return true;
    }

  private:
    // PortAudio's audio thread: announce the frames, let the callee take them with Render.
    static int Callback(const void* input, void*, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* self) {
        auto* unit = static_cast<PaInputUnit*>(self);
        unit->input_ = static_cast<const int32_t*>(input);
        unit->available_ = static_cast<int32_t>(frames);
        if (unit->callback_ && input) unit->callback_(unit->context_, unit->available_);
        unit->input_ = nullptr;
        return paContinue;
    }

    DeviceId device_ = kNoDevice;
    double rate_ = 44100;
    int channels_ = 1;
    int32_t frames_ = 4410;
    InputCallback callback_ = nullptr;
    void* context_ = nullptr;
    PaStream* stream_ = nullptr;
    const int32_t* input_ = nullptr;  // audio thread only
    int32_t available_ = 0;           // audio thread only
};

class PaOutputUnit final : public OutputUnit {
  public:
    ~PaOutputUnit() override { Uninitialize(); }

    bool SetDevice(DeviceId device) override {
        const auto lock = Lock();
        if (stream_) return false;
        const PaDeviceInfo* info = Info(device);
        if (!info || info->maxOutputChannels < 1) return false;
        device_ = device;
        maxChannels_ = info->maxOutputChannels;
        map_ = DefaultChannelMap(DeviceChannels(), channels_);
        return true;
    }
    bool SetStreamFormat(double rate, int channels) override {
        if (stream_ || rate < 1 || channels < 1) return false;
        rate_ = rate;
        channels_ = channels;
        if (device_ != kNoDevice) map_ = DefaultChannelMap(DeviceChannels(), channels_);
        return true;
    }
    bool DeviceFormat(double* rate, int* channels) override {
        if (device_ == kNoDevice) return false;
        // The stream is opened at the source's rate; ALSA's plug layer converts when needed.
        *rate = rate_;
        *channels = DeviceChannels();
        return true;
    }
    bool GetChannelMap(std::vector<int32_t>* map) override {
        if (device_ == kNoDevice) return false;
        *map = map_;
        return true;
    }
    bool SetChannelMap(const std::vector<int32_t>& map) override {
        if (stream_ || map.size() != map_.size()) return false;
        map_ = map;
        return true;
    }
    int32_t MaximumFramesPerSlice() override { return kOutputSliceFrames; }
    void SetRenderCallback(RenderCallback callback, void* context) override {
        callback_ = callback;
        context_ = context;
    }
    bool Initialize() override {
        const auto lock = Lock();
        if (stream_) return true;
        const PaDeviceInfo* info = Info(device_);
        if (!info) return false;
        client_.assign(kOutputSliceFrames * channels_, 0);
        PaStreamParameters out{};
        out.device = IndexOf(device_);
        out.channelCount = DeviceChannels();
        return OpenStream(&stream_, nullptr, &out, rate_, kOutputSliceFrames,
                          std::max(info->defaultHighOutputLatency, kMinOutputLatencySeconds),
                          &PaOutputUnit::Callback, this);
    }
    void Uninitialize() override { CloseStream(&stream_); }
    bool Start() override {
        const auto lock = Lock();
        if (!stream_) return false;
        if (Pa_IsStreamActive(stream_) == 1) return true;
        return Check(Pa_StartStream(stream_));
    }
    void Stop() override {
        const auto lock = Lock();
        if (stream_ && Pa_IsStreamActive(stream_) == 1) Pa_AbortStream(stream_);
    }
    void Reset() override {}

  private:
    // A stereo stream at most, unless the source has more: opening all 32 channels of a plug
    // device would only make the sound server mix silence.
    int DeviceChannels() const { return std::min(maxChannels_, std::max(2, channels_)); }

    // PortAudio's audio thread: render into the client buffer, then spread it over the device
    // channels by the map.
    static int Callback(const void*, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* self) {
        auto* unit = static_cast<PaOutputUnit*>(self);
        auto* out = static_cast<int32_t*>(output);
        const int deviceChannels = static_cast<int>(unit->map_.size());
        unsigned long done = 0;
        while (done < frames) {
            const unsigned long n = std::min<unsigned long>(frames - done, kOutputSliceFrames);
            std::fill(unit->client_.begin(), unit->client_.end(), 0);
            if (unit->callback_) {
                unit->callback_(unit->context_, unit->client_.data(), static_cast<int32_t>(n));
            }
            ApplyChannelMap(unit->client_.data(), unit->channels_, out + done * deviceChannels,
                            deviceChannels, unit->map_.data(), static_cast<int32_t>(n));
            done += n;
        }
        return paContinue;
    }

    DeviceId device_ = kNoDevice;
    int maxChannels_ = 2;
    double rate_ = 44100;
    int channels_ = 1;
    std::vector<int32_t> map_;
    RenderCallback callback_ = nullptr;
    void* context_ = nullptr;
    PaStream* stream_ = nullptr;
    std::vector<int32_t> client_;
};

class PortAudioBackend final : public AudioBackend {
  public:
    const char* Name() const override { return "portaudio"; }

    bool Devices(std::vector<DeviceId>* devices) override {
        const auto lock = Lock();
        // PortAudio freezes its list at initialisation; start again to see devices plugged in
        // since, when no stream of ours would be cut off by it.
        if (g_openStreams == 0 && Clock::now() - g_lastRefresh > kRefreshInterval) {
            Pa_Terminate();
            if (!Check(Pa_Initialize())) return false;
            g_lastRefresh = Clock::now();
        }
        const PaDeviceIndex count = Pa_GetDeviceCount();
        if (count < 0) return Check(count);
        devices->clear();
        for (PaDeviceIndex i = 0; i < count; ++i) devices->push_back(static_cast<DeviceId>(i + 1));
        return true;
    }
    bool DeviceName(DeviceId device, std::string* name) override {
        const auto lock = Lock();
        const PaDeviceInfo* info = Info(device);
        if (!info || !info->name) return false;
        *name = info->name;
        return true;
    }
    bool InputStreams(DeviceId device, int* count) override {
        const auto lock = Lock();
        const PaDeviceInfo* info = Info(device);
        if (!info) return false;
        *count = info->maxInputChannels > 0 ? 1 : 0;
        return true;
    }
    bool OutputStreams(DeviceId device, int* count) override {
        const auto lock = Lock();
        const PaDeviceInfo* info = Info(device);
        if (!info) return false;
        *count = info->maxOutputChannels > 0 ? 1 : 0;
        return true;
    }
    bool InputStreamConfiguration(DeviceId device, std::vector<int>* channels) override {
        const auto lock = Lock();
        const PaDeviceInfo* info = Info(device);
        if (!info) return false;
        channels->clear();
        if (info->maxInputChannels > 0) {
            channels->push_back(std::min(info->maxInputChannels, kMaxListedChannels));
        }
        return true;
    }
    // PortAudio knows nothing of data sources.
    bool InputDataSource(DeviceId, int, uint32_t*) override { return false; }
    bool DataSourceName(DeviceId, uint32_t, std::string*) override { return false; }
    bool DefaultInputDevice(DeviceId* device) override {
        const auto lock = Lock();
        const PaDeviceIndex index = Pa_GetDefaultInputDevice();
        if (index < 0) return false;
        *device = static_cast<DeviceId>(index + 1);
        return true;
    }
    bool DefaultOutputDevice(DeviceId* device) override {
        const auto lock = Lock();
        const PaDeviceIndex index = Pa_GetDefaultOutputDevice();
        if (index < 0) return false;
        *device = static_cast<DeviceId>(index + 1);
        return true;
    }
    bool ActualSampleRate(DeviceId device, double* rate) override {
        const auto lock = Lock();
        const PaDeviceInfo* info = Info(device);
        if (!info || info->defaultSampleRate < 1) return false;
        *rate = info->defaultSampleRate;
        return true;
    }
    bool BufferFrameSizeRange(DeviceId device, int32_t* minimum, int32_t* maximum) override {
        const auto lock = Lock();
        if (!Info(device)) return false;
        *minimum = kBufferMinimum;
        *maximum = kBufferMaximum;
        return true;
    }
    std::unique_ptr<InputUnit> CreateInputUnit() override {
        return std::make_unique<PaInputUnit>();
    }
    std::unique_ptr<OutputUnit> CreateOutputUnit() override {
        return std::make_unique<PaOutputUnit>();
    }
};

}  // namespace

AudioBackend* PortAudio() {
    static AudioBackend* backend = []() -> AudioBackend* {
        const auto lock = Lock();
        SilenceProbeChatter();
        SilencePortAudioReports();
        if (!Check(Pa_Initialize())) return nullptr;
        g_lastRefresh = Clock::now();
        return new PortAudioBackend();
    }();
    return backend;
}

}  // namespace tw::hal

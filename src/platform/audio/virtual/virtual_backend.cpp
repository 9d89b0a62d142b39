#include "platform/audio/virtual/virtual_backend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/audio/sound_file.h"

namespace tw::hal {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kFullScale = 2147483647.0;
// The harmonic signal's partials, relative to the fundamental; the peak is scaled to the level.
constexpr double kHarmonics[] = {1.0, 0.5, 0.33, 0.25};
// Output kept per device: about three minutes of stereo at 48 kHz, enough for any test.
constexpr size_t kMaxOutputSamples = size_t{1} << 24;

using Clock = std::chrono::steady_clock;

// The demo clip: named by TUNEWRIGHT_DEMO_CLIP, else in the resources beside the program (a
// build tree), the installed share folder, or the working folder's resources.
std::string DemoClipPath() {
    if (const char* env = std::getenv("TUNEWRIGHT_DEMO_CLIP")) return env;
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const auto dir = exe.parent_path();
        for (const auto& candidate : {dir / "resources", dir.parent_path() / "resources",
                                      dir.parent_path() / "share" / "tunewright"}) {
            const auto path = candidate / "demo-guitar.flac";
            if (std::filesystem::exists(path, error)) return path.string();
        }
    }
    return "resources/demo-guitar.flac";
}

bool ParseInt(const std::string& text, int32_t* value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > 100000000) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream s(text);
    for (std::string part; std::getline(s, part, separator);) parts.push_back(part);
    return parts;
}

}  // namespace

struct VirtualBackend::Device {
    DeviceId id = kNoDevice;
    VirtualDeviceSpec spec;
    std::atomic<bool> vanished{false};
    std::atomic<bool> silenced{false};
    std::mutex outputMutex;
    std::vector<int32_t> output;  // under outputMutex
    int outputChannels = 0;       // under outputMutex

    int InputChannels() const {
        int total = 0;
        for (int c : spec.inputBuffers) total += c;
        return total;
    }
};

namespace {

// A virtual device's own thread, paced by frames / rate: real time divided by the backend's
// speed (0: as fast as it goes). A stop wakes it early.
class PacedThread {
  public:
    ~PacedThread() { Stop(); }
    bool Running() const { return thread_.joinable(); }
    // Controlling thread: runs `body` on a new thread unless one runs already.
    void Start(double speed, int32_t rate, std::function<void()> body) {
        if (thread_.joinable()) return;
        stop_ = false;
        speed_ = speed;
        rate_ = rate;
        start_ = Clock::now();
        thread_ = std::thread(std::move(body));
    }
    // Controlling thread: asks the body to end and joins it.
    void Stop() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    // Device thread: waits until `frames` frames of audio are due; false when a stop came.
    bool WaitUntil(int64_t frames) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (speed_ <= 0) return !stop_;
        const auto due =
            start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                         static_cast<double>(frames) / rate_ / speed_));
        wake_.wait_until(lock, due, [&] { return stop_; });
        return !stop_;
    }

  private:
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;  // under mutex_
    double speed_ = 1.0;
    int32_t rate_ = 1;
    Clock::time_point start_;
};

// Fills frames of the described signal, full scale.
class SignalGenerator {
  public:
    SignalGenerator(const VirtualSignal& signal, int32_t rate) : signal_(signal), rate_(rate) {
        if (signal_.kind == VirtualSignal::Kind::kFile) {
            std::string error;
            file_ = SoundFileReader::Open(signal_.path, &error);
        }
    }
    bool Ready() const { return signal_.kind != VirtualSignal::Kind::kFile || file_ != nullptr; }

    void Fill(int32_t* destination, int32_t frames, int channels, int64_t first) {
        using Kind = VirtualSignal::Kind;
        switch (signal_.kind) {
            case Kind::kSilence:
            case Kind::kNothing:
                std::fill(destination, destination + static_cast<size_t>(frames) * channels, 0);
                return;
            case Kind::kGenerator:
                if (signal_.generator) {
                    signal_.generator(destination, frames, channels, first);
                } else {
                    std::fill(destination, destination + static_cast<size_t>(frames) * channels, 0);
                }
                return;
            case Kind::kTone:
            case Kind::kHarmonic: {
                const int partials = signal_.kind == Kind::kTone ? 1 : 4;
                double norm = 0;
                for (int k = 0; k < partials; ++k) norm += kHarmonics[k];
                const double scale = signal_.level * kFullScale / norm;
                for (int32_t i = 0; i < frames; ++i) {
                    const double t = static_cast<double>(first + i) / rate_;
                    for (int c = 0; c < channels; ++c) {
                        double v = 0;
                        for (int k = 0; k < partials; ++k) {
                            v += kHarmonics[k] *
                                 std::sin(kTwoPi * signal_.hz * (c + 1) * (k + 1) * t);
                        }
                        destination[static_cast<size_t>(i) * channels + c] =
                            static_cast<int32_t>(std::lround(v * scale));
                    }
                }
                return;
            }
            case Kind::kFile:
                FillFromFile(destination, frames, channels);
                return;
        }
    }

  private:
    void FillFromFile(int32_t* destination, int32_t frames, int channels) {
        const int fileChannels = file_->Channels();
        scratch_.resize(static_cast<size_t>(frames) * fileChannels);
        int32_t done = 0;
        while (done < frames) {
            const int64_t n = file_->Read(scratch_.data(), frames - done);
            if (n <= 0) {
                // Looped, so that a short clip plays for as long as the device runs.
                if (!file_->Rewind() || ++rewinds_ > 1000000) break;
                continue;
            }
            for (int64_t i = 0; i < n; ++i) {
                for (int c = 0; c < channels; ++c) {
                    destination[static_cast<size_t>(done + i) * channels + c] =
                        scratch_[static_cast<size_t>(i) * fileChannels + c % fileChannels];
                }
            }
            done += static_cast<int32_t>(n);
        }
        std::fill(destination + static_cast<size_t>(done) * channels,
                  destination + static_cast<size_t>(frames) * channels, 0);
    }

    VirtualSignal signal_;
    int32_t rate_;
    std::unique_ptr<SoundFileReader> file_;
    std::vector<int32_t> scratch_;
    int64_t rewinds_ = 0;
};

class VirtualInputUnit final : public InputUnit {
  public:
    explicit VirtualInputUnit(VirtualBackend& backend) : backend_(backend) {}
    ~VirtualInputUnit() override { Uninitialize(); }

    bool SetDevice(DeviceId device) override {
        device_ = backend_.Find(device);
        return device_ != nullptr && !device_->spec.inputBuffers.empty();
    }
    bool DeviceFormat(double* rate, int* channels) override {
        if (!Usable()) return false;
        *rate = device_->spec.rate;
        *channels = device_->InputChannels();
        return true;
    }
    bool SetClientFormat(double rate, int channels) override {
        // Like the hardware unit, input is not resampled: only the device's own rate works.
        if (!Usable() || static_cast<int32_t>(rate) != device_->spec.rate || channels < 1) {
            return false;
        }
        channels_ = channels;
        return true;
    }
    bool SetBufferFrameSize(int32_t frames) override {
        if (!Usable()) return false;
        frames_ = std::clamp(frames, device_->spec.bufferMinimum, device_->spec.bufferMaximum);
        return true;
    }
    int32_t BufferFrameSize() override { return frames_; }
    void SetInputCallback(InputCallback callback, void* context) override {
        callback_ = callback;
        context_ = context;
    }
    bool Initialize() override {
        if (initialized_) return true;
        if (!Usable() || device_->spec.busy) return false;
        generator_ = std::make_unique<SignalGenerator>(device_->spec.signal, device_->spec.rate);
        if (!generator_->Ready()) return false;
        buffer_.assign(static_cast<size_t>(frames_) * channels_, 0);
        initialized_ = true;
        backend_.UnitOpened(+1);
        return true;
    }
    void Uninitialize() override {
        Stop();
        if (!initialized_) return;
        initialized_ = false;
        backend_.UnitOpened(-1);
    }
    bool Start() override {
        if (!initialized_) return false;
        thread_.Start(backend_.Speed(), device_->spec.rate, [this] { Run(); });
        return true;
    }
    void Stop() override { thread_.Stop(); }
    void Reset() override {}
    bool Render(int32_t* destination, int32_t frames) override {
        if (frames > frames_) return false;
        std::copy(buffer_.begin(), buffer_.begin() + static_cast<size_t>(frames) * channels_,
                  destination);
        return true;
    }

  private:
    bool Usable() const { return device_ != nullptr && !device_->vanished; }

    // The device's own thread: generate a buffer, hand it over, wait for the next one.
    void Run() {
        const VirtualDeviceSpec& spec = device_->spec;
        const int64_t silentAt =
            spec.silentAfterMs >= 0 ? int64_t{spec.rate} * spec.silentAfterMs / 1000 : -1;
        const int64_t vanishAt =
            spec.vanishAfterMs >= 0 ? int64_t{spec.rate} * spec.vanishAfterMs / 1000 : -1;
        int64_t position = 0;
        for (;;) {
            if (vanishAt >= 0 && position >= vanishAt) device_->vanished = true;
            if (silentAt >= 0 && position >= silentAt) device_->silenced = true;
            const bool deliver = !device_->vanished && !device_->silenced &&
                                 spec.signal.kind != VirtualSignal::Kind::kNothing;
            if (deliver) {
                generator_->Fill(buffer_.data(), frames_, channels_, position);
                if (callback_) callback_(context_, frames_);
            }
            position += frames_;
            if (!thread_.WaitUntil(position)) return;
        }
    }

    VirtualBackend& backend_;
    std::shared_ptr<VirtualBackend::Device> device_;
    int channels_ = 1;
    int32_t frames_ = 512;
    InputCallback callback_ = nullptr;
    void* context_ = nullptr;
    bool initialized_ = false;
    std::unique_ptr<SignalGenerator> generator_;
    std::vector<int32_t> buffer_;
    PacedThread thread_;  // last: stopped before the members its body uses go
};

class VirtualOutputUnit final : public OutputUnit {
  public:
    explicit VirtualOutputUnit(VirtualBackend& backend) : backend_(backend) {}
    ~VirtualOutputUnit() override { Uninitialize(); }

    bool SetDevice(DeviceId device) override {
        if (initialized_) return false;
        auto found = backend_.Find(device);
        if (!found || found->vanished || found->spec.outputChannels < 1) return false;
        device_ = found;
        map_ = DefaultChannelMap(device_->spec.outputChannels, channels_);
        return true;
    }
    bool SetStreamFormat(double rate, int channels) override {
        if (initialized_ || rate < 1 || channels < 1) return false;
        rate_ = static_cast<int32_t>(rate);
        channels_ = channels;
        if (device_) map_ = DefaultChannelMap(device_->spec.outputChannels, channels_);
        return true;
    }
    bool DeviceFormat(double* rate, int* channels) override {
        if (!device_) return false;
        // The virtual device takes whatever rate it is given.
        *rate = rate_;
        *channels = device_->spec.outputChannels;
        return true;
    }
    bool GetChannelMap(std::vector<int32_t>* map) override {
        if (!device_) return false;
        *map = map_;
        return true;
    }
    bool SetChannelMap(const std::vector<int32_t>& map) override {
        if (!device_ || initialized_ || map.size() != map_.size()) return false;
        map_ = map;
        return true;
    }
    int32_t MaximumFramesPerSlice() override {
        return device_ ? device_->spec.outputSliceFrames : 512;
    }
    void SetRenderCallback(RenderCallback callback, void* context) override {
        callback_ = callback;
        context_ = context;
    }
    bool Initialize() override {
        if (initialized_) return true;
        if (!device_ || device_->vanished || device_->spec.busy) return false;
        slice_ = device_->spec.outputSliceFrames;
        client_.assign(static_cast<size_t>(slice_) * channels_, 0);
        deviceBuffer_.assign(static_cast<size_t>(slice_) * device_->spec.outputChannels, 0);
        {
            std::lock_guard<std::mutex> lock(device_->outputMutex);
            device_->outputChannels = device_->spec.outputChannels;
        }
        initialized_ = true;
        backend_.UnitOpened(+1);
        return true;
    }
    void Uninitialize() override {
        Stop();
        if (!initialized_) return;
        initialized_ = false;
        backend_.UnitOpened(-1);
    }
    bool Start() override {
        if (!initialized_) return false;
        thread_.Start(backend_.Speed(), rate_, [this] { Run(); });
        return true;
    }
    void Stop() override { thread_.Stop(); }
    void Reset() override {}

  private:
    // The device's own thread: ask for a slice, map it onto the device channels, keep it.
    void Run() {
        const int deviceChannels = device_->spec.outputChannels;
        int64_t position = 0;
        for (;;) {
            if (device_->vanished) return;
            std::fill(client_.begin(), client_.end(), 0);
            if (callback_) callback_(context_, client_.data(), slice_);
            ApplyChannelMap(client_.data(), channels_, deviceBuffer_.data(), deviceChannels,
                            map_.data(), slice_);
            {
                std::lock_guard<std::mutex> lock(device_->outputMutex);
                if (device_->output.size() + deviceBuffer_.size() <= kMaxOutputSamples) {
                    device_->output.insert(device_->output.end(), deviceBuffer_.begin(),
                                           deviceBuffer_.end());
                }
            }
            position += slice_;
            if (!thread_.WaitUntil(position)) return;
        }
    }

    VirtualBackend& backend_;
    std::shared_ptr<VirtualBackend::Device> device_;
    int32_t rate_ = 44100;
    int channels_ = 1;
    std::vector<int32_t> map_;
    RenderCallback callback_ = nullptr;
    void* context_ = nullptr;
    bool initialized_ = false;
    int32_t slice_ = 512;
    std::vector<int32_t> client_;
    std::vector<int32_t> deviceBuffer_;
    PacedThread thread_;  // last: stopped before the members its body uses go
};

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
    std::vector<VirtualDeviceSpec> specs;
    bool noDefault = false;
    for (const std::string& text : Split(option, ';')) {
        if (text.empty()) continue;
        VirtualDeviceSpec spec;
        for (const std::string& field : Split(text, ',')) {
            const size_t eq = field.find('=');
            const std::string key = field.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : field.substr(eq + 1);
            bool ok = true;
            if (key == "name") {
                spec.name = value;
            } else if (key == "rate") {
                ok = ParseInt(value, &spec.rate) && spec.rate > 0;
            } else if (key == "in") {
                for (const std::string& c : Split(value, '+')) {
                    int32_t n = 0;
                    ok = ok && ParseInt(c, &n) && n > 0 && n <= 64;
                    spec.inputBuffers.push_back(n);
                }
            } else if (key == "out") {
                int32_t n = 0;
                ok = ParseInt(value, &n) && n > 0 && n <= 64;
                spec.outputChannels = n;
            } else if (key == "sources") {
                spec.dataSources = Split(value, '|');
            } else if (key == "signal") {
                const auto parts = Split(value, ':');
                const std::string kind = parts.empty() ? "" : parts[0];
                if (kind == "silence") {
                    spec.signal.kind = VirtualSignal::Kind::kSilence;
                } else if (kind == "nothing") {
                    spec.signal.kind = VirtualSignal::Kind::kNothing;
                } else if ((kind == "tone" || kind == "harmonic") && parts.size() >= 2) {
                    spec.signal.kind = kind == "tone" ? VirtualSignal::Kind::kTone
                                                      : VirtualSignal::Kind::kHarmonic;
                    spec.signal.hz = std::atof(parts[1].c_str());
                    if (parts.size() >= 3) spec.signal.level = std::atof(parts[2].c_str());
                    ok = spec.signal.hz > 0;
                } else if (kind == "file" && value.size() > 5) {
                    spec.signal.kind = VirtualSignal::Kind::kFile;
                    spec.signal.path = value.substr(5);
                } else {
                    ok = false;
                }
            } else if (key == "silent_after") {
                ok = ParseInt(value, &spec.silentAfterMs);
            } else if (key == "vanish_after") {
                ok = ParseInt(value, &spec.vanishAfterMs);
            } else if (key == "busy") {
                spec.busy = true;
            } else if (key == "default_in") {
                spec.defaultInput = true;
            } else if (key == "default_out") {
                spec.defaultOutput = true;
            } else if (key == "no_default_in") {
                noDefault = true;
            } else {
                ok = false;
            }
            if (!ok) {
                if (error) *error = "cannot read the virtual device field '" + field + "'";
                return false;
            }
        }
        if (!spec.name.empty()) specs.push_back(spec);
    }
    SetDevices(specs);
    SetNoDefaultInput(noDefault);
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
    return std::make_unique<VirtualInputUnit>(*this);
}

std::unique_ptr<OutputUnit> VirtualBackend::CreateOutputUnit() {
    return std::make_unique<VirtualOutputUnit>(*this);
}

VirtualBackend& Virtual() {
    static VirtualBackend* backend = new VirtualBackend();
    return *backend;
}

}  // namespace tw::hal

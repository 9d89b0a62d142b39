#include "platform/audio/virtual/virtual_units.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/audio/virtual/paced_thread.h"
#include "platform/audio/virtual/signal_generator.h"
#include "platform/audio/virtual/virtual_device.h"

namespace tw::hal {

namespace {

// Output kept per device: about three minutes of stereo at 48 kHz, enough for any test.
constexpr size_t kMaxOutputSamples = size_t{1} << 24;

// Why a device cannot be opened, in the words a real sound server would use.
bool CannotOpen(const std::shared_ptr<VirtualBackend::Device>& device) {
    if (!device || device->vanished) {
        RecordError("Device unavailable");
    } else if (device->spec.busy) {
        RecordError("Device busy");
    }
    return false;
}

// What both directions share: the unit counted open with the backend while initialized, and
// the device's paced thread. A unit holds it as its last member, so that the thread stops
// before the members its body uses go.
class UnitLife {
  public:
    explicit UnitLife(VirtualBackend& backend) : backend_(backend) {}
    bool IsOpen() const { return open_; }
    void MarkOpen() {
        open_ = true;
        backend_.UnitOpened(+1);
    }
    void Close() {
        thread_.Stop();
        if (!open_) return;
        open_ = false;
        backend_.UnitOpened(-1);
    }
    bool Start(int32_t rate, std::function<void()> body) {
        if (!open_) return false;
        thread_.Start(backend_.Speed(), rate, std::move(body));
        return true;
    }
    void Stop() { thread_.Stop(); }
    // Device thread: see PacedThread::WaitUntil.
    bool WaitUntil(int64_t frames) { return thread_.WaitUntil(frames); }

  private:
    VirtualBackend& backend_;
    bool open_ = false;
    PacedThread thread_;
};

class VirtualInputUnit final : public InputUnit {
  public:
    explicit VirtualInputUnit(VirtualBackend& backend) : backend_(backend), life_(backend) {}
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
        if (life_.IsOpen()) return true;
        if (!Usable() || device_->spec.busy) return CannotOpen(device_);
        generator_ = std::make_unique<SignalGenerator>(device_->spec.signal, device_->spec.rate);
        if (!generator_->Ready()) {
            RecordError("cannot read " + device_->spec.signal.path);
            return false;
        }
        buffer_.assign(static_cast<size_t>(frames_) * channels_, 0);
        life_.MarkOpen();
        return true;
    }
    void Uninitialize() override { life_.Close(); }
    bool Start() override {
        return life_.Start(device_->spec.rate, [this] { Run(); });
    }
    void Stop() override { life_.Stop(); }
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
            if (!life_.WaitUntil(position)) return;
        }
    }

    VirtualBackend& backend_;
    std::shared_ptr<VirtualBackend::Device> device_;
    int channels_ = 1;
    int32_t frames_ = 512;
    InputCallback callback_ = nullptr;
    void* context_ = nullptr;
    std::unique_ptr<SignalGenerator> generator_;
    std::vector<int32_t> buffer_;
    UnitLife life_;  // last: its thread stops before the members the body uses go
};

class VirtualOutputUnit final : public OutputUnit {
  public:
    explicit VirtualOutputUnit(VirtualBackend& backend) : backend_(backend), life_(backend) {}
    ~VirtualOutputUnit() override { Uninitialize(); }

    bool SetDevice(DeviceId device) override {
        if (life_.IsOpen()) return false;
        auto found = backend_.Find(device);
        if (!found || found->vanished || found->spec.outputChannels < 1) return false;
        device_ = found;
        map_ = DefaultChannelMap(device_->spec.outputChannels, channels_);
        return true;
    }
    bool SetStreamFormat(double rate, int channels) override {
        if (life_.IsOpen() || rate < 1 || channels < 1) return false;
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
        if (!device_ || life_.IsOpen() || map.size() != map_.size()) return false;
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
        if (life_.IsOpen()) return true;
        if (!device_ || device_->vanished || device_->spec.busy) return CannotOpen(device_);
        slice_ = device_->spec.outputSliceFrames;
        client_.assign(static_cast<size_t>(slice_) * channels_, 0);
        deviceBuffer_.assign(static_cast<size_t>(slice_) * device_->spec.outputChannels, 0);
        {
            std::lock_guard<std::mutex> lock(device_->outputMutex);
            device_->outputChannels = device_->spec.outputChannels;
        }
        life_.MarkOpen();
        return true;
    }
    void Uninitialize() override { life_.Close(); }
    bool Start() override {
        return life_.Start(rate_, [this] { Run(); });
    }
    void Stop() override { life_.Stop(); }
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
            if (!life_.WaitUntil(position)) return;
        }
    }

    VirtualBackend& backend_;
    std::shared_ptr<VirtualBackend::Device> device_;
    int32_t rate_ = 44100;
    int channels_ = 1;
    std::vector<int32_t> map_;
    RenderCallback callback_ = nullptr;
    void* context_ = nullptr;
    int32_t slice_ = 512;
    std::vector<int32_t> client_;
    std::vector<int32_t> deviceBuffer_;
    UnitLife life_;  // last: its thread stops before the members the body uses go
};

}  // namespace

std::unique_ptr<InputUnit> MakeVirtualInputUnit(VirtualBackend& backend) {
    return std::make_unique<VirtualInputUnit>(backend);
}

std::unique_ptr<OutputUnit> MakeVirtualOutputUnit(VirtualBackend& backend) {
    return std::make_unique<VirtualOutputUnit>(backend);
}

}  // namespace tw::hal

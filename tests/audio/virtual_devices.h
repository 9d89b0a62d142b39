// Helpers for the tests of the audio engines: the virtual backend with devices described per
// test, a sink that keeps what it is given, and a main loop that carries notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "audio/sound_sink.h"
#include "base/main_thread_poster.h"
#include "common/event_wait.h"
#include "platform/audio/virtual/virtual_backend.h"
#include "platform/events/event_layer.h"

namespace tw::test {

// Selects the virtual backend with exactly these devices, paced in real time.
inline void UseVirtualDevices(const std::vector<hal::VirtualDeviceSpec>& devices) {
    hal::SelectBackend("virtual");
    hal::Virtual().SetDevices(devices);
    hal::Virtual().SetNoDefaultInput(false);
    hal::Virtual().SetSpeed(1.0);
    LMainThreadPoster::InstallMainThreadHandler();
}

inline hal::VirtualDeviceSpec Input(
    const std::string& name, int32_t rate, std::vector<int> buffers,
    hal::VirtualSignal::Kind kind = hal::VirtualSignal::Kind::kTone) {
    hal::VirtualDeviceSpec spec;
    spec.name = name;
    spec.rate = rate;
    spec.inputBuffers = std::move(buffers);
    spec.signal.kind = kind;
    return spec;
}

inline hal::VirtualDeviceSpec Output(const std::string& name, int channels) {
    hal::VirtualDeviceSpec spec;
    spec.name = name;
    spec.outputChannels = channels;
    return spec;
}

// Keeps every block; written on the capture thread, read on the test's thread.
class CollectSink final : public LSoundSink {
  public:
    CollectSink(int32_t rate, uint8_t channels) : LSoundSink(rate, channels) {}
    void WriteBlock(const Sample* samples, int32_t frames) override {
        std::lock_guard<std::mutex> lock(mutex_);
        samples_.insert(samples_.end(), samples,
                        samples + static_cast<size_t>(frames) * Channels());
        blocks_.push_back(frames);
        length_ += frames;
    }
    void TrimTo(int32_t frame) override {
        std::lock_guard<std::mutex> lock(mutex_);
        trims_.push_back(frame);
    }
    std::vector<Sample> Samples() {
        std::lock_guard<std::mutex> lock(mutex_);
        return samples_;
    }
    std::vector<int32_t> Blocks() {
        std::lock_guard<std::mutex> lock(mutex_);
        return blocks_;
    }
    size_t FramesSoFar() {
        std::lock_guard<std::mutex> lock(mutex_);
        return samples_.size() / Channels();
    }

  private:
    std::mutex mutex_;
    std::vector<Sample> samples_;
    std::vector<int32_t> blocks_;
    std::vector<int32_t> trims_;
};

}  // namespace tw::test

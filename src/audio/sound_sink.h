// Sound sinks: reference-counted nodes that accept blocks of internal samples at a given rate
// and channel count. The capture engine writes into one; the sample-rate converter is a sink
// that forwards to the next one; the analyser's sink hands blocks to the analysis core.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/sample_format.h"

namespace tw {

class LSoundSink {
  public:
    // Channels given as 0 become 1 and mark the node as a null sink.
    LSoundSink(int32_t sampleRate, uint8_t channels);
    LSoundSink(const LSoundSink&) = delete;
    LSoundSink& operator=(const LSoundSink&) = delete;

    // Accepts frames x channels interleaved samples; runs on the capture thread.
    virtual void WriteBlock(const Sample* samples, int32_t frames) = 0;
    // Drops what lies beyond the frame position; nodes that keep no data ignore it.
    virtual void TrimTo(int32_t framePosition);

    void Hold();
    // The release that drops the count from 1 to 0 deletes the node.
    void Release();
    uint16_t References() const { return references_.load(std::memory_order_relaxed); }

    int32_t Length() const { return length_; }
    int32_t SampleRate() const { return sampleRate_; }
    uint8_t Channels() const { return channels_; }
    bool IsNull() const { return (flags_ & kNullFlag) != 0; }

    // length x 1000 / rate without overflow; 0 when the rate is not positive.
    int32_t PositionMs() const;
    // A position in ms as a frame position at this node's rate.
    int32_t FramesOfMs(int32_t ms) const;

  protected:
    virtual ~LSoundSink() = default;

    static constexpr uint8_t kNullFlag = 1;

    int32_t length_ = 0;
    int32_t sampleRate_;
    uint8_t channels_;
    uint8_t flags_ = 0;

  private:
    std::atomic<uint16_t> references_{1};
};

// Placeholder of 44100 Hz, one channel, null flag set; keeps nothing.
class LNullSoundSink final : public LSoundSink {
  public:
    LNullSoundSink();
    void WriteBlock(const Sample*, int32_t) override {}
};

// Owning handle for a sink reference.
class SinkRef {
  public:
    SinkRef() = default;
    // Adopts a reference the caller already holds (e.g. from `new`).
    static SinkRef Adopt(LSoundSink* sink) { return SinkRef(sink); }
    // Takes a new reference.
    static SinkRef Share(LSoundSink* sink) {
        if (sink) sink->Hold();
        return SinkRef(sink);
    }
    SinkRef(const SinkRef& other) : sink_(other.sink_) {
        if (sink_) sink_->Hold();
    }
    SinkRef(SinkRef&& other) noexcept : sink_(other.sink_) { other.sink_ = nullptr; }
    SinkRef& operator=(SinkRef other) noexcept {
        std::swap(sink_, other.sink_);
        return *this;
    }
    ~SinkRef() {
        if (sink_) sink_->Release();
    }
    LSoundSink* get() const { return sink_; }
    LSoundSink* operator->() const { return sink_; }
    explicit operator bool() const { return sink_ != nullptr; }

  private:
    explicit SinkRef(LSoundSink* sink) : sink_(sink) {}
    LSoundSink* sink_ = nullptr;
};

}  // namespace tw

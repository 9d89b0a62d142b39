// Sample-rate converter: a sound sink that accepts blocks at the device rate and writes them,
// resampled, to the next sink at its rate.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/sound_sink.h"

namespace tw {

class LRateConverter final : public LSoundSink {
  public:
    static constexpr int kTaps = 15;
    // Tap index of the filter's centre.
    static constexpr int kCentre = 7;
    // Largest block converted in one go; larger blocks are taken in pieces.
    static constexpr int32_t kBlockFrames = 8192;

    // `next` gains a reference for the converter's life.
    LRateConverter(LSoundSink* next, int32_t inputRate);

    void WriteBlock(const Sample* samples, int32_t frames) override;
    void TrimTo(int32_t framePosition) override;

    int32_t Phases() const { return phases_; }
    int32_t Step() const { return step_; }
    const int32_t* Row(int32_t phase) const {
        return &coefficients_[static_cast<size_t>(phase) * kTaps];
    }
    // Input frames held back for the filter's reach.
    int32_t HeldFrames() const { return held_ / channels_; }

  private:
    ~LRateConverter() override;
    void Design(int32_t inputRate, int32_t outputRate);
    void Reset();
    void Finish();
    void Append(const Sample* samples, int32_t frames);
    void Run();

    int32_t phases_ = 1;
    int32_t step_ = 1;
    std::vector<int32_t> coefficients_;
    SinkRef next_;
    std::vector<Sample> history_;
    int32_t held_ = 0;
    int32_t phase_ = 0;
    int32_t skip_ = 0;
    std::vector<Sample> output_;
};

// The next node itself (one more reference) when it already runs at `inputRate`, else a
// converter from that rate to the node's rate.
SinkRef ConverterFor(int32_t inputRate, LSoundSink* next);

}  // namespace tw

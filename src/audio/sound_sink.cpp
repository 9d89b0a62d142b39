#include "audio/sound_sink.h"

namespace tw {

LSoundSink::LSoundSink(int32_t sampleRate, uint8_t channels)
    : sampleRate_(sampleRate), channels_(channels == 0 ? uint8_t{1} : channels) {
    if (channels == 0) flags_ |= kNullFlag;
}

void LSoundSink::TrimTo(int32_t) {}

void LSoundSink::Hold() {
    references_.fetch_add(1, std::memory_order_relaxed);
}

void LSoundSink::Release() {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

int32_t LSoundSink::PositionMs() const {
    if (sampleRate_ <= 0) return 0;
    return (length_ / sampleRate_) * 1000 + (length_ % sampleRate_) * 1000 / sampleRate_;
}

int32_t LSoundSink::FramesOfMs(int32_t ms) const {
    return static_cast<int32_t>(MsToFrames(ms, sampleRate_));
}

LNullSoundSink::LNullSoundSink() : LSoundSink(44100, 0) {}

}  // namespace tw

// Analysis pipeline: blocks go into a one-second ring; every hop of 512 samples an 8192-sample
// frame is windowed, transformed, searched for its fundamental, refined from the phase advance
// since the previous analysed frame (corrected for a change of level while a reading stands)
// and passed through the stability filter. A level gate in front skips blocks quieter than the
// running noise floor.
#include "analysis/pipeline.h"

#include <algorithm>
#include <cstring>

#include "analysis/level_change.h"
#include "audio/sample_format.h"

namespace tw {

SampleRing::SampleRing(uint32_t capacity) : capacity_(capacity), slots_(capacity) {}

uint32_t SampleRing::Held() const {
    return (write_ + capacity_ - read_) % capacity_;
}

uint32_t SampleRing::Free() const {
    return (read_ + capacity_ - write_ - 1) % capacity_;
}

void SampleRing::Write(const int32_t* samples, uint32_t count) {
    const uint32_t first = std::min(count, capacity_ - write_);
    std::memcpy(slots_.data() + write_, samples, first * sizeof(int32_t));
    std::memcpy(slots_.data(), samples + first, (count - first) * sizeof(int32_t));
    write_ = (write_ + count) % capacity_;
}

void SampleRing::Read(int32_t* destination, uint32_t count) {
    const uint32_t first = std::min(count, capacity_ - read_);
    std::memcpy(destination, slots_.data() + read_, first * sizeof(int32_t));
    std::memcpy(destination + first, slots_.data(), (count - first) * sizeof(int32_t));
    read_ = (read_ + count) % capacity_;
}

int8_t LevelMeter::Update(int8_t level) {
    if (Held() == kLevels) read_ = (read_ + 1) % kSlots;
    levels_[write_] = level;
    write_ = (write_ + 1) % kSlots;

    int sum = 0;
    const int held = Held();
    for (int i = 0, slot = read_; i < held; ++i, slot = (slot + 1) % kSlots) sum += levels_[slot];
    average_ = static_cast<int8_t>(std::clamp(sum / held, -127, 127));

    const int8_t threshold = static_cast<int8_t>(std::clamp(floor_ + margin_, -127, 127));
    if (average_ <= threshold) floor_ = average_;
    return level;
}

AnalysisCore::AnalysisCore(const MillisecondClock* clock)
    : ring_(kRingCapacity),
      fft_(kFrameOrder),
      window_(kFrameLength),
      spectrumA_(kFrameLength),
      spectrumB_(kFrameLength),
      current_(&spectrumA_),
      previous_(&spectrumB_),
      frame_(kFrameLength),
      magnitudes_(kFrameLength),
      searchBounds_(PeakSearchBoundsFor(kFrameLength)),
      clock_(clock) {}

void AnalysisCore::ProcessBlock(const int32_t* samples, uint32_t count) {
    if (IsPaused()) return;
    count = std::min(count, ring_.Free());  // the excess of an oversized block is dropped
    ring_.Write(samples, count);
    const int8_t level = meter_.Update(BlockPeakDb(samples, static_cast<int32_t>(count)));

    while (ring_.Held() >= kFrameLength) {
        const uint32_t start = ring_.ReadIndex();
        ring_.Read(frame_.data(), kFrameLength);
        ring_.SetReadIndex(start + kHop);  // consecutive frames overlap by N - hop
        frameEnd_ = consumed_ + kFrameLength;
        consumed_ += kHop;

        fft_.Transform(frame_.data(), window_, *current_);
        // All frames of a block share its gate decision. A gated frame leaves the previous
        // spectrum in place, so the next refinement spans more than one hop.
        if (meter_.Floor() <= level) AnalyseFrame(level);
    }
}

void AnalysisCore::AnalyseFrame(int8_t level) {
    choice_.nearFloor = level <= meter_.Floor() + kNearFloorDb;
    choice_.heldHz = readingStands_ ? filter_.Average() : 0.0;
    const FundamentalPeak found =
        harmonicChoice_
            ? ChooseFundamental(*current_, kFrameLength, searchBounds_, magnitudes_, choice_)
            : LocateFundamental(*current_, kFrameLength, searchBounds_, magnitudes_);
    bool published = false;
    if (found.bin > 0) {
        // A note's first readings come from the phase vocoder alone, so that no note is read
        // later than it was; once a reading stands, a change of level is corrected for.
        double f = 0.0;
        if (harmonicChoice_ && readingStands_) {
            f = RefineAcrossLevelChange(*current_, *previous_, found, kFrameLength, kHop,
                                        kAnalysisRate, heldMagnitude_)
                    .frequency;
        } else {
            f = RefineFundamental(*current_, *previous_, found, kFrameLength, kHop, kAnalysisRate);
        }
        filter_.SmoothFrequency(f);
        const double a = filter_.Average();
        if (a - kPublicationWindowHz <= f && f <= a + kPublicationWindowHz) {
            const float value = static_cast<float>(a);
            const uint32_t now = clock_->NowMilliseconds();
            publishedFrequency_.store(value, std::memory_order_release);
            publishedTime_.store(now, std::memory_order_release);
            if (listener_) listener_->OnPublished(value, now);
            published = true;
            const double m = Magnitude(*current_, static_cast<uint32_t>(found.peak));
            heldMagnitude_ = readingStands_ ? std::max(heldMagnitude_, m) : m;
        }
    }
    std::swap(current_, previous_);
    readingStands_ = published;
}

}  // namespace tw

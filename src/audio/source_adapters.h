// Two sources that wrap another for playback: a look-ahead peak limiter for sources that may
// exceed the device range, and the history wrapper that keeps what was played so that a
// source swapped in while playing fades in over the audio it replaces.
//
// Thread: read by the player's feeder, or by the owner while it holds the feeder lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/sound_source.h"

namespace tw {

// Look-ahead peak limiter: the inner source is read in blocks three ahead of the output; each
// block's gain brings its peak to the ceiling, and the running gain ramps linearly per block
// towards the lower of the current and next block gains (and the mean of the four around it),
// so that the gain is already down when a peak arrives.
class LPeakLimiter final : public LSoundSource {
  public:
    // Highest ceiling: the limiter's gain arithmetic holds 22 bits of peak.
    static constexpr int32_t kMaxCeiling = 4194303;
    // Block length: 1/70 s for open-ended sources (their look-ahead costs latency), 1/35 s
    // otherwise, within these bounds.
    static constexpr int32_t kMinBlock = 16;
    static constexpr int32_t kMaxBlock = 8192;
    static constexpr int kLookAheadBlocks = 3;

    LPeakLimiter(LSoundSource* inner, int32_t ceiling);

    int32_t Read(Sample* destination, int32_t frames) override;
    // Frames handed out so far: the inner source is ahead by what the look-ahead holds.
    int64_t GetPosition() override;
    int64_t GetLength() override;
    void Seek(int64_t frame) override;
    bool Query(int32_t kind, int64_t* value) override { return inner_->Query(kind, value); }
    bool IsOpenEnded() override { return inner_->IsOpenEnded(); }
    void WaitForData(int ms) override { inner_->WaitForData(ms); }

    int32_t BlockFrames() const { return block_; }
    int32_t Ceiling() const { return ceiling_; }
    // Gain (Q24) that brings a block's peak to the ceiling.
    int32_t BlockGain(const Sample* samples, int32_t count) const;

  private:
    void Prime();
    void ReadBlock(std::vector<Sample>& buffer);
    void UpdateRamp();

    SourceRef inner_;
    int32_t ceiling_;
    int32_t block_;
    std::vector<Sample> current_, next_, after_;
    int32_t gPrev_ = 0, gCur_ = 0, gNext_ = 0, gAfter_ = 0;
    int32_t running_ = 0;
    int32_t step_ = 0;
    int32_t offset_ = 0;  // frames of the current block handed out
    int64_t handedOut_ = 0;
};

// The player's record of what it played, shared with the history wrapper.
struct HistoryRing {
    // 2^21 samples: about 24 s of mono or 12 s of stereo at 44.1 kHz, far more than the ring of
    // queued audio that a swap can drop.
    static constexpr int kBits = 21;
    static constexpr int64_t kSize = int64_t{1} << kBits;

    HistoryRing() : samples(kSize, 0) {}
    std::vector<Sample> samples;
    int64_t writeIndex = 0;
    std::atomic<bool> crossfadePending{false};
};

class LHistorySource final : public LSoundSource {
  public:
    // Sources with more channels are passed straight through.
    static constexpr int kMaxChannels = 32;
    // Largest block staged (and crossfaded) at once; the feeder reads at most this much.
    static constexpr int32_t kStagingFrames = 8192;

    LHistorySource(LSoundSource* inner, HistoryRing* history);

    int32_t Read(Sample* destination, int32_t frames) override;
    int64_t GetPosition() override { return inner_->GetPosition(); }
    int64_t GetLength() override { return inner_->GetLength(); }
    // Moves the history's write index with the position, so that the history at the new
    // position holds what was played there.
    void Seek(int64_t frame) override;
    bool Query(int32_t kind, int64_t* value) override { return inner_->Query(kind, value); }
    bool IsOpenEnded() override { return inner_->IsOpenEnded(); }
    void WaitForData(int ms) override { inner_->WaitForData(ms); }

    LSoundSource* Inner() const { return inner_.get(); }

  private:
    SourceRef inner_;
    HistoryRing* history_;
    std::vector<Sample> staging_;
};

}  // namespace tw

// Sound sources: reference-counted producers of frames for playback, in the internal sample
// format (20-bit values in 32-bit ints, channels interleaved). The tone source makes the
// reference tone from a 4096-entry wavetable read by a 27-bit phase accumulator with linear
// interpolation in fixed point.
//
// Thread: a source is read by one thread at a time (the player's feeder, or the owner while it
// holds the feeder lock).
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "audio/sample_format.h"

namespace tw {

class LSoundSource {
  public:
    // Error state of a source whose rate or channel count is unusable.
    static constexpr int32_t kInvalidFormat = 3;

    // A rate below 1 or 0 channels give the error state, with 44100 Hz and 1 channel.
    LSoundSource(int32_t sampleRate, uint8_t channels);
    LSoundSource(const LSoundSource&) = delete;
    LSoundSource& operator=(const LSoundSource&) = delete;

    // Fills up to `frames` frames; returns the frames written.
    virtual int32_t Read(Sample* destination, int32_t frames) = 0;
    virtual int64_t GetPosition() = 0;
    virtual int64_t GetLength() = 0;
    virtual void Seek(int64_t) {}
    // Kind 6 translates a frame offset (in/out); false leaves it unchanged.
    virtual bool Query(int32_t, int64_t*) { return false; }
    // True for sources whose length may still grow.
    virtual bool IsOpenEnded() { return false; }
    virtual void WaitForData(int ms);

    void Hold();
    // The release that drops the count from 1 to 0 deletes the source.
    void Release();

    int32_t SampleRate() const { return sampleRate_; }
    uint8_t Channels() const { return channels_; }
    int32_t NominalPeak() const { return peak_; }
    int32_t Error() const { return error_; }

  protected:
    virtual ~LSoundSource() = default;
    int32_t peak_ = kInternalFullScale;

  private:
    int32_t sampleRate_;
    uint8_t channels_;
    int32_t error_ = 0;
    std::atomic<uint16_t> references_{1};
};

// Owning handle for a source reference.
class SourceRef {
  public:
    SourceRef() = default;
    static SourceRef Adopt(LSoundSource* source) { return SourceRef(source); }
    static SourceRef Share(LSoundSource* source) {
        if (source) source->Hold();
        return SourceRef(source);
    }
    SourceRef(const SourceRef& other) : source_(other.source_) {
        if (source_) source_->Hold();
    }
    SourceRef(SourceRef&& other) noexcept : source_(other.source_) { other.source_ = nullptr; }
    SourceRef& operator=(SourceRef other) noexcept {
        std::swap(source_, other.source_);
        return *this;
    }
    ~SourceRef() {
        if (source_) source_->Release();
    }
    LSoundSource* get() const { return source_; }
    LSoundSource* operator->() const { return source_; }
    explicit operator bool() const { return source_ != nullptr; }

  private:
    explicit SourceRef(LSoundSource* source) : source_(source) {}
    LSoundSource* source_ = nullptr;
};

// Placeholder held when no real source is: 44100 Hz, one channel, no frames.
class LEmptySoundSource final : public LSoundSource {
  public:
    LEmptySoundSource() : LSoundSource(44100, 1) {}
    int32_t Read(Sample* destination, int32_t frames) override;
    int64_t GetPosition() override { return 0; }
    int64_t GetLength() override { return 0; }
};

class LToneSource final : public LSoundSource {
  public:
    enum Waveform : int { kSine = 0, kSquare, kTriangle, kSawtooth, kImpulse, kNoise };
    static constexpr int kTableBits = 12;
    static constexpr int kTableSize = 1 << kTableBits;
    // The phase accumulator: 12 bits of table index over 15 bits of fraction.
    static constexpr int kFractionBits = 15;
    static constexpr int kPhaseBits = kTableBits + kFractionBits;
    static constexpr int32_t kPhaseMask = (1 << kPhaseBits) - 1;
    // Noise steps through the table at a fixed rate.
    static constexpr int32_t kNoiseIncrement = 32768;
    // The reference tone plays for 60 hours: "until stopped".
    static constexpr int32_t kReferenceLengthMs = 216000000;
    // The reference tone's volume: the loudest at which its sine (peak 131070) stays within
    // the internal full scale. +20 dB would saturate it at +-2^19 into a near-square wave.
    static constexpr int8_t kReferenceVolumeDb = 12;

    LToneSource(int32_t sampleRate, double frequency, int waveform, int8_t levelDb,
                int64_t lengthMs);

    int32_t Read(Sample* destination, int32_t frames) override;
    int64_t GetPosition() override { return position_.load(std::memory_order_relaxed); }
    int64_t GetLength() override { return length_; }
    // The phase carries on from where it was.
    void Seek(int64_t frame) override;

    double Frequency() const { return frequency_; }
    int32_t Increment() const { return increment_; }
    const std::vector<int32_t>& Table() const { return table_; }

  private:
    double frequency_;
    int waveform_;
    std::vector<int32_t> table_;
    int32_t phase_ = 0;
    int32_t increment_ = 0;
    // Read by the main thread for the play position while the feeder advances it.
    std::atomic<int64_t> position_{0};
    int64_t length_;
};

}  // namespace tw

// Tone synthesis by wavetable: 4096 entries per cycle scaled by the level's amplitude (2^24 at
// 0 dB), a 27-bit phase accumulator and linear interpolation between neighbouring entries in
// fixed point, split so that no product overflows 32 bits.
#include "audio/sound_source.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>

namespace tw {

namespace {

constexpr double kTwoPi = 6.283185307179586;
// Wavetable scales: with A = 2^24 at 0 dB these give the sine a peak of 131070 and the other
// shapes comparable loudness.
constexpr double kSineScale = 0.007812433505058288;
constexpr double kSquareScale = 0.005524277687072754;
constexpr double kTriangleSlope = 9.650492324726657e-6;
constexpr double kSawtoothSlope = 4.825246162363328e-6;
constexpr double kImpulseScale = 0.011048555374145508;
constexpr double kNoiseScale = 0.009882104140520096;
constexpr double kInverse2To31 = 4.656612875245797e-10;
// Nominal peak of a tone relative to its level's amplitude.
constexpr double kPeakScale = 0.009943699836730957;
constexpr int kHalf = LToneSource::kTableSize / 2;
constexpr int kQuarter = LToneSource::kTableSize / 4;
constexpr int32_t kFractionOne = 1 << LToneSource::kFractionBits;
constexpr int32_t kFractionMask = kFractionOne - 1;
// Fixed seed: the noise is the same every time.
constexpr uint32_t kNoiseSeed = 0x5EED;

}  // namespace

LSoundSource::LSoundSource(int32_t sampleRate, uint8_t channels)
    : sampleRate_(sampleRate), channels_(channels) {
    if (sampleRate < 1 || channels < 1) {
        error_ = kInvalidFormat;
        sampleRate_ = 44100;
        channels_ = 1;
    }
}

void LSoundSource::WaitForData(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void LSoundSource::Hold() {
    references_.fetch_add(1, std::memory_order_relaxed);
}

void LSoundSource::Release() {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

int32_t LEmptySoundSource::Read(Sample* destination, int32_t frames) {
    std::fill(destination, destination + std::max(frames, 0) * Channels(), 0);
    return 0;
}

LToneSource::LToneSource(int32_t sampleRate, double frequency, int waveform, int8_t levelDb,
                         int64_t lengthMs)
    : LSoundSource(sampleRate, 1),
      frequency_(frequency),
      waveform_(waveform),
      table_(kTableSize, 0),
      length_(MsToFrames(lengthMs, SampleRate())) {
    const double a = AmplitudeOfDb(levelDb);
    peak_ = static_cast<int32_t>(std::floor(a * kPeakScale));
    increment_ = static_cast<int32_t>(
        RoundHalfAway(frequency / SampleRate() * static_cast<double>(1 << kPhaseBits)));
    switch (waveform) {
        case kSine:
            for (int i = 0; i < kTableSize; ++i) {
                table_[i] =
                    static_cast<int32_t>(a * kSineScale * std::sin(i * kTwoPi / kTableSize));
            }
            break;
        case kSquare:
            for (int i = 0; i < kHalf; ++i) table_[i] = static_cast<int32_t>(a * kSquareScale);
            break;
        case kTriangle:
            for (int i = 0; i < kQuarter; ++i)
                table_[i] = static_cast<int32_t>(i * a * kTriangleSlope);
            for (int i = kQuarter; i < kHalf; ++i) {
                table_[i] = static_cast<int32_t>((kHalf - i) * a * kTriangleSlope);
            }
            break;
        case kSawtooth:
            for (int i = 0; i < kHalf; ++i)
                table_[i] = static_cast<int32_t>(i * a * kSawtoothSlope);
            break;
        case kImpulse:
            table_[0] = static_cast<int32_t>(a * kImpulseScale);
            break;
        case kNoise: {
            std::minstd_rand random(kNoiseSeed);
            for (int i = 0; i < kTableSize; ++i) {
                table_[i] = static_cast<int32_t>(a * kNoiseScale * random() * kInverse2To31);
            }
            increment_ = kNoiseIncrement;
            break;
        }
        default:
            break;
    }
    // The second half of every shape but noise mirrors the first.
    if (waveform != kSine && waveform != kNoise) {
        for (int i = kHalf; i < kTableSize; ++i) table_[i] = -table_[i - kHalf];
    }
}

int32_t LToneSource::Read(Sample* destination, int32_t frames) {
    const int64_t position = position_.load(std::memory_order_relaxed);
    const int32_t n = static_cast<int32_t>(std::clamp<int64_t>(length_ - position, 0, frames));
    int32_t phase = phase_;
    for (int32_t i = 0; i < n; ++i) {
        phase &= kPhaseMask;
        const int32_t index = phase >> kFractionBits;
        const int32_t f = phase & kFractionMask;
        const int32_t cur = table_[index];
        const int32_t next = table_[(index + 1) & (kTableSize - 1)];
        destination[i] = f * (next >> kFractionBits) + (cur >> kFractionBits) * (kFractionOne - f) +
                         (((kFractionOne - f) * (cur & kFractionMask)) >> kFractionBits) +
                         ((f * (next & kFractionMask)) >> kFractionBits);
        phase += increment_;
    }
    phase_ = phase & kPhaseMask;
    position_.store(position + n, std::memory_order_relaxed);
    return n;
}

void LToneSource::Seek(int64_t frame) {
    position_.store(std::clamp<int64_t>(frame, 0, length_), std::memory_order_relaxed);
}

}  // namespace tw

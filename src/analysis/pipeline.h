// The analysis core: mono blocks at 16000 Hz in, one stable published frequency out.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "analysis/clock.h"
#include "analysis/detection.h"
#include "analysis/harmonic_choice.h"
#include "analysis/real_fft.h"
#include "analysis/spectrum.h"

namespace tw {

inline constexpr uint32_t kAnalysisRate = 16000;
// Transform order 13: 8192-sample frames, 0.512 s, 1.95 Hz per bin.
inline constexpr uint32_t kFrameOrder = 13;
inline constexpr uint32_t kFrameLength = 1u << kFrameOrder;
// 512 samples (32 ms) between frames: 31.25 estimates a second.
inline constexpr uint32_t kHop = 512;
// One second of samples plus the slot that always stays empty.
inline constexpr uint32_t kRingCapacity = 16001;
// Half-width of the window around the smoothed value inside which an estimate is published.
inline constexpr double kPublicationWindowHz = 2.0;
// A block within this many dB of the noise floor counts as the floor: hum lives there.
inline constexpr int kNearFloorDb = 6;

// Ring of samples not yet consumed by framing; one slot always stays empty.
class SampleRing {
  public:
    explicit SampleRing(uint32_t capacity);
    uint32_t Held() const;
    uint32_t Free() const;
    uint32_t ReadIndex() const { return read_; }
    void SetReadIndex(uint32_t index) { read_ = index % capacity_; }
    // Copy in at most two pieces; the caller keeps count within Free() / Held().
    void Write(const int32_t* samples, uint32_t count);
    void Read(int32_t* destination, uint32_t count);

  private:
    uint32_t capacity_;
    std::vector<int32_t> slots_;
    uint32_t read_ = 0;
    uint32_t write_ = 0;
};

// Gate in front of the analysis: the floor is the lowest 5-block average level seen.
class LevelMeter {
  public:
    static constexpr int kLevels = 5;
    // Records a block level; returns it.
    int8_t Update(int8_t level);
    int8_t Floor() const { return floor_; }
    int8_t Average() const { return average_; }
    int Held() const { return (write_ - read_ + kSlots) % kSlots; }

  private:
    static constexpr int kSlots = kLevels + 1;
    std::array<int8_t, kSlots> levels_{};
    int read_ = 0;
    int write_ = 0;
    int8_t floor_ = 0;
    int8_t margin_ = 0;
    int8_t average_ = 0;
};

// Told of every publication (capture thread); used by offline analysis to print each one.
class PublicationListener {
  public:
    virtual ~PublicationListener() = default;
    virtual void OnPublished(float frequency, uint32_t timeMs) = 0;
};

class AnalysisCore {
  public:
    explicit AnalysisCore(const MillisecondClock* clock = &SystemClock::Instance());
    AnalysisCore(const AnalysisCore&) = delete;
    AnalysisCore& operator=(const AnalysisCore&) = delete;

    // Main thread.
    void SetPaused(bool paused) { paused_.store(paused, std::memory_order_relaxed); }
    bool IsPaused() const { return paused_.load(std::memory_order_relaxed); }

    // Capture thread only: buffer, frame, analyse and maybe publish.
    void ProcessBlock(const int32_t* samples, uint32_t count);

    // Read by the main thread without a lock; the value is written before the stamp.
    float PublishedFrequency() const { return publishedFrequency_.load(std::memory_order_acquire); }
    uint32_t PublishedTime() const { return publishedTime_.load(std::memory_order_acquire); }

    // Set before analysis starts, not while ProcessBlock may run.
    void SetClock(const MillisecondClock* clock) { clock_ = clock; }
    void SetListener(PublicationListener* listener) { listener_ = listener; }
    // Set before analysis starts. Off: the plain lowest-peak search and phase-vocoder
    // refinement, kept for measuring what the harmonic checks and the level-change correction
    // change.
    void SetHarmonicChoice(bool on) { harmonicChoice_ = on; }

    // Capture thread: end of the frame being analysed, counted in analysis-rate samples
    // since construction. Offline analysis turns it into audio time.
    uint64_t FrameEndSample() const { return frameEnd_; }

    const SampleRing& Ring() const { return ring_; }
    const LevelMeter& Meter() const { return meter_; }
    const StabilityFilter& Filter() const { return filter_; }

  private:
    void AnalyseFrame(int8_t level);

    std::atomic<bool> paused_{false};
    LevelMeter meter_;
    SampleRing ring_;
    StabilityFilter filter_;
    LRealFFT fft_;
    LHammingWindow window_;
    LSpectrum spectrumA_;
    LSpectrum spectrumB_;
    LSpectrum* current_;
    LSpectrum* previous_;
    std::atomic<float> publishedFrequency_{0.0f};
    std::atomic<uint32_t> publishedTime_{0};

    std::vector<int32_t> frame_;
    std::vector<double> magnitudes_;
    PeakSearchBounds searchBounds_;
    const MillisecondClock* clock_;
    PublicationListener* listener_ = nullptr;
    bool harmonicChoice_ = true;
    ChoiceContext choice_;
    uint64_t consumed_ = 0;
    uint64_t frameEnd_ = 0;
    // The previous analysed frame published a reading.
    bool readingStands_ = false;
    // The strongest peak magnitude of the frames that published while the reading stood.
    double heldMagnitude_ = 0.0;
};

}  // namespace tw

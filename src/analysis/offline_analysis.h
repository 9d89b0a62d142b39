// Analysis of recorded audio through the same path as live capture: device samples -> internal
// samples -> sample-rate converter -> analysis core, in blocks of the capture engine's size.
// Publication times are audio time: the end of the frame that published.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/pipeline.h"
#include "audio/sound_sink.h"

namespace tw {

// Frames per capture buffer at a device rate: 0.1 s, clamped to 512..8192.
int32_t CaptureBlockFrames(int32_t rate);

class OfflineAnalysis {
  public:
    // `listener` hears every publication (frequency, audio time in ms).
    OfflineAnalysis(int32_t inputRate, PublicationListener* listener);
    ~OfflineAnalysis();
    OfflineAnalysis(const OfflineAnalysis&) = delete;
    OfflineAnalysis& operator=(const OfflineAnalysis&) = delete;

    int32_t BlockFrames() const { return blockFrames_; }
    // Before the first block: off reads with the plain lowest-peak search (for comparisons).
    void SetHarmonicChoice(bool on) { core_.SetHarmonicChoice(on); }
    // One block of mono device samples (32-bit, full scale), at most BlockFrames() frames.
    void WriteDeviceBlock(const int32_t* samples, int32_t frames);
    // Flushes the converter's tail into the core.
    void Finish();

    const AnalysisCore& Core() const { return core_; }

  private:
    class AudioClock final : public MillisecondClock {
      public:
        explicit AudioClock(const AnalysisCore& core) : core_(core) {}
        uint32_t NowMilliseconds() const override;

      private:
        const AnalysisCore& core_;
    };

    AnalysisCore core_;
    AudioClock clock_;
    int32_t blockFrames_;
    SinkRef chain_;
    std::vector<Sample> internal_;
};

}  // namespace tw

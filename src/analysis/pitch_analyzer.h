// The pitch analyser: a capture engine that feeds everything it records into one analysis
// core. The main window owns one for its life and starts, pauses and stops it.
#pragma once

#include <cstdint>
#include <string>

#include "analysis/pipeline.h"
#include "audio/sound_recorder.h"

namespace tw {

class LPitchAnalyzer;

// The sink through which the capture engine feeds the analyser: 16000 Hz, mono. Its length
// never advances, so its position always reads 0 ms; trims mean nothing to it.
class LPitchAnalyzerSink final : public LSoundSink {
  public:
    explicit LPitchAnalyzerSink(LPitchAnalyzer* analyzer);
    // Capture thread.
    void WriteBlock(const Sample* samples, int32_t frames) override;
    void TrimTo(int32_t) override {}

  private:
    LPitchAnalyzer* analyzer_;
};

class LPitchAnalyzer final : public LSoundRecorder {
  public:
    // Capture parameters: record at once, never fall back to waiting for sound.
    static constexpr int8_t kStartThresholdDb = -10;
    static constexpr int32_t kSilenceTimeoutMs = 216000000;
    static constexpr uint16_t kFlags = kRecordAtOnce;

    explicit LPitchAnalyzer(const MillisecondClock* clock = &SystemClock::Instance());
    ~LPitchAnalyzer() override;

    // Main thread. Clears the pause; when not capturing, resolves the device by name (no match:
    // the first input device) and the channel by name without regard to case (no match:
    // entry 0), and starts capture. Whether it started is told by IsCapturing.
    void StartAnalysis(const char* deviceName, const char* channelName);
    // Main thread: blocks are dropped on arrival until the next StartAnalysis.
    void PauseAnalysis() { core_.SetPaused(true); }
    // Main thread: ends capture and joins the capture thread; the core keeps its state.
    void StopAnalysis() { Stop(); }

    float PublishedFrequency() const { return core_.PublishedFrequency(); }
    uint32_t PublishedTime() const { return core_.PublishedTime(); }

    // Before StartAnalysis: told of every publication on the capture thread.
    void SetPublicationListener(PublicationListener* listener) { core_.SetListener(listener); }
    const AnalysisCore& Core() const { return core_; }

  private:
    friend class LPitchAnalyzerSink;
    AnalysisCore core_;
};

}  // namespace tw

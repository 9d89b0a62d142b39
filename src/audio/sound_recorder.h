// The capture engine: records from a sound input device on a worker thread and pushes the
// samples, one buffer at a time, into a chain of sound sinks. The device's input callback fills
// a ring of capture buffers (about four seconds); the worker converts them to the internal
// format, measures levels, runs the voice-activated state machine and writes the sink. When the
// device cannot run at the sink's rate, a sample-rate converter goes in front of the sink and
// the device is opened again.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/device_catalogue.h"
#include "audio/sound_sink.h"
#include "base/main_thread_poster.h"
#include "base/thread.h"
#include "platform/audio/audio_hal.h"

namespace tw {

// Everything reaches the listener on the main thread.
class RecorderListener {
  public:
    virtual ~RecorderListener() = default;
    virtual void OnRecording(int32_t) {}
    virtual void OnArmed(int32_t) {}
    virtual void OnStopped(int32_t) {}
    virtual void OnPosition(int32_t /*keepMs*/, int32_t) {}
    virtual void OnLevels(int /*channels*/, const int8_t* /*levels*/, int32_t) {}
};

// Makes the node that takes blocks at `inputRate` for `next` (the next node itself when the
// rates agree). The analysis library supplies the sample-rate converter; the capture engine
// only needs the shape, so that it does not depend on the analysis.
using ConverterFactory = SinkRef (*)(int32_t inputRate, LSoundSink* next);

// One buffer of the capture ring. `frames` is the hand-over: set by the input callback when
// the buffer is filled, cleared by the worker when it is free again.
struct CaptureBuffer {
    std::vector<int32_t> samples;
    int32_t capacityFrames = 0;
    std::atomic<int32_t> frames{0};
};

struct LAudioInputUnit {
    std::unique_ptr<hal::InputUnit> unit;
    DeviceSelection selection;
    std::unique_ptr<CaptureBuffer[]> buffers;
    int32_t count = 0;
    int32_t consumer = 0;       // capture thread
    int32_t callbackIndex = 0;  // audio thread (reset before the unit starts)
    int32_t framesPerBuffer = 0;
    int32_t samplesPerBuffer = 0;
    int channels = 1;
    std::atomic<bool> running{false};
    bool duplicate = false;
    bool rateMismatch = false;
    // Written by the callback after every filled buffer; the worker waits on it.
    LPipe filled;
};

class LSoundRecorder : public LThread {
  public:
    enum State : int32_t { kStopped = 0, kArmed = 1, kRecording = 2 };
    // Flags of Start.
    static constexpr uint16_t kWaitForGo = 1;
    static constexpr uint16_t kRecordAtOnce = 2;
    // A device that delivers nothing for this long ends the capture.
    static constexpr int kStallMs = 3000;
    // The start hand-shake waits this long for the capture thread.
    static constexpr int kStartTimeoutMs = 1500;
    // Capture buffers hold this much audio in all.
    static constexpr int kRingSeconds = 4;

    explicit LSoundRecorder(ConverterFactory converters = nullptr);
    ~LSoundRecorder() override;

    // Main thread.
    void SetInputSelection(const DeviceSelection& selection) { input_.selection = selection; }
    const DeviceSelection& InputSelection() const { return input_.selection; }
    void SetListener(RecorderListener* listener, int32_t argument);
    bool Start(LSoundSink* sink, int32_t maxDurationMs, int8_t startThresholdDb,
               int32_t silenceTimeoutMs, uint16_t flags);
    void Stop();
    // Main thread: lets a recorder started with kWaitForGo begin.
    void Go() { go_.Signal(); }
    bool IsCapturing() const { return state_.load(std::memory_order_acquire) == kRecording; }
    int32_t State() const { return state_.load(std::memory_order_acquire); }

    // Main thread, between captures: the node the recorder writes into (the sink, or the
    // converter in front of it).
    LSoundSink* CurrentSink() const { return sink_.get(); }
    // Last peak level per channel (dB); read on the main thread after a notification.
    int8_t Level(int channel) const { return levels_[channel].load(std::memory_order_relaxed); }
    // Frames per capture buffer of the last open.
    int32_t FramesPerBuffer() const { return input_.framesPerBuffer; }

    // Main thread: handles a notification posted by the capture thread.
    void OnNotification();

  protected:
    void Run() override;
    // Main thread, from destructors: ends capture, joins the thread and lets go of the sink
    // chain, whose last node may call into the owner while it flushes.
    void Shutdown();

  private:
    class Notifier final : public LMainThreadPoster {
      public:
        explicit Notifier(LSoundRecorder& owner) : owner_(owner) {}
        void OnMainThread() override { owner_.OnNotification(); }

      private:
        LSoundRecorder& owner_;
    };

    // Capture thread.
    bool OpenInput(LSoundSink* sink);
    void CloseInput();
    bool StartUnit();
    // Waits for the buffer at the consumer index; false on a stop request or a stall.
    bool TakeBuffer(std::vector<Sample>& work, int32_t* frames);
    void MeasureLevels(const Sample* samples, int32_t frames, int8_t* overall);
    static int InputCallback(void* context, int32_t frames);

    Notifier notifier_;
    RecorderListener defaultListener_;
    LAudioInputUnit input_;
    RecorderListener* listener_ = &defaultListener_;
    int32_t argument_ = 0;
    std::atomic<int32_t> state_{kStopped};
    SinkRef sink_;
    ConverterFactory converters_;
    std::atomic<int32_t> keepPosition_{0};
    int32_t lastLoudPosition_ = 0;
    LPipe started_;
    LPipe go_;
    int channelCount_ = 1;
    std::atomic<int8_t> levels_[256] = {};
    int8_t startThreshold_ = -10;
    int8_t stopThreshold_ = -14;
    int32_t maxDuration_ = 0;
    int32_t silenceTimeout_ = 0;
    uint16_t flags_ = 0;
    std::atomic<bool> stopRequest_{false};
    std::atomic<bool> levelsChanged_{false};
    std::atomic<bool> stateChanged_{false};
};

}  // namespace tw

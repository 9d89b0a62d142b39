// The playback engine: plays a sound source through an output device. A feeder thread (the
// player itself) reads the source into a ring of about half a second; the device's render
// callback takes frames out of the ring, applies the volume, measures levels and converts to
// the device format; a done-handler thread turns the callback's signals into refills for the
// feeder and updates for the main thread. A source can be swapped while playing without a gap:
// the queued audio beyond the device margin is dropped and the new source fades in over it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/sound_source.h"
#include "audio/source_adapters.h"
#include "base/main_thread_poster.h"
#include "base/thread.h"
#include "platform/audio/audio_hal.h"

namespace tw {

// Everything reaches the listener on the main thread.
class LSoundPlayerListener {
  public:
    virtual ~LSoundPlayerListener() = default;
    virtual void OnPlayStarted(int) {}
    virtual void OnPlayStopped(int) {}
    virtual void OnPlayPosition(int64_t /*frames*/, int) {}
    virtual void OnPlayLevels(const int8_t* /*levels, 256*/, int) {}
};

// Output device by 1-based index (0: the system default) and the device channels that carry
// the source's first two channels.
struct OutputSelection {
    int32_t deviceIndex = 0;
    int32_t firstChannel = 0;
    int32_t secondChannel = 0;
    bool operator==(const OutputSelection&) const = default;
};

class LSoundPlayer;

class LSoundPlayerDoneHandlerThread final : public LThread {
  public:
    explicit LSoundPlayerDoneHandlerThread(LSoundPlayer* player)
        : LThread("LSoundPlayerDoneHandlerThread"), player_(player) {}
    ~LSoundPlayerDoneHandlerThread() override { Stop(); }
    void Run() override;
    pthread_t Handle() const { return handle_.load(); }

  private:
    LSoundPlayer* player_;
    std::atomic<pthread_t> handle_{};
};

class LSoundPlayer final : public LThread {
  public:
    // Sources whose nominal peak exceeds this go through the peak limiter.
    static constexpr int32_t kLimiterCeiling = 0x7FFF0;
    // The feeder moves at most this much per pass, and only when this much is free.
    static constexpr int32_t kFeedFrames = 8192;
    // The ring holds half a second, at least this many frames.
    static constexpr int32_t kMinRingFrames = 16384;
    // The device margin kept on a swap: this many slices of the device.
    static constexpr int32_t kDeviceSlices = 4;
    static constexpr int kNormalPriority = 20;
    static constexpr int kRealTimePriority = 91;

    LSoundPlayer();
    ~LSoundPlayer() override;

    // Main thread.
    void SetListener(LSoundPlayerListener* listener, int cookie);
    void SetDevice(const OutputSelection& selection);
    const OutputSelection& Device() const { return selection_; }
    void SetVolume(int8_t db);
    int8_t Volume() const { return volume_; }
    bool Play(LSoundSource* source, bool startPaused);
    void StopPlayback();
    void LockFeeder();
    void UnlockFeeder();
    void ReplaceSource(LSoundSource* source);
    int64_t Resync(bool refill);
    int64_t GetPlayPosition();
    int64_t CachedPlayPosition() const { return cachedPosition_.load(); }
    bool IsPlaying() const { return (state_.load() & kPlaying) != 0; }
    bool IsActive() const { return (state_.load() & (kPlaying | kOutputStopped)) != 0; }

    // For tests and diagnostics (main thread).
    int64_t RingCapacityFrames() const;
    int32_t DeviceFrames() const;
    int64_t QueuedFrames();
    bool HasOutputUnit() const { return unit_ != nullptr; }
    int UnitOpenings() const { return unitOpenings_; }
    int8_t Level(int channel) const { return levels_[channel].load(std::memory_order_relaxed); }
    // Render cycles that found the player busy and left the buffer silent.
    int64_t SkippedRenders() const { return skipped_.load(); }

  protected:
    // The feeder thread.
    void Run() override;

  private:
    friend class LSoundPlayerDoneHandlerThread;

    static constexpr int kPlaying = 1 << 1;
    static constexpr int kOutputStopped = 1 << 2;

    struct Ring {
        Ring(int32_t rate, int channels);
        int64_t Queued() const;  // frames, under mutex
        int64_t Free() const;    // frames, under mutex
        std::vector<Sample> data;
        int channels;
        int64_t capacityFrames;
        int64_t storage;  // samples
        int64_t read = 0;
        int64_t write = 0;
        int32_t deviceFrames = 0;
        std::mutex mutex;
    };

    class Poster final : public LMainThreadPoster {
      public:
        explicit Poster(LSoundPlayer& owner) : owner_(owner) {}
        void OnMainThread() override { owner_.OnMainThreadUpdate(); }

      private:
        LSoundPlayer& owner_;
    };

    bool OpenUnit(LSoundSource* source);
    void CloseUnit();
    void WriteChannelMap(int sourceChannels);
    void Attach(SourceRef source);
    SourceRef Wrap(LSoundSource* source);
    // Reads up to `frames` frames from the source into the ring; returns the frames read.
    int32_t Fill(int32_t frames);
    void OnMainThreadUpdate();
    void RaiseFeeder();
    void RaiseDoneHandler();
    static int32_t Render(void* context, int32_t* destination, int32_t frames);
    int32_t RenderLocked(Ring& ring, int32_t* destination, int32_t frames);

    Poster poster_;
    LSoundPlayerListener defaultListener_;
    LSoundPlayerListener* listener_ = &defaultListener_;
    int cookie_ = 0;

    std::unique_ptr<hal::OutputUnit> unit_;
    double unitRate_ = 0;
    int unitChannels_ = 0;
    int unitOpenings_ = 0;
    SourceRef source_;
    OutputSelection selection_;
    std::unique_ptr<Ring> ring_;
    std::atomic<int> state_{0};
    bool startPaused_ = false;
    std::atomic<int32_t> sampleRate_{44100};
    int8_t volume_ = 0;
    std::atomic<int32_t> gain_{kUnityQ9};
    std::atomic<int8_t> levels_[256] = {};
    std::atomic<int32_t> levelChannels_[2] = {};
    // Render thread only.
    double levelSum_[2] = {0, 0};
    int32_t levelBlocks_ = 0;
    int32_t framesSinceMeter_ = 0;
    LPipe meterPipe_;
    LPipe refillPipe_;
    LPipe startedPipe_;
    std::mutex outputMutex_;

    std::mutex feederMutex_;
    bool ownerHoldsFeeder_ = false;  // main thread
    bool trimActive_ = false;        // under the ring mutex
    int64_t keep_ = 0;               // under the ring mutex

    HistoryRing history_;
    std::atomic<bool> feederRaised_{false};
    std::atomic<bool> doneRaised_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> updatePending_{false};
    std::atomic<bool> positionDirty_{false};
    std::atomic<int32_t> consumption_{0};
    std::atomic<int64_t> ringCapacity_{kMinRingFrames};  // for the done-handler
    std::atomic<int64_t> cachedPosition_{0};
    std::atomic<int64_t> skipped_{0};
    std::atomic<pthread_t> feederHandle_{};
    std::unique_ptr<LSoundPlayerDoneHandlerThread> doneHandler_;
};

}  // namespace tw

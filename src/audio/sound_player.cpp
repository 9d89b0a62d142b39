#include "audio/sound_player.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>

#include "audio/device_catalogue.h"
#include "platform/core/thread_priority.h"

namespace tw {

namespace {

// The ring holds this much audio.
constexpr double kRingSeconds = 0.5;
// The feeder rests this long between passes.
constexpr int kFeederRestMs = 5;
// Waits on the refill pipe and for the feeder's start.
constexpr int kRefillWaitMs = 1000;
constexpr int kStartWaitMs = 1000;
// An open-ended source may wait this long for data per pass.
constexpr int kSourceWaitMs = 150;
// Levels are refreshed every 1/20 s of rendered audio.
constexpr int32_t kMeterPerSecond = 20;
// The render callback tries this often to take a lock held for a few instructions by the
// feeder or the owner before it gives the slice up.
constexpr int kLockTries = 64;
// The largest value that survives the shift into the device format.
constexpr Sample kSampleMax = kInternalFullScale - 1;
constexpr Sample kSampleMin = -kInternalFullScale;
// Query kind that translates a frame offset.
constexpr int32_t kQueryTranslateOffset = 6;

bool TryLock(std::mutex& mutex) {
    for (int i = 0; i < kLockTries; ++i) {
        if (mutex.try_lock()) return true;
    }
    return false;
}

}  // namespace

LSoundPlayer::Ring::Ring(int32_t rate, int ch) : channels(ch) {
    capacityFrames =
        std::max<int64_t>(static_cast<int64_t>(std::ceil(rate * kRingSeconds)), kMinRingFrames);
    storage = int64_t{channels} * (capacityFrames + 1);
    data.assign(static_cast<size_t>(storage), 0);
}

int64_t LSoundPlayer::Ring::Queued() const {
    return ((write - read) % storage + storage) % storage / channels;
}

int64_t LSoundPlayer::Ring::Free() const {
    return capacityFrames - Queued();
}

LSoundPlayer::LSoundPlayer()
    : LThread("LSoundPlayer<T>"),
      poster_(*this),
      source_(SourceRef::Adopt(new LEmptySoundSource())) {
    for (auto& level : levels_) level.store(kSilenceDb, std::memory_order_relaxed);
}

LSoundPlayer::~LSoundPlayer() {
    StopPlayback();
    CloseUnit();
    poster_.CancelPending();
}

void LSoundPlayer::SetListener(LSoundPlayerListener* listener, int cookie) {
    listener_ = listener ? listener : &defaultListener_;
    cookie_ = cookie;
}

void LSoundPlayer::SetVolume(int8_t db) {
    volume_ = db;
    gain_ = GainQ9OfDb(db);
}

// Main thread.
void LSoundPlayer::WriteChannelMap(int sourceChannels) {
    std::vector<int32_t> map;
    if (!unit_ || !unit_->GetChannelMap(&map) || map.empty()) return;
    map[0] = selection_.firstChannel;
    if (map.size() > 1) {
        if (sourceChannels > 1) {
            int32_t second = selection_.secondChannel;
            if (second == selection_.firstChannel) {
                second = selection_.firstChannel != 0 ? selection_.firstChannel - 1 : 1;
            }
            selection_.secondChannel = second;
            map[1] = second;
        } else {
            // A mono source is heard on the first two device channels.
            map[1] = selection_.firstChannel;
        }
    }
    unit_->SetChannelMap(map);
    levelChannels_[0] = std::clamp(selection_.firstChannel, 0, 255);
    levelChannels_[1] =
        std::clamp(map.size() > 1 ? selection_.secondChannel : selection_.firstChannel, 0, 255);
}

// Main thread.
bool LSoundPlayer::OpenUnit(LSoundSource* source) {
    if (unit_) {
        unit_->Reset();
        return true;
    }
    const int64_t device = OutputDeviceIdByIndex(selection_.deviceIndex);
    if (device < 0) return false;
    auto unit = hal::Backend().CreateOutputUnit();
    if (!unit || !unit->SetDevice(static_cast<hal::DeviceId>(device))) return false;
    if (!unit->SetStreamFormat(source->SampleRate(), source->Channels())) return false;
    unit_ = std::move(unit);
    unitRate_ = source->SampleRate();
    unitChannels_ = source->Channels();
    WriteChannelMap(source->Channels());
    unit_->SetRenderCallback(&LSoundPlayer::Render, this);
    if (!unit_->Initialize()) {
        unit_.reset();
        return false;
    }
    ++unitOpenings_;
    return true;
}

// Main thread.
void LSoundPlayer::CloseUnit() {
    if (!unit_) return;
    unit_->Stop();
    unit_->Uninitialize();
    std::lock_guard<std::mutex> lock(outputMutex_);
    unit_.reset();
}

// Main thread.
void LSoundPlayer::SetDevice(const OutputSelection& selection) {
    if (selection == selection_) return;
    const bool sameDevice = selection.deviceIndex == selection_.deviceIndex;
    selection_ = selection;
    if (!unit_) return;
    const bool playing = IsPlaying();
    if (sameDevice) {
        unit_->Uninitialize();
        WriteChannelMap(unitChannels_);
        unit_->Initialize();
    } else {
        CloseUnit();
        if (!OpenUnit(source_.get())) return;
        if (ring_) ring_->deviceFrames = kDeviceSlices * unit_->MaximumFramesPerSlice();
    }
    if (playing) unit_->Start();
}

SourceRef LSoundPlayer::Wrap(LSoundSource* source) {
    SourceRef held = SourceRef::Share(source);
    if (held->NominalPeak() > kLimiterCeiling) {
        held = SourceRef::Adopt(new LPeakLimiter(held.get(), kLimiterCeiling));
    }
    return held;
}

// Main thread (feeder stopped, or its lock held by the owner).
void LSoundPlayer::Attach(SourceRef source) {
    SourceRef released;
    std::lock_guard<std::mutex> lock(outputMutex_);
    const bool newRing =
        !ring_ || source->Channels() != source_->Channels() ||
        source->SampleRate() != source_->SampleRate() ||
        (unit_ && (unitRate_ != source->SampleRate() || unitChannels_ != source->Channels()));
    if (newRing) {
        ring_ = std::make_unique<Ring>(source->SampleRate(), source->Channels());
        ringCapacity_ = ring_->capacityFrames;
    }
    // The old source is released after the lock: freeing a source chain takes time the render
    // callback would spend skipping blocks.
    released = std::exchange(source_, std::move(source));
    sampleRate_ = source_->SampleRate();
    if (newRing && unit_) {
        // The render callback finds the output lock taken and leaves the device alone meanwhile.
        unit_->Stop();
        unit_->Uninitialize();
        unit_->SetStreamFormat(source_->SampleRate(), source_->Channels());
        unitRate_ = source_->SampleRate();
        unitChannels_ = source_->Channels();
        WriteChannelMap(source_->Channels());
        ring_->deviceFrames = kDeviceSlices * unit_->MaximumFramesPerSlice();
        unit_->Initialize();
        unit_->Reset();
        Fill(kFeedFrames);
        if (IsPlaying()) unit_->Start();
    }
}

// Feeder, or the owner holding the feeder lock.
int32_t LSoundPlayer::Fill(int32_t frames) {
    Ring& ring = *ring_;
    int64_t write = 0;
    int64_t free = 0;
    {
        std::lock_guard<std::mutex> lock(ring.mutex);
        write = ring.write;
        free = ring.Free();
    }
    const int64_t n =
        std::min<int64_t>({int64_t{frames}, free,
                           std::max<int64_t>(source_->GetLength() - source_->GetPosition(), 0)});
    int64_t done = 0;
    // The render callback only reads the queued part, so the free part is written unlocked.
    while (done < n) {
        const int64_t untilWrap = (ring.storage - write) / ring.channels;
        const int64_t piece = std::min(n - done, untilWrap);
        const int32_t got = source_->Read(ring.data.data() + write, static_cast<int32_t>(piece));
        if (got <= 0) break;
        write = (write + int64_t{got} * ring.channels) % ring.storage;
        done += got;
        if (got < piece) break;
    }
    std::lock_guard<std::mutex> lock(ring.mutex);
    ring.write = write;
    return static_cast<int32_t>(done);
}

// Main thread.
bool LSoundPlayer::Play(LSoundSource* source, bool startPaused) {
    StopPlayback();
    if (!source || source->Error() != 0) return false;
    SourceRef wrapped = SourceRef::Adopt(new LHistorySource(Wrap(source).get(), &history_));
    if (!OpenUnit(wrapped.get())) return false;
    Attach(std::move(wrapped));
    {
        std::lock_guard<std::mutex> lock(ring_->mutex);
        ring_->deviceFrames = kDeviceSlices * unit_->MaximumFramesPerSlice();
    }
    startPaused_ = startPaused;
    finished_ = false;
    startedPipe_.Drain();
    LThread::Start(kNormalPriority);
    if (startPaused) {
        unit_->Stop();
        state_ |= kOutputStopped;
    } else {
        if (!startedPipe_.Wait(kStartWaitMs)) {
            state_ &= ~kPlaying;
            StopPlayback();
            return false;
        }
        unit_->Reset();
        state_ |= kPlaying;
        if (!unit_->Start()) {
            StopPlayback();
            return false;
        }
    }
    startPaused_ = false;
    listener_->OnPlayStarted(cookie_);
    return true;
}

// Main thread.
void LSoundPlayer::StopPlayback() {
    const bool active = IsActive();
    if (ownerHoldsFeeder_) {
        ownerHoldsFeeder_ = false;
        feederMutex_.unlock();
    }
    LThread::Stop();
    if (unit_) unit_->Stop();
    {
        std::lock_guard<std::mutex> lock(outputMutex_);
        if (ring_) {
            std::lock_guard<std::mutex> ringLock(ring_->mutex);
            ring_->read = ring_->write;
            trimActive_ = false;
        }
        state_ = 0;
        source_ = SourceRef::Adopt(new LEmptySoundSource());
    }
    finished_ = false;
    updatePending_ = false;
    if (active) listener_->OnPlayStopped(cookie_);
}

// Main thread.
void LSoundPlayer::LockFeeder() {
    if (ownerHoldsFeeder_) return;
    feederMutex_.lock();
    ownerHoldsFeeder_ = true;
}

// Main thread.
void LSoundPlayer::UnlockFeeder() {
    if (!ownerHoldsFeeder_) return;
    ownerHoldsFeeder_ = false;
    feederMutex_.unlock();
}

// Main thread, feeder lock held (or idle).
void LSoundPlayer::ReplaceSource(LSoundSource* source) {
    if (!source || (!ownerHoldsFeeder_ && IsActive())) return;
    const int64_t position = source_->GetPosition();
    SourceRef held = Wrap(source);
    held->Seek(position);
    Attach(SourceRef::Adopt(new LHistorySource(held.get(), &history_)));
}

// Main thread, feeder lock held.
int64_t LSoundPlayer::Resync(bool refill) {
    if (!ownerHoldsFeeder_ || !IsActive() || !ring_) return 0;
    Ring& ring = *ring_;
    int64_t discard = 0;
    {
        std::lock_guard<std::mutex> lock(ring.mutex);
        trimActive_ = true;
        const int64_t queued = ring.Queued();
        keep_ = std::min<int64_t>(queued, ring.deviceFrames);
        discard = std::max<int64_t>(queued - ring.deviceFrames, 0);
    }
    // The history wrapper moves its history back with the position, so that what is dropped
    // from the ring is what the new source fades in over.
    source_->Seek(source_->GetPosition() - discard);
    history_.crossfadePending = true;
    {
        std::lock_guard<std::mutex> lock(ring.mutex);
        ring.write = (ring.read + keep_ * ring.channels) % ring.storage;
        trimActive_ = false;
    }
    if (refill) Fill(kFeedFrames);
    cachedPosition_ = GetPlayPosition();
    return discard;
}

// Main thread.
int64_t LSoundPlayer::GetPlayPosition() {
    // The feeder moves the source's position; its lock keeps the pair consistent.
    std::unique_lock<std::mutex> lock(feederMutex_, std::defer_lock);
    if (!ownerHoldsFeeder_) lock.lock();
    // Not under the output lock: the ring is only ever replaced on this thread, and the render
    // callback skips a whole block whenever it finds that lock taken.
    int64_t queued = 0;
    if (ring_) {
        std::lock_guard<std::mutex> ringLock(ring_->mutex);
        queued = ring_->Queued();
    }
    source_->Query(kQueryTranslateOffset, &queued);
    return std::max<int64_t>(source_->GetPosition() - queued, 0);
}

int64_t LSoundPlayer::RingCapacityFrames() const {
    return ring_ ? ring_->capacityFrames : 0;
}

int32_t LSoundPlayer::DeviceFrames() const {
    return ring_ ? ring_->deviceFrames : 0;
}

int64_t LSoundPlayer::QueuedFrames() {
    if (!ring_) return 0;
    std::lock_guard<std::mutex> lock(ring_->mutex);
    return ring_->Queued();
}

// Main thread.
void LSoundPlayer::OnMainThreadUpdate() {
    if (positionDirty_.exchange(false)) cachedPosition_ = GetPlayPosition();
    if (finished_) {
        listener_->OnPlayPosition(GetPlayPosition(), cookie_);
        if (finished_) StopPlayback();
    } else if (updatePending_) {
        listener_->OnPlayPosition(GetPlayPosition(), cookie_);
        int8_t levels[256];
        for (int i = 0; i < 256; ++i) levels[i] = Level(i);
        listener_->OnPlayLevels(levels, cookie_);
        updatePending_ = false;
    }
}

// Feeder or done-handler: the starved side runs at the real-time priority.
void LSoundPlayer::RaiseFeeder() {
    if (!feederRaised_.exchange(true))
        platform::SetThreadPriority(feederHandle_, kRealTimePriority);
    if (doneRaised_.exchange(false) && doneHandler_) {
        platform::SetThreadPriority(doneHandler_->Handle(), kNormalPriority);
    }
}

void LSoundPlayer::RaiseDoneHandler() {
    if (!doneRaised_.exchange(true) && doneHandler_) {
        platform::SetThreadPriority(doneHandler_->Handle(), kRealTimePriority);
    }
    if (feederRaised_.exchange(false)) platform::SetThreadPriority(feederHandle_, kNormalPriority);
}

// The feeder thread.
void LSoundPlayer::Run() {
    feederHandle_ = pthread_self();
    feederRaised_ = false;
    doneRaised_ = false;
    consumption_ = 0;
    doneHandler_ = std::make_unique<LSoundPlayerDoneHandlerThread>(this);
    doneHandler_->Start(kNormalPriority);
    startedPipe_.Signal();
    while (!IsStopRequested()) {
        std::unique_lock<std::mutex> lock(feederMutex_);
        LSoundSource& source = *source_.get();
        const int64_t left = source.GetLength() - source.GetPosition();
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(left, kFeedFrames));
        if (n <= 0 && !source.IsOpenEnded()) {
            int64_t queued = 0;
            {
                std::lock_guard<std::mutex> ringLock(ring_->mutex);
                queued = ring_->Queued();
            }
            if (!IsStopRequested() && queued > 0) {
                updatePending_ = true;
                poster_.PostToMainThread();
                lock.unlock();
                Wait(refillPipe_, kRefillWaitMs);
                refillPipe_.Drain();
                LThread::Sleep(kFeederRestMs);
                continue;
            }
            finished_ = true;
            poster_.PostToMainThread();
            break;
        }
        if (n <= 0) {
            if (!IsStopRequested()) {
                RaiseFeeder();
                source.WaitForData(kSourceWaitMs);
            }
            lock.unlock();
            LThread::Sleep(kFeederRestMs);
            continue;
        }
        int64_t free = 0;
        {
            std::lock_guard<std::mutex> ringLock(ring_->mutex);
            free = ring_->Free();
        }
        if (free > kFeedFrames - 1) {
            Fill(n);
        } else {
            // Full: the device side is what needs the processor now.
            consumption_ = 0;
            RaiseDoneHandler();
            lock.unlock();
            Wait(refillPipe_, kRefillWaitMs);
            refillPipe_.Drain();
            continue;
        }
        lock.unlock();
        LThread::Sleep(kFeederRestMs);
    }
    startedPipe_.Drain();
    doneHandler_->Stop();
    doneHandler_.reset();
}

// The done-handler thread: each meter signal of the render callback becomes a refill for the
// feeder and an update for the main thread.
void LSoundPlayerDoneHandlerThread::Run() {
    handle_ = pthread_self();
    LSoundPlayer& p = *player_;
    while (!IsStopRequested() && !p.IsStopRequested()) {
        const int r = Wait(p.meterPipe_, kRefillWaitMs);
        if (r == 1) break;
        if (r != 0) continue;
        p.meterPipe_.Drain();
        p.refillPipe_.Signal();
        p.updatePending_ = true;
        p.poster_.PostToMainThread();
        // The ring drains faster than the feeder fills it: the feeder gets the processor.
        const int64_t capacity = p.ringCapacity_.load();
        const int32_t before = p.consumption_.fetch_add(1);
        if (before > capacity / LSoundPlayer::kFeedFrames / 2 && !p.feederRaised_) p.RaiseFeeder();
    }
}

// The device's render thread: never waits, never allocates.
int32_t LSoundPlayer::Render(void* context, int32_t* destination, int32_t frames) {
    auto* self = static_cast<LSoundPlayer*>(context);
    // The output lock is taken while a source is attached: the block is skipped.
    if (!TryLock(self->outputMutex_)) {
        self->skipped_.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    int32_t written = 0;
    if (self->ring_) {
        // Every holder of the ring lock only moves indices under it, so waiting here is short;
        // giving up instead would drop a whole block into silence.
        std::lock_guard<std::mutex> ringLock(self->ring_->mutex);
        written = self->RenderLocked(*self->ring_, destination, frames);
    }
    self->outputMutex_.unlock();
    return written;
}

// Render thread, both locks held.
int32_t LSoundPlayer::RenderLocked(Ring& ring, int32_t* destination, int32_t frames) {
    const int channels = ring.channels;
    const int32_t m = static_cast<int32_t>(std::min<int64_t>(ring.Queued(), frames));
    const int32_t gain = gain_.load(std::memory_order_relaxed);
    int8_t db0 = kSilenceDb;
    int8_t db1 = kSilenceDb;
    int32_t done = 0;
    while (done < m) {
        const int64_t untilWrap = (ring.storage - ring.read) / channels;
        const int32_t piece = static_cast<int32_t>(std::min<int64_t>(m - done, untilWrap));
        Sample* samples = ring.data.data() + ring.read;
        const int32_t count = piece * channels;
        ApplyGainQ9(gain, samples, count);
        db0 = MeanSquareDb(samples, piece, channels, 0);
        db1 = channels > 1 ? MeanSquareDb(samples, piece, channels, 1) : db0;
        // A loud tone at a high volume can pass full scale: it is clipped here rather than
        // wrapped by the shift into the device format.
        int32_t* out = destination + static_cast<size_t>(done) * channels;
        for (int32_t i = 0; i < count; ++i) {
            out[i] = static_cast<int32_t>(
                static_cast<uint32_t>(std::clamp(samples[i], kSampleMin, kSampleMax))
                << kDeviceShift);
        }
        ring.read = (ring.read + count) % ring.storage;
        done += piece;
    }
    if (trimActive_) keep_ = std::max<int64_t>(keep_ - m, 0);
    positionDirty_.store(true, std::memory_order_relaxed);
    framesSinceMeter_ += frames;
    levelSum_[0] += std::pow(10.0, db0 * 0.05);
    levelSum_[1] += std::pow(10.0, db1 * 0.05);
    ++levelBlocks_;
    if (framesSinceMeter_ >= sampleRate_.load(std::memory_order_relaxed) / kMeterPerSecond ||
        m < frames) {
        levels_[levelChannels_[0].load(std::memory_order_relaxed)].store(
            AmplitudeToDb(levelSum_[0] / levelBlocks_), std::memory_order_relaxed);
        levels_[levelChannels_[1].load(std::memory_order_relaxed)].store(
            AmplitudeToDb(levelSum_[1] / levelBlocks_), std::memory_order_relaxed);
        meterPipe_.Signal();
        levelSum_[0] = levelSum_[1] = 0;
        levelBlocks_ = 0;
        framesSinceMeter_ = 0;
    }
    return m;
}

}  // namespace tw

#include "audio/sound_recorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/sample_format.h"
#include "platform/core/thread_priority.h"
#include "store/settings.h"

namespace tw {

namespace {

// A capture buffer holds about 100 ms of audio, within these bounds.
constexpr double kBufferSeconds = 0.1;
constexpr int32_t kMinBufferFrames = 512;
constexpr int32_t kMaxBufferFrames = 8192;
// At most this many frames of a buffer are passed on.
constexpr int32_t kMaxBlockFrames = 8192;
// Buffers dropped at the start of a voice-activated recording, while the input settles.
constexpr int kSettleBuffers = 5;
// Stop moves the kept end this far past the last kept position.
constexpr int32_t kStopSlackMs = 50;
// A trim after silence keeps this much past the last loud buffer.
constexpr int32_t kTrimSlackMs = 450;
// The capture thread's priority while it runs (set by the thread itself, not through LThread,
// whose lock a joining Stop may hold); the starting one when the caller's is unknown.
constexpr int kCapturePriority = 40;
constexpr int kDefaultPriority = 20;

using Clock = std::chrono::steady_clock;

int8_t ClampDb(int value) {
    return static_cast<int8_t>(std::clamp(value, -127, 127));
}

}  // namespace

LSoundRecorder::LSoundRecorder(ConverterFactory converters)
    : LThread("LSoundRecorder<T>"),
      notifier_(*this),
      sink_(SinkRef::Adopt(new LNullSoundSink())),
      converters_(converters) {
    for (auto& level : levels_) level.store(kSilenceDb, std::memory_order_relaxed);
}

LSoundRecorder::~LSoundRecorder() {
    Shutdown();
    notifier_.CancelPending();
}

void LSoundRecorder::Shutdown() {
    Stop();
    // A capture thread that ended on its own is still to be joined.
    LThread::Stop();
    sink_ = SinkRef::Adopt(new LNullSoundSink());
}

void LSoundRecorder::SetListener(RecorderListener* listener, int32_t argument) {
    listener_ = listener ? listener : &defaultListener_;
    argument_ = argument;
}

// Main thread.
bool LSoundRecorder::Start(LSoundSink* sink, int32_t maxDurationMs, int8_t startThresholdDb,
                           int32_t silenceTimeoutMs, uint16_t flags) {
    if (State() != kStopped) Stop();
    if (!sink || sink->IsNull()) return false;
    // A capture thread that ended by itself (device gone) is joined before its sink changes.
    LThread::Stop();
    sink_ = SinkRef::Share(sink);
    channelCount_ = sink->Channels();
    maxDuration_ = maxDurationMs;
    startThreshold_ = startThresholdDb;
    stopThreshold_ = ClampDb(startThresholdDb - 4);
    silenceTimeout_ = silenceTimeoutMs;
    keepPosition_ = sink->PositionMs();
    lastLoudPosition_ = keepPosition_;
    flags_ = flags;
    stopRequest_ = false;
    levelsChanged_ = false;
    stateChanged_ = false;
    state_ = (flags & kRecordAtOnce) ? kRecording : kArmed;

    started_.Drain();
    go_.Drain();
    if (!(flags & kWaitForGo)) go_.Signal();
    LThread::Start(kDefaultPriority);

    const bool started = started_.Wait(kStartTimeoutMs);
    started_.Drain();
    if (started && State() != kStopped) {
        if (flags & kRecordAtOnce) {
            listener_->OnRecording(argument_);
        } else {
            listener_->OnArmed(argument_);
        }
        return true;
    }
    // The device could not be opened (or the thread never answered): the placeholder returns.
    LThread::Stop();
    state_ = kStopped;
    sink_ = SinkRef::Adopt(new LNullSoundSink());
    return false;
}

// Main thread.
void LSoundRecorder::Stop() {
    if (State() == kStopped) return;
    LThread::Stop();
    const int32_t keep = keepPosition_ + kStopSlackMs;
    if (sink_->PositionMs() > keep) sink_->TrimTo(sink_->FramesOfMs(keep));
    sink_ = SinkRef::Adopt(new LNullSoundSink());
    keepPosition_ = 0;
    state_ = kStopped;
    listener_->OnStopped(argument_);
}

// Main thread.
void LSoundRecorder::OnNotification() {
    if (stopRequest_) {
        Stop();
        return;
    }
    if (levelsChanged_.exchange(false)) {
        listener_->OnPosition(keepPosition_, argument_);
        int8_t levels[256];
        for (int c = 0; c < channelCount_; ++c) levels[c] = Level(c);
        listener_->OnLevels(channelCount_, levels, argument_);
    }
    if (stateChanged_.exchange(false)) {
        const int32_t state = State();
        if (state == kArmed) listener_->OnArmed(argument_);
        if (state == kRecording) listener_->OnRecording(argument_);
    }
}

// Audio thread: hand the rendered frames to the capture thread. Never waits: a buffer that the
// capture thread has not yet freed means it is four seconds behind, and waiting on a real-time
// thread would only stall the device; the cycle is given up instead.
int LSoundRecorder::InputCallback(void* context, int32_t frames) {
    auto* self = static_cast<LSoundRecorder*>(context);
    LAudioInputUnit& in = self->input_;
    CaptureBuffer& buffer = in.buffers[in.callbackIndex];
    if (buffer.frames.load(std::memory_order_acquire) != 0 || frames <= 0 ||
        frames > buffer.capacityFrames) {
        return -1;
    }
    if (!in.unit->Render(buffer.samples.data(), frames)) return -1;
    buffer.frames.store(frames, std::memory_order_release);
    in.filled.Signal();
    in.callbackIndex = (in.callbackIndex + 1) % in.count;
    return 0;
}

// Capture thread: open the device for a sink of the node's rate and channels.
bool LSoundRecorder::OpenInput(LSoundSink* sink) {
    const int32_t rate = sink->SampleRate();
    const int channels = sink->Channels();
    const DeviceSelection& selection = input_.selection;
    if (selection.deviceIndex < 0 || selection.deviceIndex >= CountDevices()) return false;
    auto unit = hal::Backend().CreateInputUnit();
    if (!unit) return false;
    const hal::DeviceId device = SelectionDeviceId(selection);
    if (!unit->SetDevice(device)) return false;
    double deviceRate = 0;
    int deviceChannels = 0;
    if (!unit->DeviceFormat(&deviceRate, &deviceChannels)) return false;
    if (static_cast<int32_t>(deviceRate) != rate) {
        input_.rateMismatch = true;
        return false;
    }
    if (!unit->SetClientFormat(deviceRate, channels)) return false;
    // A mono selection feeding a stereo sink: both sink channels carry the selected one.
    input_.duplicate = selection.channelIndex == (selection.multiChannel ? 1 : 0) && channels > 1;

    int32_t wish = std::clamp(static_cast<int32_t>(kBufferSeconds * deviceRate), kMinBufferFrames,
                              kMaxBufferFrames);
    int32_t minimum = 0;
    int32_t maximum = 0;
    if (hal::Backend().BufferFrameSizeRange(device, &minimum, &maximum)) {
        wish = minimum < wish ? std::min(wish, maximum) : minimum;
        unit->SetBufferFrameSize(wish);
    }
    const int32_t frames = unit->BufferFrameSize();
    if (frames <= 0) return false;
    const double count = std::ceil(kRingSeconds * deviceRate / frames);
    const int32_t buffers =
        static_cast<int32_t>(std::min<double>(count, std::numeric_limits<int32_t>::max()));

    input_.buffers = std::make_unique<CaptureBuffer[]>(buffers);
    for (int32_t i = 0; i < buffers; ++i) {
        input_.buffers[i].samples.assign(static_cast<size_t>(frames) * channels, 0);
        input_.buffers[i].capacityFrames = frames;
    }
    input_.count = buffers;
    input_.framesPerBuffer = frames;
    input_.samplesPerBuffer = frames * channels;
    input_.channels = channels;
    unit->SetInputCallback(&LSoundRecorder::InputCallback, this);
    if (!unit->Initialize()) {
        input_.buffers.reset();
        input_.count = 0;
        return false;
    }
    input_.unit = std::move(unit);
    input_.rateMismatch = false;
    return true;
}

// Capture thread.
void LSoundRecorder::CloseInput() {
    if (input_.unit) {
        input_.unit->Stop();
        input_.unit->Uninitialize();
        input_.unit.reset();
    }
    input_.running = false;
    input_.buffers.reset();
    input_.count = 0;
}

// Capture thread: every buffer free, both indices at the start, then the device runs.
bool LSoundRecorder::StartUnit() {
    input_.consumer = 0;
    input_.callbackIndex = 0;
    for (int32_t i = 0; i < input_.count; ++i) input_.buffers[i].frames.store(0);
    input_.filled.Drain();
    input_.unit->Reset();
    input_.running = input_.unit->Start();
    return input_.running;
}

// Capture thread.
bool LSoundRecorder::TakeBuffer(std::vector<Sample>& work, int32_t* frames) {
    CaptureBuffer& buffer = input_.buffers[input_.consumer];
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStallMs);
    while (buffer.frames.load(std::memory_order_acquire) == 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        const int r = Wait(input_.filled, static_cast<int>(left));
        input_.filled.Drain();
        if (r == 1) return false;
    }
    const int32_t n = buffer.frames.load(std::memory_order_acquire);
    const int channels = input_.channels;
    FromDeviceSamples(work.data(), buffer.samples.data(), n * channels);
    if (input_.duplicate) {
        for (int32_t i = 0; i < n; ++i) work[i * channels + 1] = work[i * channels];
    }
    buffer.frames.store(0, std::memory_order_release);
    input_.consumer = (input_.consumer + 1) % input_.count;
    *frames = n;
    return true;
}

// Capture thread: the peak level of each sink channel, and the loudest of the first two.
void LSoundRecorder::MeasureLevels(const Sample* samples, int32_t frames, int8_t* overall) {
    for (int c = 0; c < channelCount_; ++c) {
        levels_[c].store(BlockPeakDb(samples, frames, channelCount_, c), std::memory_order_relaxed);
    }
    if (channelCount_ == 0) {
        *overall = kSilenceDb;
    } else if (channelCount_ == 1) {
        *overall = Level(0);
    } else {
        *overall = std::max(Level(0), Level(1));
    }
}

// Capture thread.
void LSoundRecorder::Run() {
    input_.rateMismatch = false;
    bool opened = OpenInput(sink_.get());
    if (!opened && input_.rateMismatch && converters_) {
        // The device runs at its own rate: one more try with a converter in front of the sink.
        double actual = 0;
        int32_t deviceRate = sink_->SampleRate();
        if (hal::Backend().ActualSampleRate(SelectionDeviceId(input_.selection), &actual) &&
            actual >= 1) {
            deviceRate = static_cast<int32_t>(actual);
        }
        SinkRef node = converters_(deviceRate, sink_.get());
        if (node) {
            sink_ = node;
            opened = OpenInput(sink_.get());
        }
    }
    if (!opened) {
        state_ = kStopped;
        stateChanged_ = true;
        started_.Signal();
        return;
    }

    const int channels = input_.channels;
    std::vector<Sample> work(input_.samplesPerBuffer, 0);
    std::vector<Sample> preroll(input_.samplesPerBuffer, 0);
    bool hasPreroll = false;

    if (flags_ & kWaitForGo) {
        started_.Signal();
        if (Wait(go_, -1) == 0) {
            platform::SetThreadPriority(pthread_self(), kCapturePriority);
            StartUnit();
        }
    } else {
        platform::SetThreadPriority(pthread_self(), kCapturePriority);
        StartUnit();
        started_.Signal();
    }

    int settled = 0;
    int32_t frames = 0;
    while (!IsStopRequested() && TakeBuffer(work, &frames)) {
        if (!(flags_ & kRecordAtOnce) && settled < kSettleBuffers) {
            ++settled;
            continue;
        }
        const int32_t n = std::min(frames, kMaxBlockFrames);
        int8_t overall = kSilenceDb;
        MeasureLevels(work.data(), n, &overall);

        if (State() == kArmed) {
            if (overall < startThreshold_) {
                std::copy(work.begin(), work.begin() + n * channels, preroll.begin());
                hasPreroll = true;
            } else {
                // The onset within this buffer: with the first half loud too, the end of the
                // previous buffer belongs to the note.
                int8_t firstHalf = kSilenceDb;
                MeasureLevels(work.data(), n / 2, &firstHalf);
                if (firstHalf >= startThreshold_ && hasPreroll) {
                    sink_->WriteBlock(preroll.data() + (n / 2) * channels, n - n / 2);
                }
                sink_->WriteBlock(work.data(), n);
                MeasureLevels(work.data(), n, &overall);
                lastLoudPosition_ = sink_->PositionMs();
                keepPosition_ = lastLoudPosition_;
                state_ = kRecording;
                stateChanged_ = true;
            }
        } else if (State() == kRecording) {
            sink_->WriteBlock(work.data(), n);
            const int32_t p = sink_->PositionMs();
            if (overall < stopThreshold_) {
                if (p - lastLoudPosition_ > silenceTimeout_) {
                    // Back to waiting: what follows the last loud buffer (and some slack) goes.
                    sink_->TrimTo(sink_->FramesOfMs(lastLoudPosition_ + kTrimSlackMs));
                    state_ = kArmed;
                    std::copy(work.begin(), work.begin() + n * channels, preroll.begin());
                    hasPreroll = true;
                    stateChanged_ = true;
                } else {
                    keepPosition_ = p;
                }
            } else {
                lastLoudPosition_ = p;
                keepPosition_ = p;
            }
            if (maxDuration_ > 0 && p > maxDuration_) stopRequest_ = true;
        }
        levelsChanged_ = true;
        notifier_.PostToMainThread();
    }

    if (input_.unit) input_.unit->Stop();
    input_.running = false;
    if (State() == kRecording) {
        // What the device delivered before it stopped still belongs to the recording.
        while (input_.buffers[input_.consumer].frames.load(std::memory_order_acquire) > 0) {
            TakeBuffer(work, &frames);
            sink_->WriteBlock(work.data(), std::min(frames, kMaxBlockFrames));
        }
        if (GetSettingBool("Recorder", "Autotrim", false)) {
            sink_->TrimTo(sink_->FramesOfMs(lastLoudPosition_ + kTrimSlackMs));
        }
    }
    stopRequest_ = false;
    levelsChanged_ = false;
    state_ = kStopped;
    stateChanged_ = true;
    CloseInput();
}

}  // namespace tw
